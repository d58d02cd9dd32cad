// Strings: growth, editing, the four comparison rules on cp1251 text, search and replace, buffers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Lib/BStr.h"
#include "Lib/Res.h"

namespace {

// Russian words in cp1251.
const char kPrivet[] = "\xef\xf0\xe8\xe2\xe5\xf2";     // привет
const char kPRIVET[] = "\xcf\xd0\xc8\xc2\xc5\xd2";     // ПРИВЕТ
const char kYabloko[] = "\xff\xe1\xeb\xee\xea\xee";    // яблоко
const char kYABLOKO[] = "\xdf\xc1\xcb\xce\xca\xce";    // ЯБЛОКО
const char kYo[] = "\xb8";                             // ё (0xB8, below every other small letter)
const char kA[] = "\xe0";                              // а
const char kZh[] = "\xe6";                             // ж

std::string Msg(const EException& e) { return e.Msg(); }

int Sign(const TCmpRes& r) { return r.Val(); }

}  // namespace

TEST(BStrEnv, AnsiCodePageIs1251) { EXPECT_EQ(GetACP(), 1251u); }

// ---- growth ----

TEST(BStrGrowth, EmptyStringOwns32Bytes) {
  TStr s;
  EXPECT_EQ(s.Len(), 0u);
  ASSERT_NE(s.Str(), nullptr);
  EXPECT_STREQ(s.Str(), "");
  EXPECT_EQ(s.Cap(), 32u);
  EXPECT_TRUE(s.Empty());
}

TEST(BStrGrowth, SetRoundsLengthDownTo32AndAdds32) {
  struct {
    size_t len;
    size_t cap;
  } cases[] = {{1, 32}, {31, 32}, {32, 64}, {63, 64}, {64, 96}, {95, 96}, {96, 128}, {1000, 1024}};
  for (auto& c : cases) {
    TStr s(std::string(c.len, 'x').c_str());
    EXPECT_EQ(s.Len(), c.len);
    EXPECT_EQ(s.Cap(), c.cap) << "length " << c.len;
  }
}

TEST(BStrGrowth, EmptySetShrinksOtherOperationsDoNot) {
  TStr s(std::string(100, 'x').c_str());
  EXPECT_EQ(s.Cap(), 128u);
  s.Clr();
  EXPECT_EQ(s.Cap(), 128u);
  s.Set("abc");
  EXPECT_EQ(s.Cap(), 128u);
  s.Cut(3);
  EXPECT_EQ(s.Cap(), 128u);
  s.Set("");
  EXPECT_EQ(s.Cap(), 32u);
  EXPECT_STREQ(s.Str(), "");
}

TEST(BStrGrowth, AddCrossesTheBoundaryAt32) {
  TStr s(std::string(30, 'a').c_str());
  s.Add("b");
  EXPECT_EQ(s.Len(), 31u);
  EXPECT_EQ(s.Cap(), 32u);
  s.Add("c");
  EXPECT_EQ(s.Len(), 32u);
  EXPECT_EQ(s.Cap(), 64u);
  EXPECT_EQ(std::string(s.Str()), std::string(30, 'a') + "bc");
}

TEST(BStrGrowth, FmtGrowsToTheNextStepThatHoldsTheText) {
  TStr s;
  EXPECT_STREQ(s.Fmt("%s", std::string(31, 'q').c_str()), std::string(31, 'q').c_str());
  EXPECT_EQ(s.Cap(), 32u);
  s.Fmt("%s%u", std::string(31, 'q').c_str(), 7u);
  EXPECT_EQ(s.Len(), 32u);
  EXPECT_EQ(s.Cap(), 64u);
  s.Fmt("%0500d", 1);
  EXPECT_EQ(s.Len(), 500u);
  EXPECT_EQ(s.Cap(), 512u);
  EXPECT_EQ(s[499], '1');
}

TEST(BStrGrowth, CapacityIsTheHeapSizeOfTheBlock) {
  TStr s("abc");
  EXPECT_EQ(s.Cap(), YdSize(s.Str()));
  TBuf b(10);
  EXPECT_EQ(b.Cap(), YdSize(b.Data()));
  memcpy(b.Data(), "123456789", 10);
  TBuf c(b);
  EXPECT_EQ(c.Cap(), b.Cap());
  EXPECT_NE(c.Data(), b.Data());
  EXPECT_STREQ(static_cast<char*>(c.Data()), "123456789");
  b.Free();
  EXPECT_EQ(b.Data(), nullptr);
  EXPECT_EQ(b.Cap(), 0u);
}

TEST(BStrHeap, FailedAllocationThrowsEBadAlloc) {
  const size_t huge = size_t(1) << 60;
  try {
    YdAlloc(huge);
    FAIL() << "no exception";
  } catch (const EBadAlloc& e) {
    EXPECT_EQ(Msg(e).rfind("[EBadAlloc(sz=1152921504606846976)] 'Src/Lib/BStr' line ", 0), 0u) << Msg(e);
  }
  TBuf b;
  EXPECT_THROW(b.Alloc(huge), EBadAlloc);
  EXPECT_THROW(b.ReAlloc(huge), EBadAlloc);
  void* p = YdReAlloc(nullptr, 16);
  EXPECT_GE(YdSize(p), 16u);
  EXPECT_EQ(YdFree(p), 0u);
  EXPECT_EQ(YdFree(nullptr), 0u);
}

// ---- editing ----

TEST(BStrEdit, SetCountsAndSelfReferences) {
  TStr s("abcdef", 3);
  EXPECT_STREQ(s.Str(), "abc");
  s.Set("xy", 10);
  EXPECT_STREQ(s.Str(), "xy");
  s.Set(nullptr);
  EXPECT_STREQ(s.Str(), "");
  s.Set("hello world");
  s.Set(s);
  EXPECT_STREQ(s.Str(), "hello world");
  s.Set(s.Str() + 6);
  EXPECT_STREQ(s.Str(), "world");
  EXPECT_EQ(s.Len(), 5u);
  TStr t(s);
  t = t;
  EXPECT_STREQ(t.Str(), "world");
  EXPECT_STREQ((t + "!" + TStr("?")).Str(), "world!?");
}

TEST(BStrEdit, AddAndInsOfOwnTextSurviveReallocation) {
  TStr s(std::string(20, 'a').c_str());
  s.Add(s);
  EXPECT_EQ(std::string(s.Str()), std::string(40, 'a'));
  TStr t("0123456789012345678901234567");
  t.Ins(t.Str() + 20, 3);
  EXPECT_STREQ(t.Str(), "012012345673456789012345678901234567");
  EXPECT_EQ(t.Cap(), 64u);
  t.Add("");
  t.Add(nullptr);
  EXPECT_EQ(t.Len(), 36u);
}

TEST(BStrEdit, InsPositionsAndCounts) {
  TStr s("ace");
  s.Ins("b", 1);
  s.Ins("dXXX", 3, 1);
  s.Ins("f", 5);
  s.Ins(">", 0);
  EXPECT_STREQ(s.Str(), ">abcdef");
  s.Ins("", 99);
  EXPECT_STREQ(s.Str(), ">abcdef");
  EXPECT_THROW(s.Ins("z", 8), EOutOfRange);
  EXPECT_STREQ(s.Str(), ">abcdef");
}

TEST(BStrEdit, DelRangesAndItsException) {
  TStr s("abcdef");
  s.Del(1, 2);
  EXPECT_STREQ(s.Str(), "adef");
  s.Del(2);
  EXPECT_STREQ(s.Str(), "ad");
  s.Del(1, 1);
  EXPECT_STREQ(s.Str(), "a");
  struct {
    const char* txt;
    uint32_t pos, n;
    const char* msg;
  } bad[] = {
      {"", 0, 0, "[EOutOfRange(idx=0,cnt=0)] 'Src/Lib/BStr' line 70 "},
      {"abc", 3, 0, "[EOutOfRange(idx=3,cnt=3)] 'Src/Lib/BStr' line 70 "},
      {"abc", 1, 3, "[EOutOfRange(idx=1,cnt=3)] 'Src/Lib/BStr' line 70 "},
      {"abc", 1, 0xFFFFFFFFu, "[EOutOfRange(idx=1,cnt=3)] 'Src/Lib/BStr' line 70 "},
  };
  for (auto& c : bad) {
    TStr t(c.txt);
    try {
      t.Del(c.pos, c.n);
      ADD_FAILURE() << "no exception for " << c.pos << "," << c.n;
    } catch (const EException& e) {
      EXPECT_EQ(Msg(e), c.msg);
    }
    EXPECT_STREQ(t.Str(), c.txt);
  }
}

TEST(BStrEdit, CutClrTrim) {
  TStr s("abc");
  s.Cut(5);
  EXPECT_STREQ(s.Str(), "");
  EXPECT_EQ(s.Len(), 0u);
  s.Set("abc");
  s.Cut(1);
  EXPECT_STREQ(s.Str(), "ab");
  s.Cut(0);
  EXPECT_STREQ(s.Str(), "ab");
  s.Clr();
  EXPECT_STREQ(s.Str(), "");

  struct {
    const char* in;
    const char* l;
    const char* r;
    const char* both;
  } cases[] = {
      {"", "", "", ""},
      {" \t \t", "", "", ""},
      {"\t a b \t", "a b \t", "\t a b", "a b"},
      {"x", "x", "x", "x"},
      {"\n x \n", "\n x \n", "\n x \n", "\n x \n"},
  };
  for (auto& c : cases) {
    TStr l(c.in), r(c.in), b(c.in);
    l.TrimL();
    r.TrimR();
    b.Trim();
    EXPECT_STREQ(l.Str(), c.l);
    EXPECT_STREQ(r.Str(), c.r);
    EXPECT_STREQ(b.Str(), c.both);
    EXPECT_EQ(b.Len(), strlen(c.both));
  }
}

TEST(BStrEdit, Unquote) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"\"\"", ""},           {"\"abc\"", "abc"},     {"\"a\"b\"", "\"a\"b\""}, {"\"", "\""},
      {"\"abc", "\"abc"},     {"abc\"", "abc\""},     {"", ""},                 {"a\"b\"", "a\"b\""},
      {"\" x y \"", " x y "},
  };
  for (auto& c : cases) {
    TStr s(c.in);
    s.Unquote();
    EXPECT_STREQ(s.Str(), c.out) << c.in;
    EXPECT_EQ(s.Len(), strlen(c.out));
  }
}

TEST(BStrEdit, CaseFollowsCodePage1251) {
  TStr s(kPrivet);
  s.Add(" abc ");
  s.Add(kYo);
  s.Case(0);
  EXPECT_EQ(std::string(s.Str()), std::string(kPRIVET) + " ABC \xa8");
  s.Case(1);
  EXPECT_EQ(std::string(s.Str()), std::string(kPrivet) + " abc \xb8");
}

// ---- comparison ----

TEST(BStrCmp, FourRules) {
  struct {
    const char* a;
    const char* b;
    int flags;
    int sign;
  } cases[] = {
      {"attempts", "ATT", 3, 0},
      {"attempts", "ATT", 2, 1},
      {"attempts", "att", 2, 0},
      {"at", "att", 2, -1},
      {"attempts", "attx", 3, -1},
      {kYabloko, kYABLOKO, 3, 1},    // Cyrillic letters must match in case
      {kYabloko, kYABLOKO, 1, 0},
      {kYabloko, kYabloko, 3, 0},
      {kPrivet, kPRIVET, 1, 0},
      {"abc", "ABC", 1, 0},
      {"abc", "abc", 0, 0},
      {"a", "B", 0, -1},             // linguistic: a before B, although 0x61 > 0x42
      {"a", "B", 2, 1},              // bytes
      {kYo, kA, 0, 1},               // linguistic: ё after а
      {kYo, kZh, 0, -1},             // ...and before ж
      {kYo, kA, 2, -1},              // bytes: 0xB8 < 0xE0
      {kYo, kA, 3, -1},
      {"abc", "", 2, 0},             // an empty prefix matches everything
      {"abc", "", 0, 1},
  };
  for (auto& c : cases) {
    TStr s(c.a);
    EXPECT_EQ(Sign(s.Cmp(c.b, c.flags)), c.sign) << c.a << " / " << c.b << " flags " << c.flags;
    EXPECT_EQ(Sign(s.Cmp(TStr(c.b), c.flags)), c.sign);
    EXPECT_EQ(Sign(CmpTxt(c.a, c.b, c.flags)), c.sign);
  }
  EXPECT_TRUE(TStr("x").Eq("x"));
  EXPECT_TRUE(TStr("x").Ne("X"));
}

TEST(BStrCmp, NullOperands) {
  TStr empty, full("a");
  for (int f = 0; f < 4; ++f) EXPECT_EQ(Sign(empty.Cmp(nullptr, f)), 0) << f;
  EXPECT_EQ(Sign(full.Cmp(nullptr, 0)), 1);
  EXPECT_EQ(Sign(full.Cmp(nullptr, 1)), 1);
  EXPECT_EQ(Sign(full.Cmp(nullptr, 2)), 0);
  EXPECT_EQ(Sign(full.Cmp(nullptr, 3)), 0);

  struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {{nullptr, nullptr, 0}, {nullptr, "", 0}, {"", nullptr, 0}, {nullptr, "a", -1}, {"a", nullptr, 1}};
  for (auto& c : cases)
    for (int f = 0; f < 4; ++f) EXPECT_EQ(Sign(CmpTxt(c.a, c.b, f)), c.sign);
}

TEST(BStrCmp, CharactersAndNumbers) {
  EXPECT_EQ(Sign(CmpCh('\xff', '\xdf', 1)), 0);  // я / Я
  EXPECT_NE(Sign(CmpCh('\xff', '\xdf', 0)), 0);
  EXPECT_EQ(Sign(CmpCh('a', 'A', 1)), 0);
  EXPECT_EQ(Sign(CmpCh('a', 'b', 0)), -1);
  EXPECT_EQ(Sign(CmpNum(0xFFFFFFFFu, 0)), 1);  // unsigned
  EXPECT_EQ(TCmpRes(-42).Val(), -1);
}

// ---- search and replace ----

TEST(BStrFind, PositionsCaseAndLimits) {
  TStr s(std::string("ab").append(kYabloko).append("ab").c_str());
  EXPECT_EQ(s.Find("ab"), 0);
  EXPECT_EQ(s.Find("ab", 1), 8);
  EXPECT_EQ(s.Find("ab", 9), -1);
  EXPECT_EQ(s.Find(kYABLOKO), -1);
  EXPECT_EQ(s.Find(kYABLOKO, 0, 1), 2);
  EXPECT_EQ(s.Find("AB", 3, 1), 8);
  EXPECT_EQ(s.Find("abcdefghijklmnop"), -1);
  EXPECT_EQ(s.Find("b", 100), -1);
  EXPECT_EQ(s.Find(nullptr), -1);
}

TEST(BStrFind, Rpl) {
  TStr s("%X%/%X%");
  EXPECT_EQ(s.Rpl("%X%", "ab", 0, RPL_ALL), 2u);
  EXPECT_STREQ(s.Str(), "ab/ab");
  s.Set("%X%/%X%");
  EXPECT_EQ(s.Rpl("%X%", "ab"), 1u);
  EXPECT_STREQ(s.Str(), "ab/%X%");
  s.Set("%x%/%X%");
  EXPECT_EQ(s.Rpl("%X%", "", 0, RPL_ALL | 1), 2u);
  EXPECT_STREQ(s.Str(), "/");
  s.Set("aaa");
  EXPECT_EQ(s.Rpl("a", "aa", 1, RPL_ALL), 2u);  // continues behind each inserted text
  EXPECT_STREQ(s.Str(), "aaaaa");
  EXPECT_EQ(s.Rpl("z", "y", 0, RPL_ALL), 0u);
  EXPECT_EQ(s.Rpl("", "y", 0, RPL_ALL), 0u);
  s.Set("abc");
  EXPECT_EQ(s.Rpl("b", s.Str()), 1u);
  EXPECT_STREQ(s.Str(), "aabcc");
}

TEST(BStrFind, FindRe) {
  TStr s("abc123def45");
  EXPECT_EQ(s.FindRe("[0-9]+"), 3);
  EXPECT_EQ(s.FindRe("[0-9]+", 6), 9);
  EXPECT_EQ(s.FindRe("^abc"), 0);
  EXPECT_EQ(s.FindRe("^abc", 1), -1);
  EXPECT_EQ(s.FindRe("x"), -1);
  EXPECT_EQ(s.FindRe("(ab"), -1);
  EXPECT_EQ(s.FindRe("4", 100), -1);
  EXPECT_EQ(s.FindRe("$"), 11);
}

TEST(BStrFmt, ArgumentsMayBeTheStringItself) {
  TStr s("ab");
  s.Fmt("%s-%s-%s", s.Str(), s.Str(), "c");
  EXPECT_STREQ(s.Str(), "ab-ab-c");
  EXPECT_EQ(s.Len(), 7u);
  s.Fmt("%.2f|%lld|%#010x|%s", 2.5, -5LL, 255u, "");
  EXPECT_STREQ(s.Str(), "2.50|-5|0x000000ff|");
  s.Fmt("%s", "");
  EXPECT_EQ(s.Len(), 0u);
}

TEST(BStrNum, Bases) {
  struct {
    uint32_t v;
    int base;
    const char* txt;
  } cases[] = {
      {255, 1, "0xff"},   {255, 2, "11111111"}, {0xFFFFFFFFu, 0, "4294967295"},
      {0, 0, "0"},        {0, 1, "0x0"},        {0, 2, "0"},
      {0x80000000u, 2, "10000000000000000000000000000000"},
      {1234567, 0, "1234567"},
  };
  for (auto& c : cases) EXPECT_STREQ(TStr::Num(c.v, c.base).Str(), c.txt) << c.v << " base " << c.base;
  EXPECT_STREQ(TStr::Num(static_cast<uint32_t>(-1)).Str(), "4294967295");
}

// ---- plain texts ----

TEST(BStrTxt, StrDupFindTxtCpySub) {
  EXPECT_EQ(StrDup(nullptr), nullptr);
  char* d = StrDup(kPrivet);
  EXPECT_STREQ(d, kPrivet);
  YdFree(d);

  EXPECT_EQ(FindTxt("abcabc", "bc"), 1);
  EXPECT_EQ(FindTxt("abcabc", "bc", 2), 4);
  EXPECT_EQ(FindTxt("abcabc", "bc", 5), -1);
  EXPECT_EQ(FindTxt("abcabc", "BC"), -1);
  EXPECT_EQ(FindTxt("abc", "c", 3), -1);
  EXPECT_EQ(FindTxt("abc", "abcd"), -1);
  EXPECT_EQ(FindTxt(nullptr, "a"), -1);

  char buf[16];
  EXPECT_EQ(CpySub(buf, "abcdef", 2, 3), 3);
  EXPECT_STREQ(buf, "cde");
  EXPECT_EQ(CpySub(buf, "abcdef", 2, 0), 4);
  EXPECT_STREQ(buf, "cdef");
  EXPECT_EQ(CpySub(buf, "abcdef", 4, 99), 2);
  EXPECT_STREQ(buf, "ef");
  EXPECT_EQ(CpySub(buf, "abcdef", 6, 0), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(CpySub(buf, "abc", 4, 1), -1);
  EXPECT_EQ(CpySub(nullptr, "abc", 0, 1), -1);
}
