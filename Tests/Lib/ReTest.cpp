// Pattern matcher: refusals, leftmost semantics, bounds, two threads, random input, std::regex as reference.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Lib/Re.h"

namespace {

std::vector<std::string> g_Msgs;

// Records every error text while a test runs.
class ReErrors : public testing::Test {
 protected:
  void SetUp() override { g_Msgs.clear(), ReErrHook = [](const char* m) { g_Msgs.push_back(m); }; }
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

TEST_F(ReErrors, RefusedPatternsAndPrograms) {
  const std::string tooBig(32756, 'a');  // a literal of n characters needs n + 11 bytes, at most 32766
  struct { const char* pat; const char* msg; } cases[] = {
      {"((((((((((a))))))))))", "too many ()"}, {"(a*)*", "*+ operand could be empty"}, {"a**", "nested *?+"},
      {"*a", "?+* follows nothing"}, {"[z-a]", "invalid [] range"}, {"[ab", "unmatched []"}, {"(a|b))", "unmatched ()"},
      {tooBig.c_str(), "regexp too big"}, {nullptr, "NULL argument"}};
  for (const auto& c : cases) {
    g_Msgs.clear();
    EXPECT_EQ(ReComp(c.pat), nullptr);
    EXPECT_EQ(g_Msgs, std::vector<std::string>{c.msg}) << (c.pat ? c.pat : "null");
  }
  EXPECT_NE(ProgPtr(tooBig.c_str() + 1).p, nullptr);
  g_Msgs.clear();
  ProgPtr r("ab");
  EXPECT_EQ(ReExec(r.p, nullptr), 0);
  r.p->Prog[0] = 'x';
  EXPECT_EQ(ReExec(r.p, "ab"), 0);
  EXPECT_EQ(g_Msgs, (std::vector<std::string>{"NULL parameter", "corrupted program"}));
}

// What the reference check leaves out: bytes above 127, ']' first in a set, braces, line ends, case.
TEST(ReMatch, LeftmostFirstAlternative) {
  struct { const char* pat; const char* text; int start, len; } cases[] = {
      {"[0-9]+ms", "x10msec", 1, 4}, {"a|ab", "ab", 0, 1},  {"[\xc0-\xff]+", "abc\xc0\xe1\xff!", 3, 3},
      {"[]a]+", "x]]a", 1, 3},       {"[^]a]+", "]]bc", 2, 2}, {"x{2}", "x{2}", 0, 4}, {"b$", "ab\n", -1, -1},
      {"A", "a", -1, -1}};
  for (const auto& c : cases)
    EXPECT_EQ(Find(c.pat, c.text), std::make_pair(c.start, c.len)) << c.pat << " in " << c.text;
}

TEST(ReMatch, GroupsAndMatchStart) {
  ProgPtr r("(a+)(b*)c"), alt("(a)x|(a)y");
  const char *t = "xaabbc", *u = "ay";
  ASSERT_EQ(ReExec(r.p, t), 1);
  EXPECT_EQ(std::vector<ptrdiff_t>({r.p->StartP[1] - t, r.p->EndP[1] - t, r.p->StartP[2] - t, r.p->EndP[2] - t,
                                    ReMatchStart(r.p)}), std::vector<ptrdiff_t>({1, 3, 3, 5, 1}));
  EXPECT_TRUE(ReExec(r.p, "aaa") == 0 && ReMatchStart(r.p) == -1);
  TReMatch m;  // the form with a match record leaves the program alone
  ASSERT_EQ(ReExec(static_cast<const TReProg*>(r.p), t + 1, m), 1);
  EXPECT_TRUE(m.StartP[0] == t + 1 && ReMatchStart(r.p) == -1);
  ASSERT_EQ(ReExec(alt.p, u), 1);  // a group on a failed alternative leaves no position behind
  EXPECT_TRUE(alt.p->StartP[1] == nullptr && alt.p->StartP[2] == u);
}

// On a thread with a 512 KiB stack: the deepest recursion allowed fits, deeper is refused, and so is
// exponential backtracking; simple repeats do not recurse per character.
TEST_F(ReErrors, RecursionAndBacktrackingAreBounded) {
  static std::vector<std::pair<int, int>> got;
  auto run = [](void*) -> DWORD {
    std::string ab;
    for (int i = 0; i < 1990; i++) ab += "ab";
    got = {Find("(ab)*(x|$)", ab.c_str()), Find("(ab)*(x|$)", (ab + ab.substr(0, 24)).c_str()),
           Find("x*E[A-Z]+$", (std::string(200000, 'x') + "END").c_str()),
           Find("(a|a)*b", (std::string(40, 'a') + "cb").c_str())};
    return 0;
  };
  HANDLE h = CreateThread(nullptr, 512 * 1024, run, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 60000), WAIT_OBJECT_0);
  CloseHandle(h);
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0, 3980}, {-1, -1}, {0, 200003}, {-1, -1}}));
  EXPECT_EQ(g_Msgs, (std::vector<std::string>{"recursion too deep", "too much backtracking"}));
}

// Two threads compile and match at the same time and get what one thread gets alone.
TEST(ReMatch, ConcurrentUseGivesTheSingleThreadedResults) {
  const char* pats[] = {"[0-9]+ms", "a|ab", "(a|b)*c", "^x.*y$", "(ab)+", "x*abc", "(a+)(b*)c", ".*(ERR|WARN).*", "(a|a)*b", "a**"};
  const char* texts[] = {"10ms", "ab", "abbac", "x123y", "xababa", "xxabc", "line: WARN disk", "", "aaaaaaaaaaaaab"};
  auto runAll = [&] {
    std::vector<std::pair<int, int>> out;
    for (const char* p : pats)
      for (const char* t : texts) out.push_back(Find(p, t));
    return out;
  };
  const auto want = runAll();
  std::atomic<int> bad{0};
  auto worker = [&] {
    for (int round = 0; round < 300; round++) bad += runAll() != want;
  };
  std::thread a(worker), b(worker);
  a.join(), b.join();
  EXPECT_EQ(bad, 0);
}

// Seeded random patterns (mostly well formed, some damaged, one in four raw bytes) and texts: every pattern
// compiles or is refused, every match lies inside its text.
TEST_F(ReErrors, RandomPatternsAndTexts) {
  std::mt19937 rng(20261206);
  auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  auto any = [&] {  // mostly letters, then specials, then any byte
    uint32_t k = below(8);
    return k < 5 ? "abc"[below(3)] : k < 7 ? "^$.[]()|?+*\\-"[below(13)] : static_cast<char>(1 + below(255));
  };
  auto bytes = [&](uint32_t maxLen) {
    std::string s;
    for (uint32_t n = below(maxLen + 1); n > 0; n--) s += any();
    return s;
  };
  const char* atoms[] = {".", "a", "b", "c", "|", "^", "$", "\\", "[ab]", "[^a-c", "[a-]", "[]b]"};
  std::function<std::string(int)> pattern = [&](int depth) {
    std::string p;
    for (uint32_t i = below(5); i > 0; i--) {
      uint32_t k = below(14);
      p += k == 12 && depth < 4 ? "(" + pattern(depth + 1) + ")" : k == 13 ? std::string(1, any()) : atoms[k % 12];
      if (below(3) == 0) p += "*+?"[below(3)];
    }
    return p;
  };
  const uint32_t kRounds = 100000;
  uint32_t compiled = 0, matched = 0;
  for (uint32_t i = 0; i < kRounds && !HasFatalFailure(); i++) {
    const std::string pat = below(4) ? pattern(0) : bytes(24), text = bytes(below(200) ? 40 : 4000);
    ProgPtr r(pat.c_str());
    if (!r.p) continue;
    compiled++;
    const char *t = text.c_str(), *end = t + text.size();
    int m = ReExec(r.p, t);
    ASSERT_TRUE(m == 0 || m == 1) << pat;
    matched += m;
    for (int g = 0; m && g < RE_NSUB; g++)
      ASSERT_TRUE(r.p->StartP[g] ? r.p->StartP[g] >= t && r.p->StartP[g] <= r.p->EndP[g] && r.p->EndP[g] <= end
                                 : g > 0 && !r.p->EndP[g]) << pat << " group " << g;
  }
  // The mix exercises both outcomes of both steps.
  EXPECT_TRUE(compiled > kRounds / 3 && compiled < kRounds && matched > compiled / 4 && !g_Msgs.empty());
}

// On seeded random patterns of the syntax both read alike, std::regex (ECMAScript: leftmost, alternatives in
// order, greedy backtracking repeats) must find the same whole match. Left out where the two differ: escapes
// of other characters, '{', '}' and ']' outside sets; in sets ']' first, '[', '\', "[^]" and a range followed
// by '-'; repeats of '^', '$' or of what can match empty; CR, LF and bytes above 127 in the text.
TEST_F(ReErrors, SameWholeMatchAsEcmaScript) {
  const uint32_t kSeed = 20261207;
  std::mt19937 rng(kSeed);
  auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  const char* setItems[] = {"a", "b", "c", "a-b", "b-c", "."};
  int groups = 0;
  std::function<std::string(int, bool&)> alt;  // a piece and whether it can match the empty string
  auto atom = [&](int depth, bool& empty) -> std::string {
    empty = false;
    switch (below(depth < 3 ? 9 : 8)) {
      case 0: case 1: case 2: return std::string(1, "abc"[below(3)]) + (below(3) ? "" : "ab");
      case 3: return ".";
      case 4: return std::string("\\") + "^$.[]()|?+*\\"[below(12)];
      case 5: {
        std::string s = below(3) ? "[" : "[^";
        if (below(4) == 0) s += '-';
        for (uint32_t n = 1 + below(2); n > 0; n--) s += setItems[below(6)];
        return s + (below(4) ? "]" : "-]");
      }
      case 6: return empty = true, "^";
      case 7: return empty = true, "$";
      default:
        if (groups == RE_NSUB - 1) return "a";
        groups++;
        return "(" + alt(depth + 1, empty) + ")";
    }
  };
  alt = [&](int depth, bool& empty) {
    std::string p;
    empty = false;
    for (uint32_t b = 1 + below(3); b > 0; b--) {
      bool branchEmpty = true;
      for (uint32_t n = below(4); n > 0; n--) {
        bool e;
        std::string a = atom(depth, e);
        uint32_t q = e ? 3 : below(6);
        if (q < 3) a += "*+?"[q];
        p += a;
        branchEmpty = branchEmpty && (e || q == 0 || q == 2);
      }
      empty = empty || branchEmpty;
      if (b > 1) p += '|';
    }
    return p;
  };
  const char kTextChars[] = "aaabbbcc.*(|$^\\";
  const uint32_t kRounds = 4000;
  uint32_t matched = 0;
  for (uint32_t i = 0; i < kRounds && !HasFailure(); i++) {
    bool empty;
    groups = 0;
    const std::string pat = alt(0, empty);
    std::string text;
    for (uint32_t n = below(16); n > 0; n--) text += kTextChars[below(sizeof kTextChars - 1)];
    std::smatch m;
    std::pair<int, int> want{-1, -1};
    if (std::regex_search(text, m, std::regex(pat, std::regex::ECMAScript)))
      want = {static_cast<int>(m.position(0)), static_cast<int>(m.length(0))}, matched++;
    ASSERT_EQ(Find(pat.c_str(), text.c_str()), want) << "seed " << kSeed << " round " << i << ": \"" << pat << "\" in \"" << text << "\"";
  }
  EXPECT_TRUE(g_Msgs.empty()) << g_Msgs[0];
  EXPECT_TRUE(matched > kRounds / 3 && matched < kRounds) << matched;
}

}  // namespace
