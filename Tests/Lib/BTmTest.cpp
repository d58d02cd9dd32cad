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
using P = TBTmProbe;

// Days since 1601-01-01 as the platform counts them (file times are 100 ns units from that day).
double PlatformDays(const SYSTEMTIME& st) {
  FILETIME ft;
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  return static_cast<double>((uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000) / 86400000.0;
}

// Random times over 800 years (past the year table too) give the platform's day count and come back unchanged.
TEST(BTm, LeapYearsDayNumbersAndThePlatformCount) {
  EXPECT_EQ(BTmErrYr(), 0x20000003u);  // after the two format errors, registered first
  EXPECT_EQ(BTmErrMSec(), 0x20000009u);
  struct { uint16_t y; double days; } days[] = {{1601, 0}, {2000, 145731}, {2026, 155228}};
  for (const auto& c : days) {
    TBTm t;
    ASSERT_EQ(t.SetDate(c.y, 1, 1), 0u);
    EXPECT_EQ(P::Val(t), c.days) << c.y;
  }
  std::mt19937 r(1601);
  for (int i = 0; i < 300; i++) {
    SYSTEMTIME st = {}, norm;
    st.wYear = WORD(1601 + r() % 800), st.wMonth = WORD(1 + r() % 12), st.wDay = WORD(1 + r() % MonDays(st.wYear, st.wMonth));
    st.wHour = WORD(r() % 24), st.wMinute = WORD(r() % 60), st.wSecond = WORD(r() % 60);
    st.wMilliseconds = WORD(i == 0 ? 999 : r() % 1000);
    TBTm t(st);
    ASSERT_NEAR(P::Val(t), PlatformDays(st), 1e-9);
    SYSTEMTIME back = t.ToSysTm();
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, &norm));
    st.wDayOfWeek = norm.wDayOfWeek;
    ASSERT_EQ(memcmp(&back, &st, sizeof st), 0) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
  }
}

// A refused part leaves the value as it was; parts beyond the parameter types are refused, not wrapped.
TEST(BTm, SettersCheckRangesAndKeepTheValue) {
  struct { uint16_t y, m; uint8_t d; uint32_t err; int yr; } dates[] = {
      {0, 1, 1, 0, 2000},          {79, 1, 1, 0, 2079},          {80, 1, 1, 0, 1980},         {99, 1, 1, 0, 1999},
      {24, 2, 29, 0, 2024},        {1600, 1, 1, BTmErrYr()},     {100, 1, 1, BTmErrYr()},     {2024, 13, 1, BTmErrMon()},
      {2024, 1, 0, BTmErrDay()},   {1900, 2, 29, BTmErrDay()},   {2024, 4, 31, BTmErrDay()}};
  for (const auto& c : dates) {
    TBTm t(155228, 10, 20, 30, 400);
    const double before = P::Val(t);
    EXPECT_EQ(t.SetDate(c.y, c.m, c.d), c.err) << c.y << "-" << c.m << "-" << int(c.d);
    EXPECT_TRUE(c.err ? P::Val(t) == before : t.Yr() == c.yr && t.MSec() == 400) << c.y;
  }
  struct { int h, m, s, ms; uint32_t err; } times[] = {
      {24, 0, 0, 0, BTmErrHr()},     {0, 60, 0, 0, BTmErrMin()},     {0, 0, 60, 0, BTmErrSec()},
      {0, 0, 0, 1000, BTmErrMSec()}, {24, 60, 60, 1000, BTmErrHr()}, {-1, 0, 0, 0, BTmErrHr()}, {23, 59, 59, 999, 0}};
  for (const auto& c : times) {
    TBTm t(155228, 0, 0, 0, 0);
    EXPECT_EQ(t.SetTime(int8_t(c.h), int8_t(c.m), int8_t(c.s), int16_t(c.ms)), c.err) << c.h << ":" << c.m;
    EXPECT_EQ(P::Val(t) == 155228.0, c.err != 0) << c.h << ":" << c.m;  // the date stays either way
  }
  EXPECT_EQ(TBTm().Set(2026, 13, 1, 25, 0, 0, 0), BTmErrMon());  // the date is checked first
  EXPECT_EQ(P::Val(TBTm(3, 300, 0, 0, 0)), 3.0);                  // 300 h would wrap to 44 h
  EXPECT_EQ(P::Val(TBTm(3, 0, 0, 0, 66536)), 3.0);
  SYSTEMTIME bad = {};
  bad.wYear = 2026, bad.wMonth = 1, bad.wDay = 257;  // would wrap to day 1
  EXPECT_FALSE(TBTm(bad).IsValid());
  bad.wDay = 1, bad.wHour = 280;
  EXPECT_EQ(P::Val(TBTm(bad)), 155228.0);  // the date is set, the time refused
}

TEST(BTm, UnsetZeroAndComparison) {
  TBTm unset, zero(0, 0, 0, 0, 0), a, b;
  EXPECT_EQ(unset.Chk().Code(), 87u);
  EXPECT_STREQ(unset.ToStr("dd.MM.yyyy").Str(), "");
  EXPECT_STREQ(zero.ToStr().Str(), "");  // a zero value is no date for the default form
  EXPECT_STREQ(zero.ToStr("dd.MM.yyyy HH:mm:ss.ii").Str(), "01.01.1601 00:00:00.000");
  a.Set(2026, 1, 1, 12, 0, 0, 1);
  b.Set(2026, 1, 1, 12, 0, 0, 0);
  EXPECT_TRUE(a.IsLater(b) && !b.IsLater(a) && !a.IsLater(unset) && !unset.IsLater(a));
  SYSTEMTIME st;
  GetLocalTime(&st);
  EXPECT_NEAR(P::Val(TBTm::Now()), PlatformDays(st), 60.0 / 86400);
}

// Quoted text survives both formatting passes, apostrophes included, and keeps its "i" letters.
TEST(BTm, LogFormatsAndQuotedText) {
  TBTm t;
  ASSERT_EQ(t.Set(2026, 12, 5, 18, 53, 7, 42), 0u);
  struct { const char* fmt; const char* want; } cases[] = {
      {"dd.MM.yyyy HH:mm:ss", "05.12.2026 18:53:07"}, {"dd.MM.yyyy HH:mm:ss.ii", "05.12.2026 18:53:07.042"},
      {"yyyyMMdd-HHmmssii", "20261205-185307042"},    {nullptr, "2026-12-05 18:53:07"}, {"ss.i", "07.42"},
      {"d.M.yy H:m:s", "5.12.26 18:53:7"},            {"ii 'ii' ii", "042 ii 042"},     {"HH 'mm' mm", "18 mm 53"},
      {"'It''s' HH", "It's 18"},                      {"yyyy''''MM", "2026'12"},        {"'a''b' i", "a'b 42"}};
  for (const auto& c : cases) EXPECT_STREQ((c.fmt ? t.ToStr(c.fmt) : t.ToStr()).Str(), c.want) << (c.fmt ? c.fmt : "-");
}

}  // namespace
