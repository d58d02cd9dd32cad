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

std::string Names(const TQueue<TRec>& q) {
  std::string s;
  for (TQueueCIter<TRec> it(q); !it.End(); it.Next()) s += it.Cur()->Name;
  return s;
}

TEST(Queue, DestructionOrder) {
  struct Row { bool stack, clr; const char* deleted; } rows[] = {
      {false, false, "ABC"}, {true, false, "CBA"}, {false, true, "ABC"}, {true, true, "CBA"}};
  for (const Row& r : rows) {
    std::string j;
    {
      std::unique_ptr<TQueue<TRec>> q(r.stack ? new TStack<TRec> : new TQueue<TRec>);
      Fill(*q, &j, "ABC");
      EXPECT_EQ(Names(*q), "ABC");  // both append at the end
      if (r.clr) q->Clr();
    }
    EXPECT_EQ(j, r.deleted) << (r.stack ? "stack" : "queue") << (r.clr ? " Clr" : "");
  }
}

TEST(Queue, DelUnlinksAndDeletesTakeHandsOver) {
  std::string j;
  TQueue<TRec> q;
  Fill(q, &j, "ABCD");
  q.Del(q.First()->Next);
  q.Del(q.Last());
  std::unique_ptr<TRec> a(q.Take(q.First()));
  q.Del(q.First());
  EXPECT_EQ(j, "BDC");
  EXPECT_TRUE(q.Cnt() == 0 && !q.Last());
  Fill(q, &j, "E");  // usable again after being emptied
  EXPECT_EQ(Names(q), "E");
}

TEST(QueueIter, EndNextAndPrevAtBothEndsAndAfterAppending) {
  std::string j, seen, back;
  TQueue<TRec> q;
  TQueueCIter<TRec> it(q);  // made over the empty queue: stands before the first node
  EXPECT_TRUE(it.End() && !it.Cur() && !it.Prev());
  Fill(q, &j, "AB");
  while (it.Next()) seen += it.Cur()->Name;
  EXPECT_TRUE(it.End());
  EXPECT_FALSE(it.Next());  // stays on the last node
  EXPECT_EQ(it.Cur()->Name, 'B');
  Fill(q, &j, "CD");  // appended after the end was reached
  EXPECT_FALSE(it.End());
  while (it.Next()) seen += it.Cur()->Name;
  EXPECT_EQ(seen, "ABCD");
  do back += it.Cur()->Name;
  while (it.Prev());
  EXPECT_EQ(back, "DCBA");
  EXPECT_TRUE(it.End());  // the begin flag
  EXPECT_TRUE(it.Next() && it.Cur()->Name == 'B');
}

}  // namespace
