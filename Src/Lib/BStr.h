// Strings and comparison results.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "ydbase.h"

// Lets the compiler check the arguments of printf-style formats (the C library is the C99 one).
#define YD_PRINTF(fmtArg, firstArg) __attribute__((format(gnu_printf, fmtArg, firstArg)))

class TCmpRes : public TYdBsMem {
 public:
  TCmpRes(int v = 0) : m_Val(v < 0 ? -1 : (v > 0 ? 1 : 0)) {}
  int Val() const { return m_Val; }
  bool operator==(int v) const { return m_Val == v; }
  bool operator!=(int v) const { return m_Val != v; }

 private:
  int m_Val;
};

class BTStr : public TYdBsMem {
 public:
  ~BTStr() override {}
  virtual void Set(const char* s, uint32_t n) { (void)s, (void)n; }
  virtual void Set(const BTStr& s) { (void)s; }
  virtual void Ins(const char* s, uint32_t pos, uint32_t n) { (void)s, (void)pos, (void)n; }
  virtual const char* Fmt(const char* fmt, ...) YD_PRINTF(2, 3) { (void)fmt; return m_Str; }
  const char* Str() const { return m_Str; }
  uint32_t Len() const { return m_Len; }

 protected:
  char* m_Str = nullptr;
  uint32_t m_Len = 0;
};

// Comparison flags. CMP_EXACT lstrcmpA, CMP_NOCASE lstrcmpiA; CMP_PREFIX compares bytes, only as many as
// the other operand has, and with CMP_NOCASE folds only A-Z (Cyrillic letters must match in case).
// RPL_ALL: Rpl replaces every occurrence.
enum TCmpFlags : int { CMP_EXACT = 0, CMP_NOCASE = 1, CMP_PREFIX = 2, RPL_ALL = 0x10 };
constexpr TCmpFlags operator|(TCmpFlags a, TCmpFlags b) { return TCmpFlags(int(a) | int(b)); }

// Number forms of TStr::Num: decimal, "0x" + lower-case hexadecimal, binary.
enum TNumBase : int { NUM_DEC = 0, NUM_HEX = 1, NUM_BIN = 2 };
enum TChCase : int { CASE_UPPER = 0, CASE_LOWER = 1 };  // by the rules of the ANSI code page

class TStr : public BTStr {
 public:
  TStr();
  TStr(const TStr& s);
  TStr(const char* s, uint32_t n = 0);
  static TStr Num(uint32_t v, TNumBase base = NUM_DEC);
  ~TStr() override {}
  TStr& operator=(const TStr& s);
  TStr& operator=(const char* s);

  using BTStr::Set;
  void Set(const char* s, uint32_t n = 0) override;
  void Set(const BTStr& s) override;
  void Ins(const char* s, uint32_t pos, uint32_t n = 0) override;
  // The text grows in steps of 32 bytes until the formatted text fits; returns the text.
  const char* Fmt(const char* fmt, ...) override YD_PRINTF(2, 3);
  const char* VFmt(const char* fmt, va_list args);

  void Add(const char* s);
  void Add(const TStr& s);
  TStr operator+(const char* s) const;
  TStr operator+(const TStr& s) const;
  TStr& operator+=(const char* s) { Add(s); return *this; }
  TStr& operator+=(const TStr& s) { Add(s); return *this; }

  void Del(uint32_t pos, uint32_t n = 0);  // throws EOutOfRange (Src/Lib/BStr line 70)
  void Cut(uint32_t n);
  void Clr();
  void TrimL();
  void TrimR();
  void Trim();
  void Unquote();
  void Case(TChCase c);

  TCmpRes Cmp(const char* o, TCmpFlags flags = CMP_EXACT) const;
  TCmpRes Cmp(const TStr& o, TCmpFlags flags = CMP_EXACT) const { return Cmp(o.Str(), flags); }
  bool Eq(const char* o) const { return Cmp(o, CMP_EXACT).Val() == 0; }
  bool Ne(const char* o) const { return Cmp(o, CMP_EXACT).Val() != 0; }

  int Find(const char* s, uint32_t from = 0, TCmpFlags flags = CMP_EXACT) const;
  uint32_t Rpl(const char* what, const char* with, uint32_t from = 0, TCmpFlags flags = CMP_EXACT);
  int FindRe(const char* pattern, uint32_t from = 0) const;

  char operator[](uint32_t i) const { return m_Str[i]; }
  bool Empty() const { return m_Len == 0; }

 private:
  void Reserve(uint32_t n);
  TCharBuf m_Buf;
};

TCmpRes CmpTxt(const char* a, const char* b, TCmpFlags flags = CMP_EXACT);
TCmpRes CmpCh(char a, char b, TCmpFlags flags = CMP_EXACT);
TCmpRes CmpNum(uint32_t a, uint32_t b);

char* StrDup(const char* s);  // heap copy (YdFree it); null for null
int FindTxt(const char* s, const char* what, uint32_t from = 0);
int CpySub(char* dst, const char* s, uint32_t from, uint32_t n);
