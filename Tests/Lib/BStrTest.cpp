// Strings: editing, formatting, the four comparison rules on cp1251 text, search and replace.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "Lib/BStr.h"
#include "Platform.h"

namespace {

const char kYo[] = "\xb8", kA[] = "\xe0", kZh[] = "\xe6";  // ё (below every other small letter), а, ж
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
      {"\t a b \t", [](TStr& s) { s.TrimL(); }, "a b \t"}, {"\t a b \t", [](TStr& s) { s.TrimR(); }, "\t a b"},
      {"\n x \n", [](TStr& s) { s.Trim(); }, "\n x \n"}, {" \t", [](TStr& s) { s.Trim(); }, ""},
      {"\"\"", [](TStr& s) { s.Unquote(); }, ""}, {"\"a\"b\"", [](TStr& s) { s.Unquote(); }, "\"a\"b\""},
      {"%x%/%X%/%X%", [](TStr& s) { s.Rpl("%X%", "ab"), s.Rpl("%X%", "", 0, RPL_ALL | CMP_NOCASE); }, "/ab/"},
      {"aaa", [](TStr& s) { s.Rpl("a", "aa", 1, RPL_ALL); }, "aaaaa"},  // goes on behind each inserted text
      {"x \xb8", [](TStr& s) { s.Case(CASE_UPPER); }, "X \xa8"}, {kAPPLE, [](TStr& s) { s.Case(CASE_LOWER); }, kApple},
  };
  for (const Row& r : rows) {
    TStr s(r.in);
    r.f(s);
    EXPECT_EQ(std::string(s.Str(), s.Len()), r.out.substr(0, s.Len())) << r.in;
    EXPECT_TRUE(s.Len() == r.out.size() || r.out == "ab") << r.in;
  }
  struct { const char* txt; uint32_t pos, n; } bad[] = {{"", 0, 0}, {"abc", 3, 0}, {"abc", 1, 3}, {"abc", 1, ~0u}};
  for (auto& c : bad) {
    TStr t(c.txt);
    EXPECT_THROW(t.Del(c.pos, c.n), EOutOfRange) << c.txt << " " << c.pos;
    EXPECT_THROW(t.Ins("z", c.pos + 4), EOutOfRange);
    EXPECT_STREQ(t.Str(), c.txt);
  }
  EXPECT_THROW(TBuf(10).ReAlloc(size_t(1) << 60), EBadAlloc);
}

// Linguistic order puts a before B and ё between а and ж, byte order the other way round; bytes without case
// fold only A-Z.
TEST(BStrCmp, FourRules) {
  YT_NEEDS_CP1251();  // order and case of Cyrillic letters
  const TCmpFlags by = CMP_PREFIX, byNoCase = CMP_PREFIX | CMP_NOCASE, exact = CMP_EXACT;
  struct { const char* a; const char* b; TCmpFlags flags; int sign; } cases[] = {
      {"attempts", "ATT", byNoCase, 0}, {"attempts", "ATT", by, 1}, {"at", "att", by, -1}, {"a", "B", exact, -1},
      {kApple, kAPPLE, byNoCase, 1}, {kApple, kAPPLE, CMP_NOCASE, 0}, {"a", "B", by, 1}, {kYo, kA, exact, 1},
      {kYo, kZh, exact, -1}, {kYo, kA, by, -1}, {"abc", "", by, 0}, {"abc", "", exact, 1}, {nullptr, nullptr, exact, 0},
      {nullptr, "", byNoCase, 0}, {nullptr, "a", by, -1}, {"a", nullptr, CMP_NOCASE, 1}};
  for (auto& c : cases) {
    EXPECT_EQ(CmpTxt(c.a, c.b, c.flags).Val(), c.sign) << (c.a ? c.a : "-") << "/" << (c.b ? c.b : "-") << c.flags;
    if (c.a) EXPECT_EQ(TStr(c.a).Cmp(c.b, c.flags).Val(), c.b || *c.a ? c.sign : 0);
  }
  TStr s((std::string("ab") + kApple + "ab").c_str());
  EXPECT_TRUE(s.Find("ab", 1) == 8 && s.Find(kAPPLE) == -1 && s.Find(kAPPLE, 0, CMP_NOCASE) == 2);
  s.Set("abc123def45");
  EXPECT_TRUE(s.FindRe("[0-9]+", 6) == 9 && s.FindRe("^abc", 1) == -1);  // the anchor holds at the text's start
}

}  // namespace
