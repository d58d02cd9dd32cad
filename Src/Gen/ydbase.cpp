// The heap routines, byte buffers and the exceptions of programming errors.
#include "ydbase.h"
#include "ydcodes.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// A failed allocation is reported as the strings' check: the heap routines once lived there.
const char* const kHeapSrc = SRC_BSTR;
const size_t kMsgStep = 32;  // exception messages grow in steps of 32 bytes
const size_t kMsgBlindMax = 1u << 20;  // a message the C library cannot measure is cut here

// Bracket text with numbers, built on the stack: the heap may be what just failed.
struct TNumTxt {
  char B[64];
  TNumTxt(const char* fmt, unsigned long long a, unsigned long long b = 0) { snprintf(B, sizeof B, fmt, a, b); }
};

}  // namespace

// ---- heap ----

void* YdAlloc(size_t sz) {
  void* p = HeapAlloc(GetProcessHeap(), 0, sz);
  if (!p) throw EBadAlloc(kHeapSrc, CHK_BSTR_ALLOC, sz);
  return p;
}

void* YdReAlloc(void* p, size_t sz) {
  if (!p) return YdAlloc(sz);
  void* n = HeapReAlloc(GetProcessHeap(), 0, p, sz);
  if (!n) throw EBadAlloc(kHeapSrc, CHK_BSTR_REALLOC, sz);
  return n;
}

uint32_t YdFree(void* p) {
  if (!p) return 0;
  return HeapFree(GetProcessHeap(), 0, p) ? 0 : GetLastError();
}

size_t YdSize(const void* p) {
  if (!p) return 0;
  SIZE_T sz = HeapSize(GetProcessHeap(), 0, p);
  return sz == static_cast<SIZE_T>(-1) ? 0 : sz;
}

// ---- TBuf ----

TBuf::TBuf(const TBuf& o) : TYdBsMem() {
  if (!o.m_Data) return;
  Alloc(o.m_Cap);
  memcpy(m_Data, o.m_Data, o.m_Cap);
}

void TBuf::Alloc(size_t sz) {
  Free();
  m_Data = YdAlloc(sz);
  m_Cap = YdSize(m_Data);
}

bool TBuf::TryAlloc(size_t sz) {
  Free();
  m_Data = HeapAlloc(GetProcessHeap(), 0, sz);
  m_Cap = YdSize(m_Data);
  return m_Data != nullptr;
}

void TBuf::ReAlloc(size_t sz) {
  m_Data = YdReAlloc(m_Data, sz);
  m_Cap = YdSize(m_Data);
}

void TBuf::Free() {
  YdFree(m_Data);
  m_Data = nullptr;
  m_Cap = 0;
}

void TBuf::Swap(TBuf& o) {
  void* d = m_Data;
  size_t c = m_Cap;
  m_Data = o.m_Data;
  m_Cap = o.m_Cap;
  o.m_Data = d;
  o.m_Cap = c;
}

// ---- formatting ----

long long YdVFmt(TCharBuf& buf, const TFmtGrow& g, const char* fmt, va_list args) {
  if (!fmt) fmt = "";
  size_t cap = buf.Cap() < g.Step ? g.Step : buf.Cap();
  for (;;) {
    if (cap != buf.Cap()) {
      if (!g.NoThrow) buf.Alloc(cap);
      else if (!buf.TryAlloc(cap)) return 0;
    }
    va_list a;
    va_copy(a, args);
    int r = vsnprintf(buf.Chars(), buf.Cap(), fmt, a);
    va_end(a);
    size_t have = buf.Cap();
    if (r >= 0 && static_cast<size_t>(r) < have) return r;
    if (r >= 0 && have >= g.MaxCap) return r;  // cut, as the C library left it
    if (r < 0 && have >= g.BlindCap) {
      buf.Chars()[have - 1] = '\0';
      return -1;
    }
    size_t want = r >= 0 ? (static_cast<size_t>(r) / g.Step + 1) * g.Step : have * 2;
    cap = want < g.MaxCap ? want : g.MaxCap;
    if (r < 0 && cap > g.BlindCap) cap = g.BlindCap;
  }
}

// ---- exceptions ----

namespace {

long long MsgFmt(TCharBuf& buf, const char* fmt, ...) {
  // Not throwing here: this may be the message of a failed allocation.
  static const TFmtGrow kGrow = {kMsgStep, SIZE_MAX, kMsgBlindMax, true};
  va_list args;
  va_start(args, fmt);
  long long n = YdVFmt(buf, kGrow, fmt, args);
  va_end(args);
  return n;
}

}  // namespace

EException::EException(const char* name, const char* dtls, const char* file, unsigned line) {
  MsgFmt(m_Msg, "[%s(%s)] '%s' line %u ", name, dtls ? dtls : "", file ? file : "", line);
}

EOutOfRange::EOutOfRange(const char* file, unsigned line, uint32_t idx, uint32_t cnt)
    : EException("EOutOfRange", TNumTxt("idx=%llu,cnt=%llu", idx, cnt).B, file, line) {}

EBadAlloc::EBadAlloc(const char* file, unsigned line, size_t sz)
    : EException("EBadAlloc", TNumTxt("sz=%llu", sz).B, file, line) {}

EInvalidArgument::EInvalidArgument(const char* file, unsigned line, const char* cond)
    : EException("EInvalidArgument", cond, file, line) {}

