// Container templates of the library: linked queues and stacks, pointer lists (optionally sorted) and
// fixed arrays. Queues, stacks and lists own their items: an item is deleted with plain `delete` when it
// leaves the container, so it must come from `new` (class objects through their own operator new, values
// without a class as heap cells: q.Add(new uint32_t(5))).
#pragma once
#include <cstdint>
#include <cstring>

#include "ydbase.h"
#include "ydcodes.h"

// Throw sites of the containers, out of line: one copy instead of one per item type.
[[noreturn]] void YdGenOutOfRange(const char* file, unsigned line, uint32_t idx, uint32_t cnt);
[[noreturn]] void YdGenInvalidArg(const char* file, unsigned line, const char* cond);
// Reallocates an array of cnt item pointers, keeping its contents; throws EBadAlloc (size = cnt).
void* YdGenGrow(void* arr, uint32_t cnt);
constexpr uint32_t LST_MAX_CNT = 0x7FFFFFFF;  // list indices are returned as int

template <class T>
struct TContainerItem {
  TContainerItem* Next;
  TContainerItem* Prev;
  T* Item;  // owned by the container, not by the node
};

// Doubly linked chain; new nodes go to the end, Clr empties it from the front.
template <class T>
class TQueue : public TYdBsMem {
 public:
  typedef TContainerItem<T> TNode;

  TQueue() {}
  TQueue(const TQueue&) = delete;
  TQueue& operator=(const TQueue&) = delete;
  ~TQueue() override { Clr(); }

  uint32_t Cnt() const { return m_Cnt; }
  TNode* First() const { return m_First; }
  TNode* Last() const { return m_Last; }

  void Add(T* item) {
    TNode* n = new TNode{nullptr, m_Last, item};
    if (m_Last)
      m_Last->Next = n;
    else
      m_First = n;
    m_Last = n;
    ++m_Cnt;
  }
  // Unlinks the node and deletes its item and the node.
  void Del(TNode* node) {
    if (node) delete Take(node);
  }
  // Unlinks the node and deletes it, handing its item to the caller.
  T* Take(TNode* node) {
    if (!node) return nullptr;
    (node->Prev ? node->Prev->Next : m_First) = node->Next;
    (node->Next ? node->Next->Prev : m_Last) = node->Prev;
    --m_Cnt;
    T* item = node->Item;
    delete node;
    return item;
  }
  void Clr() {
    while (m_First) Del(m_FromBack ? m_Last : m_First);
  }

 protected:
  explicit TQueue(bool fromBack) : m_FromBack(fromBack) {}

 private:
  uint32_t m_Cnt = 0;
  TNode* m_First = nullptr;
  TNode* m_Last = nullptr;
  bool m_FromBack = false;
};

// A queue emptied from its last node: items are destroyed in the reverse order of insertion
// (the most recently opened registry key is closed first).
template <class T>
class TStack : public TQueue<T> {
 public:
  TStack() : TQueue<T>(true) {}
};

// Iteration over a queue or a stack, from the first node:
//   for (TQueueCIter<TStr> it(q); !it.End(); it.Next()) use(*it.Cur());
// Next on the last node stays there and sets the end flag; End turns false again when nodes are
// appended later, and the next Next moves onto the first of them, so a consumer resumes with
//   while (it.Next()) use(*it.Cur());
// An iterator made over an empty container stands before the first node (Cur is null) and its
// Next moves onto the first node once there is one.
template <class Q, class N, class R>
class TQueueIterBase {
 public:
  explicit TQueueIterBase(Q& q) : m_Q(&q), m_Cur(q.First()), m_EndF(!m_Cur), m_BegF(!m_Cur) {}

  bool End() const {
    if (!m_Cur) return !m_Q->First();
    return (m_EndF && !m_Cur->Next) || (m_BegF && !m_Cur->Prev);
  }
  bool Next() {
    N* n = m_Cur ? m_Cur->Next : m_Q->First();
    if (!n) {
      m_EndF = true;
      return false;
    }
    m_Cur = n;
    m_EndF = m_BegF = false;
    return true;
  }
  R* Cur() const { return m_Cur ? m_Cur->Item : nullptr; }

 private:
  Q* m_Q;
  N* m_Cur;
  bool m_EndF;
  bool m_BegF;
};

template <class T>
class TQueueIter : public TQueueIterBase<TQueue<T>, TContainerItem<T>, T> {
 public:
  explicit TQueueIter(TQueue<T>& q) : TQueueIterBase<TQueue<T>, TContainerItem<T>, T>(q) {}
};

template <class T>
class TQueueCIter : public TQueueIterBase<const TQueue<T>, TContainerItem<T>, const T> {
 public:
  explicit TQueueCIter(const TQueue<T>& q) : TQueueIterBase<const TQueue<T>, TContainerItem<T>, const T>(q) {}
};

// List flags.
enum : uint32_t {
  LST_UNIQUE = 0x80,  // AddSorted refuses an item equal to one present
  // Index and argument errors report the header's own position (Inc/ydgen) instead of Src/Gen/ydgen;
  // the log's lists (log types, INI values and sections, process logs) are created with this flag.
  LST_INC_SITE = 0x100,
};

// Find modes: the item found relative to the probe.
enum : int { FND_LT = 0, FND_LE = 1, FND_EQ = 2, FND_GE = 3, FND_GT = 4 };

// Array of owned item pointers growing by a fixed step. With a sort key other than 0 AddSorted keeps it
// ascending by  TCmpRes T::Cmp(const T& other, int key) const  (sign of this item minus other).
template <class T>
class TList : public TYdBsMem {
 public:
  explicit TList(uint32_t step = 64, int sortKey = 0, uint32_t flags = 0)
      : m_Flags(flags), m_Step(step ? step : 64), m_SortKey(sortKey) {}
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  ~TList() override { Clr(); }

  uint32_t Cnt() const { return m_Cnt; }

  T* Get(uint32_t i) const {
    if (i >= m_Cnt) {
      if (m_Flags & LST_INC_SITE) YdGenOutOfRange(SRC_GEN_INC, CHK_GEN_GET_INC, i, m_Cnt);
      YdGenOutOfRange(SRC_GEN, CHK_GEN_GET, i, m_Cnt);
    }
    return m_Items[i];
  }
  T* operator[](uint32_t i) const { return Get(i); }

  // Appends to an unsorted list; a sorted list places the item by its order.
  int Add(T* item) {
    if (m_SortKey) return AddSorted(item);
    return Put(item, m_Cnt);
  }
  // Inserts before index i (i equal to the count appends). The caller keeps a sorted list in order.
  int Ins(T* item, uint32_t i) {
    if (i > m_Cnt) YdGenOutOfRange(SRC_GEN, CHK_GEN_INS, i, m_Cnt);
    return Put(item, i);
  }
  // The index of the new item, or -1 when a unique list already holds an equal one (the caller keeps
  // the item then).
  int AddSorted(T* item) {
    if (!item) YdGenInvalidArg((m_Flags & LST_INC_SITE) ? SRC_GEN_INC : SRC_GEN,
                               CHK_GEN_NULL_ITEM, "item==NULL");
    if (!m_SortKey) return Put(item, m_Cnt);
    uint32_t pos = SortedPos(*item);
    if ((m_Flags & LST_UNIQUE) && m_Cnt) {
      const T* at = m_Items[pos < m_Cnt ? pos : m_Cnt - 1];
      if (item->Cmp(*at, m_SortKey).Val() == 0) return -1;
    }
    return Put(item, pos);
  }

  // With the list's sort key a bisection (modes FND_LT..FND_GT); with another key a scan from the
  // start: FND_EQ the first equal item, FND_GE the first equal item or else the smallest greater one.
  T* Find(const T& probe, int key, int mode) const {
    int i = FindIdx(probe, key, mode);
    return i < 0 ? nullptr : m_Items[i];
  }
  int FindIdx(const T& probe, int key, int mode) const {
    if (m_SortKey && key == m_SortKey) return Bisect(probe, mode);
    return Scan(probe, key, mode);
  }

  // Removes item i and deletes it.
  void Del(uint32_t i) { delete Take(i); }
  // Removes item i and hands it to the caller.
  T* Take(uint32_t i) {
    T* item = Get(i);
    std::memmove(m_Items + i, m_Items + i + 1, (m_Cnt - i - 1) * sizeof(T*));
    --m_Cnt;
    return item;
  }
  // Deletes every item, last first, and frees the array.
  void Clr() {
    while (m_Cnt) delete m_Items[--m_Cnt];
    if (m_Items) YdFree(m_Items);
    m_Items = nullptr;
    m_Cap = 0;
  }

 private:
  int Put(T* item, uint32_t i) {
    if (m_Cnt == m_Cap) {
      uint64_t want = (uint64_t(m_Cnt) + 1 + m_Step - 1) / m_Step * m_Step;
      uint32_t cap = want > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(want);
      m_Items = static_cast<T**>(YdGenGrow(m_Items, cap));
      m_Cap = cap;
    }
    std::memmove(m_Items + i + 1, m_Items + i, (m_Cnt - i) * sizeof(T*));
    m_Items[i] = item;
    ++m_Cnt;
    return int(i);
  }
  int Rel(const T& probe, uint32_t i) const { return probe.Cmp(*m_Items[i], m_SortKey).Val(); }
  // Whether item i stands in the mode's relation to the probe, given c = sign(probe - item).
  static bool Fits(int c, int mode) {
    switch (mode) {
      case FND_LT: return c > 0;
      case FND_LE: return c >= 0;
      case FND_EQ: return c == 0;
      case FND_GE: return c <= 0;
      case FND_GT: return c < 0;
    }
    return false;
  }
  // Each probe lies 60 % of the way from low to high, favouring the upper end.
  static uint32_t Probe(uint32_t lo, uint32_t hi) { return uint32_t((3ull * hi + 2ull * lo) / 5); }

  uint32_t SortedPos(const T& item) const {
    if (m_Cnt == 0) return 0;
    if (m_Cnt == 1) return Rel(item, 0) < 0 ? 0 : 1;
    if (Rel(item, m_Cnt - 1) > 0) return m_Cnt;
    uint32_t lo = 0, hi = m_Cnt - 1;
    while (lo < hi) {
      uint32_t p = Probe(lo, hi);
      int c = Rel(item, p);
      if (c == 0) return p;
      if (c > 0)
        lo = p + 1;
      else
        hi = p;
    }
    return lo;
  }
  int Bisect(const T& probe, int mode) const {
    if (mode < FND_LT || mode > FND_GT || m_Cnt == 0) return -1;
    if (m_Cnt == 1) return Fits(Rel(probe, 0), mode) ? 0 : -1;
    // Items below lo are at most item lo, items above hi are greater than the probe once hi moved.
    uint32_t lo = 0, hi = m_Cnt - 1;
    while (hi - lo > 1) {
      uint32_t p = Probe(lo, hi);
      int c = Rel(probe, p);
      if (c == 0) return AtEqual(probe, p, mode);
      if (c > 0)
        lo = p;
      else
        hi = p;
    }
    bool up = mode == FND_LT || mode == FND_LE;  // the greater candidate first
    uint32_t a = up ? hi : lo, b = up ? lo : hi;
    if (Fits(Rel(probe, a), mode)) return int(a);
    if (Fits(Rel(probe, b), mode)) return int(b);
    return -1;
  }
  // Item p equals the probe; equal neighbours are passed over for the strict modes.
  int AtEqual(const T& probe, uint32_t p, int mode) const {
    if (mode == FND_LT) {
      while (p > 0 && Rel(probe, p - 1) == 0) --p;
      return int(p) - 1;
    }
    if (mode == FND_GT) {
      while (p + 1 < m_Cnt && Rel(probe, p + 1) == 0) ++p;
      return p + 1 < m_Cnt ? int(p + 1) : -1;
    }
    return int(p);
  }
  int Scan(const T& probe, int key, int mode) const {
    if (mode != FND_EQ && mode != FND_GE) return -1;
    int best = -1;
    for (uint32_t i = 0; i < m_Cnt; ++i) {
      if (!m_Items[i]) continue;
      int c = m_Items[i]->Cmp(probe, key).Val();
      if (c == 0) return int(i);
      if (mode == FND_GE && c > 0 && (best < 0 || m_Items[i]->Cmp(*m_Items[best], key).Val() < 0))
        best = int(i);
    }
    return best;
  }

  T** m_Items = nullptr;
  uint32_t m_Flags;
  uint32_t m_Cap = 0;
  uint32_t m_Step;
  uint32_t m_Cnt = 0;
  int m_SortKey;
};

// Read-only iteration over a list with the queue iterators' End/Next rules.
template <class T>
class TListCIter {
 public:
  explicit TListCIter(const TList<T>& l) : m_L(&l), m_Has(l.Cnt() != 0), m_EndF(!m_Has), m_BegF(!m_Has) {}

  bool End() const {
    if (!m_Has) return m_L->Cnt() == 0;
    if (m_Idx >= m_L->Cnt()) return true;
    return (m_EndF && m_Idx + 1 >= m_L->Cnt()) || (m_BegF && m_Idx == 0);
  }
  bool Next() {
    uint32_t n = m_Has ? m_Idx + 1 : 0;
    if (n >= m_L->Cnt()) {
      m_EndF = true;
      return false;
    }
    m_Idx = n;
    m_Has = true;
    m_EndF = m_BegF = false;
    return true;
  }
  const T* Cur() const { return m_Has && m_Idx < m_L->Cnt() ? m_L->Get(m_Idx) : nullptr; }

 private:
  const TList<T>* m_L;
  uint32_t m_Idx = 0;
  bool m_Has;
  bool m_EndF;
  bool m_BegF;
};

// Fixed array of values; the count is given at construction or by SetCnt.
template <class T>
class TArray : public TYdBsMem {
 public:
  TArray() {}
  explicit TArray(uint32_t cnt) {
    if (cnt == 0) YdGenInvalidArg(SRC_GEN, CHK_GEN_ARR_CNT, "cnt==0");
    SetCnt(cnt);
  }
  TArray(const TArray&) = delete;
  TArray& operator=(const TArray&) = delete;
  ~TArray() override { delete[] m_Data; }

  // Releases the old elements and makes n new ones (n = 0 leaves the array empty).
  void SetCnt(uint32_t n) {
    delete[] m_Data;
    m_Data = nullptr;
    m_Cnt = 0;
    if (n) {
      m_Data = new T[n]();
      m_Cnt = n;
    }
  }
  uint32_t Cnt() const { return m_Cnt; }
  T& operator[](uint32_t i) {
    if (i >= m_Cnt) YdGenOutOfRange(SRC_GEN_INC, CHK_GEN_GET_INC, i, m_Cnt);
    return m_Data[i];
  }
  const T& operator[](uint32_t i) const {
    if (i >= m_Cnt) YdGenOutOfRange(SRC_GEN_INC, CHK_GEN_GET_INC, i, m_Cnt);
    return m_Data[i];
  }
  T* Data() { return m_Data; }
  const T* Data() const { return m_Data; }

 private:
  T* m_Data = nullptr;
  uint32_t m_Cnt = 0;
};
