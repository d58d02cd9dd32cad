#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Lib/Re.h"

namespace {

std::vector<std::string>* g_Msgs = nullptr;
void CatchMsg(const char* m) {
  if (g_Msgs) g_Msgs->push_back(m);
}

// Installs a hook that records every error text, and removes it again.
class ReHook : public testing::Test {
 protected:
  void SetUp() override {
    g_Msgs = &m_Msgs;
    ReErrHook = CatchMsg;
  }
  void TearDown() override {
    ReErrHook = nullptr;
    g_Msgs = nullptr;
  }
  std::vector<std::string> m_Msgs;
};

struct ProgPtr {
  TReProg* p;
  explicit ProgPtr(const char* pat) : p(ReComp(pat)) {}
  ~ProgPtr() { std::free(p); }
};

// Match start and length of pattern in text; {-1, -1} for no match or a pattern that does not compile.
std::pair<int, int> Find(const char* pat, const char* text) {
  ProgPtr r(pat);
  if (!r.p || !ReExec(r.p, text)) return {-1, -1};
  return {ReMatchStart(r.p), static_cast<int>(r.p->EndP[0] - r.p->StartP[0])};
}

using ReErrors = ReHook;

TEST_F(ReErrors, CompileErrorsPassTheirTextToTheHook) {
  const std::string tooBig(32756, 'a');  // a literal of n characters needs n + 11 bytes
  struct {
    const char* pat;
    const char* msg;
  } cases[] = {
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "too many ()"},
      {"((((((((((a))))))))))", "too many ()"},
      {"(a", "unmatched ()"},
      {"a)", "unmatched ()"},
      {"(a|b))", "unmatched ()"},
      {"(a*)*", "*+ operand could be empty"},
      {"(b?)+", "*+ operand could be empty"},
      {"(a|)*", "*+ operand could be empty"},
      {"^*", "*+ operand could be empty"},
      {"a**", "nested *?+"},
      {"a*?", "nested *?+"},
      {"(ab)?+", "nested *?+"},
      {"*a", "?+* follows nothing"},
      {"a|+b", "?+* follows nothing"},
      {"(?a)", "?+* follows nothing"},
      {"ab\\", "trailing \\"},
      {"[abc", "unmatched []"},
      {"[^", "unmatched []"},
      {"x[]", "unmatched []"},
      {"[z-a]", "invalid [] range"},
      {"[0-9b-a]", "invalid [] range"},
      {tooBig.c_str(), "regexp too big"},
  };
  for (const auto& c : cases) {
    m_Msgs.clear();
    TReProg* p = ReComp(c.pat);
    EXPECT_EQ(p, nullptr) << c.pat;
    std::free(p);
    ASSERT_EQ(m_Msgs.size(), 1u) << c.pat;
    EXPECT_EQ(m_Msgs[0], c.msg) << c.pat;
  }
  m_Msgs.clear();
  EXPECT_EQ(ReComp(nullptr), nullptr);
  EXPECT_EQ(m_Msgs, std::vector<std::string>{"NULL argument"});
}

TEST_F(ReErrors, LargestProgramCompiles) {
  const std::string largest(32755, 'a');
  ProgPtr r(largest.c_str());
  ASSERT_NE(r.p, nullptr);
  EXPECT_EQ(r.p->ProgLen, 32766u);
  EXPECT_TRUE(m_Msgs.empty());
  EXPECT_EQ(ReExec(r.p, (largest + "b").c_str()), 1);
}

TEST_F(ReErrors, MatchErrorsPassTheirTextToTheHook) {
  ProgPtr r("ab");
  ASSERT_NE(r.p, nullptr);
  EXPECT_EQ(ReExec(static_cast<TReProg*>(nullptr), "ab"), 0);
  EXPECT_EQ(ReExec(r.p, nullptr), 0);
  EXPECT_EQ(m_Msgs, (std::vector<std::string>{"NULL parameter", "NULL parameter"}));

  m_Msgs.clear();
  r.p->Prog[0] = 'x';
  EXPECT_EQ(ReExec(r.p, "ab"), 0);
  EXPECT_EQ(m_Msgs, std::vector<std::string>{"corrupted program"});
}

TEST_F(ReErrors, DamagedNodesAreReportedNotFollowed) {
  // "a*b": [1] BRANCH, [4] STAR, [7] EXACTLY "a" (operand of STAR), [12] EXACTLY "b", [17] END.
  struct {
    int at;
    char val;
    const char* msg;
  } cases[] = {
      {12, 50, "memory corruption"},     // unknown node kind
      {7, 9, "internal foulup"},         // a repeat over an empty node
      {13, 0x7F, "corrupted pointers"},  // link far outside the program
      {14, 0, "corrupted pointers"},     // no next node before the end
  };
  for (const auto& c : cases) {
    m_Msgs.clear();
    ProgPtr r("a*b");
    ASSERT_NE(r.p, nullptr);
    ASSERT_EQ(r.p->ProgLen, 20u);
    ASSERT_EQ(r.p->Prog[12], 8);
    if (c.at == 14) r.p->Prog[13] = 0;
    r.p->Prog[c.at] = c.val;
    EXPECT_EQ(ReExec(r.p, "aab"), 0) << c.msg;
    ASSERT_FALSE(m_Msgs.empty()) << c.msg;
    EXPECT_EQ(m_Msgs[0], c.msg);
  }
}

TEST(ReProgram, NodeLayout) {
  ProgPtr r("ab*c");
  ASSERT_NE(r.p, nullptr);
  // BRANCH to END; EXACTLY "a"; STAR with its operand EXACTLY "b" (no link); EXACTLY "c"; END.
  const unsigned char want[] = {156, 6, 0, 21, 8, 0, 5, 'a', 0, 10, 0, 8,   8,
                                0,   0, 'b', 0, 8, 0, 5, 'c', 0, 0,  0, 0};
  ASSERT_EQ(r.p->ProgLen, sizeof(want));
  EXPECT_EQ(std::memcmp(r.p->Prog, want, sizeof(want)), 0);
}

TEST(ReProgram, LinksAreHighByteFirst) {
  const std::string run(300, 'x');
  ProgPtr r(run.c_str());
  ASSERT_NE(r.p, nullptr);
  // EXACTLY at 4: 3 bytes of node, 300 characters and the NUL make 304 = 0x0130 to the END node.
  EXPECT_EQ(r.p->Prog[4], 8);
  EXPECT_EQ(static_cast<unsigned char>(r.p->Prog[5]), 0x01);
  EXPECT_EQ(static_cast<unsigned char>(r.p->Prog[6]), 0x30);
  EXPECT_EQ(r.p->Prog[4 + 304], 0);
}

TEST(ReProgram, GroupsAndRepeatKinds) {
  ProgPtr r("(a)(bc)+.*[xy]+");
  ASSERT_NE(r.p, nullptr);
  std::vector<int> kinds;
  for (uint32_t i = 1; i < r.p->ProgLen;) {
    int k = static_cast<unsigned char>(r.p->Prog[i]);
    kinds.push_back(k);
    i += 3;
    if (k == 4 || k == 5 || k == 8) i += std::strlen(r.p->Prog + i) + 1;
  }
  // BRANCH, OPEN1 BRANCH EXACTLY CLOSE1, OPEN2 BRANCH EXACTLY CLOSE2 BRANCH BACK BRANCH NOTHING,
  // STAR ANY, PLUS ANYOF, END
  EXPECT_EQ(kinds, (std::vector<int>{6, 21, 6, 8, 31, 22, 6, 8, 32, 6, 7, 6, 9, 10, 3, 11, 4, 0}));
}

TEST(ReProgram, Hints) {
  struct {
    const char* pat;
    char start;
    char anch;
    const char* must;
  } cases[] = {
      {"abc", 'a', 0, nullptr},
      {"^abc", 0, 1, nullptr},
      {"x*abc", 0, 0, "abc"},
      {".*ab.*cd", 0, 0, "cd"},      // equal lengths: the later one
      {"a?bcd.*ef", 0, 0, "bcd"},
      {"(a*b)cde", 0, 0, "cde"},     // a group whose first piece is starred
      {"(x|y)*z(pq|rst)", 0, 0, "z"},  // literals inside alternatives are not required
      {"a|b", 0, 0, nullptr},        // two top-level alternatives: no hints
      {"[ab]c", 0, 0, nullptr},
  };
  for (const auto& c : cases) {
    ProgPtr r(c.pat);
    ASSERT_NE(r.p, nullptr) << c.pat;
    EXPECT_EQ(r.p->Start, c.start) << c.pat;
    EXPECT_EQ(r.p->Anch, c.anch) << c.pat;
    if (!c.must) {
      EXPECT_EQ(r.p->Must, nullptr) << c.pat;
    } else {
      ASSERT_NE(r.p->Must, nullptr) << c.pat;
      EXPECT_EQ(std::string(r.p->Must, r.p->MustLen), c.must) << c.pat;
    }
  }
}

TEST(ReMatch, LeftmostFirstAlternative) {
  struct {
    const char* pat;
    const char* text;
    int start;
    int len;
  } cases[] = {
      {"[0-9]+ms", "10ms", 0, 4},
      {"[0-9]+ms", "10msec", 0, 4},
      {"[0-9]+ms", "x10ms", 1, 4},
      {"[0-9]+ms", "10 ms", -1, -1},
      {"a|ab", "ab", 0, 1},
      {"ab|a", "ab", 0, 2},
      {"(a|ab)(c|bcd)", "abcd", 0, 4},
      {"a*", "bbb", 0, 0},
      {"a*", "aaab", 0, 3},
      {"a*", "", 0, 0},
      {"", "xyz", 0, 0},
      {"x*$", "abc", 3, 0},
      {"$", "abc", 3, 0},
      {"^b", "ab", -1, -1},
      {"^a", "ab", 0, 1},
      {"b$", "ab\n", -1, -1},
      {"a^b", "ab", -1, -1},
      {"a.c", "abc", 0, 3},
      {"a.c", "ac", -1, -1},
      {"[^a]+", "aaxyz", 2, 3},
      {"[]a]+", "x]]a", 1, 3},
      {"[a-]+", "x-a-", 1, 3},
      {"[^]a]+", "]]bc", 2, 2},
      {"\\.", "a.b", 1, 1},
      {"a\\*", "aa*", 1, 2},
      {"\\(x\\)", "(x)", 0, 3},
      {"colou?r", "color", 0, 5},
      {"colou?r", "colour", 0, 6},
      {"(ab)+", "xababa", 1, 4},
      {"(ab)*c", "ababc", 0, 5},
      {"a+b", "aaab", 0, 4},
      {"a*ab", "aaab", 0, 4},    // the repeat backs off for the literal after it
      {".*b", "abcb", 0, 4},     // greedy: the last b
      {"[0-9]*\\.[0-9]+", "v1.25x", 1, 4},
      {"A", "a", -1, -1},        // case-sensitive
      {"[\xc0-\xff]+", "abc\xc0\xe1\xff!", 3, 3},
      {"\xcf\xf0\xe8", "\xcf\xf0\xe8\xe2\xe5\xf2", 0, 3},  // "При" in "Привет"
      {"x{2}", "x{2}", 0, 4},    // no counted repeats: braces are literal
      {"(a|b|c)+d", "cabd", 0, 4},
      {"(a?)b", "b", 0, 1},
  };
  for (const auto& c : cases) {
    auto got = Find(c.pat, c.text);
    EXPECT_EQ(got.first, c.start) << c.pat << " in " << c.text;
    EXPECT_EQ(got.second, c.len) << c.pat << " in " << c.text;
  }
}

TEST(ReMatch, GroupPositions) {
  ProgPtr r("(a+)(b*)c");
  ASSERT_NE(r.p, nullptr);
  const char* t = "xaabbc";
  ASSERT_EQ(ReExec(r.p, t), 1);
  EXPECT_EQ(r.p->StartP[0] - t, 1);
  EXPECT_EQ(r.p->EndP[0] - t, 6);
  EXPECT_EQ(r.p->StartP[1] - t, 1);
  EXPECT_EQ(r.p->EndP[1] - t, 3);
  EXPECT_EQ(r.p->StartP[2] - t, 3);
  EXPECT_EQ(r.p->EndP[2] - t, 5);
  EXPECT_EQ(r.p->StartP[3], nullptr);

  // A repeated group holds its last iteration.
  ProgPtr loop("(a|b)*");
  ASSERT_EQ(ReExec(loop.p, "ab"), 1);
  EXPECT_EQ(loop.p->EndP[1] - loop.p->StartP[1], 1);
  EXPECT_EQ(*loop.p->StartP[1], 'b');

  // A group on a failed alternative leaves no position behind.
  ProgPtr alt("(a)x|(a)y");
  const char* t2 = "ay";
  ASSERT_EQ(ReExec(alt.p, t2), 1);
  EXPECT_EQ(alt.p->StartP[1], nullptr);
  EXPECT_EQ(alt.p->EndP[1], nullptr);
  EXPECT_EQ(alt.p->StartP[2], t2);

  // Nine groups are allowed.
  ProgPtr nine("(a)(b)(c)(d)(e)(f)(g)(h)(i)");
  ASSERT_NE(nine.p, nullptr);
  const char* t3 = "abcdefghi";
  ASSERT_EQ(ReExec(nine.p, t3), 1);
  EXPECT_EQ(nine.p->StartP[9] - t3, 8);
}

TEST(ReMatch, MatchStartFollowsTheLastExec) {
  ProgPtr r("b+");
  ASSERT_NE(r.p, nullptr);
  EXPECT_EQ(ReMatchStart(r.p), -1);
  ASSERT_EQ(ReExec(r.p, "aabb"), 1);
  EXPECT_EQ(ReMatchStart(r.p), 2);
  EXPECT_EQ(ReExec(r.p, "aaa"), 0);
  EXPECT_EQ(ReMatchStart(r.p), -1);
  EXPECT_EQ(ReMatchStart(nullptr), -1);

  // The form with a match record leaves the program alone.
  ASSERT_EQ(ReExec(r.p, "xb"), 1);
  TReMatch m;
  const char* t = "bbb";
  ASSERT_EQ(ReExec(static_cast<const TReProg*>(r.p), t, m), 1);
  EXPECT_EQ(m.StartP[0], t);
  EXPECT_EQ(m.EndP[0], t + 3);
  EXPECT_EQ(ReMatchStart(r.p), 1);
}

TEST(ReMatch, NoHookDropsMessagesSilently) {
  ASSERT_EQ(ReErrHook, nullptr);
  EXPECT_EQ(ReComp("a**"), nullptr);
  EXPECT_EQ(Find("[z-a]", "abc").first, -1);
}

// Bounds: deep group loops give up as a whole instead of exhausting the stack, and exponential
// backtracking ends.
TEST_F(ReErrors, RecursionIsBounded) {
  std::string t;
  for (int i = 0; i < 1500; i++) t += "ab";
  EXPECT_EQ(Find("(ab)*$", t.c_str()), std::make_pair(0, 3000));
  EXPECT_TRUE(m_Msgs.empty());

  for (int i = 0; i < 1500; i++) t += "ab";
  EXPECT_EQ(Find("(ab)*$", t.c_str()).first, -1);
  ASSERT_EQ(m_Msgs.size(), 1u);
  EXPECT_EQ(m_Msgs[0], "recursion too deep");

  // Simple repeats do not recurse per character, whatever the length of the text.
  m_Msgs.clear();
  std::string longLine(200000, 'x');
  longLine += "END";
  EXPECT_EQ(Find("x*E[A-Z]+$", longLine.c_str()), std::make_pair(0, 200003));
  EXPECT_TRUE(m_Msgs.empty());
}

TEST_F(ReErrors, BacktrackingIsBounded) {
  std::string t(40, 'a');
  t += "cb";
  DWORD t0 = GetTickCount();
  EXPECT_EQ(Find("(a|a)*b", t.c_str()).first, -1);
  EXPECT_LT(GetTickCount() - t0, 20000u);
  ASSERT_EQ(m_Msgs.size(), 1u);
  EXPECT_EQ(m_Msgs[0], "too much backtracking");
}

// The stack the matcher takes at its deepest, measured from the error hook called at the bound.
uintptr_t g_DeepSp = 0;
void NoteDeepSp(const char*) {
  volatile char here = 0;
  g_DeepSp = reinterpret_cast<uintptr_t>(&here);
}

TEST(ReMatch, StackAtTheDepthBoundIsSmall) {
  std::string t;
  for (int i = 0; i < 3000; i++) t += "ab";
  ProgPtr r("(ab)*$");
  char top;
  ReErrHook = NoteDeepSp;
  EXPECT_EQ(ReExec(r.p, t.c_str()), 0);
  ReErrHook = nullptr;
  ASSERT_NE(g_DeepSp, 0u);
  intptr_t used = static_cast<intptr_t>(reinterpret_cast<uintptr_t>(&top) - g_DeepSp);
  EXPECT_GT(used, 2000 * 32);
  EXPECT_LT(used, 2000 * 200);
  std::printf("stack used at the depth bound: %d bytes\n", static_cast<int>(used));
}

// The deepest match the bound allows runs on a thread with a 512 KiB stack.
TEST(ReMatch, DeepestMatchFitsASmallStack) {
  struct Job {
    std::string text;
    int result = -1;
  } job;
  for (int i = 0; i < 1990; i++) job.text += "ab";
  auto run = [](void* p) -> DWORD {
    Job* j = static_cast<Job*>(p);
    ProgPtr r("(ab)*(x|$)");
    j->result = r.p ? ReExec(r.p, j->text.c_str()) : -2;
    std::string deeper = j->text + "abababababababababababab";
    if (j->result == 1) j->result = ReExec(r.p, deeper.c_str()) == 0 ? 1 : -3;
    return 0;
  };
  HANDLE h = CreateThread(nullptr, 512 * 1024, run, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 60000), WAIT_OBJECT_0);
  CloseHandle(h);
  EXPECT_EQ(job.result, 1);
}

// Two threads compile and match at the same time and get what one thread gets alone.
TEST(ReMatch, ConcurrentUseGivesTheSingleThreadedResults) {
  const char* pats[] = {"[0-9]+ms",  "a|ab",      "(a|b)*c",  "^x.*y$",     "(ab)+",   "[^ ]+ [^ ]+",
                        "x*abc",     "(a+)(b*)c", "colou?r",  ".*(ERR|WARN).*", "q",    "(a|a)*b",
                        "[a-c]+d?e", "\\.[0-9]",  "(x)(y)?z", "a**"};
  const char* texts[] = {"10ms",       "ab",    "abbac",  "x123y", "xababa", "hello world", "xxabc",
                         "aabbc",      "color", "line: WARN disk", "",     "aaaaaaaaaaaaab",
                         "abccbe",     "v1.2",  "xz",     "xyz x10msec"};
  struct R {
    int m, s, e;
  };
  auto runAll = [&](std::vector<R>& out) {
    out.clear();
    for (const char* p : pats)
      for (const char* t : texts) {
        TReProg* r = ReComp(p);
        R x{-1, -1, -1};
        if (r) {
          x.m = ReExec(r, t);
          if (x.m) x = R{1, static_cast<int>(r->StartP[0] - t), static_cast<int>(r->EndP[0] - t)};
          std::free(r);
        }
        out.push_back(x);
      }
  };
  std::vector<R> want;
  runAll(want);

  int bad[2] = {0, 0};
  auto worker = [&](int id) {
    std::vector<R> got;
    for (int round = 0; round < 300; round++) {
      runAll(got);
      for (size_t i = 0; i < want.size(); i++)
        if (got[i].m != want[i].m || got[i].s != want[i].s || got[i].e != want[i].e) bad[id]++;
    }
  };
  std::thread a(worker, 0), b(worker, 1);
  a.join();
  b.join();
  EXPECT_EQ(bad[0], 0);
  EXPECT_EQ(bad[1], 0);
}

}  // namespace
