// Results of operations that can fail, error texts and EFailure, which carries a failed result.
#pragma once
#include "Lib/BStr.h"

enum : uint32_t { SVRT_OK = 0, SVRT_INFO = 1, SVRT_WARN = 2, SVRT_ERR = 3 };
// ToStr parts
enum : uint32_t { RES_CMNT = 1, RES_TXT = 2, RES_CODE = 4 };

class TRes : public TYdBsMem {
 public:
  TRes();
  TRes(uint32_t code, const char* cmnt = "", uint32_t svrt = SVRT_ERR);
  TRes(const TRes& o);
  TRes& operator=(const TRes& o);
  ~TRes() override {}

  void Set(uint32_t code, const char* cmnt = "", uint32_t svrt = SVRT_ERR);
  uint32_t Code() const { return m_Status & 0x3FFFFFFFu; }
  uint32_t Svrt() const { return m_Status >> 30; }
  void SetSvrt(uint32_t s);
  bool IsErr() const { return Svrt() == SVRT_ERR; }
  bool IsOk() const { return !IsErr(); }
  const TStr& Cmnt() const { return m_Cmnt; }
  const TStr& Txt() const { return m_Txt; }
  void SetCmnt(const char* c) { m_Cmnt.Set(c); }
  TStr ToStr(uint32_t parts) const;
  TRes& Add(const TRes& o);

 private:
  uint32_t m_Status = 0;
  TStr m_Cmnt;
  TStr m_Txt;
};

// The text of an own code from the table, or the system's text of a system code: in the user's language
// when the system has one, else in a language it has. Empty when there is none.
TStr ErrTxt(uint32_t code);
// The system's message lookup, FormatMessageA from the system table without inserts unless replaced: tests give
// the answers of systems without texts in the user's language, or with long texts. Null restores
// FormatMessageA; returns the one in use before.
typedef unsigned long (*TFmtMsgFn)(unsigned long flags, unsigned long id, unsigned long lang, char* buf,
                                   unsigned long size);
TFmtMsgFn SetErrTxtFmtFn(TFmtMsgFn fn);
uint32_t RegErrTxt(const char* txt);

class EFailure : public EException {
 public:
  EFailure(const char* file, unsigned line, const TRes& r);
  const TRes& Res() const { return m_Res; }

 private:
  TRes m_Res;
};

// Returns r when it is not an error, else throws EFailure with the caller's position.
const TRes& ChkRes(const char* file, unsigned line, const TRes& r);
