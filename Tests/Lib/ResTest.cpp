// Results: status word, text form, merging, error texts and the exceptions.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "Lib/Res.h"
#include "Platform.h"

namespace {

// Параметр задан повторно
const char kRepeated[] = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";

std::string S(const TStr& s) { return s.Str(); }

}  // namespace

TEST(Res, StatusWordAndToStrParts) {
  EXPECT_EQ(TRes(0, "x", 3).Status(), 0u);      // a zero code forces severity 0
  EXPECT_EQ(TRes(87, "x", 7).Status(), 0x57u);  // not a severity: both bits cleared
  EXPECT_FALSE(TRes(13, "x", 1).IsErr());       // a note, not a failure
  EXPECT_TRUE(TRes(5).IsErr());
  EXPECT_EQ(S(TRes().ToStr(RES_CODE)), "[0x00000000 (0)]");
  TRes r(87, kRepeated, 3);
  std::string txt = S(ErrTxt(87));
  ASSERT_FALSE(txt.empty());
  EXPECT_EQ(S(r.ToStr(7)), std::string(kRepeated) + " " + txt + " [0xc0000057 (87)]");
  EXPECT_EQ(S(r.ToStr(RES_TXT | RES_CODE)), txt + " [0xc0000057 (87)]");
  EXPECT_EQ(S(r.ToStr(RES_CMNT | RES_CODE)), std::string(kRepeated) + " [0xc0000057 (87)]");
  EXPECT_EQ(S(r.ToStr(0)), "");
  // An own code nobody registered has no text: the separators stay, two blanks in a row.
  EXPECT_EQ(S(TRes(0x2000FFFFu, "x", 3).ToStr(7)), "x  [0xe000ffff (536936447)]");
  EXPECT_EQ(S(TRes(13, "", 1).ToStr(RES_CMNT | RES_CODE)), "[0x4000000d (13)]");
}

TEST(Res, AddKeepsFirstCodeAndHighestSeverity) {
  TRes ok(0, "a", 3);
  ok.Add(TRes(5, "b", 3));
  EXPECT_EQ(ok.Status(), 0xC0000005u);
  EXPECT_STREQ(ok.Cmnt().Str(), "ab");
  TRes err(5, "e", 3);
  err.Add(TRes(0, "s", 0));
  err.Add(TRes(87, "", 3));
  EXPECT_EQ(err.Status(), 0xC0000005u);
  EXPECT_STREQ(err.Cmnt().Str(), "es");
  TRes note(13, "n", 1);
  note.Add(TRes(87, "!", 3));
  EXPECT_EQ(note.Status(), 0xC000000Du);
  EXPECT_STREQ(note.Cmnt().Str(), "n!");
  TRes self(2, "x", 3);
  self.Add(self);
  EXPECT_STREQ(self.Cmnt().Str(), "xx");
}

// System texts exist in the user's language on any Windows; under Wine the tests run in Russian.
TEST(Res, ErrorTexts) {
  if (yt::OnWine()) EXPECT_EQ(GetUserDefaultLangID(), 0x419);
  for (uint32_t code : {0u, 87u, 1359u}) {
    TStr t = ErrTxt(code);
    ASSERT_FALSE(t.Empty()) << code;
    EXPECT_TRUE(t[t.Len() - 1] != '\n' && t[t.Len() - 1] != '\r') << code;
  }
  SetLastError(1234);
  ErrTxt(87);
  EXPECT_STREQ(ErrTxt(0x1FFFFFF0u).Str(), "");
  EXPECT_EQ(GetLastError(), 1234u);

  const char* t1 = "\xce\xf8\xe8\xe1\xea\xe0 \xee\xe4\xed\xe0";  // Ошибка одна
  const char* t2 = "\xce\xf8\xe8\xe1\xea\xe0 \xe4\xe2\xe0";      // Ошибка два
  uint32_t c1 = RegErrTxt(t1), c2 = RegErrTxt(t2);
  EXPECT_EQ(RegErrTxt(t1), c1);
  EXPECT_EQ(c2, c1 + 1);
  EXPECT_STREQ(TRes(c2, "", 3).Txt().Str(), t2);
  // Codes are handed out from 0x20000001 up without a gap, whoever registered first.
  ASSERT_GT(c1, 0x20000000u);
  for (uint32_t c = 0x20000001u; c <= c2; ++c) EXPECT_FALSE(ErrTxt(c).Empty()) << std::hex << c;
  EXPECT_TRUE(ErrTxt(c2 + 1).Empty());
}

// The system's message lookup as systems without texts in the user's language answer, and with long texts.
struct TFmtMsgSeam {
  // The language the system has no texts in, and how it says so; 0 when it has every language.
  static DWORD NoLang, NoLangErr;
  static std::string Long;          // a text given for language 0 instead of the system's, when not empty
  static std::vector<DWORD> Asked;  // the languages asked, in order
  static DWORD Fmt(DWORD flags, DWORD id, DWORD lang, char* buf, DWORD size) {
    Asked.push_back(lang);
    if (NoLang && lang == NoLang) return SetLastError(NoLangErr), 0;
    if (Long.empty() || lang != 0) return FormatMessageA(flags, nullptr, id, lang, buf, size, nullptr);
    char* p = buf;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
      *reinterpret_cast<char**>(buf) = p = static_cast<char*>(LocalAlloc(LMEM_FIXED, Long.size() + 1));
    else if (size <= Long.size())  // as the system answers a buffer too small
      return SetLastError(ERROR_INSUFFICIENT_BUFFER), 0;
    memcpy(p, Long.c_str(), Long.size() + 1);
    return static_cast<DWORD>(Long.size());
  }
  TFmtMsgSeam(DWORD noLang, DWORD noLangErr, const std::string& lng = "") : Prev(SetErrTxtFmtFn(Fmt)) {
    NoLang = noLang, NoLangErr = noLangErr, Long = lng, Asked.clear();
  }
  ~TFmtMsgSeam() { SetErrTxtFmtFn(Prev); }
  TFmtMsgFn Prev;
};
DWORD TFmtMsgSeam::NoLang, TFmtMsgSeam::NoLangErr;
std::string TFmtMsgSeam::Long;
std::vector<DWORD> TFmtMsgSeam::Asked;

std::string SysTxt(uint32_t code, DWORD lang) {
  char buf[4096] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, lang, buf,
                           sizeof buf, nullptr);
  std::string t(buf, n);
  while (!t.empty() && (t.back() == '\r' || t.back() == '\n')) t.pop_back();
  return t;
}

// Windows with an English display language and Russian regional formats has no texts in the user's language
// (1815, or 15100 without the language's MUI file): the text comes in a language the system has, asked as
// language 0. Under Wine with the Russian locale every lookup in 0x419 succeeds, and a language it lacks
// (Armenian, 0x42b) fails with 1815 as on Windows; so the given answers stand for the user's language.
TEST(Res, ErrorTextsWithoutTheUsersLanguage) {
  const DWORD user = GetUserDefaultLangID(), armenian = 0x42b;
  ASSERT_TRUE(SysTxt(87, armenian).empty());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));  // Wine lacks it, like Windows
  struct Row { DWORD err; std::vector<DWORD> asked; bool txt; } rows[] = {
      {ERROR_RESOURCE_LANG_NOT_FOUND, {user, 0}, true},
      {ERROR_MUI_FILE_NOT_FOUND, {user, 0}, true},
      {ERROR_MR_MID_NOT_FOUND, {user}, false},  // no text for the code at all: no other language has one either
  };
  for (const Row& r : rows) {
    TFmtMsgSeam seam(user, r.err);
    SetLastError(1234);
    std::string t = S(ErrTxt(87));
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(TFmtMsgSeam::Asked, r.asked) << r.err;
    EXPECT_EQ(t, r.txt ? SysTxt(87, 0) : "") << r.err;
    EXPECT_EQ(t.empty(), !r.txt) << r.err;
  }
  TFmtMsgSeam every(0, 0);
  EXPECT_EQ(S(ErrTxt(87)), SysTxt(87, user));
  EXPECT_EQ(TFmtMsgSeam::Asked, std::vector<DWORD>{user});  // the user's language first, when it has texts
}

// A system text is taken whole, however long (Windows has texts of several hundred characters; Wine's are short,
// so a long one is given), without its line end.
TEST(Res, LongSystemTextsWhole) {
  std::string lng;
  for (int i = 0; lng.size() < 3000; ++i) lng += "\xd1\xeb\xee\xe2\xee " + std::to_string(i) + " ";  // "Слово "
  TFmtMsgSeam seam(GetUserDefaultLangID(), ERROR_RESOURCE_LANG_NOT_FOUND, lng + "\r\n");
  for (const std::string& t : {S(ErrTxt(87)), S(TRes(5, "c", 3).ToStr(RES_TXT))}) {
    EXPECT_EQ(t.size(), lng.size());
    EXPECT_TRUE(t == lng);
  }
}

TEST(Res, ExceptionMessagesAndChkRes) {
  EXPECT_STREQ(EOutOfRange("Inc/ydgen", 1259, 0xFFFFFFFFu, 0).Msg(),
               "[EOutOfRange(idx=4294967295,cnt=0)] 'Inc/ydgen' line 1259 ");
  EXPECT_STREQ(EBadAlloc("Src/Gen/ydgen", 1231, 128).Msg(), "[EBadAlloc(sz=128)] 'Src/Gen/ydgen' line 1231 ");
  // A message far past the first 32 bytes, and a condition with printf conversions in it.
  std::string cond = std::string(300, 'c') + "%s%n";
  EXPECT_EQ(std::string(EInvalidArgument("f", 1, cond.c_str()).Msg()), "[EInvalidArgument(" + cond + ")] 'f' line 1 ");

  TRes r(87, kRepeated, 3);
  EFailure f("Src/sprv/main", 30, r);
  EXPECT_EQ(std::string(f.Msg()), "[EFailure(" + S(r.ToStr(7)) + ")] 'Src/sprv/main' line 30 ");
  EXPECT_STREQ(EFailure(f).Msg(), f.Msg());

  TRes note(13, "n", 1);
  EXPECT_EQ(&ChkRes("Src/sprv/main", 33, note), &note);
  try {
    ChkRes("Src/sprv/main", 34, r);
    FAIL() << "no exception";
  } catch (const EFailure& e) {
    EXPECT_EQ(e.Res().Status(), r.Status());
    EXPECT_EQ(S(e.Res().Cmnt()), kRepeated);
    EXPECT_EQ(std::string(e.Msg()), "[EFailure(" + S(r.ToStr(7)) + ")] 'Src/sprv/main' line 34 ");
  }
}
