// Calendar time. The error codes and the year table are made on first use and, through the static object
// at the end of this file, during start-up; function-local statics keep them independent of the order in
// which the static objects of other files are made.
#include "Lib/BTm.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ydcodes.h"
#include "ydgen.h"

namespace {

uint32_t SysTickCnt() { return GetTickCount(); }

enum : int {
  E_FRMT_DATE,
  E_FRMT_TIME,
  E_YR,
  E_MON,
  E_DAY,
  E_HR,
  E_MIN,
  E_SEC,
  E_MSEC,
  E_CNT,
};

const char* const kErrTxts[E_CNT] = {
    // Ошибка в формате (не найден символ, разделяющий компоненты даты).
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf4\xee\xf0\xec\xe0\xf2\xe5 (\xed\xe5 \xed\xe0\xe9\xe4\xe5\xed \xf1\xe8\xec"
    "\xe2\xee\xeb, \xf0\xe0\xe7\xe4\xe5\xeb\xff\xfe\xf9\xe8\xe9 \xea\xee\xec\xef\xee\xed\xe5\xed\xf2\xfb \xe4\xe0"
    "\xf2\xfb).",
    // Ошибка в формате (не найден символ, разделяющий компоненты времени).
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf4\xee\xf0\xec\xe0\xf2\xe5 (\xed\xe5 \xed\xe0\xe9\xe4\xe5\xed \xf1\xe8\xec"
    "\xe2\xee\xeb, \xf0\xe0\xe7\xe4\xe5\xeb\xff\xfe\xf9\xe8\xe9 \xea\xee\xec\xef\xee\xed\xe5\xed\xf2\xfb \xe2\xf0"
    "\xe5\xec\xe5\xed\xe8).",
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xed\xee\xec\xe5\xf0\xe5 \xe3\xee\xe4\xe0.",  // Ошибка в номере года.
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xec\xe5\xf1\xff\xf6\xe5\xe2.",  // Ошибка в числе месяцев.
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xe4\xed\xe5\xe9.",  // Ошибка в числе дней.
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xf7\xe0\xf1\xee\xe2.",  // Ошибка в числе часов.
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xec\xe8\xed\xf3\xf2.",  // Ошибка в числе минут.
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xf1\xe5\xea\xf3\xed\xe4.",  // Ошибка в числе секунд.
    // Ошибка в числе миллисекунд.
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xec\xe8\xeb\xeb\xe8\xf1\xe5\xea\xf3\xed\xe4.",
};

// Registered once, in table order.
const uint32_t* ErrCodes() {
  static const struct TCodes {
    uint32_t c[E_CNT];
    TCodes() {
      for (int i = 0; i < E_CNT; i++) c[i] = RegErrTxt(kErrTxts[i]);
    }
  } codes;
  return codes.c;
}

constexpr int kFirstYr = 1601;
constexpr int kMsPerDay = 86400000;

// Years 1601 up to the current local year; entry k holds year 1601 + k.
const TArray<TBTmYr>& YrTbl() {
  static const struct TTbl {
    TArray<TBTmYr> a;
    TTbl() {
      SYSTEMTIME st;
      GetLocalTime(&st);
      int last = st.wYear >= kFirstYr ? st.wYear : kFirstYr;
      a.SetCnt(static_cast<uint32_t>(last - kFirstYr + 1));
      uint32_t days = 0;
      for (int y = kFirstYr; y <= last; y++) {
        a[y - kFirstYr].Yr = static_cast<uint16_t>(y);
        a[y - kFirstYr].Days = days;
        days += IsLeap(y) ? 366 : 365;
      }
    }
  } tbl;
  return tbl.a;
}

// Leap years among 1..y.
int64_t LeapsUpTo(int64_t y) { return y / 4 - y / 100 + y / 400; }

// Days from 1601-01-01 to 1 January of year y, from the count of 365- and 366-day years before it.
int64_t DaysBefore(int64_t y) { return 365 * (y - kFirstYr) + LeapsUpTo(y - 1) - LeapsUpTo(kFirstYr - 1); }

// Makes the codes and the year table while the program starts.
const struct TBTmInit {
  TBTmInit() {
    ErrCodes();
    YrTbl();
  }
} g_BTmInit;

// Narrows a part to the parameter type of SetDate/SetTime; a part beyond the type stays out of range
// there instead of wrapping into a valid one (300 hours must not become 44).
int8_t To8(int v) { return static_cast<int8_t>(v < -128 ? -128 : (v > 127 ? 127 : v)); }
int16_t To16(int v) { return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }
uint8_t ToU8(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

void Put2(char* p, int v) {
  p[0] = static_cast<char>('0' + v / 10 % 10);
  p[1] = static_cast<char>('0' + v % 10);
}

// Every apostrophe is doubled up for the first pass, which gives it back as it stood for the second:
// inside literal text a literal apostrophe "''" becomes "''''", and a quote that opens or closes literal
// text becomes "'''". The platform reads "''" outside literal text as an empty literal text (it opens
// and closes one), so there it is two quotes of three apostrophes each.
TStr ProtectQuotes(const char* fmt, bool& hasApos) {
  TStr prot;
  bool inLit = false;
  for (const char* p = fmt; *p; p++) {
    if (*p != '\'') {
      prot.Ins(p, prot.Len(), 1);
      continue;
    }
    hasApos = true;
    if (inLit && p[1] == '\'') {
      prot.Add("''''");
      p++;
    } else {
      prot.Add("'''");
      inLit = !inLit;
    }
  }
  return prot;
}

// Milliseconds: "ii" three digits, "i" without padding, outside quoted text only.
TStr PutMSec(const char* txt, unsigned msec, bool hasApos) {
  char ms3[4], ms[4];
  std::snprintf(ms3, sizeof(ms3), "%03u", msec);
  std::snprintf(ms, sizeof(ms), "%u", msec);
  TStr out;
  for (const char* p = txt; *p; p++) {
    if (hasApos && *p == '\'') {
      const char* end = std::strchr(p + 1, '\'');
      if (!end) end = p + std::strlen(p) - 1;
      out.Ins(p, out.Len(), static_cast<uint32_t>(end - p + 1));
      p = end;
    } else if (p[0] == 'i' && p[1] == 'i') {
      out.Add(ms3);
      p++;
    } else if (*p == 'i') {
      out.Add(ms);
    } else {
      out.Ins(p, out.Len(), 1);
    }
  }
  return out;
}

// One pass of the platform's date or time formatting, into a buffer of the size it asks for.
typedef int(WINAPI* TPlatformFmtFn)(LCID, DWORD, const SYSTEMTIME*, LPCSTR, LPSTR, int);
bool PlatformFmt(TPlatformFmtFn fn, uint32_t lcid, const SYSTEMTIME& st, const char* fmt, TStr& out) {
  int n = fn(lcid, 0, &st, fmt, nullptr, 0);
  if (n <= 0) return false;
  TCharBuf buf(static_cast<size_t>(n));
  if (fn(lcid, 0, &st, fmt, buf.Chars(), n) <= 0) return false;
  out.Set(buf.Chars());
  return true;
}

}  // namespace

uint32_t (*TickCnt)() = SysTickCnt;

uint32_t BTmErrYr() { return ErrCodes()[E_YR]; }
uint32_t BTmErrMon() { return ErrCodes()[E_MON]; }
uint32_t BTmErrDay() { return ErrCodes()[E_DAY]; }
uint32_t BTmErrHr() { return ErrCodes()[E_HR]; }
uint32_t BTmErrMin() { return ErrCodes()[E_MIN]; }
uint32_t BTmErrSec() { return ErrCodes()[E_SEC]; }
uint32_t BTmErrMSec() { return ErrCodes()[E_MSEC]; }

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int MonDays(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

namespace {
// Days from 1601-01-01 to 1 January of year y (y > 1600).
uint32_t DaysBeforeYr(int y) {
  const TArray<TBTmYr>& t = YrTbl();
  if (y >= kFirstYr && static_cast<uint32_t>(y - kFirstYr) < t.Cnt()) return t[y - kFirstYr].Days;
  return static_cast<uint32_t>(DaysBefore(y));  // past the table
}
}  // namespace

// ---- TBTm ----

TBTm::TBTm() : m_Val(UNSET) { ErrCodes(); }

TBTm::TBTm(const TBTm& o) : TTm(), m_Val(o.m_Val) {}

TBTm::TBTm(uint32_t days, int hr, int mi, int se, int ms) : m_Val(days) {
  ErrCodes();
  SetTime(To8(hr), To8(mi), To8(se), To16(ms));
}

TBTm::TBTm(const SYSTEMTIME& st) : m_Val(UNSET) {
  ErrCodes();
  if (SetDate(st.wYear, st.wMonth, ToU8(st.wDay)) == 0)
    SetTime(To8(st.wHour), To8(st.wMinute), To8(st.wSecond), To16(st.wMilliseconds));
}

TBTm TBTm::Now() {
  TBTm t;
  t.SetNow();
  return t;
}

uint32_t TBTm::SetDate(uint16_t y, uint16_t m, uint8_t d) {
  int yr = y;
  if (yr < 80)
    yr += 2000;
  else if (yr < 100)
    yr += 1900;
  if (yr <= 1600) return BTmErrYr();
  if (m < 1 || m > 12) return BTmErrMon();
  if (d == 0 || d > MonDays(yr, m)) return BTmErrDay();
  uint32_t days = DaysBeforeYr(yr);
  for (int i = 1; i < m; i++) days += MonDays(yr, i);
  days += d - 1;
  double frac = IsSet() ? m_Val - std::floor(m_Val) : 0.0;
  m_Val = days + frac;
  return 0;
}

uint32_t TBTm::SetTime(int8_t h, int8_t m, int8_t s, int16_t ms) {
  // Negative parts are refused as well: they would move the value into the previous day or make it unset.
  if (h < 0 || h > 23) return BTmErrHr();
  if (m < 0 || m > 59) return BTmErrMin();
  if (s < 0 || s > 59) return BTmErrSec();
  if (ms < 0 || ms > 999) return BTmErrMSec();
  double days = IsSet() ? std::floor(m_Val) : 0.0;
  m_Val = days + ((s + m * 60 + h * 3600) * 1000.0 + ms) / MS_PER_DAY;
  return 0;
}

uint32_t TBTm::Set(uint16_t y, uint16_t m, uint8_t d, int8_t h, int8_t mi, int8_t s, int16_t ms) {
  uint32_t r = SetDate(y, m, d);
  return r ? r : SetTime(h, mi, s, ms);
}

uint32_t TBTm::SetNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return Set(st.wYear, st.wMonth, ToU8(st.wDay), To8(st.wHour), To8(st.wMinute), To8(st.wSecond),
             To16(st.wMilliseconds));
}

TRes TBTm::Chk() const { return IsSet() ? TRes(0, "", SVRT_OK) : TRes(RC_BAD_PRM); }

bool TBTm::IsValid() const { return IsSet(); }

// Milliseconds of the day, rounded half away from zero; a value that rounds up to midnight counts as the
// last millisecond of its day, so that the date fields and the time fields describe the same day.
int TBTm::MSecOfDay() const {
  if (!IsSet()) return 0;
  double x = std::round((m_Val - std::floor(m_Val)) * MS_PER_DAY);
  return x >= kMsPerDay ? kMsPerDay - 1 : static_cast<int>(x);
}

void TBTm::Dt(int& y, int& m, int& d) const {
  if (!IsSet()) {
    y = 1600, m = 12, d = 31;
    return;
  }
  int64_t days = static_cast<int64_t>(std::floor(m_Val));
  // An estimate from the mean year length, then the exact year by the day counts.
  int64_t yr = kFirstYr + days * 400 / 146097;
  while (yr > kFirstYr && DaysBefore(yr) > days) yr--;
  while (DaysBefore(yr + 1) <= days) yr++;
  int64_t rest = days - DaysBefore(yr);
  int mon = 1;
  while (mon < 12 && rest >= MonDays(static_cast<int>(yr), mon)) rest -= MonDays(static_cast<int>(yr), mon++);
  y = static_cast<int>(yr);
  m = mon;
  d = static_cast<int>(rest) + 1;
}

int TBTm::Yr() const {
  int y, m, d;
  Dt(y, m, d);
  return y;
}
int TBTm::Mon() const {
  int y, m, d;
  Dt(y, m, d);
  return m;
}
int TBTm::Day() const {
  int y, m, d;
  Dt(y, m, d);
  return d;
}
int TBTm::Hr() const { return MSecOfDay() / 3600000; }
int TBTm::Min() const { return MSecOfDay() % 3600000 / 60000; }
int TBTm::Sec() const { return MSecOfDay() % 60000 / 1000; }
int TBTm::MSec() const { return MSecOfDay() % 1000; }

SYSTEMTIME TBTm::ToSysTm() const {
  SYSTEMTIME st;
  std::memset(&st, 0, sizeof(st));
  int y, m, d;
  Dt(y, m, d);
  int x = MSecOfDay();
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  // 1601-01-01 was a Monday; Sunday is 0.
  st.wDayOfWeek = IsSet() ? static_cast<WORD>((static_cast<int64_t>(std::floor(m_Val)) + 1) % 7) : 0;
  st.wHour = static_cast<WORD>(x / 3600000);
  st.wMinute = static_cast<WORD>(x % 3600000 / 60000);
  st.wSecond = static_cast<WORD>(x % 60000 / 1000);
  st.wMilliseconds = static_cast<WORD>(x % 1000);
  return st;
}

bool TBTm::IsLater(const TBTm& o) const { return IsSet() && o.IsSet() && m_Val > o.m_Val; }

TStr TBTm::ToStr() const {
  if (!(m_Val > 0)) return TStr();
  SYSTEMTIME st = ToSysTm();
  char buf[] = "\xc3\xc3\xc3\xc3-\xcc\xcc-\xc4\xc4 \xd7\xd7:\xcc\xcc:\xd1\xd1";  // ГГГГ-ММ-ДД ЧЧ:ММ:СС
  Put2(buf, st.wYear / 100);
  Put2(buf + 2, st.wYear % 100);
  Put2(buf + 5, st.wMonth);
  Put2(buf + 8, st.wDay);
  Put2(buf + 11, st.wHour);
  Put2(buf + 14, st.wMinute);
  Put2(buf + 17, st.wSecond);
  return TStr(buf);
}

TStr TBTm::ToStr(const char* fmt, uint32_t lcid) const {
  if (!IsSet() || !fmt) return TStr();
  SYSTEMTIME st = ToSysTm();
  bool hasApos = false;
  TStr prot = ProtectQuotes(fmt, hasApos);
  TStr dateTxt, timeTxt;
  if (!PlatformFmt(GetDateFormatA, lcid, st, prot.Str(), dateTxt)) return TStr();
  TStr timeFmt = PutMSec(dateTxt.Str(), st.wMilliseconds, hasApos);
  if (!PlatformFmt(GetTimeFormatA, lcid, st, timeFmt.Str(), timeTxt)) return TStr();
  return timeTxt;
}
