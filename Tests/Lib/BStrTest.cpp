// Strings: growth, editing, the four comparison rules on cp1251 text, search and replace.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Lib/BStr.h"
#include "Lib/Res.h"
#include "Platform.h"

namespace {

const char kPrivet[] = "\xef\xf0\xe8\xe2\xe5\xf2";   // привет
const char kPRIVET[] = "\xcf\xd0\xc8\xc2\xc5\xd2";   // ПРИВЕТ
const char kYabloko[] = "\xff\xe1\xeb\xee\xea\xee";  // яблоко
const char kYABLOKO[] = "\xdf\xc1\xcb\xce\xca\xce";  // ЯБЛОКО
const char kYo[] = "\xb8";                           // ё (0xB8, below every other small letter)
const char kA[] = "\xe0";                            // а
const char kZh[] = "\xe6";                           // ж

std::string Rep(size_t n, char c) { return std::string(n, c); }

// The message of the exception f throws.
template <class F>
std::string Thrown(F f) {
  try {
    f();
  } catch (const EException& e) {
    return e.Msg();
  }
  return "no exception";
}

}  // namespace

TEST(BStrGrowth, CapacityStepsOf32) {
  if (yt::OnWine()) EXPECT_EQ(GetACP(), 1251u);  // the Russian locale the tests run in under Wine
  TStr e;
  EXPECT_STREQ(e.Str(), "");
  EXPECT_EQ(e.Cap(), 32u);
  EXPECT_EQ(e.Cap(), YdSize(e.Str()));
  struct { size_t len, cap; } cases[] = {{31, 32}, {32, 64}, {63, 64}, {64, 96}, {1000, 1024}};
  for (auto& c : cases) EXPECT_EQ(TStr(Rep(c.len, 'x').c_str()).Cap(), c.cap) << c.len;

  TStr s(Rep(30, 'a').c_str());
  EXPECT_EQ((s += "b").Cap(), 32u);
  EXPECT_EQ((s += "c").Cap(), 64u);
  EXPECT_EQ(std::string(s.Str()), Rep(30, 'a') + "bc");
  s.Fmt("%s", Rep(31, 'q').c_str());
  EXPECT_EQ(s.Cap(), 64u);  // only an empty Set shrinks
  s.Fmt("%0500d", 1);
  EXPECT_EQ(s.Len(), 500u);
  EXPECT_EQ(s.Cap(), 512u);
  s.Clr();
  s.Cut(3);
  EXPECT_EQ(s.Cap(), 512u);
  s.Set("");
  EXPECT_EQ(s.Cap(), 32u);
}

TEST(BStrHeap, BuffersAndFailedAllocation) {
  TBuf b(10);
  memcpy(b.Data(), "123456789", 10);
  TBuf c(b);
  EXPECT_NE(c.Data(), b.Data());
  EXPECT_STREQ(static_cast<char*>(c.Data()), "123456789");
  const size_t huge = size_t(1) << 60;
  std::string msg = Thrown([&] { b.ReAlloc(huge); });
  EXPECT_EQ(msg.rfind("[EBadAlloc(sz=1152921504606846976)] 'Src/Lib/BStr' line ", 0), 0u) << msg;
  EXPECT_THROW(YdAlloc(huge), EBadAlloc);
}

TEST(BStrEdit, OwnTextAsArgumentSurvivesReallocation) {
  TStr s("hello world");
  s.Set(s.Str() + 6);
  EXPECT_STREQ(s.Str(), "world");
  s.Fmt("%s-%s-%s", s.Str(), s.Str(), "c");
  EXPECT_STREQ(s.Str(), "world-world-c");
  s.Set(Rep(20, 'a').c_str());
  s.Add(s);
  EXPECT_EQ(std::string(s.Str()), Rep(40, 'a'));
  TStr t("0123456789012345678901234567");
  t.Ins(t.Str() + 20, 3);
  EXPECT_STREQ(t.Str(), "012012345673456789012345678901234567");
  t.Set("abc");
  EXPECT_EQ(t.Rpl("b", t.Str()), 1u);
  EXPECT_STREQ(t.Str(), "aabcc");
  EXPECT_STREQ((TStr("x") + "!" + TStr("?")).Str(), "x!?");
}

TEST(BStrEdit, InsDelAndTheirException) {
  TStr s("ace");
  s.Ins("b", 1);
  s.Ins("dXXX", 3, 1);
  s.Ins(">", 0);
  EXPECT_STREQ(s.Str(), ">abcde");
  EXPECT_THROW(s.Ins("z", 7), EOutOfRange);
  s.Del(1, 2);
  EXPECT_STREQ(s.Str(), ">cde");
  s.Del(2);
  EXPECT_STREQ(s.Str(), ">c");
  struct { const char* txt; uint32_t pos, n, idx; } bad[] = {{"", 0, 0, 0}, {"abc", 3, 0, 3}, {"abc", 1, 3, 1},
                                                               {"abc", 1, 0xFFFFFFFFu, 1}};
  for (auto& c : bad) {
    TStr t(c.txt);
    EXPECT_EQ(Thrown([&] { t.Del(c.pos, c.n); }), "[EOutOfRange(idx=" + std::to_string(c.idx) +
                                                      ",cnt=" + std::to_string(strlen(c.txt)) + ")] 'Src/Lib/BStr' line 70 ");
    EXPECT_STREQ(t.Str(), c.txt);
  }
}

TEST(BStrEdit, TrimUnquoteCase) {
  YT_NEEDS_CP1251();  // case of Cyrillic letters
  TStr l("\t a b \t"), r(l), b(l), blank(" \t \t"), nl("\n x \n");
  l.TrimL();
  r.TrimR();
  b.Trim();
  blank.Trim();
  nl.Trim();  // only blanks and tabs are trimmed
  EXPECT_EQ(std::string(l.Str()) + "|" + r.Str() + "|" + b.Str() + "|" + blank.Str() + "|" + nl.Str(),
            "a b \t|\t a b|a b||\n x \n");
  EXPECT_EQ(b.Len(), 3u);
  struct { const char* in; const char* out; } quotes[] = {
      {"\"\"", ""}, {"\"abc\"", "abc"}, {"\"a\"b\"", "\"a\"b\""}, {"\"", "\""}, {"\"abc", "\"abc"}, {"a\"b\"", "a\"b\""}};
  for (auto& c : quotes) {
    TStr q(c.in);
    q.Unquote();
    EXPECT_EQ(std::string(q.Str(), q.Len()), c.out) << c.in;
  }
  TStr s((std::string(kPrivet) + " abc " + kYo).c_str());
  s.Case(0);
  EXPECT_EQ(std::string(s.Str()), std::string(kPRIVET) + " ABC \xa8");
  s.Case(1);
  EXPECT_EQ(std::string(s.Str()), std::string(kPrivet) + " abc \xb8");
}

// Flags: 1 ignores case, 2 compares bytes (and only the length of the second text).
TEST(BStrCmp, FourRules) {
  YT_NEEDS_CP1251();  // order and case of Cyrillic letters
  // Cyrillic letters must match in case under flags 3; linguistic order puts a before B and ё between а and ж,
  // byte order the other way round.
  struct { const char* a; const char* b; int flags, sign; } cases[] = {
      {"attempts", "ATT", 3, 0}, {"attempts", "ATT", 2, 1}, {"at", "att", 2, -1}, {"attempts", "attx", 3, -1},
      {kYabloko, kYABLOKO, 3, 1}, {kYabloko, kYABLOKO, 1, 0}, {kPrivet, kPRIVET, 1, 0}, {"abc", "ABC", 1, 0},
      {"a", "B", 0, -1}, {"a", "B", 2, 1}, {kYo, kA, 0, 1}, {kYo, kZh, 0, -1}, {kYo, kA, 2, -1}, {"abc", "", 2, 0},
      {"abc", "", 0, 1}, {nullptr, nullptr, 0, 0}, {nullptr, "", 3, 0}, {nullptr, "a", 2, -1}, {"a", nullptr, 1, 1},
  };
  for (auto& c : cases) {
    EXPECT_EQ(CmpTxt(c.a, c.b, c.flags).Val(), c.sign) << (c.a ? c.a : "null") << " / " << (c.b ? c.b : "null")
                                                       << " flags " << c.flags;
    EXPECT_EQ(c.a && c.b ? TStr(c.a).Cmp(TStr(c.b), c.flags).Val() : c.sign, c.sign);
  }
  EXPECT_EQ(TStr("a").Cmp(nullptr, 1).Val(), 1);
  EXPECT_EQ(TStr("a").Cmp(nullptr, 2).Val(), 0);
  EXPECT_TRUE(CmpCh('\xff', '\xdf', 1).Val() == 0 && CmpCh('\xff', '\xdf', 0).Val() != 0);  // я / Я
  EXPECT_EQ(CmpNum(0xFFFFFFFFu, 0).Val(), 1);  // unsigned
}

TEST(BStrFind, FindRplFindRe) {
  YT_NEEDS_CP1251();  // a search without case over Cyrillic letters
  TStr s(std::string("ab").append(kYabloko).append("ab").c_str());
  EXPECT_EQ(s.Find("ab", 1), 8);
  EXPECT_EQ(s.Find(kYABLOKO), -1);
  EXPECT_EQ(s.Find(kYABLOKO, 0, 1), 2);
  EXPECT_EQ(s.Find("b", 100), -1);
  EXPECT_EQ(FindTxt(nullptr, "a"), -1);

  s.Set("%x%/%X%/%X%");
  EXPECT_EQ(s.Rpl("%X%", "ab"), 1u);
  EXPECT_EQ(s.Rpl("%X%", "", 0, RPL_ALL | 1), 2u);
  EXPECT_STREQ(s.Str(), "/ab/");
  s.Set("aaa");
  EXPECT_EQ(s.Rpl("a", "aa", 1, RPL_ALL), 2u);  // continues behind each inserted text
  EXPECT_STREQ(s.Str(), "aaaaa");
  EXPECT_EQ(s.Rpl("", "y", 0, RPL_ALL), 0u);

  s.Set("abc123def45");
  EXPECT_EQ(s.FindRe("[0-9]+", 6), 9);
  EXPECT_EQ(s.FindRe("^abc", 1), -1);  // the anchor holds at the start of the text, not of the search
  EXPECT_EQ(s.FindRe("(ab"), -1);
}

TEST(BStrTxt, NumAndCpySub) {
  struct { uint32_t v; int base; const char* txt; } nums[] = {
      {255, 1, "0xff"}, {255, 2, "11111111"}, {0xFFFFFFFFu, 0, "4294967295"}, {0, 1, "0x0"}, {0, 2, "0"}};
  for (auto& c : nums) EXPECT_STREQ(TStr::Num(c.v, c.base).Str(), c.txt) << c.v << " base " << c.base;
  char buf[16];
  EXPECT_EQ(CpySub(buf, "abcdef", 2, 3), 3);
  EXPECT_STREQ(buf, "cde");
  EXPECT_EQ(CpySub(buf, "abcdef", 4, 99), 2);
  EXPECT_STREQ(buf, "ef");
  EXPECT_EQ(CpySub(buf, "abc", 4, 1), -1);
  EXPECT_EQ(CpySub(nullptr, "abc", 0, 1), -1);
}
