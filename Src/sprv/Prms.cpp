#include "sprv/Prms.h"

#include <initializer_list>

#include "Lib/Path.h"
#include "sprv/ProcessMngr.h"
#include "ydcodes.h"

namespace {

// "Параметр задан повторно"
const char* const MSG_REPEATED = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";
// "Недопустимое значение объема памяти. "
const char* const MSG_MEM_VAL =
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xe7\xed\xe0\xf7\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xec\xe0 "
    "\xef\xe0\xec\xff\xf2\xe8. ";
// "Синтаксическая ошибка. "
const char* const MSG_SYNTAX = "\xd1\xe8\xed\xf2\xe0\xea\xf1\xe8\xf7\xe5\xf1\xea\xe0\xff \xee\xf8\xe8\xe1\xea\xe0. ";
// "Недопустимое максимальное время работы"
const char* const MSG_RUN_TM =
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 \xe2\xf0\xe5\xec\xff "
    "\xf0\xe0\xe1\xee\xf2\xfb";

// "Недопустимое число попыток перезапуска"
const char* const MSG_ATTEMPTS =
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xf7\xe8\xf1\xeb\xee \xef\xee\xef\xfb\xf2\xee\xea "
    "\xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xe0";
// "Недопустимое максимальное число объектов GDI"
const char* const MSG_GDI =
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 "
    "\xf7\xe8\xf1\xeb\xee \xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI";
// "Недопустимое максимальное число дескрипторов"
const char* const MSG_HANDLES =
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 "
    "\xf7\xe8\xf1\xeb\xee \xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2";
// "Не задано имя файла для протокола"
const char* const MSG_LOG =
    "\xcd\xe5 \xe7\xe0\xe4\xe0\xed\xee \xe8\xec\xff \xf4\xe0\xe9\xeb\xe0 \xe4\xeb\xff "
    "\xef\xf0\xee\xf2\xee\xea\xee\xeb\xe0";
// "Недопустимое время паузы"
const char* const MSG_PAUSE = "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xe2\xf0\xe5\xec\xff \xef\xe0\xf3\xe7\xfb";
// "Недопустимый код возврата"
const char* const MSG_RC = "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xfb\xe9 \xea\xee\xe4 \xe2\xee\xe7\xe2\xf0\xe0\xf2\xe0";
// "Параметр RC задан повторно"
const char* const MSG_RC_REPEATED = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 RC \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";
// "Ошибка в значении параметра HUNG"
const char* const MSG_HUNG =
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xe7\xed\xe0\xf7\xe5\xed\xe8\xe8 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe0 HUNG";
// "Параметр HUNG задан повторно"
const char* const MSG_HUNG_REPEATED =
    "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 HUNG \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";
// "Ошибка в значении параметра TIME"
const char* const MSG_TIME =
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xe7\xed\xe0\xf7\xe5\xed\xe8\xe8 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe0 TIME";
// "Параметр TIME задан повторно"
const char* const MSG_TIME_REPEATED =
    "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 TIME \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";

TRes Foreign() { return TRes(RC_FOREIGN_PRM, "", SVRT_ERR); }
TRes Bad(const char* msg) { return TRes(RC_BAD_PRM, msg, SVRT_ERR); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits from the start of s; false when there are more than fit in 32 bits.
bool LeadNum(const char* s, uint64_t& n, uint32_t& digits) {
  n = 0;
  digits = 0;
  bool ok = true;
  for (; IsDigit(s[digits]); ++digits) {
    n = n * 10 + static_cast<uint64_t>(s[digits] - '0');
    if (n > 0xFFFFFFFFull) {
      ok = false;
      n = 0xFFFFFFFFull + 1;
    }
  }
  return ok;
}

// The integer parameters: atol's reading; 0 and values outside a signed 32-bit integer are refused.
bool PrmInt(const TStr& val, uint32_t& v) {
  int32_t i = 0;
  if (!StrToInt(val, i) || i == 0) return false;
  v = static_cast<uint32_t>(i);
  return true;
}

// One return code: decimal (optionally negative, stored as its 32-bit pattern) or 0x-hexadecimal,
// blanks around it allowed.
bool RetCode(const char* s, uint32_t n, uint32_t& code) {
  while (n > 0 && (*s == ' ' || *s == '\t')) ++s, --n;
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  if (n == 0) return false;
  uint64_t v = 0;
  if (n > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    for (uint32_t i = 2; i < n; ++i) {
      char c = s[i];
      int d = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) return false;
    }
    code = static_cast<uint32_t>(v);
    return true;
  }
  bool neg = s[0] == '-';
  uint32_t i = neg ? 1 : 0;
  if (i == n) return false;
  for (; i < n; ++i) {
    if (!IsDigit(s[i])) return false;
    v = v * 10 + static_cast<uint64_t>(s[i] - '0');
    if (v > (neg ? 0x80000000ull : 0xFFFFFFFFull)) return false;
  }
  code = neg ? static_cast<uint32_t>(0 - v) : static_cast<uint32_t>(v);
  return true;
}

// The child's command line keeps an argument that holds a blank as one argument, and an empty one as "".
TStr ChildArg(const TStr& arg) {
  if (arg.Empty()) return TStr("\"\"");
  if (arg.Find(" ") < 0 || arg.Find("\"") >= 0) return arg;
  TStr q("\"");
  q += arg;
  q += "\"";
  return q;
}

// The program's word names a file: as written, or with ".exe", which the system adds to a name without an
// extension.
bool NamesProgram(const TStr& word) {
  if (IsFile(word.Str())) return true;
  TStr ext;
  SplitPath(word.Str(), nullptr, nullptr, nullptr, &ext);
  return ext.Empty() && IsFile((word + ".exe").Str());
}

// The steps of every named parser: its own name (any case), not given before, a value it accepts; only
// then is the setting written and the parameter marked as given.
template <class TRead, class TSet>
TRes Claim(TCmdLnPrmPrsr& p, const TStr& nm, std::initializer_list<const char*> forms, const char* repMsg,
          TRead read, TSet set) {
  bool mine = false;
  for (const char* f : forms) mine = mine || nm.Cmp(f, CMP_NOCASE) == 0;
  if (!mine) return Foreign();
  if (p.IsGvn()) return Bad(repMsg);
  TRes r = read();
  if (r.IsErr()) return r;
  set();
  p.SetGvn();
  return TRes();
}

}  // namespace

bool StrToInt(const TStr& val, int32_t& v) {
  const char* s = val.Str() ? val.Str() : "";
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  bool neg = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  uint64_t n = 0;
  uint32_t d = 0;
  LeadNum(s, n, d);
  if (n > (neg ? 0x80000000ull : 0x7FFFFFFFull)) return false;
  v = static_cast<int32_t>(neg ? 0 - static_cast<uint32_t>(n) : static_cast<uint32_t>(n));
  return true;
}

bool StrToMsChk(const TStr& val, uint32_t& ms) {
  struct TUnit {
    const char* re;
    uint32_t mul;
  };
  // Milliseconds first: "[0-9]+m" also matches the start of "10ms". Case matters ("10M" is 10 ms).
  static const TUnit units[] = {
      {"[0-9]+ms", 1},          {"[0-9]+\xec\xf1", 1},          // мс
      {"[0-9]+h", 3600000},     {"[0-9]+\xf7", 3600000},        // ч
      {"[0-9]+m", 60000},       {"[0-9]+min", 60000},
      {"[0-9]+\xec", 60000},    {"[0-9]+\xec\xe8\xed", 60000},  // м, мин
      {"[0-9]+s", 1000},        {"[0-9]+\xf1", 1000},           // с
      {"[0-9]+", 1},
  };
  ms = 0;
  if (val.Empty() || !IsDigit(val[0])) return true;
  uint64_t n = 0;
  uint32_t d = 0;
  if (!LeadNum(val.Str(), n, d)) return false;
  for (const TUnit& u : units) {
    if (val.FindRe(u.re, 0) != 0) continue;
    uint64_t v = n * u.mul;
    if (v > 0xFFFFFFFFull) return false;
    ms = static_cast<uint32_t>(v);
    return true;
  }
  return true;
}

uint32_t StrToMs(const TStr& val) {
  uint32_t ms = 0;
  return StrToMsChk(val, ms) ? ms : 0;
}

TRes StrToSz(const TStr& val, uint32_t& bytes) {
  const char* s = val.Str() ? val.Str() : "";
  uint64_t n = 0;
  uint32_t d = 0;
  if (!LeadNum(s, n, d) || n == 0) return Bad(MSG_MEM_VAL);
  uint32_t shift = 0;
  if (s[d]) {
    TStr sfx(s + d);
    sfx.Case(CASE_UPPER);
    if (sfx.Eq("K") || sfx.Eq("KB"))
      shift = 10;
    else if (sfx.Eq("M") || sfx.Eq("MB"))
      shift = 20;
    else if (sfx.Eq("G") || sfx.Eq("GB"))
      shift = 30;
    else
      return Bad(MSG_SYNTAX);
  }
  // 4 GiB and more do not fit in the 32-bit limit.
  if ((n << shift) > 0xFFFFFFFFull) return Bad(MSG_MEM_VAL);
  bytes = static_cast<uint32_t>(n << shift);
  return TRes();
}

TRes TCmdLnHlpPrmPrsr::Prs(const TStr& nm, const TStr&) {
  if (nm.Cmp("?") != 0 && nm.Cmp("h") != 0 && nm.Cmp("H") != 0) return Foreign();
  SetGvn();
  return TRes();
}

TRes TAttemptsLmtPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t v = 0;
  return Claim(*this, nm, {"A", "ATTEMPTS"}, MSG_REPEATED,
              [&] { return PrmInt(val, v) ? TRes() : Bad(MSG_ATTEMPTS); }, [&] { m_Pm->SetAttemptsLmt(v); });
}

TRes TGdiObjsLmtPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t v = 0;
  return Claim(*this, nm, {"G", "GDI"}, MSG_REPEATED, [&] { return PrmInt(val, v) ? TRes() : Bad(MSG_GDI); },
              [&] { m_Pm->SetGdiObjsLmt(v); });
}

TRes THandlesLmtPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t v = 0;
  // "H" never arrives here: the help parser is asked first.
  return Claim(*this, nm, {"H", "HANDLES"}, MSG_REPEATED,
              [&] { return PrmInt(val, v) ? TRes() : Bad(MSG_HANDLES); }, [&] { m_Pm->SetHandlesLmt(v); });
}

TRes TLogPrm::Prs(const TStr& nm, const TStr& val) {
  return Claim(*this, nm, {"L", "LOG"}, MSG_REPEATED, [&] { return val.Empty() ? Bad(MSG_LOG) : TRes(); },
              [&] { m_Pm->SetLogFile(val); });
}

TRes TMemLmtPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t v = 0;
  return Claim(*this, nm, {"M", "MEM", "MEMORY"}, MSG_REPEATED, [&] { return StrToSz(val, v); },
              [&] { m_Pm->SetMemLmt(v); });
}

TRes TPausePrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t ms = 0;
  return Claim(*this, nm, {"P", "PAUSE"}, MSG_REPEATED,
              [&] { return StrToMsChk(val, ms) && ms != 0 ? TRes() : Bad(MSG_PAUSE); }, [&] { m_Pm->SetPause(ms); });
}

TRes TStopPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t ms = 0;
  // A grace time of 0 is valid (terminate at once); only a value without leading digits is refused.
  return Claim(*this, nm, {"S", "STOP"}, MSG_REPEATED,
              [&] { return !val.Empty() && IsDigit(val[0]) && StrToMsChk(val, ms) ? TRes() : Bad(MSG_RUN_TM); },
              [&] { m_Pm->SetStopTm(ms); });
}

TRes TRunTmPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t ms = 0;
  return Claim(*this, nm, {"R", "RUN"}, MSG_REPEATED,
              [&] { return StrToMsChk(val, ms) && ms != 0 ? TRes() : Bad(MSG_RUN_TM); },
              [&] { m_Pm->SetRunTmLmt(ms); });
}

TRes TRetCodePrmPrsr::Prs(const TStr& nm, const TStr& val) {
  // Every item is read before the first code is added, so a refused list leaves the target unchanged.
  TQueue<uint32_t> codes;
  auto read = [&] {
    if (val.Empty()) return TRes();
    for (const char* s = val.Str();;) {
      const char* e = s;
      while (*e && *e != ',') ++e;
      uint32_t code = 0;
      if (!RetCode(s, static_cast<uint32_t>(e - s), code)) return Bad(MSG_RC);
      codes.Add(new uint32_t(code));
      if (!*e) return TRes();
      s = e + 1;
    }
  };
  return Claim(*this, nm, {"rc"}, MSG_RC_REPEATED, read, [&] {
    for (TQueueCIter<uint32_t> it(codes); !it.End(); it.Next()) m_Pm->AddRetCode(*it.Cur());
  });
}

TRes TCmdPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  if (!nm.Empty()) return Foreign();
  // The program goes in quotes only when the whole word names a file, so that C:\Program Files\a.exe cannot
  // start C:\Program.exe; otherwise the word is a command line of its own ("app.exe --port 80").
  m_CmdLn = val.Find(" ") >= 0 && NamesProgram(val) ? ChildArg(val) : val;
  m_Pm->SetCmdLn(m_CmdLn);
  SetGvn();
  return TRes();
}

void TCmdPrmPrsr::AddArg(const TStr& arg) {
  m_CmdLn += " ";
  m_CmdLn += ChildArg(arg);
  m_Pm->SetCmdLn(m_CmdLn);
}

TRes THungPrmPrsr::Prs(const TStr& nm, const TStr& val) {
  uint32_t v = 1;
  return Claim(*this, nm, {"hung"}, MSG_HUNG_REPEATED,
              [&] { return val.Empty() || PrmInt(val, v) ? TRes() : Bad(MSG_HUNG); },
              [&] { m_Pm->SetHung(true, v); });
}

TRes TTimePrmPrsr::Prs(const TStr& nm, const TStr& val) {
  int64_t ms = 0;
  // The interval is stored in milliseconds and must fit in 32 bits.
  auto read = [&] {
    int32_t sec = 0;
    ms = StrToInt(val, sec) ? static_cast<int64_t>(sec) * 1000 : 0;
    return ms == 0 || ms > 0xFFFFFFFFll || ms < INT32_MIN ? Bad(MSG_TIME) : TRes();
  };
  return Claim(*this, nm, {"time"}, MSG_TIME_REPEATED, read,
              [&] { m_Pm->SetChkIntrvl(static_cast<uint32_t>(ms)); });
}
