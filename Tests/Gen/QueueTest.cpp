#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lib/Res.h"
#include "ydgen.h"

namespace {

// Records its name in a journal when destroyed.
class TRec : public TYdBsMem {
 public:
  TRec(std::string* journal, char name) : m_J(journal), m_Name(name) {}
  ~TRec() override { *m_J += m_Name; }
  char Name() const { return m_Name; }

 private:
  std::string* m_J;
  char m_Name;
};

template <class Q>
void Fill(Q& q, std::string* j, const char* names) {
  for (const char* p = names; *p; ++p) q.Add(new TRec(j, *p));
}

template <class Q>
std::string Names(const Q& q) {
  std::string s;
  for (TQueueCIter<TRec> it(q); !it.End(); it.Next()) s += it.Cur()->Name();
  return s;
}

TEST(QueueOwnership, DestructionOrder) {
  struct Row { bool stack; bool clr; const char* in; const char* deleted; };
  const Row rows[] = {
      {false, false, "ABC", "ABC"}, {true, false, "ABC", "CBA"},
      {false, true, "ABCD", "ABCD"}, {true, true, "ABCD", "DCBA"},
      {true, false, "", ""},
  };
  for (const Row& r : rows) {
    std::string j;
    if (r.stack) {
      TStack<TRec> s;
      Fill(s, &j, r.in);
      EXPECT_EQ(Names(s), r.in);  // both append at the end
      if (r.clr) {
        s.Clr();
        EXPECT_EQ(s.Cnt(), 0u);
        EXPECT_EQ(s.First(), nullptr);
      }
    } else {
      TQueue<TRec> q;
      Fill(q, &j, r.in);
      if (r.clr) q.Clr();
    }
    EXPECT_EQ(j, r.deleted) << (r.stack ? "stack " : "queue ") << r.in;
  }
}

TEST(QueueOwnership, DelUnlinksAndDeletesTakeHandsOver) {
  std::string j;
  TQueue<TRec> q;
  Fill(q, &j, "ABCDE");
  q.Del(q.First()->Next);  // B
  q.Del(q.Last());         // E
  EXPECT_EQ(j, "BE");
  EXPECT_EQ(q.Cnt(), 3u);
  EXPECT_EQ(Names(q), "ACD");
  TRec* a = q.Take(q.First());
  EXPECT_EQ(j, "BE");
  EXPECT_EQ(a->Name(), 'A');
  delete a;
  q.Del(q.First());
  q.Del(q.First());
  EXPECT_EQ(q.Cnt(), 0u);
  EXPECT_EQ(q.First(), nullptr);
  EXPECT_EQ(q.Last(), nullptr);
  EXPECT_EQ(j, "BEACD");
  Fill(q, &j, "F");  // usable again after being emptied
  EXPECT_EQ(Names(q), "F");
}

TEST(QueueOwnership, ValuesWithoutClassAsHeapCells) {
  TQueue<uint32_t> q;
  for (uint32_t v : {0u, 1223u, 1152u}) q.Add(new uint32_t(v));
  std::vector<uint32_t> seen;
  for (TQueueCIter<uint32_t> it(q); !it.End(); it.Next()) seen.push_back(*it.Cur());
  EXPECT_EQ(seen, (std::vector<uint32_t>{0, 1223, 1152}));
  TStack<TStr> s;
  s.Add(new TStr("HKCU"));
  s.Add(new TStr("Software"));
  EXPECT_STREQ(s.Last()->Item->Str(), "Software");
}

TEST(QueueIter, EmptyContainerStandsAtEnd) {
  TQueue<TRec> q;
  TQueueCIter<TRec> it(q);
  EXPECT_TRUE(it.End());
  EXPECT_EQ(it.Cur(), nullptr);
  EXPECT_FALSE(it.Next());
  EXPECT_FALSE(it.Prev());
  EXPECT_TRUE(it.End());
}

TEST(QueueIter, NextStaysOnLastNodeAndSetsEnd) {
  std::string j;
  TQueue<TRec> q;
  Fill(q, &j, "AB");
  TQueueIter<TRec> it(q);
  EXPECT_FALSE(it.End());
  EXPECT_EQ(it.Cur()->Name(), 'A');
  EXPECT_TRUE(it.Next());
  EXPECT_FALSE(it.End());
  EXPECT_FALSE(it.Next());
  EXPECT_TRUE(it.End());
  EXPECT_EQ(it.Cur()->Name(), 'B');
  EXPECT_FALSE(it.Next());
  EXPECT_EQ(it.Cur()->Name(), 'B');
}

TEST(QueueIter, NodeAppendedAfterEndIsVisitedByNextNext) {
  std::string j;
  TQueue<TRec> q;
  Fill(q, &j, "AB");
  std::string seen;
  TQueueCIter<TRec> it(q);
  for (; !it.End(); it.Next()) seen += it.Cur()->Name();
  EXPECT_EQ(seen, "AB");
  Fill(q, &j, "CD");
  EXPECT_FALSE(it.End());
  while (it.Next()) seen += it.Cur()->Name();
  EXPECT_EQ(seen, "ABCD");
  EXPECT_TRUE(it.End());
}

TEST(QueueIter, IteratorMadeOverEmptyQueueFindsFirstNodeLater) {
  std::string j;
  TQueue<TRec> q;
  TQueueCIter<TRec> it(q);
  EXPECT_TRUE(it.End());
  Fill(q, &j, "XY");
  EXPECT_FALSE(it.End());
  std::string seen;
  while (it.Next()) seen += it.Cur()->Name();
  EXPECT_EQ(seen, "XY");
  EXPECT_TRUE(it.End());
}

TEST(QueueIter, PrevSetsBeginFlagOnFirstNode) {
  std::string j;
  TStack<TRec> s;
  Fill(s, &j, "ABC");
  TQueueCIter<TRec> it(s);
  it.Next();
  it.Next();
  std::string back;
  do back += it.Cur()->Name();
  while (it.Prev());
  EXPECT_EQ(back, "CBA");
  EXPECT_TRUE(it.End());
  EXPECT_TRUE(it.Next());
  EXPECT_FALSE(it.End());
  EXPECT_EQ(it.Cur()->Name(), 'B');
}

TEST(Array, CountElementsAndIndexErrors) {
  TArray<uint32_t> a(4);
  EXPECT_EQ(a.Cnt(), 4u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(a[i], 0u);
  a[3] = 7;
  EXPECT_EQ(a.Data()[3], 7u);
  try {
    a[4] = 1;
    ADD_FAILURE() << "no exception";
  } catch (const EOutOfRange& e) {
    EXPECT_STREQ(e.Msg(), "[EOutOfRange(idx=4,cnt=4)] 'Inc/ydgen' line 1259 ");
  }
  TArray<TStr> e;
  EXPECT_EQ(e.Cnt(), 0u);
  EXPECT_EQ(e.Data(), nullptr);
  e.SetCnt(2);
  e[1] = "x";
  EXPECT_STREQ(e[1].Str(), "x");
  EXPECT_STREQ(e[0].Str(), "");
  e.SetCnt(0);
  EXPECT_EQ(e.Cnt(), 0u);
  EXPECT_EQ(e.Data(), nullptr);
}

}  // namespace
