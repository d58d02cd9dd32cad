// Strings (editing, formatting, comparison on cp1251 text, search and replace) and results.
#include <gtest/gtest.h>
#include <functional>
#include "Lib/Res.h"
#include "Platform.h"
#include "ydcodes.h"

namespace {
const char kApple[] = "\xff\xe1\xeb\xee\xea\xee";  // яблоко
const char kAPPLE[] = "\xdf\xc1\xcb\xce\xca\xce";  // ЯБЛОКО

// Texts taken from the string itself survive its buffer moving; a wide text with no byte form ends the text cut.
TEST(BStrEdit, Edits) {
  YT_NEEDS_CP1251();  // case of Cyrillic letters
  const std::string digits = "0123456789012345678901234567";
  struct Row { const char* in; std::function<void(TStr&)> f; std::string out; } rows[] = {
      {"abcde", [](TStr& s) { s.Del(3); }, "abc"}, {"hello world", [](TStr& s) { s.Set(s.Str() + 6); }, "world"},
      {"world", [](TStr& s) { s.Fmt("%s-%s-%s", s.Str(), s.Str(), "c"); }, "world-world-c"},
      {digits.c_str(), [](TStr& s) { s.Add(s); }, digits + digits},
      {digits.c_str(), [](TStr& s) { s.Ins(s.Str() + 20, 3); }, "012012345673456789012345678901234567"},
      {"abc", [](TStr& s) { s.Rpl("b", s.Str()); }, "aabcc"}, {"x", [](TStr& s) { s.Fmt("ab%ls", L"\xd800"); }, "ab"},
      {"x", [](TStr& s) { s.Fmt("%0500d|%s", 1, "%s%n"); }, std::string(499, '0') + "1|%s%n"},
      {"\n x \t", [](TStr& s) { s.Trim(); }, "\n x"}, {"\"a\"b\"", [](TStr& s) { s.Unquote(); }, "\"a\"b\""},
      {"%x%/%X%/%X%", [](TStr& s) { s.Rpl("%X%", "ab"); }, "%x%/ab/%X%"},
      {"aAa", [](TStr& s) { s.Rpl("a", "aa", 1, RPL_ALL | CMP_NOCASE); }, "aaaaa"},  // goes on behind each new text
      {"x \xb8", [](TStr& s) { s.Case(CASE_UPPER); }, "X \xa8"}, {kAPPLE, [](TStr& s) { s.Case(CASE_LOWER); }, kApple},
  };
  for (const Row& r : rows) {
    TStr s(r.in);
    r.f(s);
    EXPECT_EQ(std::string(s.Str(), s.Len()), r.out) << r.in;
  }
  EXPECT_THROW(TBuf(10).ReAlloc(size_t(1) << 60), EBadAlloc);
}

// Linguistic order, in which a comes before B and ё (b8) between а (e0) and ж (e6): byte order differs.
TEST(BStrCmp, LinguisticRules) {
  YT_NEEDS_CP1251();  // order and case of Cyrillic letters
  struct { const char* a; const char* b; bool nocase; int sign; } cases[] = {{"a", "B", false, -1},
      {"\xb8", "\xe0", false, 1}, {"\xb8", "\xe6", false, -1}, {kApple, kAPPLE, false, -1},
      {kApple, kAPPLE, true, 0}, {"abc", "", false, 1}, {"a", nullptr, true, 1}, {"", nullptr, false, 0}};
  for (auto& c : cases) EXPECT_EQ(TStr(c.a).Cmp(c.b, c.nocase ? CMP_NOCASE : CMP_EXACT).Val(), c.sign) << &c - cases;
  TStr s((std::string("ab") + kApple + "ab").c_str());
  EXPECT_TRUE(s.Find("ab", 1) == 8 && s.Find(kAPPLE) == -1 && s.Find(kAPPLE, 0, CMP_NOCASE) == 2);
}

// The message lookup of a system with no texts in the user's language (err: how it says so) or with long texts.
struct TLookup { DWORD err; std::vector<DWORD> asked; std::string lng, txt; };
const TLookup* g_Cur;
std::vector<DWORD> g_Asked;  // the languages asked, in order
DWORD FmtMsgSeam(DWORD flags, DWORD id, DWORD lang, char* buf, DWORD size) {
  g_Asked.push_back(lang);
  if (g_Cur->err && lang == GetUserDefaultLangID()) {
    SetLastError(g_Cur->err);
    return 0;
  }
  if (g_Cur->lng.empty() || lang || !(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER))
    return FormatMessageA(flags, nullptr, id, lang, buf, size, nullptr);
  *reinterpret_cast<char**>(buf) = lstrcpyA(static_cast<char*>(LocalAlloc(LMEM_FIXED, g_Cur->lng.size() + 1)),
                                            g_Cur->lng.c_str());
  return DWORD(g_Cur->lng.size());
}

// Windows in English with Russian formats has no Russian texts (1815, 15100): the text is asked again as language 0;
// Wine has them all, so a seam answers. Long texts come whole without the line end; the last error stays.
TEST(Res, ErrorTextsWithoutTheUsersLanguage) {
  const DWORD user = GetUserDefaultLangID();
  const std::string t87 = ErrTxt(87).Str();
  const std::string lng(3000, '\xd1');
  const TLookup rows[] = {{ERROR_RESOURCE_LANG_NOT_FOUND, {user, 0}, "", "any"},
      {ERROR_MUI_FILE_NOT_FOUND, {user, 0}, "", "any"},
      {ERROR_MR_MID_NOT_FOUND, {user}, "", ""},  // no text for the code at all: no other language has one either
      {ERROR_RESOURCE_LANG_NOT_FOUND, {user, 0}, lng + "\r\n", lng}, {0, {user}, "", t87}};
  TFmtMsgFn prev = SetErrTxtFmtFn(FmtMsgSeam);
  for (const TLookup& r : rows) {
    g_Cur = &r;
    g_Asked.clear();
    SetLastError(1234);
    std::string t = ErrTxt(87).Str();
    EXPECT_TRUE(GetLastError() == 1234 && g_Asked == r.asked) << r.err;
    EXPECT_TRUE(r.txt == "any" ? !t.empty() && t.back() != '\n' : t == r.txt) << r.err << " " << t.size();
  }
  SetErrTxtFmtFn(prev);
}

// A warning passes the entry's step; an error throws, quoting the step's fixed check number.
TEST(Res, ChkResPassesWarningsAndThrowsErrors) {
  const TRes warn(5, "w", SVRT_WARN);
  const TRes err(2, "e");
  EXPECT_EQ(&ChkRes(SRC_MAIN, CHK_MAIN_PARSE, warn), &warn);
  EXPECT_THROW(ChkRes(SRC_MAIN, CHK_MAIN_RUN, err), EFailure);
  const std::string want = "[EFailure(" + std::string(err.ToStr(7).Str()) + ")] 'Src/sprv/main' line 34 ";
  EXPECT_EQ(EFailure(SRC_MAIN, CHK_MAIN_RUN, err).Msg(), want);
}
}  // namespace
