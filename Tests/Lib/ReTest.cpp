// Pattern matcher: error texts, node program, hints, leftmost semantics, bounds, two threads.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Lib/Re.h"

namespace {

std::vector<std::string> g_Msgs;
void CatchMsg(const char* m) { g_Msgs.push_back(m); }

// Records every error text while a test runs.
class ReErrors : public testing::Test {
 protected:
  void SetUp() override {
    g_Msgs.clear();
    ReErrHook = CatchMsg;
  }
  void TearDown() override { ReErrHook = nullptr; }
};

struct ProgPtr {
  TReProg* p;
  explicit ProgPtr(const char* pat) : p(ReComp(pat)) {}
  ~ProgPtr() { std::free(p); }
};

// Match start and length; {-1, -1} for no match or a pattern that does not compile.
std::pair<int, int> Find(const char* pat, const char* text) {
  ProgPtr r(pat);
  if (!r.p || !ReExec(r.p, text)) return {-1, -1};
  return {ReMatchStart(r.p), static_cast<int>(r.p->EndP[0] - r.p->StartP[0])};
}

TEST_F(ReErrors, CompileErrorTexts) {
  const std::string tooBig(32756, 'a');  // a literal of n characters needs n + 11 bytes
  struct { const char* pat; const char* msg; } cases[] = {
      {"((((((((((a))))))))))", "too many ()"}, {"(a", "unmatched ()"}, {"(a|b))", "unmatched ()"},
      {"(a*)*", "*+ operand could be empty"}, {"(a|)*", "*+ operand could be empty"}, {"^*", "*+ operand could be empty"},
      {"a**", "nested *?+"}, {"(ab)?+", "nested *?+"}, {"*a", "?+* follows nothing"}, {"a|+b", "?+* follows nothing"},
      {"ab\\", "trailing \\"}, {"[^", "unmatched []"}, {"x[]", "unmatched []"}, {"[0-9b-a]", "invalid [] range"},
      {tooBig.c_str(), "regexp too big"}, {nullptr, "NULL argument"},
  };
  for (const auto& c : cases) {
    g_Msgs.clear();
    EXPECT_EQ(ReComp(c.pat), nullptr);
    EXPECT_EQ(g_Msgs, std::vector<std::string>{c.msg}) << (c.pat ? c.pat : "null");
  }
  ProgPtr largest(std::string(32755, 'a').c_str());
  ASSERT_NE(largest.p, nullptr);
  EXPECT_EQ(largest.p->ProgLen, 32766u);
}

TEST_F(ReErrors, MatchErrorTexts) {
  ProgPtr r("ab");
  EXPECT_EQ(ReExec(static_cast<TReProg*>(nullptr), "ab"), 0);
  EXPECT_EQ(ReExec(r.p, nullptr), 0);
  r.p->Prog[0] = 'x';
  EXPECT_EQ(ReExec(r.p, "ab"), 0);
  EXPECT_EQ(g_Msgs, (std::vector<std::string>{"NULL parameter", "NULL parameter", "corrupted program"}));

  // "a*b": [1] BRANCH, [4] STAR, [7] EXACTLY "a" (operand of STAR), [12] EXACTLY "b", [17] END.
  // An unknown node kind, a repeat over an empty node, a link far outside the program, no next node before the end.
  struct { int at; char val; const char* msg; } damage[] = {{12, 50, "memory corruption"}, {7, 9, "internal foulup"},
                                                          {13, 0x7F, "corrupted pointers"}, {14, 0, "corrupted pointers"}};
  for (const auto& c : damage) {
    g_Msgs.clear();
    ProgPtr d("a*b");
    ASSERT_EQ(d.p->Prog[12], 8);
    if (c.at == 14) d.p->Prog[13] = 0;
    d.p->Prog[c.at] = c.val;
    EXPECT_EQ(ReExec(d.p, "aab"), 0) << c.msg;
    ASSERT_FALSE(g_Msgs.empty()) << c.msg;
    EXPECT_EQ(g_Msgs[0], c.msg);
  }
}

TEST(ReProgram, NodeLayout) {
  ProgPtr r("ab*c");
  // BRANCH to END; EXACTLY "a"; STAR with its operand EXACTLY "b" (no link); EXACTLY "c"; END.
  const unsigned char want[] = {156, 6, 0, 21, 8, 0, 5, 'a', 0, 10, 0, 8, 8, 0, 0, 'b', 0, 8, 0, 5, 'c', 0, 0, 0, 0};
  ASSERT_EQ(r.p->ProgLen, sizeof(want));
  EXPECT_EQ(std::memcmp(r.p->Prog, want, sizeof(want)), 0);
}

TEST(ReMatch, LeftmostFirstAlternative) {
  struct { const char* pat; const char* text; int start, len; } cases[] = {
      {"[0-9]+ms", "x10msec", 1, 4}, {"[0-9]+ms", "10 ms", -1, -1}, {"a|ab", "ab", 0, 1},  {"ab|a", "ab", 0, 2},
      {"(a|ab)(c|bcd)", "abcd", 0, 4}, {"a*", "bbb", 0, 0},       {"x*$", "abc", 3, 0},    {"^b", "ab", -1, -1},
      {"b$", "ab\n", -1, -1},       {"a^b", "ab", -1, -1},        {"a.c", "ac", -1, -1},   {"[^a]+", "aaxyz", 2, 3},
      {"[]a]+", "x]]a", 1, 3},       {"[a-]+", "x-a-", 1, 3},      {"[^]a]+", "]]bc", 2, 2}, {"a\\*", "aa*", 1, 2},
      {"colou?r", "colour", 0, 6},   {"(ab)+", "xababa", 1, 4},    {"A", "a", -1, -1},      {"(a?)b", "b", 0, 1},
      {"a*ab", "aaab", 0, 4},        // the repeat backs off for the literal after it
      {".*b", "abcb", 0, 4},         // greedy: the last b
      {"[\xc0-\xff]+", "abc\xc0\xe1\xff!", 3, 3},
      {"x{2}", "x{2}", 0, 4},        // no counted repeats: braces are literal
  };
  for (const auto& c : cases)
    EXPECT_EQ(Find(c.pat, c.text), std::make_pair(c.start, c.len)) << c.pat << " in " << c.text;
}

TEST(ReMatch, GroupsAndMatchStart) {
  ProgPtr r("(a+)(b*)c");
  const char* t = "xaabbc";
  ASSERT_EQ(ReExec(r.p, t), 1);
  EXPECT_EQ(std::vector<ptrdiff_t>({r.p->StartP[1] - t, r.p->EndP[1] - t, r.p->StartP[2] - t, r.p->EndP[2] - t}),
            std::vector<ptrdiff_t>({1, 3, 3, 5}));
  EXPECT_EQ(r.p->StartP[3], nullptr);
  EXPECT_EQ(ReMatchStart(r.p), 1);
  EXPECT_EQ(ReExec(r.p, "aaa"), 0);
  EXPECT_EQ(ReMatchStart(r.p), -1);

  // The form with a match record leaves the program alone.
  TReMatch m;
  const char* t1 = "abc";
  ASSERT_EQ(ReExec(static_cast<const TReProg*>(r.p), t1, m), 1);
  EXPECT_EQ(m.StartP[0], t1);
  EXPECT_EQ(ReMatchStart(r.p), -1);

  ProgPtr alt("(a)x|(a)y");  // a group on a failed alternative leaves no position behind
  const char* t2 = "ay";
  ASSERT_EQ(ReExec(alt.p, t2), 1);
  EXPECT_EQ(alt.p->StartP[1], nullptr);
  EXPECT_EQ(alt.p->StartP[2], t2);
}

TEST_F(ReErrors, RecursionAndBacktrackingAreBounded) {
  std::string t;
  for (int i = 0; i < 1500; i++) t += "ab";
  EXPECT_EQ(Find("(ab)*$", t.c_str()), std::make_pair(0, 3000));
  EXPECT_TRUE(g_Msgs.empty());
  t += t;
  EXPECT_EQ(Find("(ab)*$", t.c_str()).first, -1);
  EXPECT_EQ(g_Msgs, std::vector<std::string>{"recursion too deep"});

  // Simple repeats do not recurse per character, whatever the length of the text.
  g_Msgs.clear();
  std::string longLine = std::string(200000, 'x') + "END";
  EXPECT_EQ(Find("x*E[A-Z]+$", longLine.c_str()), std::make_pair(0, 200003));
  EXPECT_TRUE(g_Msgs.empty());

  std::string as = std::string(40, 'a') + "cb";
  EXPECT_EQ(Find("(a|a)*b", as.c_str()).first, -1);
  EXPECT_EQ(g_Msgs, std::vector<std::string>{"too much backtracking"});
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
    j->result = ReExec(r.p, j->text.c_str());
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
  const char* pats[] = {"[0-9]+ms", "a|ab", "(a|b)*c", "^x.*y$", "(ab)+", "[^ ]+ [^ ]+", "x*abc", "(a+)(b*)c",
                        ".*(ERR|WARN).*", "(a|a)*b", "(x)(y)?z", "a**"};
  const char* texts[] = {"10ms", "ab", "abbac", "x123y", "xababa", "hello world", "xxabc", "aabbc",
                         "line: WARN disk", "", "aaaaaaaaaaaaab", "xyz x10msec"};
  auto runAll = [&](std::vector<ptrdiff_t>& out) {
    out.clear();
    for (const char* p : pats)
      for (const char* t : texts) {
        TReProg* r = ReComp(p);
        out.push_back(r && ReExec(r, t) ? (r->StartP[0] - t) * 1000 + (r->EndP[0] - t) : -1);
        std::free(r);
      }
  };
  std::vector<ptrdiff_t> want;
  runAll(want);
  int bad[2] = {0, 0};
  auto worker = [&](int id) {
    std::vector<ptrdiff_t> got;
    for (int round = 0; round < 300; round++) {
      runAll(got);
      if (got != want) bad[id]++;
    }
  };
  std::thread a(worker, 0), b(worker, 1);
  a.join();
  b.join();
  EXPECT_EQ(bad[0] + bad[1], 0);
}

}  // namespace
