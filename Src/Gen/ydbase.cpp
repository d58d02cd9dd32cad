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

// ---- exceptions ----

EException::EException(const char* name, const char* dtls, const char* file, unsigned line) {
  static const char kForm[] = "[%s(%s)] '%s' line %u ";
  if (!dtls) dtls = "";
  if (!file) file = "";
  int n = snprintf(nullptr, 0, kForm, name, dtls, file, line);
  if (n < 0) return;
  // The smallest multiple of 32 bytes that holds the text and its NUL. Not throwing here: this may be
  // the message of a failed allocation.
  size_t cap = (static_cast<size_t>(n) / kMsgStep + 1) * kMsgStep;
  if (m_Msg.TryAlloc(cap)) snprintf(m_Msg.Chars(), m_Msg.Cap(), kForm, name, dtls, file, line);
}

EOutOfRange::EOutOfRange(const char* file, unsigned line, uint32_t idx, uint32_t cnt)
    : EException("EOutOfRange", TNumTxt("idx=%llu,cnt=%llu", idx, cnt).B, file, line) {}

EBadAlloc::EBadAlloc(const char* file, unsigned line, size_t sz)
    : EException("EBadAlloc", TNumTxt("sz=%llu", sz).B, file, line) {}

EInvalidArgument::EInvalidArgument(const char* file, unsigned line, const char* cond)
    : EException("EInvalidArgument", cond, file, line) {}

