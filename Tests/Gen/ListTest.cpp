#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "Lib/Res.h"
#include "ydgen.h"

namespace {

// Key 1 orders by value, key 2 by value modulo 7 (a key other than the sort key).
struct TNum : TYdBsMem {
  int V;
  explicit TNum(int v) : V(v) {}
  TCmpRes Cmp(const TNum& o, int key) const { return key == 2 ? TCmpRes(V % 7 - o.V % 7) : TCmpRes(V - o.V); }
};

std::vector<int> Vals(const TList<TNum>& l) {
  std::vector<int> v;
  for (TListCIter<TNum> it(l); !it.End(); it.Next()) v.push_back(it.Cur()->V);
  return v;
}

// Brute force over the sorted values: the value the mode asks for, or none.
bool RefFind(const std::vector<int>& s, int probe, int mode, int& out) {
  bool found = false;
  for (int v : s) {
    bool fits = (mode == FND_LT && v < probe) || (mode == FND_LE && v <= probe) || (mode == FND_EQ && v == probe) ||
                (mode == FND_GE && v >= probe) || (mode == FND_GT && v > probe);
    if (fits && (!found || ((mode == FND_LT || mode == FND_LE) ? v > out : v < out))) out = v, found = true;
  }
  return found;
}

// Sorted and unique insertion, growth and every bisection mode against a brute force. Half the rounds are
// dense with equal runs: the strict modes once returned an equal neighbour there.
TEST(ListSorted, RandomInsertionsAndBisectionModesMatchBruteForce) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 200; ++round) {
    bool uniq = round % 4 == 1;
    int range = (round % 2) ? 8 : 300;
    TList<TNum> l(round % 3 ? 7 : 64, 1, uniq ? uint32_t(LST_UNIQUE) : 0u);
    std::vector<int> ref;
    for (int i = 0, n = int(rng() % 120); i < n; ++i) {
      TNum* p = new TNum(int(rng() % range));
      bool present = std::count(ref.begin(), ref.end(), p->V) != 0;
      int at = (i % 2) ? l.Add(p) : l.AddSorted(p);  // Add places by the order too
      ASSERT_EQ(at < 0, uniq && present) << "round " << round << " value " << p->V;
      if (at < 0) {
        delete p;
        continue;
      }
      ASSERT_EQ(l.Get(uint32_t(at)), p);
      ref.insert(std::upper_bound(ref.begin(), ref.end(), p->V), p->V);
    }
    ASSERT_EQ(Vals(l), ref) << "round " << round;
    for (int probe = -1; probe <= range; ++probe)
      for (int mode = FND_LT; mode <= FND_GT; ++mode) {
        int want = 0;
        bool has = RefFind(ref, probe, mode, want);
        const TNum* got = l.Find(TNum(probe), 1, mode);
        ASSERT_EQ(got ? got->V : -99, has ? want : -99) << "round " << round << " probe " << probe << " mode " << mode;
      }
  }
}

// A key other than the sort key is scanned from the start: EQ gives the first equal item, GE the first
// equal or else the least greater one, the other modes nothing.
TEST(ListFind, OtherKeyScansFromStart) {
  TList<TNum> l(64, 1);
  for (int v : {9, 16, 3, 10, 4, 12}) l.Add(new TNum(v));  // sorted: 3 4 9 10 12 16; modulo 7: 3 4 2 3 5 2
  const int want[][2] = {{-1, 2}, {-1, 2}, {2, 2}, {0, 0}, {1, 1}, {4, 4}, {-1, -1}};  // EQ and GE, probe 0..6
  for (int probe = 0; probe < 7; ++probe) {
    EXPECT_EQ(l.FindIdx(TNum(probe), 2, FND_EQ), want[probe][0]) << probe;
    EXPECT_EQ(l.FindIdx(TNum(probe), 2, FND_GE), want[probe][1]) << probe;
    for (int mode : {FND_LT, FND_LE, FND_GT}) EXPECT_EQ(l.Find(TNum(probe), 2, mode), nullptr);
  }
}

// Misuse throws the exceptions the entry turns into code 1359; the list stays usable.
TEST(List, MisuseThrowsAndLeavesTheListIntact) {
  TList<TNum> l;
  for (int i = 0; i < 3; ++i) l.Add(new TNum(i));
  EXPECT_THROW(l.Get(3), EOutOfRange);
  TNum n(9);
  EXPECT_THROW(l.Ins(&n, 4), EOutOfRange);
  EXPECT_THROW(l.AddSorted(nullptr), EInvalidArgument);
  EXPECT_THROW(TArray<int>(0), EInvalidArgument);
  EXPECT_EQ(l.Ins(new TNum(3), 3), 3);  // the count itself appends
  l.Del(1);
  EXPECT_EQ(Vals(l), (std::vector<int>{0, 2, 3}));
}

}  // namespace
