// Results, the error-text table and EFailure.
#include "Lib/Res.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "ydgen.h"

namespace {

const uint32_t kOwnBit = 0x20000000;  // codes with this bit are the system's own, registered at run time
const uint32_t kFirstOwn = 0x20000001;
const uint32_t kCodeMask = 0x3FFFFFFF;
const uint32_t kTblStep = 64;         // the error-text table grows by 64 entries
const int kTblKey = 129;              // the table is kept sorted by code

// One registered text of an own code; the entry owns its copy of the text.
class ErrCode : public TYdBsMem {
 public:
  ErrCode(uint32_t code, const char* txt) : m_Code(code), m_Txt(StrDup(txt)) {}
  ErrCode(const ErrCode&) = delete;
  ErrCode& operator=(const ErrCode&) = delete;
  ~ErrCode() override { YdFree(m_Txt); }
  uint32_t Code() const { return m_Code; }
  const char* Txt() const { return m_Txt; }
  TCmpRes Cmp(const ErrCode& o, int) const { return CmpNum(m_Code, o.m_Code); }

 private:
  uint32_t m_Code;
  char* m_Txt;
};

// Created by the first registration and kept for the life of the process. Registrations normally all
// happen during static initialisation, but the lock keeps a late one from moving the table under a reader.
TList<ErrCode>* g_ErrTbl = nullptr;
SRWLOCK g_ErrTblLock = SRWLOCK_INIT;

class TTblLock {
 public:
  explicit TTblLock(bool excl) : m_Excl(excl) {
    if (m_Excl)
      AcquireSRWLockExclusive(&g_ErrTblLock);
    else
      AcquireSRWLockShared(&g_ErrTblLock);
  }
  ~TTblLock() {
    if (m_Excl)
      ReleaseSRWLockExclusive(&g_ErrTblLock);
    else
      ReleaseSRWLockShared(&g_ErrTblLock);
  }
  TTblLock(const TTblLock&) = delete;
  TTblLock& operator=(const TTblLock&) = delete;

 private:
  bool m_Excl;
};

// Restores the calling thread's last error: looking a text up must not overwrite the caller's.
class TKeepLastErr {
 public:
  TKeepLastErr() : m_Err(GetLastError()) {}
  ~TKeepLastErr() { SetLastError(m_Err); }

 private:
  DWORD m_Err;
};

unsigned long SysFmtMsg(unsigned long flags, unsigned long id, unsigned long lang, char* buf, unsigned long size) {
  return FormatMessageA(flags, nullptr, id, lang, buf, size, nullptr);
}
std::atomic<TFmtMsgFn> g_FmtMsg{SysFmtMsg};

// Frees what FormatMessageA allocated.
class TLocalBuf {
 public:
  TLocalBuf() {}
  ~TLocalBuf() { if (P) LocalFree(P); }
  TLocalBuf(const TLocalBuf&) = delete;
  TLocalBuf& operator=(const TLocalBuf&) = delete;
  char* P = nullptr;
};

// The system's text of a code in one language, as long as the system has it; false with the system's
// error code when there is none.
bool SysMsg(uint32_t code, DWORD lang, TStr& txt, DWORD& err) {
  TLocalBuf buf;
  DWORD n = g_FmtMsg.load()(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                            code, lang, reinterpret_cast<char*>(&buf.P), 0);
  if (!n || !buf.P) {
    err = GetLastError();
    return false;
  }
  txt.Set(buf.P, n);
  return true;
}

// The system's message text of a code, without its line end; empty when the system has none. The user's
// language comes first; a system without texts in it (an English display language with Russian regional
// formats) answers in the languages it has, as for language 0.
TStr SysErrTxt(uint32_t code) {
  TStr txt;
  TKeepLastErr keep;
  DWORD lang = GetUserDefaultLangID();
  DWORD err = 0;
  if (!SysMsg(code, lang, txt, err) && lang != 0 &&
      (err == ERROR_RESOURCE_LANG_NOT_FOUND || err == ERROR_MUI_FILE_NOT_FOUND))
    SysMsg(code, 0, txt, err);
  uint32_t len = txt.Len();
  while (len && (txt[len - 1] == '\r' || txt[len - 1] == '\n')) --len;
  txt.Cut(txt.Len() - len);
  return txt;
}

}  // namespace

// ---- error texts ----

TStr ErrTxt(uint32_t code) {
  TStr txt;
  if (code & kOwnBit) {
    TTblLock lock(false);
    if (g_ErrTbl) {
      for (uint32_t i = 0; i < g_ErrTbl->Cnt(); ++i) {
        const ErrCode* e = g_ErrTbl->Get(i);
        if (e->Code() == code) {
          txt.Set(e->Txt());
          break;
        }
      }
    }
    return txt;
  }
  // Every result starts out as success: its text is read from the system once, and kept past the
  // static destructors, which may still make results.
  if (code == 0) {
    static const TStr* const okTxt = new TStr(SysErrTxt(0));
    return *okTxt;
  }
  return SysErrTxt(code);
}

TFmtMsgFn SetErrTxtFmtFn(TFmtMsgFn fn) { return g_FmtMsg.exchange(fn ? fn : SysFmtMsg); }

uint32_t RegErrTxt(const char* txt) {
  if (!txt) txt = "";
  TTblLock lock(true);
  if (!g_ErrTbl) g_ErrTbl = new TList<ErrCode>(kTblStep, kTblKey);
  uint32_t cnt = g_ErrTbl->Cnt();
  for (uint32_t i = 0; i < cnt; ++i)
    if (lstrcmpA(g_ErrTbl->Get(i)->Txt(), txt) == 0) return g_ErrTbl->Get(i)->Code();
  uint32_t code = cnt ? g_ErrTbl->Get(cnt - 1)->Code() + 1 : kFirstOwn;
  g_ErrTbl->AddSorted(new ErrCode(code, txt));
  return code;
}

// ---- TRes ----

TRes::TRes() : m_Txt(ErrTxt(0)) {}

TRes::TRes(uint32_t code, const char* cmnt, uint32_t svrt) { Set(code, cmnt, svrt); }

TRes::TRes(const TRes& o) : TYdBsMem(), m_Status(o.m_Status), m_Cmnt(o.m_Cmnt), m_Txt(o.m_Txt) {}

TRes& TRes::operator=(const TRes& o) {
  if (&o == this) return *this;
  m_Status = o.m_Status;
  m_Cmnt = o.m_Cmnt;
  m_Txt = o.m_Txt;
  return *this;
}

void TRes::Set(uint32_t code, const char* cmnt, uint32_t svrt) {
  m_Status = code;
  m_Txt = ErrTxt(code);
  m_Cmnt.Set(cmnt);
  SetSvrt(Code() ? svrt : SVRT_OK);
}

void TRes::SetSvrt(uint32_t s) {
  m_Status &= kCodeMask;
  if (s >= SVRT_INFO && s <= SVRT_ERR) m_Status |= s << 30;
}

TStr TRes::ToStr(uint32_t parts) const {
  TStr s;
  if (parts & RES_CMNT) s.Add(m_Cmnt);
  if (parts & RES_TXT) {
    if (!s.Empty()) s.Add(" ");
    s.Add(m_Txt);
  }
  if (parts & RES_CODE) {
    if (!s.Empty()) s.Add(" ");
    // Written out rather than "%#010x", which drops the 0x of a zero status word.
    TStr code;
    code.Fmt("[0x%08x (%u)]", m_Status, Code());
    s.Add(code);
  }
  return s;
}

TRes& TRes::Add(const TRes& o) {
  if (Code() == 0) {
    m_Status = o.Code();
    m_Txt = ErrTxt(o.Code());
  }
  if (Svrt() < o.Svrt()) SetSvrt(o.Svrt());
  m_Cmnt.Add(o.m_Cmnt);
  return *this;
}

const TRes& ChkRes(const char* file, unsigned line, const TRes& r) {
  if (r.IsErr()) throw EFailure(file, line, r);
  return r;
}

// ---- EFailure ----

EFailure::EFailure(const char* file, unsigned line, const TRes& r)
    : EException("EFailure", r.ToStr(RES_CMNT | RES_TXT | RES_CODE).Str(), file, line), m_Res(r) {}
