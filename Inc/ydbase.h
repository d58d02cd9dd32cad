// The bottom of the library: the heap routines, the root class, byte buffers and the exceptions of
// programming errors that the containers throw. Results and EFailure sit above the containers (Lib/Res.h).
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Heap routines of the library: the process heap; a failed allocation throws EBadAlloc.
void* YdAlloc(size_t sz);
void* YdReAlloc(void* p, size_t sz);  // allocates when p is null
uint32_t YdFree(void* p);             // 0 or the system error code
size_t YdSize(const void* p);

// Root of the library classes; objects live on the process heap.
class TYdBsMem {
 public:
  virtual ~TYdBsMem() {}
  static void* operator new(size_t sz) { return YdAlloc(sz); }
  static void* operator new[](size_t sz) { return YdAlloc(sz); }
  static void operator delete(void* p) noexcept { YdFree(p); }
  static void operator delete[](void* p) noexcept { YdFree(p); }
};

class TBuf : public TYdBsMem {
 public:
  TBuf() {}
  explicit TBuf(size_t sz) { Alloc(sz); }
  TBuf(const TBuf& o);
  TBuf& operator=(const TBuf&) = delete;
  ~TBuf() override { Free(); }
  void Alloc(size_t sz);
  bool TryAlloc(size_t sz);  // false instead of an exception (for building exception messages)
  void ReAlloc(size_t sz);
  void Free();
  void Swap(TBuf& o);
  void* Data() const { return m_Data; }
  size_t Cap() const { return m_Cap; }

 protected:
  void* m_Data = nullptr;
  size_t m_Cap = 0;  // the heap's own size of the block
};

class TCharBuf : public TBuf {
 public:
  using TBuf::TBuf;
  char* Chars() const { return static_cast<char*>(m_Data); }
};

// How YdVFmt grows its buffer. Capacities are multiples of Step; a text that needs more than MaxCap is cut to
// fit it. A C library that reports no length (an encoding error) gets the buffer doubled up to BlindCap, and
// the text is cut there. With NoThrow a failed allocation ends the formatting with an empty text.
struct TFmtGrow {
  size_t Step;
  size_t MaxCap;
  size_t BlindCap;
  bool NoThrow;
};

// printf-style formatting into buf, grown as g says until the text and its NUL fit. Returns the length of
// the whole text, or -1 when the C library could not tell it; buf holds the text as far as it fits.
long long YdVFmt(TCharBuf& buf, const TFmtGrow& g, const char* fmt, va_list args);

class EException : public TYdBsMem {
 public:
  ~EException() override {}
  virtual const char* Msg() const { return m_Msg.Chars() ? m_Msg.Chars() : ""; }

 protected:
  // Builds "[%s(%s)] '%s' line %u " from the exception's name, its details, the source file and the line.
  EException(const char* name, const char* dtls, const char* file, unsigned line);
  EException(const EException& o) : TYdBsMem(), m_Msg(o.m_Msg) {}

 private:
  TCharBuf m_Msg;
};

class EOutOfRange : public EException {
 public:
  EOutOfRange(const char* file, unsigned line, uint32_t idx, uint32_t cnt);
};
class EBadAlloc : public EException {
 public:
  EBadAlloc(const char* file, unsigned line, size_t sz);
};
class EInvalidArgument : public EException {
 public:
  EInvalidArgument(const char* file, unsigned line, const char* cond);
};
