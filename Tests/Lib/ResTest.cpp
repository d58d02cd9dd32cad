// Results: status word, text form, merging, error texts and EFailure.
#include <gtest/gtest.h>

#include <cstring>

#include "Lib/Res.h"
#include "Platform.h"

namespace {

std::string S(const TStr& s) { return s.Str(); }

// The first code and the highest severity win, comments accumulate; a zero code forces severity 0, and an own
// code has no text until registered: the separators stay. Codes are handed out from 0x20000001 without a gap.
TEST(Res, StatusTextFormAddAndOwnTexts) {
  EXPECT_TRUE(TRes(0, "x", SVRT_ERR).Status() == 0 && TRes(87, "x", 7).Status() == 87 && TRes(13, "", 1).IsOk());
  EXPECT_EQ(S(TRes(87, "c").ToStr(7)), "c " + S(ErrTxt(87)) + " [0xc0000057 (87)]");
  EXPECT_EQ(S(TRes(0x2000FFFFu, "x").ToStr(7)) + S(TRes().ToStr(4)), "x  [0xe000ffff (536936447)][0x00000000 (0)]");
  struct { TRes a, b; uint32_t status; const char* cmnt; } adds[] = {{TRes(0, "a"), TRes(5, "b"), 0xC0000005u, "ab"},
      {TRes(5, "e"), TRes(0, "s"), 0xC0000005u, "es"}, {TRes(13, "n", SVRT_INFO), TRes(87, "!"), 0xC000000Du, "n!"}};
  for (auto& c : adds) EXPECT_TRUE(c.a.Add(c.b).Status() == c.status && c.a.Cmnt().Eq(c.cmnt)) << c.cmnt;
  EXPECT_EQ(ChkRes("Src/sprv/main", 33, TRes(13, "n", SVRT_INFO)).Code(), 13u);  // a note passes
  try {
    ChkRes("Src/sprv/main", 34, TRes(87, "c"));
    ADD_FAILURE() << "no exception";
  } catch (const EFailure& e) {
    EXPECT_EQ(std::string(e.Msg()), "[EFailure(" + S(e.Res().ToStr(7)) + ")] 'Src/sprv/main' line 34 ");
    EXPECT_TRUE(e.Res().Status() == 0xC0000057u && e.Res().Cmnt().Eq("c"));
  }
  const char *t1 = "\xce\xf8\xe8\xe1\xea\xe0 1", *t2 = "\xce\xf8\xe8\xe1\xea\xe0 2";  // Ошибка 1, 2
  uint32_t c1 = RegErrTxt(t1), c2 = RegErrTxt(t2);
  EXPECT_TRUE(RegErrTxt(t1) == c1 && c2 == c1 + 1 && c1 > 0x20000000u && ErrTxt(c2).Eq(t2) && ErrTxt(c2 + 1).Empty());
  for (uint32_t c = 0x20000001u; c <= c2; ++c) EXPECT_FALSE(ErrTxt(c).Empty()) << std::hex << c;
}

// The system's message lookup as systems without texts in the user's language answer, or with long texts.
DWORD g_NoLang, g_NoLangErr;   // the language the system has no texts in, and how it says so
std::string g_Long;            // a text given for language 0 instead of the system's, when not empty
std::vector<DWORD> g_Asked;    // the languages asked, in order
DWORD FmtMsgSeam(DWORD flags, DWORD id, DWORD lang, char* buf, DWORD size) {
  g_Asked.push_back(lang);
  if (g_NoLang && lang == g_NoLang) return SetLastError(g_NoLangErr), 0;
  if (g_Long.empty() || lang || !(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER))
    return FormatMessageA(flags, nullptr, id, lang, buf, size, nullptr);
  char* p = *reinterpret_cast<char**>(buf) = static_cast<char*>(LocalAlloc(LMEM_FIXED, g_Long.size() + 1));
  return memcpy(p, g_Long.c_str(), g_Long.size() + 1), DWORD(g_Long.size());
}

// Windows with an English display language and Russian regional formats has no texts in the user's language
// (1815, or 15100 without its MUI file): the text comes in a language the system has, asked as language 0.
// Wine in Russian has every text, so the seam answers. A long text (Windows has texts of several hundred
// characters, Wine's are short) is taken whole, without its line end. A lookup keeps the caller's last error.
TEST(Res, ErrorTextsWithoutTheUsersLanguage) {
  if (yt::OnWine()) EXPECT_EQ(GetUserDefaultLangID(), 0x419);
  const DWORD user = GetUserDefaultLangID();
  const std::string t87 = S(ErrTxt(87)), lng(3000, '\xd1');
  struct Row { DWORD err; std::vector<DWORD> asked; std::string lng, txt; } rows[] = {
      {ERROR_RESOURCE_LANG_NOT_FOUND, {user, 0}, "", "any"}, {ERROR_MUI_FILE_NOT_FOUND, {user, 0}, "", "any"},
      {ERROR_MR_MID_NOT_FOUND, {user}, "", ""},  // no text for the code at all: no other language has one either
      {ERROR_RESOURCE_LANG_NOT_FOUND, {user, 0}, lng + "\r\n", lng}, {0, {user}, "", t87}};
  TFmtMsgFn prev = SetErrTxtFmtFn(FmtMsgSeam);
  for (const Row& r : rows) {
    g_NoLang = r.err ? user : 0, g_NoLangErr = r.err, g_Long = r.lng, g_Asked.clear();
    SetLastError(1234);
    std::string t = S(ErrTxt(87));
    EXPECT_TRUE(GetLastError() == 1234 && g_Asked == r.asked) << r.err;
    EXPECT_TRUE(r.txt == "any" ? !t.empty() && t.back() != '\n' : t == r.txt) << r.err << " " << t.size();
  }
  SetErrTxtFmtFn(prev);
}

}  // namespace
