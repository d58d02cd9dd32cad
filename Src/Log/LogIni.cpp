// The INI reader of the parameter file, the two loaders and TWliLog::LoadPrms.
#include "Log/LogIni.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "Log/LogFile.h"
#include "Log/LogLine.h"

namespace {

constexpr int SORT_KEY = 1;
constexpr uint32_t LST_STEP = 64;  // items a list grows by while a section is small
constexpr size_t LST_KEY_PRE = 16;  // bytes of a key kept beside it while a section is sorted

TStr Sub(const char* p, uint32_t n) { return n ? TStr(p, n) : TStr(); }

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Calls f(line, len) for every non-empty line of the data.
template <class F>
void ForLines(const char* data, uint32_t len, F f) {
  uint32_t pos = 0;
  while (pos < len) {
    uint32_t start = pos;
    while (pos < len && !IsLineEnd(data[pos])) ++pos;
    if (pos > start) f(data + start, pos - start);
    while (pos < len && IsLineEnd(data[pos])) ++pos;
  }
}

// Plain letters and digits: in an English or Russian locale lstrcmpiA puts them in the order of their bytes
// with the case folded, so that order is taken without the system's call, which a file of many keys makes
// millions of times. Other locales have letters of two characters and always take the system's call.
bool IsPlain(const char* p) {
  for (; *p; ++p)
    if (!((*p >= '0' && *p <= '9') || (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))) return false;
  return true;
}

bool PlainLocale() {
  WORD lang = PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale()));  // lstrcmpiA takes the thread's locale too
  return lang == LANG_ENGLISH || lang == LANG_RUSSIAN;
}

char Fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

int CmpFolded(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int ca = Fold(*a), cb = Fold(*b);
    if (ca != cb || !ca) return ca < cb ? -1 : ca > cb ? 1 : 0;
  }
}

}  // namespace

uint32_t LogReadFile(const char* path, TCharBuf& data, uint32_t& len) {
  len = 0;
  THandle f(CreateFileA(path ? path : "", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (f.IsNone()) return GetLastError();
  HANDLE h = f.Get();
  DWORD sz = GetFileSize(h, nullptr);
  if (sz == INVALID_FILE_SIZE) {
    DWORD e = GetLastError();
    if (e) return e;
  }
  if (sz > LOG_INI_MAX) return ERROR_FILE_TOO_LARGE;
  data.Alloc(size_t(sz) + 1);
  DWORD rd = 0;
  if (sz && !ReadFile(h, data.Chars(), sz, &rd, nullptr)) return GetLastError();
  data.Chars()[rd] = 0;  // the file may have shrunk since GetFileSize
  len = rd;
  // Editors put a UTF-8 byte-order mark in front; left there it would hide the first line's meaning.
  static const char bom[] = "\xef\xbb\xbf";
  if (len >= 3 && memcmp(data.Chars(), bom, 3) == 0) {
    len -= 3;
    memmove(data.Chars(), data.Chars() + 3, size_t(len) + 1);
  }
  return 0;
}

// ---- TLogIniVal, TLogIniSection, TLogIni ----

TLogIniVal::TLogIniVal(const char* line, uint32_t len) {
  uint32_t eq = 0;
  while (eq < len && line[eq] != '=') ++eq;
  Key = Sub(line, eq);
  if (eq < len) Val = Sub(line + eq + 1, len - eq - 1);
  m_Plain = IsPlain(K());
}

TCmpRes TLogIniVal::Cmp(const TLogIniVal& o, int) const { return TCmpRes(CmpKey(o, PlainLocale())); }

int TLogIniVal::CmpKey(const TLogIniVal& o, bool plainLocale) const {
  if (plainLocale && m_Plain && o.m_Plain) return CmpFolded(K(), o.K());
  int c = lstrcmpiA(K(), o.K());
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

TLogIniSection::TLogIniSection(const char* nm)
    : m_Nm(nm ? nm : ""), m_Vals(new TList<TLogIniVal>(LST_STEP, SORT_KEY, LST_INC_SITE)) {}

TCmpRes TLogIniSection::Cmp(const TLogIniSection& o, int) const {
  return TCmpRes(lstrcmpiA(m_Nm.Str(), o.m_Nm.Str()));
}

const TLogIniVal* TLogIniSection::Val(const char* key) const {
  TLogIniVal probe(key ? key : "", key ? uint32_t(lstrlenA(key)) : 0);
  int i = m_Vals->FindIdx(probe, SORT_KEY, FND_EQ);
  if (i < 0) return nullptr;
  while (i > 0 && m_Vals->Get(uint32_t(i) - 1)->Cmp(probe, SORT_KEY).Val() == 0) --i;  // the last line's
  return m_Vals->Get(uint32_t(i));
}

void TLogIniSection::Stage(TLogIniVal* v) { m_Staged.emplace_back(v); }

void TLogIniSection::Seal() {
  // Sorted as records that carry the start of a plain key folded: most comparisons end there, without
  // reaching for the key itself.
  struct TRec {
    char Pre[LST_KEY_PRE];
    TLogIniVal* V;
  };
  bool plain = PlainLocale();
  std::vector<TRec> recs(m_Staged.size());
  for (size_t i = 0; i < recs.size(); ++i) {
    TRec& r = recs[i];
    r.V = m_Staged[recs.size() - 1 - i].release();  // the latest line first among equal keys
    memset(r.Pre, 0, sizeof r.Pre);
    const char* k = r.V->Key.Str() ? r.V->Key.Str() : "";
    for (size_t j = 0; j < sizeof r.Pre && k[j]; ++j) r.Pre[j] = Fold(k[j]);
  }
  m_Staged.clear();
  std::stable_sort(recs.begin(), recs.end(), [plain](const TRec& a, const TRec& b) {
    if (plain && a.V->Plain() && b.V->Plain()) {
      int c = memcmp(a.Pre, b.Pre, sizeof a.Pre);
      if (c) return c < 0;
    }
    return a.V->CmpKey(*b.V, plain) < 0;
  });
  if (recs.size() > LST_STEP) m_Vals.reset(new TList<TLogIniVal>(uint32_t(recs.size()), SORT_KEY, LST_INC_SITE));
  for (TRec& r : recs) m_Vals->Ins(r.V, m_Vals->Cnt());
}

TLogIni::TLogIni() : m_Sctns(64, SORT_KEY, LST_UNIQUE | LST_INC_SITE) {}

const TLogIniSection* TLogIni::Sctn(const char* nm) const {
  TLogIniSection probe(nm);
  return m_Sctns.Find(probe, SORT_KEY, FND_EQ);
}

TLogIniSection* TLogIni::AddSctn(const TStr& nm) {
  TLogIniSection probe(nm.Str());
  if (TLogIniSection* s = m_Sctns.Find(probe, SORT_KEY, FND_EQ)) return s;
  TLogIniSection* s = new TLogIniSection(nm.Str());
  if (m_Sctns.AddSorted(s) < 0) {
    delete s;
    return m_Sctns.Find(probe, SORT_KEY, FND_EQ);
  }
  return s;
}

uint32_t TLogIni::Read(const char* path) {
  TCharBuf data;
  uint32_t len = 0;
  uint32_t r = LogReadFile(path, data, len);
  if (r) return r;
  Parse(data.Chars(), len);
  return 0;
}

void TLogIni::Parse(const char* data, uint32_t len) {
  m_Sctns.Clr();
  TStr cur;
  TLogIniSection* sctn = nullptr;  // made at the first value line when no header came before
  ForLines(data, len, [&](const char* line, uint32_t n) {
    if (n >= 2 && line[0] == '[' && line[n - 1] == ']') {
      cur = Sub(line + 1, n - 2);
      cur.Trim();
      sctn = AddSctn(cur);
      return;
    }
    if (!sctn) sctn = AddSctn(cur);
    sctn->Stage(new TLogIniVal(line, n));
  });
  for (uint32_t i = 0; i < m_Sctns.Cnt(); ++i) m_Sctns.Get(i)->Seal();
}

// ---- loaders ----

uint32_t TLogPrmsLdr::Load() {
  TCharBuf data;
  uint32_t len = 0;
  uint32_t r = LogReadFile(m_Log.PrmsFileNm().Str(), data, len);
  return LoadData(r, r ? "" : data.Chars(), len);
}

uint32_t TLogPrmsLdr::LoadData(uint32_t readRes, const char* d, uint32_t len) {
  TLogPrms& p = m_Log.Prms();
  p.SetDflts();
  if (readRes || len == 0) return readRes;
  // Empty lines are skipped: their collected line end alone would be neither "+" nor "!".
  ForLines(d, len, [&](const char* line, uint32_t n) {
    // The first four non-blank characters, the one ending the line included (the data ends in a NUL).
    char got[5] = {};
    uint32_t k = 0;
    for (uint32_t i = 0; i <= n && k < 4; ++i)
      if (line[i] != ' ') got[k++] = line[i];
    if (got[0] == '+')
      p.AddTp(got + 1, "");
    else if (got[0] == '!' && lstrcmpiA(got + 1, "IMM") == 0)
      p.SetFlshLns(1);
  });
  return 0;
}

uint32_t TLogPrmsLdr2::LoadData(uint32_t readRes, const char* data, uint32_t len) {
  TLogPrms& p = m_Log.Prms();
  p.SetDflts();
  if (readRes) return readRes;
  TLogIni ini;
  ini.Parse(data, len);
  if (const TLogIniSection* s = ini.Sctn("Prms")) {
    if (const TLogIniVal* v = s->Val("TmFrmt")) p.SetTmFrmt(v->Val.Str());
    if (const TLogIniVal* v = s->Val("PID")) p.SetPidOn(v->Val.Cmp("On", CMP_NOCASE) == 0);
    if (const TLogIniVal* v = s->Val("TID")) p.SetTidOn(v->Val.Cmp("On", CMP_NOCASE) == 0);
    if (const TLogIniVal* v = s->Val("StrtMd")) {
      uint32_t md = LOG_APPEND;
      if (v->Val.Cmp("OVRWRT", CMP_NOCASE) == 0)
        md = LOG_OVRWRT;
      else if (v->Val.Cmp("NEW", CMP_NOCASE) == 0)
        md = LOG_NEW;
      p.SetStrtMd(md);
    }
    if (const TLogIniVal* v = s->Val("FlshSec")) p.SetFlshSec(uint32_t(atol(v->Val.Str())));
    if (const TLogIniVal* v = s->Val("FlshLns")) p.SetFlshLns(uint32_t(atol(v->Val.Str())));
    if (const TLogIniVal* v = s->Val("PrmsRd")) m_Log.SetPrmsRd(uint32_t(atol(v->Val.Str())));
  }
  if (const TLogIniSection* s = ini.Sctn("Evts"))
    for (uint32_t i = 0; i < s->Cnt(); ++i) p.AddTp(s->Get(i)->Key.Str(), s->Get(i)->Val.Str());
  return 0;
}

// ---- TWliLog::LoadPrms ----

uint32_t TWliLog::LoadPrms() {
  TTraceMute own;
  TCharBuf data;
  uint32_t len = 0;
  uint32_t rd = LogReadFile(m_PrmsFileNm.Str(), data, len);
  const char* d = rd ? "" : data.Chars();
  TLogLock lk(*this, LOG_WAIT_LOAD);
  if (lk.Res()) return lk.Res();
  m_PrmsTm.SetUnset();
  TLogPrmsLdr2 ini(*this);
  uint32_t r = ini.LoadData(rd, d, len);
  if (r) {
    TLogPrmsLdr lines(*this);
    r = lines.LoadData(rd, d, len);
  }
  m_LoadTick = GetTickCount();
  ++m_LoadCnt;
  return r;
}
