// Pattern matcher: refusals, bounds, random input on two threads, std::regex as the reference.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "Lib/Re.h"

namespace {

using Strs = std::vector<std::string>;
Strs g_Msgs;
std::mutex g_MsgsMtx;

// Records every error text while a test runs.
class ReErrors : public testing::Test {
  void SetUp() override {
    g_Msgs.clear();
    ReErrHook = [](const char* m) {
      std::lock_guard<std::mutex> lock(g_MsgsMtx);
      g_Msgs.push_back(m);
    };
  }
  void TearDown() override { ReErrHook = nullptr; }
};

struct TProgPtr : std::unique_ptr<TReProg, void (*)(void*)> {
  explicit TProgPtr(const char* pat) : unique_ptr(ReComp(pat), std::free) {}
};

// Match start and length; {-1, -1} for no match or a pattern that does not compile.
std::pair<int, int> Find(const char* pat, const char* text) {
  TProgPtr r(pat);
  if (!r || !ReExec(r.get(), text)) return {-1, -1};
  return {ReMatchStart(r.get()), static_cast<int>(r->EndP[0] - r->StartP[0])};
}

// What the random patterns seldom build and std::regex reads otherwise: bytes above 127 in a range (filters
// in Russian), ']' first in a set, braces as literals, '$' not before a line end, letter case.
TEST(ReMatch, HighBytesSetsBracesAndAnchors) {
  struct {
    const char* Pat;
    const char* Text;
    int Start, Len;
  } rows[] = {{"[\xc0-\xff]+", "abc\xc0\xe1\xff!", 3, 3}, {"[]a]+", "x]]a", 1, 3}, {"[^]a]+", "]]bc", 2, 2},
              {"x{2}", "x{2}", 0, 4},  {"b$", "ab\n", -1, -1},  {"A", "a", -1, -1}};
  for (const auto& r : rows) EXPECT_EQ(Find(r.Pat, r.Text), std::make_pair(r.Start, r.Len)) << r.Pat << " " << r.Text;
}

// The largest program fits, one byte more is refused; null texts are refused, not read.
TEST_F(ReErrors, RefusedPatternsAndPrograms) {
  const std::string tooBig(32756, 'a');  // a literal of n characters needs n + 11 bytes, at most 32766
  TProgPtr largest(tooBig.c_str() + 1);
  EXPECT_TRUE(!ReComp(tooBig.c_str()) && !ReComp(nullptr) && largest && !ReExec(largest.get(), nullptr));
  EXPECT_EQ(g_Msgs, (Strs{"regexp too big", "NULL argument", "NULL parameter"}));
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
  EXPECT_EQ(got, (decltype(got){{0, 3980}, {-1, -1}, {0, 200003}, {-1, -1}}));
  EXPECT_EQ(g_Msgs, (Strs{"recursion too deep", "too much backtracking"}));
}

// Seeded random patterns in the syntax this matcher and std::regex (ECMAScript) read alike, and texts.
struct TPatGen {
  std::mt19937 Rng;
  int Groups = 0;
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Rng() % n); }
  std::string Alt(int depth, bool& empty) {  // alternatives, and whether they can match the empty string
    static const char* const kAtoms[] = {"a", "b", "c", "ab", "ca", ".", "\\.", "\\*", "\\(", "\\|", "\\\\", "\\[",
                                         "[ab]", "[^a]", "[a-c]", "[-b]", "[b-]", "[.c]", "[^b-c]", "^", "$"};
    const uint32_t n = sizeof kAtoms / sizeof *kAtoms;
    std::string p;
    empty = false;
    if (depth > 0) Groups++;
    for (uint32_t b = 1 + Below(3); b > 0; b--) {
      bool branchEmpty = true;
      for (uint32_t i = Below(4); i > 0; i--) {
        uint32_t k = Below(depth < 3 && Groups < RE_NSUB - 1 ? n + 2 : n);
        bool e = k == n - 1 || k == n - 2;  // '^' and '$' take no repeat
        std::string a = k < n ? kAtoms[k] : "(" + Alt(depth + 1, e) + ")";
        uint32_t q = e ? 3 : Below(6);
        p += q < 3 ? a + "*+?"[q] : a;
        branchEmpty = branchEmpty && (e || q == 0 || q == 2);
      }
      empty = empty || branchEmpty;
      if (b > 1) p += '|';
    }
    return p;
  }
  std::string Pat() {
    bool empty;
    Groups = 0;
    return Alt(0, empty);
  }
  std::string Text(uint32_t maxLen, bool anyByte) {
    std::string t;
    for (uint32_t n = Below(maxLen + 1); n > 0; n--)
      t += anyByte && !Below(4) ? static_cast<char>(1 + Below(255)) : "aaabbbcc.*(|$^\\"[Below(15)];
    return t;
  }
};

// Random patterns, half of them damaged by stray bytes, on random texts: each compiles or is refused, groups lie
// inside the text, two threads at once get what one gets alone, and every outcome comes up.
TEST_F(ReErrors, RandomPatternsAndTexts) {
  const uint32_t kRounds = 100000;
  auto run = [&](uint32_t rounds) {
    TPatGen g{std::mt19937(20261206)};
    std::vector<ptrdiff_t> out;  // -3 a group outside the text, -2 refused, -1 no match, else start and length
    for (uint32_t i = 0; i < rounds; i++) {
      std::string pat = g.Pat(), text = g.Text(g.Below(200) ? 40 : 4000, true);
      for (uint32_t n = g.Below(2) ? 0 : 1 + g.Below(3); n > 0; n--)
        pat.insert(g.Below(uint32_t(pat.size()) + 1), 1, g.Below(2) ? "^$.[]()|?+*\\-"[g.Below(13)] : char(g.Rng()));
      TProgPtr r(pat.c_str());
      const char *t = text.c_str(), *end = t + text.size();
      int m = r ? ReExec(r.get(), t) : -1;
      bool inside = true;
      for (int k = 0; m == 1 && k < RE_NSUB; k++) {
        const char *s = r->StartP[k], *e = r->EndP[k];
        inside = inside && (s ? s >= t && s <= e && e <= end : k > 0 && !e);
      }
      out.push_back(!inside ? -3 : !r ? -2 : m != 1 ? -1 : (r->StartP[0] - t) * 8192 + (r->EndP[0] - t));
    }
    return out;
  };
  const auto one = run(kRounds);
  auto fa = std::async(std::launch::async, run, kRounds / 5), fb = std::async(std::launch::async, run, kRounds / 5);
  const auto a = fa.get(), b = fb.get();
  EXPECT_TRUE(a == b && std::equal(a.begin(), a.end(), one.begin()));
  auto cnt = [&](ptrdiff_t v) { return std::count(one.begin(), one.end(), v); };
  EXPECT_EQ(cnt(-3), 0);
  EXPECT_TRUE(cnt(-2) > kRounds / 10 && cnt(-1) > kRounds / 10 && cnt(-2) + cnt(-1) < kRounds / 2) << cnt(-2);
}

// std::regex (leftmost, alternatives in order, greedy backtracking repeats) finds the same whole match. Left out
// where the two differ: escapes of other characters, '{', '}' and ']' outside sets; in sets ']' first, '[', '\',
// "[^]" and a range followed by '-'; repeats of '^', '$' or of what can match empty; CR, LF, bytes above 127.
TEST_F(ReErrors, SameWholeMatchAsEcmaScript) {
  const uint32_t kSeed = 20261207, kRounds = 4000;
  TPatGen g{std::mt19937(kSeed)};
  uint32_t matched = 0;
  for (uint32_t i = 0; i < kRounds && !HasFailure(); i++) {
    const std::string pat = g.Pat(), text = g.Text(15, false);
    std::smatch m;
    std::pair<int, int> want{-1, -1};
    if (std::regex_search(text, m, std::regex(pat, std::regex::ECMAScript)))
      want = {static_cast<int>(m.position(0)), static_cast<int>(m.length(0))};
    matched += want.first >= 0;
    ASSERT_EQ(Find(pat.c_str(), text.c_str()), want) << "seed " << kSeed << " round " << i << " " << pat << " " << text;
  }
  EXPECT_TRUE(g_Msgs.empty()) << g_Msgs[0];
  EXPECT_TRUE(matched > kRounds / 3 && matched < kRounds) << matched;
}

}  // namespace
