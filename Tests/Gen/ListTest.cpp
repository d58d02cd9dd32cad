#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Lib/Res.h"
#include "ydgen.h"

namespace {

// Key 1 orders by value, key 2 by value modulo 7 (a key other than the sort key).
struct TNum : TYdBsMem {
  static int s_Cmps;
  static std::vector<int>* s_Seen;  // values of the items compared against, when set
  int V;
  explicit TNum(int v) : V(v) {}
  TCmpRes Cmp(const TNum& o, int key) const {
    ++s_Cmps;
    if (s_Seen) s_Seen->push_back(o.V);
    if (key == 2) return TCmpRes(V % 7 - o.V % 7);
    return TCmpRes(V < o.V ? -1 : (V > o.V ? 1 : 0));
  }
};
int TNum::s_Cmps = 0;
std::vector<int>* TNum::s_Seen = nullptr;

std::string ThrownMsg(const std::function<void()>& f) {
  try {
    f();
  } catch (const EException& e) {
    return e.Msg();
  }
  return "(nothing thrown)";
}

std::vector<int> Vals(const TList<TNum>& l) {
  std::vector<int> v;
  for (uint32_t i = 0; i < l.Cnt(); ++i) v.push_back(l.Get(i)->V);
  return v;
}

TEST(ListGrowth, CapacityIsCountRoundedUpToStep) {
  struct Row { uint32_t step, cnt, cap; };
  const Row rows[] = {{64, 1, 64}, {64, 64, 64}, {64, 65, 128}, {64, 129, 192},
                      {1, 5, 5},   {10, 11, 20}, {3, 7, 9}};
  for (const Row& r : rows) {
    TList<TNum> l(r.step);
    for (uint32_t i = 0; i < r.cnt; ++i) l.Add(new TNum(int(i)));
    EXPECT_EQ(l.Cap(), r.cap) << "step " << r.step << " count " << r.cnt;
    EXPECT_EQ(l.Cnt(), r.cnt);
    EXPECT_EQ(l.Get(r.cnt - 1)->V, int(r.cnt - 1));
  }
}

TEST(ListGrowth, SixtyFifthItemGrowsTo128KeepingContents) {
  TList<TNum> l;
  for (int i = 0; i < 64; ++i) l.Add(new TNum(i));
  EXPECT_EQ(l.Cap(), 64u);
  l.Add(new TNum(64));
  EXPECT_EQ(l.Cap(), 128u);
  std::vector<int> want(65);
  for (int i = 0; i < 65; ++i) want[i] = i;
  EXPECT_EQ(Vals(l), want);
}

TEST(ListGrowth, FailedGrowthReportsRequestedItemCount) {
  // More items than an int index can name.
  EXPECT_EQ(ThrownMsg([] { YdGenGrow(nullptr, 0xFFFFFFFFu); }),
            "[EBadAlloc(sz=4294967295)] 'Src/Gen/ydgen' line 1231 ");
}

TEST(ListErrors, MessagesNameFileAndLine) {
  TList<TNum> l;
  for (int i = 0; i < 3; ++i) l.Add(new TNum(i));
  TList<TNum> logL(64, 1, LST_INC_SITE);
  logL.AddSorted(new TNum(1));
  struct Row { std::function<void()> f; const char* msg; };
  const Row rows[] = {
      {[&] { l.Get(3); }, "[EOutOfRange(idx=3,cnt=3)] 'Src/Gen/ydgen' line 1277 "},
      {[&] { l.Get(5); }, "[EOutOfRange(idx=5,cnt=3)] 'Src/Gen/ydgen' line 1277 "},
      {[&] { logL.Get(1); }, "[EOutOfRange(idx=1,cnt=1)] 'Inc/ydgen' line 1259 "},
      {[&] { TNum n(9); l.Ins(&n, 4); }, "[EOutOfRange(idx=4,cnt=3)] 'Src/Gen/ydgen' line 1189 "},
      {[&] { l.AddSorted(nullptr); }, "[EInvalidArgument(item==NULL)] 'Src/Gen/ydgen' line 1140 "},
      {[&] { logL.AddSorted(nullptr); }, "[EInvalidArgument(item==NULL)] 'Inc/ydgen' line 1140 "},
      {[&] { TArray<int> a(0); }, "[EInvalidArgument(cnt==0)] 'Src/Gen/ydgen' line 441 "},
  };
  for (const Row& r : rows) EXPECT_EQ(ThrownMsg(r.f), r.msg);
  EXPECT_EQ(l.Cnt(), 3u);
}

TEST(ListInsert, InsertBeforeIndexAndAtCountAppends) {
  TList<TNum> l;
  for (int i = 0; i < 3; ++i) l.Add(new TNum(i));
  EXPECT_EQ(l.Ins(new TNum(3), 3), 3);
  EXPECT_EQ(l.Ins(new TNum(-1), 0), 0);
  EXPECT_EQ(l.Ins(new TNum(9), 2), 2);
  EXPECT_EQ(Vals(l), (std::vector<int>{-1, 0, 9, 1, 2, 3}));
  delete l.Take(2);
  l.Del(0);
  EXPECT_EQ(Vals(l), (std::vector<int>{0, 1, 2, 3}));
}

TEST(ListSorted, AscendingInputAppendsWithoutBisection) {
  TList<TNum> l(64, 1);
  const int wantCmps[] = {0, 1, 1, 1};  // no item, the only item, then only the last item
  for (int i = 0; i < 4; ++i) {
    TNum::s_Cmps = 0;
    EXPECT_EQ(l.AddSorted(new TNum(i + 1)), i);
    EXPECT_EQ(TNum::s_Cmps, wantCmps[i]) << "item " << i + 1;
  }
}

TEST(ListSorted, ProbesLieSixtyPercentTowardsHigh) {
  TList<TNum> l(64, 1);
  for (int v = 0; v < 100; v += 10) l.AddSorted(new TNum(v));
  std::vector<int> seen;
  TNum::s_Seen = &seen;
  int at = l.AddSorted(new TNum(15));
  std::vector<int> found;
  TNum::s_Seen = &found;
  const TNum* lt = l.Find(TNum(15), 1, FND_LT);
  TNum::s_Seen = nullptr;
  EXPECT_EQ(at, 2);
  // last item, then indices 5, 3, 1, 2 of the ten
  EXPECT_EQ(seen, (std::vector<int>{90, 50, 30, 10, 20}));
  ASSERT_NE(lt, nullptr);
  EXPECT_EQ(lt->V, 10);
  // eleven items now: indices 6, 3, 1, then 2 is equal and its lower neighbour is checked for equality
  EXPECT_EQ(found, (std::vector<int>{50, 20, 10, 15, 10}));
}

TEST(ListSorted, TwoItemOrders) {
  TList<TNum> l(64, 1);
  EXPECT_EQ(l.AddSorted(new TNum(5)), 0);
  EXPECT_EQ(l.AddSorted(new TNum(2)), 0);
  EXPECT_EQ(l.AddSorted(new TNum(5)), 1);  // placed before the equal item the bisection meets
  EXPECT_EQ(Vals(l), (std::vector<int>{2, 5, 5}));
  TList<TNum> one(64, 1);
  one.AddSorted(new TNum(5));
  EXPECT_EQ(one.AddSorted(new TNum(5)), 1);  // an equal only item is followed
}

TEST(ListSorted, RandomInsertionsComeOutSorted) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 200; ++round) {
    int n = int(rng() % 300);
    int range = (round % 3 == 0) ? 5 : 1000;  // every third round has many duplicates
    TList<TNum> l(round % 2 ? 7 : 64, 1);
    std::vector<int> ref;
    for (int i = 0; i < n; ++i) {
      TNum* p = new TNum(int(rng() % range));
      ref.push_back(p->V);
      int at = l.AddSorted(p);
      ASSERT_GE(at, 0);
      ASSERT_EQ(l.Get(uint32_t(at)), p);
    }
    std::sort(ref.begin(), ref.end());
    ASSERT_EQ(Vals(l), ref) << "round " << round;
  }
}

TEST(ListSorted, AddOnSortedListKeepsOrder) {
  TList<TNum> l(64, 1);
  for (int v : {4, 1, 3}) l.Add(new TNum(v));
  EXPECT_EQ(Vals(l), (std::vector<int>{1, 3, 4}));
}

TEST(ListUnique, EqualItemRefusedAndListUnchanged) {
  TList<TNum> l(64, 1, LST_UNIQUE);
  for (int v : {5, 3, 8, 1, 9}) ASSERT_GE(l.AddSorted(new TNum(v)), 0);
  for (int v : {5, 3, 8, 1, 9}) {
    TNum again(v);
    EXPECT_EQ(l.AddSorted(&again), -1) << v;
  }
  EXPECT_EQ(Vals(l), (std::vector<int>{1, 3, 5, 8, 9}));
  TList<TNum> one(64, 1, LST_UNIQUE);
  one.AddSorted(new TNum(2));
  TNum two(2);
  EXPECT_EQ(one.AddSorted(&two), -1);
  EXPECT_EQ(one.Cnt(), 1u);
}

TEST(ListUnique, RandomUniqueListHoldsEachValueOnce) {
  std::mt19937 rng(7);
  TList<TNum> l(16, 1, LST_UNIQUE);
  std::vector<int> ref;
  for (int i = 0; i < 2000; ++i) {
    TNum* p = new TNum(int(rng() % 300));
    if (l.AddSorted(p) < 0)
      delete p;
    else
      ref.push_back(p->V);
  }
  std::sort(ref.begin(), ref.end());
  EXPECT_TRUE(std::adjacent_find(ref.begin(), ref.end()) == ref.end());
  EXPECT_EQ(Vals(l), ref);
}

// Brute force over the sorted values: the value the mode asks for, or none.
bool RefFind(const std::vector<int>& s, int probe, int mode, int& out) {
  bool found = false;
  for (int v : s) {
    bool fits = (mode == FND_LT && v < probe) || (mode == FND_LE && v <= probe) ||
                (mode == FND_EQ && v == probe) || (mode == FND_GE && v >= probe) ||
                (mode == FND_GT && v > probe);
    if (!fits) continue;
    bool better = !found || ((mode == FND_LT || mode == FND_LE) ? v > out : v < out);
    if (better) out = v;
    found = true;
  }
  return found;
}

TEST(ListFind, BisectionModesMatchBruteForce) {
  std::mt19937 rng(42);
  for (int round = 0; round < 300; ++round) {
    int n = int(rng() % 40);
    int range = (round % 2) ? 10 : 200;
    TList<TNum> l(64, 1, (round % 4 == 1) ? uint32_t(LST_UNIQUE) : 0u);
    for (int i = 0; i < n; ++i) {
      TNum* p = new TNum(int(rng() % range));
      if (l.AddSorted(p) < 0) delete p;
    }
    std::vector<int> s = Vals(l);
    for (int probe = -1; probe <= range; ++probe) {
      for (int mode = FND_LT; mode <= FND_GT; ++mode) {
        int want = 0;
        bool has = RefFind(s, probe, mode, want);
        const TNum* got = l.Find(TNum(probe), 1, mode);
        ASSERT_EQ(got != nullptr, has) << "round " << round << " probe " << probe << " mode " << mode;
        if (has) {
          ASSERT_EQ(got->V, want) << "round " << round << " probe " << probe << " mode " << mode;
        }
      }
    }
  }
}

TEST(ListFind, StrictModesPassOverEqualRun) {
  TList<TNum> l(64, 1);
  for (int v : {1, 4, 4, 4, 4, 4, 4, 9}) l.AddSorted(new TNum(v));
  EXPECT_EQ(l.FindIdx(TNum(4), 1, FND_LT), 0);
  EXPECT_EQ(l.FindIdx(TNum(4), 1, FND_GT), 7);
  EXPECT_EQ(l.Find(TNum(4), 1, FND_EQ)->V, 4);
  EXPECT_EQ(l.Find(TNum(10), 1, FND_GT), nullptr);
  EXPECT_EQ(l.Find(TNum(0), 1, FND_LT), nullptr);
  EXPECT_EQ(l.Find(TNum(4), 1, 5), nullptr);
}

TEST(ListFind, OtherKeyScansFromStart) {
  std::mt19937 rng(3);
  for (int round = 0; round < 100; ++round) {
    TList<TNum> l(64, (round % 2) ? 1 : 0);
    int n = int(rng() % 30);
    for (int i = 0; i < n; ++i) l.Add(new TNum(int(rng() % 100)));
    for (int probe = 0; probe < 7; ++probe) {
      int wantEq = -1, wantGe = -1;
      for (uint32_t i = 0; i < l.Cnt(); ++i) {
        int r = l.Get(i)->V % 7;
        if (r == probe && wantEq < 0) wantEq = int(i);
        if (r > probe && (wantGe < 0 || r < l.Get(uint32_t(wantGe))->V % 7)) wantGe = int(i);
      }
      if (wantEq >= 0) wantGe = wantEq;
      EXPECT_EQ(l.FindIdx(TNum(probe), 2, FND_EQ), wantEq);
      EXPECT_EQ(l.FindIdx(TNum(probe), 2, FND_GE), wantGe);
      for (int mode : {FND_LT, FND_LE, FND_GT}) EXPECT_EQ(l.Find(TNum(probe), 2, mode), nullptr);
    }
  }
}

TEST(ListIter, VisitsInOrderAndResumesAfterAppend) {
  TList<TNum> l;
  TListCIter<TNum> e(l);
  EXPECT_TRUE(e.End());
  EXPECT_EQ(e.Cur(), nullptr);
  for (int i = 0; i < 3; ++i) l.Add(new TNum(i));
  std::vector<int> seen;
  for (TListCIter<TNum> it(l); !it.End(); it.Next()) seen.push_back(it.Cur()->V);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(e.End());
  ASSERT_TRUE(e.Next());
  EXPECT_EQ(e.Cur()->V, 0);
  e.Next();
  e.Next();
  EXPECT_FALSE(e.Next());
  EXPECT_TRUE(e.End());
  l.Add(new TNum(3));
  EXPECT_FALSE(e.End());
  ASSERT_TRUE(e.Next());
  EXPECT_EQ(e.Cur()->V, 3);
}

}  // namespace
