// Strings: editing, formatting, the four comparison rules on cp1251 text, search and replace.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "Lib/BStr.h"
#include "Lib/Res.h"
#include "Platform.h"

namespace {

const char kPrivet[] = "\xef\xf0\xe8\xe2\xe5\xf2", kPRIVET[] = "\xcf\xd0\xc8\xc2\xc5\xd2";     // привет ПРИВЕТ
const char kYabloko[] = "\xff\xe1\xeb\xee\xea\xee", kYABLOKO[] = "\xdf\xc1\xcb\xce\xca\xce";  // яблоко ЯБЛОКО
const char kYo[] = "\xb8", kA[] = "\xe0", kZh[] = "\xe6";  // ё (below every other small letter), а, ж

// One edit of a start text and the text it leaves. Texts taken from the string itself must survive the
// buffer moving under them.
TEST(BStrEdit, Edits) {
  YT_NEEDS_CP1251();  // case of Cyrillic letters
  const std::string l30(30, 'a');
  struct Row { const char* in; std::function<void(TStr&)> f; std::string out; } rows[] = {
      {"ace", [](TStr& s) { s.Ins("b", 1), s.Ins("dXXX", 3, 1), s.Ins(">", 0); }, ">abcde"},
      {">abcde", [](TStr& s) { s.Del(1, 2), s.Del(2); }, ">c"},
      {"hello world", [](TStr& s) { s.Set(s.Str() + 6); }, "world"},
      {"world", [](TStr& s) { s.Fmt("%s-%s-%s", s.Str(), s.Str(), "c"); }, "world-world-c"},
      {l30.c_str(), [](TStr& s) { s.Add(s); }, l30 + l30},
      {"0123456789012345678901234567", [](TStr& s) { s.Ins(s.Str() + 20, 3); }, "012012345673456789012345678901234567"},
      {"abc", [](TStr& s) { s.Rpl("b", s.Str()); }, "aabcc"},
      {"x", [](TStr& s) { s.Fmt("%0500d|%s", 1, "%s%n"); }, std::string(499, '0') + "1|%s%n"},
      {"abc", [](TStr& s) { s.Cut(5); }, ""},
      {"\t a b \t", [](TStr& s) { s.TrimL(); }, "a b \t"},
      {"\t a b \t", [](TStr& s) { s.TrimR(); }, "\t a b"},
      {"\n x \n", [](TStr& s) { s.Trim(); }, "\n x \n"},  // only blanks and tabs
      {" \t", [](TStr& s) { s.Trim(); }, ""},
      {"\"\"", [](TStr& s) { s.Unquote(); }, ""},
      {"\"abc\"", [](TStr& s) { s.Unquote(); }, "abc"},
      {"\"a\"b\"", [](TStr& s) { s.Unquote(); }, "\"a\"b\""},
      {"\"", [](TStr& s) { s.Unquote(); }, "\""},
      {"%x%/%X%/%X%", [](TStr& s) { s.Rpl("%X%", "ab"), s.Rpl("%X%", "", 0, RPL_ALL | CMP_NOCASE); }, "/ab/"},
      {"aaa", [](TStr& s) { s.Rpl("a", "aa", 1, RPL_ALL); }, "aaaaa"},  // goes on behind each inserted text
      {"x a \xb8", [](TStr& s) { s.Case(CASE_UPPER); }, "X A \xa8"},
      {kPRIVET, [](TStr& s) { s.Case(CASE_LOWER); }, kPrivet},
  };
  for (const Row& r : rows) {
    TStr s(r.in);
    r.f(s);
    EXPECT_EQ(std::string(s.Str(), s.Len()), r.out) << r.in;
    EXPECT_EQ(s.Len(), strlen(s.Str())) << r.in;
  }
  for (uint32_t pos : {0u, 3u}) EXPECT_THROW(TStr("abc").Ins("z", pos + 4), EOutOfRange);
  struct { const char* txt; uint32_t pos, n; } bad[] = {{"", 0, 0}, {"abc", 3, 0}, {"abc", 1, 3}, {"abc", 1, 0xFFFFFFFFu}};
  for (auto& c : bad) {
    TStr t(c.txt);
    EXPECT_THROW(t.Del(c.pos, c.n), EOutOfRange) << c.txt << " " << c.pos;
    EXPECT_STREQ(t.Str(), c.txt);
  }
}

TEST(BStrCmp, FourRules) {
  YT_NEEDS_CP1251();  // order and case of Cyrillic letters
  const TCmpFlags bytes = CMP_PREFIX, bytesNoCase = CMP_PREFIX | CMP_NOCASE;
  // Cyrillic letters must match in case for bytes without case; linguistic order puts a before B and ё
  // between а and ж, byte order the other way round.
  struct { const char* a; const char* b; TCmpFlags flags; int sign; } cases[] = {
      {"attempts", "ATT", bytesNoCase, 0}, {"attempts", "ATT", bytes, 1}, {"at", "att", bytes, -1},
      {kYabloko, kYABLOKO, bytesNoCase, 1}, {kYabloko, kYABLOKO, CMP_NOCASE, 0}, {"a", "B", CMP_EXACT, -1},
      {"a", "B", bytes, 1}, {kYo, kA, CMP_EXACT, 1}, {kYo, kZh, CMP_EXACT, -1}, {kYo, kA, bytes, -1},
      {"abc", "", bytes, 0}, {"abc", "", CMP_EXACT, 1}, {nullptr, nullptr, CMP_EXACT, 0}, {nullptr, "", bytesNoCase, 0},
      {nullptr, "a", bytes, -1}, {"a", nullptr, CMP_NOCASE, 1},
  };
  for (auto& c : cases) {
    EXPECT_EQ(CmpTxt(c.a, c.b, c.flags).Val(), c.sign) << (c.a ? c.a : "null") << "/" << (c.b ? c.b : "null") << " " << c.flags;
    if (c.a && c.b) EXPECT_EQ(TStr(c.a).Cmp(TStr(c.b), c.flags).Val(), c.sign);
  }
  EXPECT_TRUE(TStr("a").Cmp(nullptr, CMP_NOCASE) == 1 && TStr("a").Cmp(nullptr, bytes) == 0);
  TStr s((std::string("ab") + kYabloko + "ab").c_str());
  EXPECT_TRUE(s.Find("ab", 1) == 8 && s.Find(kYABLOKO) == -1 && s.Find(kYABLOKO, 0, CMP_NOCASE) == 2);
  s.Set("abc123def45");
  EXPECT_EQ(s.FindRe("[0-9]+", 6), 9);
  EXPECT_EQ(s.FindRe("^abc", 1), -1);  // the anchor holds at the start of the text, not of the search
}

TEST(BStrTxt, Num) {
  struct { uint32_t v; TNumBase base; const char* txt; } nums[] = {
      {255, NUM_HEX, "0xff"}, {255, NUM_BIN, "11111111"}, {0xFFFFFFFFu, NUM_DEC, "4294967295"}, {0, NUM_BIN, "0"}};
  for (auto& c : nums) EXPECT_STREQ(TStr::Num(c.v, c.base).Str(), c.txt) << c.v;
}

// A failed allocation throws, also while its own message is built; a text the C library cannot format
// (a wide character with no byte form) ends cut, never in an endless growth.
TEST(BStrTxt, FailuresEnd) {
  const size_t huge = size_t(1) << 60;
  try {
    TBuf b(10);
    b.ReAlloc(huge);
    ADD_FAILURE() << "no exception";
  } catch (const EBadAlloc& e) {
    EXPECT_EQ(std::string(e.Msg()).rfind("[EBadAlloc(sz=1152921504606846976)] 'Src/Lib/BStr' line ", 0), 0u) << e.Msg();
  }
  TStr s;
  s.Fmt("ab%ls", L"\xd800");
  EXPECT_LT(s.Cap(), 2u << 20) << s.Str();
}

}  // namespace
