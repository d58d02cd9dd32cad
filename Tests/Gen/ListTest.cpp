#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "Lib/Res.h"
#include "ydgen.h"

namespace {

// Key 1 orders by value, key 2 by value modulo 7 (a key other than the sort key).
struct TNum : TYdBsMem {
  static std::vector<int>* s_Seen;  // values of the items compared against, when set
  int V;
  explicit TNum(int v) : V(v) {}
  TCmpRes Cmp(const TNum& o, int key) const {
    if (s_Seen) s_Seen->push_back(o.V);
    if (key == 2) return TCmpRes(V % 7 - o.V % 7);
    return TCmpRes(V < o.V ? -1 : (V > o.V ? 1 : 0));
  }
};
std::vector<int>* TNum::s_Seen = nullptr;

std::vector<int> Vals(const TList<TNum>& l) {
  std::vector<int> v;
  for (uint32_t i = 0; i < l.Cnt(); ++i) v.push_back(l.Get(i)->V);
  return v;
}

TEST(List, GrowthRoundsCountUpToStepKeepingContents) {
  struct Row { uint32_t step, cnt, cap; } rows[] = {{64, 64, 64}, {64, 65, 128}, {1, 5, 5}, {10, 11, 20}};
  for (const Row& r : rows) {
    TList<TNum> l(r.step);
    for (uint32_t i = 0; i < r.cnt; ++i) l.Add(new TNum(int(i)));
    EXPECT_EQ(l.Cap(), r.cap) << "step " << r.step << " count " << r.cnt;
    for (uint32_t i = 0; i < r.cnt; ++i) ASSERT_EQ(l.Get(i)->V, int(i));
  }
}

TEST(List, ErrorMessagesNameFileAndLineInsertAndRemove) {
  TList<TNum> l;
  for (int i = 0; i < 3; ++i) l.Add(new TNum(i));
  TList<TNum> logL(64, 1, LST_INC_SITE);
  logL.AddSorted(new TNum(1));
  TArray<int> arr(4);
  struct Row { std::function<void()> f; const char* msg; } rows[] = {
      {[&] { l.Get(3); }, "[EOutOfRange(idx=3,cnt=3)] 'Src/Gen/ydgen' line 1277 "},
      {[&] { logL.Get(1); }, "[EOutOfRange(idx=1,cnt=1)] 'Inc/ydgen' line 1259 "},
      {[&] { arr[4] = 1; }, "[EOutOfRange(idx=4,cnt=4)] 'Inc/ydgen' line 1259 "},
      {[&] { TNum n(9); l.Ins(&n, 4); }, "[EOutOfRange(idx=4,cnt=3)] 'Src/Gen/ydgen' line 1189 "},
      {[&] { l.AddSorted(nullptr); }, "[EInvalidArgument(item==NULL)] 'Src/Gen/ydgen' line 1140 "},
      {[&] { logL.AddSorted(nullptr); }, "[EInvalidArgument(item==NULL)] 'Inc/ydgen' line 1140 "},
      {[&] { TArray<int> a(0); }, "[EInvalidArgument(cnt==0)] 'Src/Gen/ydgen' line 441 "},
      // more items than an int index can name
      {[] { YdGenGrow(nullptr, 0xFFFFFFFFu); }, "[EBadAlloc(sz=4294967295)] 'Src/Gen/ydgen' line 1231 "},
  };
  for (const Row& r : rows) {
    try {
      r.f();
      ADD_FAILURE() << "nothing thrown: " << r.msg;
    } catch (const EException& e) {
      EXPECT_STREQ(e.Msg(), r.msg);
    }
  }
  EXPECT_EQ(arr[3], 0);  // elements are value-initialised
  EXPECT_EQ(l.Ins(new TNum(3), 3), 3);  // the count itself appends
  delete l.Take(1);
  EXPECT_EQ(Vals(l), (std::vector<int>{0, 2, 3}));
}

TEST(ListSorted, AscendingInputAppendsWithoutBisectionAndProbesLieAtSixtyPercent) {
  TList<TNum> l(64, 1);
  std::vector<int> seen, found;
  TNum::s_Seen = &seen;
  for (int v = 0; v < 100; v += 10) EXPECT_EQ(l.AddSorted(new TNum(v)), v / 10);
  EXPECT_EQ(seen, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80}));  // only the last item each time
  seen.clear();
  EXPECT_EQ(l.AddSorted(new TNum(15)), 2);
  TNum::s_Seen = &found;
  l.Find(TNum(15), 1, FND_LT);
  TNum::s_Seen = nullptr;
  EXPECT_EQ(seen, (std::vector<int>{90, 50, 30, 10, 20}));  // the last item, then indices 5, 3, 1, 2
  // eleven items: indices 6, 3, 1, then 2 is equal and its lower neighbour is checked for equality
  EXPECT_EQ(found, (std::vector<int>{50, 20, 10, 15, 10}));
}

// Brute force over the sorted values: the value the mode asks for, or none.
bool RefFind(const std::vector<int>& s, int probe, int mode, int& out) {
  bool found = false;
  for (int v : s) {
    bool fits = (mode == FND_LT && v < probe) || (mode == FND_LE && v <= probe) ||
                (mode == FND_EQ && v == probe) || (mode == FND_GE && v >= probe) || (mode == FND_GT && v > probe);
    if (fits && (!found || ((mode == FND_LT || mode == FND_LE) ? v > out : v < out))) out = v, found = true;
  }
  return found;
}

// Sorted and unique insertion and every bisection mode against a brute force. Half the rounds are
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
    for (int probe = -1; probe <= range; ++probe) {
      for (int mode = FND_LT; mode <= FND_GT; ++mode) {
        int want = 0;
        bool has = RefFind(ref, probe, mode, want);
        const TNum* got = l.Find(TNum(probe), 1, mode);
        ASSERT_EQ(got ? got->V : -99, has ? want : -99) << "round " << round << " probe " << probe << " mode "
                                                          << mode;
      }
    }
  }
  TList<TNum> l(64, 1);
  for (int v : {1, 4, 4, 4, 4, 4, 4, 9}) l.AddSorted(new TNum(v));
  EXPECT_EQ(l.FindIdx(TNum(4), 1, FND_LT), 0);  // the strict modes skip the whole equal run
  EXPECT_EQ(l.FindIdx(TNum(4), 1, FND_GT), 7);
  EXPECT_EQ(l.Find(TNum(4), 1, 5), nullptr);  // no such mode
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

TEST(ListIter, VisitsInOrderAndResumesAfterAppend) {
  TList<TNum> l;
  TListCIter<TNum> e(l);  // made over the empty list: stands before the first item
  EXPECT_TRUE(e.End() && !e.Cur());
  for (int i = 0; i < 3; ++i) l.Add(new TNum(i));
  std::vector<int> seen;
  for (TListCIter<TNum> it(l); !it.End(); it.Next()) seen.push_back(it.Cur()->V);
  while (e.Next()) seen.push_back(e.Cur()->V);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 0, 1, 2}));
  EXPECT_TRUE(e.End());
  l.Add(new TNum(3));
  EXPECT_FALSE(e.End());
  EXPECT_TRUE(e.Next() && e.Cur()->V == 3);
}

}  // namespace
