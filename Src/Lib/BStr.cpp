// Strings and comparisons.
#include "Lib/BStr.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Lib/Re.h"
#include "Lib/Res.h"
#include "ydcodes.h"

namespace {

const char* const kSrc = SRC_BSTR;
const uint32_t kStep = 32;     // strings grow in steps of 32 bytes
// A format the C library keeps refusing (an encoding error) is given up at this capacity.
const size_t kFmtFailCap = 1u << 20;
// Lengths are 32-bit; the largest text leaves room for its NUL.
const uint64_t kMaxLen = 0xFFFFFFFEu;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Byte comparison of the first n characters of a; b ends at its NUL. fold: A-Z only.
int CmpBytes(const char* a, const char* b, bool fold) {
  for (;; ++a, ++b) {
    if (*b == '\0') return 0;
    unsigned char ca = static_cast<unsigned char>(fold ? FoldAscii(*a) : *a);
    unsigned char cb = static_cast<unsigned char>(fold ? FoldAscii(*b) : *b);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
}

int CmpRule(const char* a, const char* b, TCmpFlags flags) {
  bool nocase = flags & CMP_NOCASE;
  if (flags & CMP_PREFIX) return CmpBytes(a, b, nocase);
  return nocase ? lstrcmpiA(a, b) : lstrcmpA(a, b);
}

}  // namespace

// ---- TStr ----

TStr::TStr() {
  Reserve(0);
  m_Str[0] = '\0';
}

TStr::TStr(const TStr& s) : TStr() { Set(s); }

TStr::TStr(const char* s, uint32_t n) : TStr() { Set(s, n); }

TStr TStr::Num(uint32_t v, TNumBase base) {
  TStr r;
  if (base == NUM_HEX) {
    r.Fmt("0x%x", v);
  } else if (base == NUM_BIN) {
    char d[33];
    int i = 32;
    d[i] = '\0';
    do {
      d[--i] = static_cast<char>('0' + (v & 1));
      v >>= 1;
    } while (v);
    r.Set(d + i);
  } else {
    r.Fmt("%u", v);
  }
  return r;
}

TStr& TStr::operator=(const TStr& s) {
  Set(s);
  return *this;
}

TStr& TStr::operator=(const char* s) {
  Set(s);
  return *this;
}

void TStr::Reserve(uint32_t n) {
  if (n != 0 && m_Buf.Cap() >= static_cast<size_t>(n) + 1) return;
  m_Buf.ReAlloc(static_cast<size_t>(n / kStep) * kStep + kStep);
  m_Str = m_Buf.Chars();
}

// New length of a text that grows by add characters; refuses lengths past 32 bits.
static uint32_t GrownLen(uint32_t len, size_t add) {
  uint64_t n = static_cast<uint64_t>(len) + add;
  if (n > kMaxLen) throw EBadAlloc(kSrc, CHK_BSTR_GROW, static_cast<size_t>(n) + 1);
  return static_cast<uint32_t>(n);
}

void TStr::Set(const char* s, uint32_t n) {
  size_t len = s ? (n ? strnlen(s, n) : strlen(s)) : 0;
  if (len > kMaxLen) throw EBadAlloc(kSrc, CHK_BSTR_SET, len + 1);
  // A text inside our own buffer is never longer than the current one, so Reserve keeps the block.
  Reserve(static_cast<uint32_t>(len));
  if (len) memmove(m_Str, s, len);
  m_Len = static_cast<uint32_t>(len);
  m_Str[m_Len] = '\0';
}

void TStr::Set(const BTStr& s) {
  if (&s == this) return;
  Set(s.Str(), s.Len());
}

void TStr::Ins(const char* s, uint32_t pos, uint32_t n) {
  if (!s || !*s) return;
  if (pos > m_Len) throw EOutOfRange(kSrc, CHK_BSTR_INS, pos, m_Len);
  size_t add = n ? strnlen(s, n) : strlen(s);
  uint32_t len = GrownLen(m_Len, add);
  // The text may be a part of this string, and growing may move the buffer.
  TStr own;
  if (s >= m_Str && s < m_Str + m_Buf.Cap()) {
    own.Set(s, static_cast<uint32_t>(add));
    s = own.Str();
  }
  Reserve(len);
  memmove(m_Str + pos + add, m_Str + pos, m_Len - pos + 1);
  memcpy(m_Str + pos, s, add);
  m_Len = len;
}

const char* TStr::Fmt(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  VFmt(fmt, args);
  va_end(args);
  return m_Str;
}

const char* TStr::VFmt(const char* fmt, va_list args) {
  static const TFmtGrow kGrow = {kStep, SIZE_MAX, kFmtFailCap, false};
  // Formatted into a buffer of its own: an argument may be this string's text.
  TCharBuf out(m_Buf.Cap());
  // The C library counts in int, so a formatted text never passes the 32-bit length.
  YdVFmt(out, kGrow, fmt, args);
  m_Buf.Swap(out);
  m_Str = m_Buf.Chars();
  m_Len = static_cast<uint32_t>(strlen(m_Str));
  return m_Str;
}

void TStr::Add(const char* s) {
  if (s && *s) Ins(s, m_Len);
}

void TStr::Add(const TStr& s) { Add(s.Str()); }

TStr TStr::operator+(const char* s) const {
  TStr r(*this);
  r.Add(s);
  return r;
}

TStr TStr::operator+(const TStr& s) const { return *this + s.Str(); }

void TStr::Del(uint32_t pos, uint32_t n) {
  if (pos >= m_Len || static_cast<uint64_t>(pos) + n > m_Len) throw EOutOfRange(kSrc, CHK_BSTR_DEL, pos, m_Len);
  if (n == 0) n = m_Len - pos;
  memmove(m_Str + pos, m_Str + pos + n, m_Len - pos - n + 1);
  m_Len -= n;
}

void TStr::Cut(uint32_t n) {
  m_Len = n >= m_Len ? 0 : m_Len - n;
  m_Str[m_Len] = '\0';
}

void TStr::Clr() {
  m_Len = 0;
  m_Str[0] = '\0';
}

void TStr::TrimL() {
  uint32_t i = 0;
  while (i < m_Len && IsBlank(m_Str[i])) ++i;
  if (i == 0) return;
  memmove(m_Str, m_Str + i, m_Len - i + 1);
  m_Len -= i;
}

void TStr::TrimR() {
  while (m_Len && IsBlank(m_Str[m_Len - 1])) --m_Len;
  m_Str[m_Len] = '\0';
}

void TStr::Trim() {
  TrimR();
  TrimL();
}

void TStr::Unquote() {
  if (m_Len < 2 || m_Str[0] != '"' || m_Str[m_Len - 1] != '"') return;
  if (strchr(m_Str + 1, '"') != m_Str + m_Len - 1) return;
  memmove(m_Str, m_Str + 1, m_Len - 2);
  m_Len -= 2;
  m_Str[m_Len] = '\0';
}

void TStr::Case(TChCase c) {
  if (!m_Len) return;
  if (c == CASE_LOWER)
    CharLowerA(m_Str);
  else
    CharUpperA(m_Str);
}

TCmpRes TStr::Cmp(const char* o, TCmpFlags flags) const {
  if (!o) {
    if (!m_Len) return 0;
    o = "";
  }
  return CmpRule(m_Str, o, flags);
}

int TStr::Find(const char* s, uint32_t from, TCmpFlags flags) const {
  if (!s) return -1;
  size_t n = strlen(s);
  if (n > m_Len) return -1;
  for (size_t i = from; i <= m_Len - n; ++i) {
    size_t k = 0;
    while (k < n && CmpCh(m_Str[i + k], s[k], flags) == 0) ++k;
    if (k == n) return static_cast<int>(i);
  }
  return -1;
}

uint32_t TStr::Rpl(const char* what, const char* with, uint32_t from, TCmpFlags flags) {
  // An empty text would be found again at once, forever.
  if (!what || !*what) return 0;
  // The replacement may be a part of this string, which the first change alters.
  TStr by(with ? with : "");
  uint32_t wlen = static_cast<uint32_t>(strlen(what));
  uint32_t cnt = 0;
  int at;
  while ((at = Find(what, from, flags)) >= 0) {
    Del(static_cast<uint32_t>(at), wlen);
    Ins(by.Str(), static_cast<uint32_t>(at));
    ++cnt;
    from = static_cast<uint32_t>(at) + by.Len();
    if (!(flags & RPL_ALL)) break;
  }
  return cnt;
}

int TStr::FindRe(const char* pattern, uint32_t from) const {
  if (from > m_Len) return -1;
  TReProg* prog = ReComp(pattern);
  if (!prog) return -1;
  int at = -1;
  if (ReExec(prog, m_Str + from) == 1) at = static_cast<int>(from) + ReMatchStart(prog);
  std::free(prog);
  return at;
}

// ---- plain texts ----

TCmpRes CmpTxt(const char* a, const char* b, TCmpFlags flags) {
  if (!a || !b) {
    if (!a && (!b || !*b)) return 0;
    if (!b && !*a) return 0;
    return a ? 1 : -1;
  }
  return CmpRule(a, b, flags);
}

TCmpRes CmpCh(char a, char b, TCmpFlags flags) {
  const char x[2] = {a, '\0'};
  const char y[2] = {b, '\0'};
  return (flags & CMP_NOCASE) ? lstrcmpiA(x, y) : lstrcmpA(x, y);
}

TCmpRes CmpNum(uint32_t a, uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

char* StrDup(const char* s) {
  if (!s) return nullptr;
  size_t n = strlen(s) + 1;
  char* d = static_cast<char*>(YdAlloc(n));
  memcpy(d, s, n);
  return d;
}

int FindTxt(const char* s, const char* what, uint32_t from) {
  if (!s || !what) return -1;
  size_t len = strlen(s);
  if (from >= len) return -1;
  size_t n = strlen(what);
  for (size_t i = from; i + n <= len; ++i)
    if (memcmp(s + i, what, n) == 0) return static_cast<int>(i);
  return -1;
}

int CpySub(char* dst, const char* s, uint32_t from, uint32_t n) {
  if (!dst || !s) return -1;
  size_t len = strlen(s);
  if (from > len) return -1;
  size_t cnt = len - from;
  if (n && n < cnt) cnt = n;
  memmove(dst, s + from, cnt);
  dst[cnt] = '\0';
  return static_cast<int>(cnt);
}
