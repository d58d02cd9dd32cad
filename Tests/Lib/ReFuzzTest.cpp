// Random patterns and texts: the matcher answers every one within its bounds, contains damaged programs, and
// on a plain subset agrees with an independent backtracking engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <regex>
#include <string>

#include "Lib/Re.h"

namespace {

uint32_t g_HookCalls = 0;
void CountMsg(const char*) { g_HookCalls++; }

class Gen {
 public:
  explicit Gen(uint32_t seed) : m_R(seed) {}
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(m_R() % n); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  char AnyByte() { return static_cast<char>(1 + Below(255)); }
  char Special() { return "^$.[]()|?+*\\-"[Below(13)]; }
  char Letter() { return "abc"[Below(3)]; }

  // Mostly a well-formed pattern over a small alphabet, with random damage.
  std::string Pattern(int depth = 0) {
    std::string p;
    for (uint32_t i = Below(5); i > 0; i--) {
      switch (Below(10)) {
        case 0: p += '.'; break;
        case 1: p += Set(); break;
        case 2: if (depth < 4) p += "(" + Pattern(depth + 1) + ")"; break;
        case 3: p += '|'; break;
        case 4: p += OneIn(2) ? '^' : '$'; break;
        case 5: p += '\\'; p += OneIn(4) ? AnyByte() : Special(); break;
        default: p += Letter(); break;
      }
      if (OneIn(3)) p += "*+?"[Below(3)];
    }
    if (OneIn(8)) p.insert(Below(static_cast<uint32_t>(p.size()) + 1), 1, OneIn(2) ? Special() : AnyByte());
    if (OneIn(16) && !p.empty()) p.erase(Below(static_cast<uint32_t>(p.size())), 1);
    return p;
  }
  std::string Set() {
    std::string s = OneIn(3) ? "[^" : "[";
    for (uint32_t n = 1 + Below(4); n > 0; n--) s += OneIn(3) ? std::string{Letter(), '-', Letter()} : std::string{OneIn(6) ? AnyByte() : Letter()};
    return OneIn(10) ? s : s + ']';
  }
  std::string Bytes(uint32_t maxLen, bool specials) {
    std::string s;
    for (uint32_t n = Below(maxLen + 1); n > 0; n--) {
      uint32_t k = Below(8);
      s += k < 5 ? Letter() : (k < 7 && specials ? Special() : AnyByte());
    }
    return s;
  }

 private:
  std::mt19937 m_R;
};

// Every position the matcher reports lies in the text, in order.
void ChkMatch(const TReProg* r, const char* t, const std::string& pat) {
  const char* end = t + std::strlen(t);
  ASSERT_TRUE(r->StartP[0] && r->StartP[0] >= t && r->StartP[0] <= r->EndP[0] && r->EndP[0] <= end) << pat;
  for (int i = 1; i < RE_NSUB; i++)
    ASSERT_TRUE(r->StartP[i] ? r->StartP[i] >= t && r->StartP[i] <= r->EndP[i] && r->EndP[i] <= end : !r->EndP[i])
        << pat << " group " << i;
  ASSERT_EQ(ReMatchStart(r), static_cast<int>(r->StartP[0] - t));
}

TEST(ReFuzz, AnyPatternAndTextGetAnAnswer) {
  Gen g(20261206);
  ReErrHook = CountMsg;
  uint32_t compiled = 0, matched = 0;
  const uint32_t kRounds = 120000;
  for (uint32_t i = 0; i < kRounds && !HasFatalFailure(); i++) {
    // One in four patterns is raw bytes, the others have the structure of a pattern.
    std::string pat = g.OneIn(4) ? g.Bytes(24, true) : g.Pattern();
    TReProg* r = ReComp(pat.c_str());
    if (!r) continue;
    compiled++;
    ASSERT_EQ(static_cast<uint8_t>(r->Prog[0]), RE_MAGIC);
    for (int k = 0; k < 2 && !HasFatalFailure(); k++) {
      std::string text = g.Bytes(g.OneIn(200) ? 4000 : 40, true);
      int m = ReExec(r, text.c_str());
      ASSERT_TRUE(m == 0 || m == 1) << pat;
      if (m) {
        matched++;
        ChkMatch(r, text.c_str(), pat);
      } else {
        ASSERT_EQ(ReMatchStart(r), -1);
      }
    }
    std::free(r);
  }
  ReErrHook = nullptr;
  // The mix must exercise both outcomes of both steps.
  EXPECT_GT(compiled, kRounds / 3);
  EXPECT_LT(compiled, kRounds);
  EXPECT_GT(matched, compiled / 4);
  EXPECT_GT(g_HookCalls, 0u);
}

// Programs with random bytes written over them: the matcher reports or answers, it does not wander.
TEST(ReFuzz, DamagedProgramsAreContained) {
  Gen g(77);
  for (int i = 0; i < 20000; i++) {
    TReProg* r = ReComp(g.Pattern().c_str());
    if (!r) continue;
    uint32_t at = 1 + g.Below(r->ProgLen - 1);
    // Any byte but a terminator: operand strings stay terminated inside the program.
    if (r->Prog[at] != '\0') r->Prog[at] = static_cast<char>(g.Below(64));
    int m = ReExec(r, g.Bytes(30, false).c_str());
    EXPECT_TRUE(m == 0 || m == 1);
    std::free(r);
  }
}

// Leftmost match and its length as ECMAScript's backtracking search finds them (first alternative wins,
// greedy repeats).
TEST(ReFuzz, AgreesWithAnotherBacktrackingEngine) {
  std::mt19937 r(4242);
  auto below = [&](uint32_t n) { return static_cast<uint32_t>(r() % n); };
  const char* atoms[] = {"a", "b", "c", ".", "[ab]", "[^a]", "[a-c]", "^", "$", "ab", "ba"};
  std::function<std::string(int)> pattern = [&](int depth) {
    std::string p;
    for (uint32_t n = 1 + below(4); n > 0; n--) {
      p += depth < 3 && below(4) == 0 ? "(" + pattern(depth + 1) + ")" : atoms[below(11)];
      if (below(3) == 0) p += "*+?"[below(3)];
      if (below(6) == 0) p += '|';
    }
    return p;
  };
  int compared = 0;
  for (int i = 0; i < 20000 && !HasFailure(); i++) {
    std::string pat = pattern(0);
    TReProg* prog = ReComp(pat.c_str());
    if (!prog) continue;
    std::regex re;
    try {
      re.assign(pat, std::regex::ECMAScript);
    } catch (const std::regex_error&) {
      std::free(prog);
      continue;
    }
    std::string text;
    for (uint32_t k = below(12); k > 0; k--) text += "abc"[below(3)];
    std::smatch sm;
    bool want = std::regex_search(text, sm, re);
    int got = ReExec(prog, text.c_str());
    EXPECT_EQ(got, want ? 1 : 0) << pat << " in " << text;
    if (got && want) {
      EXPECT_EQ(prog->StartP[0] - text.c_str(), sm.position(0)) << pat << " in " << text;
      EXPECT_EQ(prog->EndP[0] - prog->StartP[0], sm.length(0)) << pat << " in " << text;
    }
    std::free(prog);
    compared++;
  }
  EXPECT_GT(compared, 5000);
}

}  // namespace
