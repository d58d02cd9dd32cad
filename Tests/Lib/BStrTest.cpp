// Strings (editing, formatting, comparison on cp1251 text, search and replace) and results.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "Lib/Res.h"
#include "Platform.h"

namespace {
const char kYo[] = "\xb8", kA[] = "\xe0", kZh[] = "\xe6";  // ё (a byte below every other small letter), а, ж
const char kApple[] = "\xff\xe1\xeb\xee\xea\xee", kAPPLE[] = "\xdf\xc1\xcb\xce\xca\xce";  // яблоко ЯБЛОКО

// One edit of a start text and the text it leaves. Texts taken from the string itself must survive the buffer
// moving under them; a text the C library cannot format (a wide character with no byte form) ends cut.
TEST(BStrEdit, Edits) {
  YT_NEEDS_CP1251();  // case of Cyrillic letters
  const std::string a30(30, 'a');
  struct Row { const char* in; std::function<void(TStr&)> f; std::string out; } rows[] = {
      {"ace", [](TStr& s) { s.Ins("b", 1), s.Ins("dXXX", 3, 1), s.Ins(">", 0), s.Del(2, 2), s.Del(3); }, ">ad"},
      {"hello world", [](TStr& s) { s.Set(s.Str() + 6), s.Fmt("%s-%s-%s", s.Str(), s.Str(), "c"); }, "world-world-c"},
      {a30.c_str(), [](TStr& s) { s.Add(s); }, a30 + a30},
      {"0123456789012345678901234567", [](TStr& s) { s.Ins(s.Str() + 20, 3); }, "012012345673456789012345678901234567"},
      {"abc", [](TStr& s) { s.Rpl("b", s.Str()); }, "aabcc"},
      {"x", [](TStr& s) { s.Fmt("%0500d|%s", 1, "%s%n"); }, std::string(499, '0') + "1|%s%n"},
      {"x", [](TStr& s) { s.Fmt("ab%ls", L"\xd800"); }, "ab"},
      {"\n x \t", [](TStr& s) { s.Trim(); }, "\n x"}, {"\"a\"b\"", [](TStr& s) { s.Unquote(); }, "\"a\"b\""},
      {"%x%/%X%/%X%", [](TStr& s) { s.Rpl("%X%", "ab"), s.Rpl("%X%", "", 0, RPL_ALL | CMP_NOCASE); }, "/ab/"},
      {"aaa", [](TStr& s) { s.Rpl("a", "aa", 1, RPL_ALL); }, "aaaaa"},  // goes on behind each inserted text
      {"x \xb8", [](TStr& s) { s.Case(CASE_UPPER); }, "X \xa8"}, {kAPPLE, [](TStr& s) { s.Case(CASE_LOWER); }, kApple},
  };
  for (const Row& r : rows) {
    TStr s(r.in);
    r.f(s);
    EXPECT_EQ(std::string(s.Str(), s.Len()), r.out) << r.in;
  }
  struct { const char* txt; uint32_t pos, n; } bad[] = {{"", 0, 0}, {"abc", 3, 0}, {"abc", 1, 3}, {"abc", 1, ~0u}};
  for (auto& c : bad) {
    TStr t(c.txt);
    EXPECT_THROW(t.Del(c.pos, c.n), EOutOfRange) << c.txt << " " << c.pos;
    EXPECT_THROW(t.Ins("z", c.pos + 4), EOutOfRange);
  }
  EXPECT_THROW(TBuf(10).ReAlloc(size_t(1) << 60), EBadAlloc);
}

// Linguistic order, in which a comes before B and ё between а and ж (byte order has them the other way round).
TEST(BStrCmp, LinguisticRules) {
  YT_NEEDS_CP1251();  // order and case of Cyrillic letters
  const TCmpFlags exact = CMP_EXACT, nocase = CMP_NOCASE;
  struct { const char* a; const char* b; TCmpFlags flags; int sign; } cases[] = {{"a", "B", exact, -1},
      {kYo, kA, exact, 1}, {kYo, kZh, exact, -1}, {kApple, kAPPLE, exact, -1}, {kApple, kAPPLE, nocase, 0},
      {"abc", "", exact, 1}, {"a", nullptr, nocase, 1}, {"", nullptr, exact, 0}};
  for (auto& c : cases) EXPECT_EQ(TStr(c.a).Cmp(c.b, c.flags).Val(), c.sign) << c.a << "/" << (c.b ? c.b : "-");
  TStr s((std::string("ab") + kApple + "ab").c_str());
  EXPECT_TRUE(s.Find("ab", 1) == 8 && s.Find(kAPPLE) == -1 && s.Find(kAPPLE, 0, CMP_NOCASE) == 2);
}

std::string S(const TStr& s) { return s.Str(); }
// The first code and the highest severity win, comments accumulate; a zero code forces severity 0. An own code
// nobody registered has no text: the separators stay.
TEST(Res, StatusTextFormAndAdd) {
  EXPECT_TRUE(TRes(0, "x", SVRT_ERR).Svrt() == 0 && TRes(87, "x", 7).Svrt() == 0 && TRes(13, "", 1).IsOk());
  EXPECT_EQ(S(TRes(0x2000FFFFu, "x").ToStr(7)) + S(TRes().ToStr(4)), "x  [0xe000ffff (536936447)][0x00000000 (0)]");
  struct { TRes a, b; uint32_t status; const char* cmnt; } adds[] = {{TRes(0, "a"), TRes(5, "b"), 0xC0000005u, "ab"},
      {TRes(5, "e"), TRes(0, "s"), 0xC0000005u, "es"}, {TRes(13, "n", SVRT_INFO), TRes(87, "!"), 0xC000000Du, "n!"}};
  for (auto& c : adds) EXPECT_TRUE((c.a.Add(c.b).Svrt() << 30 | c.a.Code()) == c.status && c.a.Cmnt().Eq(c.cmnt));
  EXPECT_EQ(ChkRes("Src/sprv/main", 33, TRes(13, "n", SVRT_INFO)).Code(), 13u);  // a note passes
  EXPECT_THROW(ChkRes("Src/sprv/main", 34, TRes(87, "c")), EFailure);
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
