// Containers: sorted lists against a brute force, and the linked queues.
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include "Lib/BStr.h"
#include "ydgen.h"

namespace {
struct TNum : TYdBsMem {  // writes its value into the journal, when given one, as it is destroyed
  explicit TNum(int v, std::string* journal = nullptr) : V(v), J(journal) {}
  ~TNum() override { if (J) *J += char(V); }
  TCmpRes Cmp(const TNum& o, int) const { return V - o.V; }
  const int V;
  std::string* const J;
};

// Insertion and every bisection mode against a brute force; in runs of equal items strict modes once failed.
TEST(ListSorted, RandomInsertionsAndBisectionModesMatchBruteForce) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 200; ++round) {
    bool uniq = round % 4 == 1;
    int range = (round % 2) ? 8 : 300;
    TList<TNum> l(round % 3 ? 7 : 64, 1, uniq ? uint32_t(LST_UNIQUE) : 0u);
    std::vector<int> ref;
    std::vector<int> got;
    for (int i = 0, n = int(rng() % 120); i < n; ++i) {
      int v = int(rng() % range);
      std::unique_ptr<TNum> p(new TNum(v));
      bool present = std::count(ref.begin(), ref.end(), v) != 0;
      bool added = ((i % 2) ? l.Add(p.get()) : l.AddSorted(p.get())) >= 0;  // Add places by the order too
      if (added) ref.insert(std::upper_bound(ref.begin(), ref.end(), v), p.release()->V);  // the list owns it now
      ASSERT_NE(added, uniq && present) << "round " << round << " value " << v;
    }
    for (TListCIter<TNum> it(l); !it.End(); it.Next()) got.push_back(it.Cur()->V);
    ASSERT_EQ(got, ref) << "round " << round;
    for (int probe = -1; probe <= range; ++probe) {
      auto [lo, hi] = std::equal_range(ref.begin(), ref.end(), probe);
      const int want[] = {lo == ref.begin() ? -99 : lo[-1], hi == ref.begin() ? -99 : hi[-1], lo != hi ? probe : -99,
                          lo == ref.end() ? -99 : *lo, hi == ref.end() ? -99 : *hi};  // LT LE EQ GE GT
      for (int mode = FND_LT; mode <= FND_GT; ++mode) {
        const TNum* f = l.Find(TNum(probe), 1, mode);
        ASSERT_EQ(f ? f->V : -99, want[mode]) << "round " << round << " probe " << probe << " mode " << mode;
      }
    }
  }
}

// A stack closes the last opened registry key first; the log's reader resumes its iterator behind the end.
TEST(Queue, DestructionOrderAndResumingIterator) {
  for (bool stack : {false, true}) {
    std::string j, seen;
    {
      std::unique_ptr<TQueue<TNum>> q(stack ? new TStack<TNum> : new TQueue<TNum>);
      TQueueCIter<TNum> it(*q);  // made over the empty queue: stands before the first node
      EXPECT_TRUE(it.End() && !it.Cur());
      for (const char* more : {"AB", "", "CD"}) {
        for (const char* p = more; *p; ++p) q->Add(new TNum(*p, &j));
        while (it.Next()) seen += char(it.Cur()->V);
        EXPECT_TRUE(it.End() && it.Cur()->V == 'B' + (*more == 'C') * 2);  // stays on the last node
      }
      std::unique_ptr<TNum> b(q->Take(q->First()->Next));  // handed over, not deleted
    }
    EXPECT_EQ(seen + j, stack ? "ABCDBDCA" : "ABCDBACD");
  }
}
}  // namespace
