#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Lib/Res.h"
#include "ydgen.h"

namespace {

// Records its name in a journal when destroyed.
struct TRec : TYdBsMem {
  TRec(std::string* journal, char name) : J(journal), Name(name) {}
  ~TRec() override { *J += Name; }
  std::string* J;
  char Name;
};

void Fill(TQueue<TRec>& q, std::string* j, const char* names) {
  for (const char* p = names; *p; ++p) q.Add(new TRec(j, *p));
}

// A stack closes the most recently opened registry key first; both append at the end.
TEST(Queue, DestructionOrder) {
  for (bool stack : {false, true}) {
    std::string j, seen;
    {
      std::unique_ptr<TQueue<TRec>> q(stack ? new TStack<TRec> : new TQueue<TRec>);
      Fill(*q, &j, "ABC");
      for (TQueueCIter<TRec> it(*q); !it.End(); it.Next()) seen += it.Cur()->Name;
    }
    EXPECT_EQ(seen, "ABC");
    EXPECT_EQ(j, stack ? "CBA" : "ABC");
  }
}

TEST(Queue, DelDeletesTakeHandsOver) {
  std::string j;
  TQueue<TRec> q;
  Fill(q, &j, "ABCD");
  q.Del(q.First()->Next);
  q.Del(q.Last());
  std::unique_ptr<TRec> a(q.Take(q.First()));
  q.Del(q.First());
  EXPECT_EQ(j, "BDC");
  EXPECT_TRUE(q.Cnt() == 0 && !q.Last() && a->Name == 'A');
}

// The log's consumer keeps one iterator and resumes with the nodes appended after it reached the end.
TEST(QueueIter, ResumesAfterAppending) {
  std::string j, seen;
  TQueue<TRec> q;
  TQueueCIter<TRec> it(q);  // made over the empty queue: stands before the first node
  EXPECT_TRUE(it.End() && !it.Cur());
  for (const char* more : {"AB", "", "CD"}) {
    Fill(q, &j, more);
    while (it.Next()) seen += it.Cur()->Name;
    EXPECT_TRUE(it.End());
  }
  EXPECT_EQ(seen, "ABCD");
  EXPECT_EQ(it.Cur()->Name, 'D');  // stays on the last node
}

}  // namespace
