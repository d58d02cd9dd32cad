// Results: status word, text form, merging, error texts and EFailure.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "Lib/Res.h"
#include "Platform.h"

namespace {

std::string S(const TStr& s) { return s.Str(); }

TEST(Res, StatusTextFormAndAdd) {
  EXPECT_EQ(TRes(0, "x", SVRT_ERR).Status(), 0u);  // a zero code forces severity 0
  EXPECT_EQ(TRes(87, "x", 7).Status(), 0x57u);     // not a severity: both bits cleared
  EXPECT_FALSE(TRes(13, "x", SVRT_INFO).IsErr());  // a note, not a failure
  EXPECT_EQ(S(TRes().ToStr(RES_CODE)), "[0x00000000 (0)]");
  const std::string t87 = S(ErrTxt(87));
  EXPECT_EQ(S(TRes(87, "c").ToStr(RES_CMNT | RES_TXT | RES_CODE)), "c " + t87 + " [0xc0000057 (87)]");
  // An own code nobody registered has no text: the separators stay, two blanks in a row.
  EXPECT_EQ(S(TRes(0x2000FFFFu, "x").ToStr(RES_CMNT | RES_TXT | RES_CODE)), "x  [0xe000ffff (536936447)]");
  // The first code and the highest severity win; comments accumulate.
  struct { TRes a, b; uint32_t status; const char* cmnt; } adds[] = {
      {TRes(0, "a"), TRes(5, "b"), 0xC0000005u, "ab"}, {TRes(5, "e"), TRes(0, "s"), 0xC0000005u, "es"},
      {TRes(13, "n", SVRT_INFO), TRes(87, "!"), 0xC000000Du, "n!"}};
  for (auto& c : adds) {
    c.a.Add(c.b);
    EXPECT_EQ(c.a.Status(), c.status) << c.cmnt;
    EXPECT_STREQ(c.a.Cmnt().Str(), c.cmnt);
  }
  TRes r(87, "c");
  try {
    ChkRes("Src/sprv/main", 34, TRes(13, "n", SVRT_INFO));
    ChkRes("Src/sprv/main", 34, r);
    ADD_FAILURE() << "no exception";
  } catch (const EFailure& e) {
    EXPECT_EQ(e.Res().Status(), r.Status());
    EXPECT_EQ(std::string(e.Msg()), "[EFailure(" + S(r.ToStr(7)) + ")] 'Src/sprv/main' line 34 ");
  }
}

// Own codes are handed out from 0x20000001 up without a gap, whoever registered first; a lookup keeps the
// caller's last error.
TEST(Res, ErrorTexts) {
  if (yt::OnWine()) EXPECT_EQ(GetUserDefaultLangID(), 0x419);  // the tests run in Russian under Wine
  const char *t1 = "\xce\xf8\xe8\xe1\xea\xe0 1", *t2 = "\xce\xf8\xe8\xe1\xea\xe0 2";  // Ошибка 1, 2
  uint32_t c1 = RegErrTxt(t1), c2 = RegErrTxt(t2);
  EXPECT_TRUE(RegErrTxt(t1) == c1 && c2 == c1 + 1 && c1 > 0x20000000u);
  for (uint32_t c = 0x20000001u; c <= c2; ++c) EXPECT_FALSE(ErrTxt(c).Empty()) << std::hex << c;
  EXPECT_TRUE(ErrTxt(c2 + 1).Empty());
  SetLastError(1234);
  for (uint32_t code : {0u, 87u, 1359u}) {
    TStr t = ErrTxt(code);
    ASSERT_FALSE(t.Empty()) << code;
    EXPECT_TRUE(t[t.Len() - 1] != '\n' && t[t.Len() - 1] != '\r') << code;
  }
  EXPECT_EQ(GetLastError(), 1234u);
}

// The system's message lookup as systems without texts in the user's language answer, or with long texts.
struct TFmtMsgSeam {
  static DWORD NoLang, NoLangErr;   // the language the system has no texts in, and how it says so
  static std::string Long;          // a text given for language 0 instead of the system's, when not empty
  static std::vector<DWORD> Asked;  // the languages asked, in order
  static DWORD Fmt(DWORD flags, DWORD id, DWORD lang, char* buf, DWORD size) {
    Asked.push_back(lang);
    if (NoLang && lang == NoLang) return SetLastError(NoLangErr), 0;
    if (Long.empty() || lang != 0 || !(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER))
      return FormatMessageA(flags, nullptr, id, lang, buf, size, nullptr);
    char* p = *reinterpret_cast<char**>(buf) = static_cast<char*>(LocalAlloc(LMEM_FIXED, Long.size() + 1));
    return memcpy(p, Long.c_str(), Long.size() + 1), static_cast<DWORD>(Long.size());
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

// Windows with an English display language and Russian regional formats has no texts in the user's language
// (1815, or 15100 without the language's MUI file): the text comes in a language the system has, asked as
// language 0. Wine with the Russian locale has every text, so the seam gives those answers. A long text
// (Windows has texts of several hundred characters, Wine's are short) is taken whole, without its line end.
TEST(Res, ErrorTextsWithoutTheUsersLanguage) {
  const DWORD user = GetUserDefaultLangID();
  const std::string t87 = S(ErrTxt(87)), lng(3000, '\xd1');
  struct Row { DWORD err; std::vector<DWORD> asked; std::string lng, txt; } rows[] = {
      {ERROR_RESOURCE_LANG_NOT_FOUND, {user, 0}, "", "any"}, {ERROR_MUI_FILE_NOT_FOUND, {user, 0}, "", "any"},
      {ERROR_MR_MID_NOT_FOUND, {user}, "", ""},  // no text for the code at all: no other language has one either
      {ERROR_RESOURCE_LANG_NOT_FOUND, {user, 0}, lng + "\r\n", lng}, {0, {user}, "", t87}};
  for (const Row& r : rows) {
    TFmtMsgSeam seam(r.err ? user : 0, r.err, r.lng);
    SetLastError(1234);
    std::string t = S(ErrTxt(87));
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(TFmtMsgSeam::Asked, r.asked) << r.err;
    if (r.txt == "any") EXPECT_FALSE(t.empty()) << r.err;
    else EXPECT_TRUE(t == r.txt) << r.err << " " << t.size();
  }
}

}  // namespace
