// Calendar time against the platform's own count, range checks, and the log formats.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "Lib/BTm.h"
#include "Lib/Res.h"

struct TBTmProbe {
  static double Val(const TBTm& t) { return t.m_Val; }
};

namespace {
double Val(const TBTm& t) { return TBTmProbe::Val(t); }

// Days since 1601-01-01 as the platform counts them (file times are 100 ns units from that day).
double PlatformDays(const SYSTEMTIME& st) {
  FILETIME ft;
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  return static_cast<double>((uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000) / 86400000.0;
}

// Random times over 800 years (past the year table too) give the platform's day count and come back unchanged.
TEST(BTm, LeapYearsDayNumbersAndThePlatformCount) {
  std::mt19937 r(1601);
  for (int i = 0; i < 300; i++) {
    SYSTEMTIME st = {}, norm;
    st.wYear = WORD(1601 + r() % 800), st.wMonth = WORD(1 + r() % 12);
    st.wDay = WORD(1 + r() % MonDays(st.wYear, st.wMonth)), st.wHour = WORD(r() % 24);
    st.wMinute = WORD(r() % 60), st.wSecond = WORD(r() % 60);
    st.wMilliseconds = WORD(i == 0 ? 999 : r() % 1000);
    TBTm t(st);
    ASSERT_NEAR(Val(t), PlatformDays(st), 1e-9);
    SYSTEMTIME back = t.ToSysTm();
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, &norm));
    st.wDayOfWeek = norm.wDayOfWeek;
    ASSERT_EQ(memcmp(&back, &st, sizeof st), 0) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
  }
  EXPECT_TRUE(BTmErrYr() == 0x20000003u && BTmErrMSec() == 0x20000009u);  // after the two format errors
}

// A refused part leaves the value as it was; parts beyond the parameter types are refused, not wrapped.
TEST(BTm, SettersCheckRangesAndKeepTheValue) {
  const double day = 155228, at = day + 37230400 / 86400000.0;  // 2026-01-01 10:20:30.400
  struct { int y, m, d, h, mi, s, ms; uint32_t err; double val; } rows[] = {
      {0, 1, 1, -2, 0, 0, 0, 0, 145731 + at - day},  {99, 1, 1, -2, 0, 0, 0, 0, 145366 + at - day},  // 2000, 1999
      {79, 1, 1, -2, 0, 0, 0, 0, 174586 + at - day},  {80, 1, 1, -2, 0, 0, 0, 0, 138426 + at - day},  // 2079, 1980
      {24, 2, 29, -2, 0, 0, 0, 0, 154556 + at - day}, {1600, 1, 1, -2, 0, 0, 0, BTmErrYr(), at},
      {100, 1, 1, -2, 0, 0, 0, BTmErrYr(), at},       {2024, 13, 1, 25, 0, 0, 0, BTmErrMon(), at},  // date first
      {2024, 1, 0, -2, 0, 0, 0, BTmErrDay(), at},     {1900, 2, 29, -2, 0, 0, 0, BTmErrDay(), at},
      {2024, 4, 31, -2, 0, 0, 0, BTmErrDay(), at},    {-1, 0, 0, 24, 0, 0, 0, BTmErrHr(), at},
      {-1, 0, 0, 0, 60, 0, 0, BTmErrMin(), at},       {-1, 0, 0, 0, 0, 60, 0, BTmErrSec(), at},
      {-1, 0, 0, 0, 0, 0, 1000, BTmErrMSec(), at},    {-1, 0, 0, 24, 60, 60, 1000, BTmErrHr(), at},
      {-1, 0, 0, -1, 0, 0, 0, BTmErrHr(), at},        {-1, 0, 0, 23, 59, 59, 999, 0, day + 86399999 / 86400000.0}};
  for (const auto& c : rows) {  // y -1: time only; h -2: date only
    TBTm t(155228, 10, 20, 30, 400);
    uint32_t err = c.y < 0    ? t.SetTime(int8_t(c.h), int8_t(c.mi), int8_t(c.s), int16_t(c.ms))
                   : c.h == -2 ? t.SetDate(uint16_t(c.y), uint16_t(c.m), uint8_t(c.d))
                               : t.Set(uint16_t(c.y), uint16_t(c.m), uint8_t(c.d), int8_t(c.h), 0, 0, 0);
    EXPECT_EQ(err, c.err) << c.y << "-" << c.m << "-" << c.d << " " << c.h << ":" << c.mi;
    EXPECT_NEAR(Val(t), c.val, 1e-9) << c.y << "-" << c.m << "-" << c.d << " " << c.h << ":" << c.mi;
  }
  SYSTEMTIME bad = {};
  bad.wYear = 2026, bad.wMonth = 1, bad.wDay = 257;  // would wrap to day 1
  EXPECT_TRUE(!TBTm(bad).IsValid() && Val(TBTm(3, 300, 0, 0, 0)) == 3.0 && Val(TBTm(3, 0, 0, 0, 66536)) == 3.0);
  bad.wDay = 1, bad.wHour = 280;
  EXPECT_EQ(Val(TBTm(bad)), day);  // the date is set, the time refused (280 h would wrap to 24 h)
}

// Quoted text survives both formatting passes, apostrophes included, and keeps its "i" letters.
TEST(BTm, LogFormatsAndQuotedText) {
  TBTm t, unset, zero(0, 0, 0, 0, 0), later;
  ASSERT_EQ(t.Set(2026, 12, 5, 18, 53, 7, 42), 0u);
  struct { const char* fmt; const char* want; } cases[] = {
      {"dd.MM.yyyy HH:mm:ss", "05.12.2026 18:53:07"}, {"dd.MM.yyyy HH:mm:ss.ii", "05.12.2026 18:53:07.042"},
      {"yyyyMMdd-HHmmssii", "20261205-185307042"},    {nullptr, "2026-12-05 18:53:07"}, {"ss.i", "07.42"},
      {"d.M.yy H:m:s", "5.12.26 18:53:7"},            {"ii 'ii' ii", "042 ii 042"},     {"HH 'mm' mm", "18 mm 53"},
      {"'It''s' HH", "It's 18"},                      {"yyyy''''MM", "2026'12"},        {"'a''b' i", "a'b 42"}};
  for (const auto& c : cases) EXPECT_STREQ((c.fmt ? t.ToStr(c.fmt) : t.ToStr()).Str(), c.want) << (c.fmt ? c.fmt : "-");
  EXPECT_EQ(unset.Chk().Code(), 87u);
  EXPECT_STREQ((unset.ToStr("dd.MM.yyyy") + zero.ToStr()).Str(), "");  // a zero value is no date for the default form
  EXPECT_STREQ(zero.ToStr("dd.MM.yyyy HH:mm:ss.ii").Str(), "01.01.1601 00:00:00.000");
  later.Set(2026, 12, 5, 18, 53, 7, 43);
  EXPECT_TRUE(later.IsLater(t) && !t.IsLater(later) && !t.IsLater(unset) && !unset.IsLater(t));
  SYSTEMTIME st;
  GetLocalTime(&st);
  EXPECT_NEAR(Val(TBTm::Now()), PlatformDays(st), 60.0 / 86400);
}

}  // namespace
