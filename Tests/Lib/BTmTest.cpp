// Calendar time: error codes and texts, day numbers, range checks, fields and the log formats.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>

#include "Lib/BTm.h"
#include "Lib/Res.h"

namespace {

// Days since 1601-01-01 as the platform counts them (file times are 100 ns units from that day).
double PlatformDays(const SYSTEMTIME& st) {
  FILETIME ft;
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  return static_cast<double>((static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000) /
         86400000.0;
}

#define ERR_IN "\xce\xf8\xe8\xe1\xea\xe0 \xe2 "  // "Ошибка в "
#define FRMT_NOT_FOUND                           /* "формате (не найден символ, разделяющий компоненты " */ \
  "\xf4\xee\xf0\xec\xe0\xf2\xe5 (\xed\xe5 \xed\xe0\xe9\xe4\xe5\xed \xf1\xe8\xec\xe2\xee\xeb, "              \
  "\xf0\xe0\xe7\xe4\xe5\xeb\xff\xfe\xf9\xe8\xe9 \xea\xee\xec\xef\xee\xed\xe5\xed\xf2\xfb "
#define IN_NUM "\xf7\xe8\xf1\xeb\xe5 "  // "числе "

TEST(BTm, NineOwnCodesInOrderWithTheirTexts) {
  struct { uint32_t code; const char* txt; } cases[] = {
      {BTmErrFrmtDate(), ERR_IN FRMT_NOT_FOUND "\xe4\xe0\xf2\xfb)."},      // ...даты).
      {BTmErrFrmtTime(), ERR_IN FRMT_NOT_FOUND "\xe2\xf0\xe5\xec\xe5\xed\xe8)."},  // ...времени).
      {BTmErrYr(), ERR_IN "\xed\xee\xec\xe5\xf0\xe5 \xe3\xee\xe4\xe0."},  // номере года.
      {BTmErrMon(), ERR_IN IN_NUM "\xec\xe5\xf1\xff\xf6\xe5\xe2."},      // месяцев.
      {BTmErrDay(), ERR_IN IN_NUM "\xe4\xed\xe5\xe9."},                  // дней.
      {BTmErrHr(), ERR_IN IN_NUM "\xf7\xe0\xf1\xee\xe2."},               // часов.
      {BTmErrMin(), ERR_IN IN_NUM "\xec\xe8\xed\xf3\xf2."},              // минут.
      {BTmErrSec(), ERR_IN IN_NUM "\xf1\xe5\xea\xf3\xed\xe4."},          // секунд.
      {BTmErrMSec(), ERR_IN IN_NUM "\xec\xe8\xeb\xeb\xe8\xf1\xe5\xea\xf3\xed\xe4."},  // миллисекунд.
  };
  for (uint32_t i = 0; i < 9; i++) {
    EXPECT_EQ(cases[i].code, 0x20000001u + i);
    EXPECT_STREQ(ErrTxt(cases[i].code).Str(), cases[i].txt) << i;
  }
}

TEST(BTm, LeapYearsDayNumbersAndThePlatformCount) {
  for (int y : {1604, 2000, 2024, 2400}) EXPECT_TRUE(IsLeap(y)) << y;
  for (int y : {1601, 1700, 1900, 2023, 2100}) EXPECT_FALSE(IsLeap(y)) << y;
  EXPECT_EQ(MonDays(1900, 2), 28);
  EXPECT_EQ(MonDays(2024, 2), 29);
  struct { uint16_t y, m; uint8_t d; double days; } cases[] = {
      {1601, 1, 1, 0}, {1601, 12, 31, 364}, {1605, 1, 1, 1461}, {2000, 1, 1, 145731}, {2026, 1, 1, 155228}};
  for (const auto& c : cases) {
    TBTm t;
    ASSERT_EQ(t.SetDate(c.y, c.m, c.d), 0u);
    EXPECT_EQ(t.Val(), c.days) << c.y << "-" << c.m << "-" << int(c.d);
  }
  // Beyond the year table (built up to this year) the same rule goes on.
  for (int y = 2020; y < 2500; y++)
    ASSERT_EQ(DaysBeforeYr(y + 1) - DaysBeforeYr(y), IsLeap(y) ? 366u : 365u) << y;

  std::mt19937 r(1601);
  for (int i = 0; i < 300; i++) {
    SYSTEMTIME st = {}, norm;
    st.wYear = static_cast<WORD>(1601 + r() % 800), st.wMonth = static_cast<WORD>(1 + r() % 12);
    st.wDay = static_cast<WORD>(1 + r() % MonDays(st.wYear, st.wMonth)), st.wHour = static_cast<WORD>(r() % 24);
    st.wMinute = static_cast<WORD>(r() % 60), st.wSecond = static_cast<WORD>(r() % 60);
    st.wMilliseconds = static_cast<WORD>(i == 0 ? 999 : r() % 1000);
    TBTm t(st);
    ASSERT_NEAR(t.Val(), PlatformDays(st), 1e-9);
    SYSTEMTIME back = t.ToSysTm();
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, &norm));
    st.wDayOfWeek = norm.wDayOfWeek;
    ASSERT_EQ(memcmp(&back, &st, sizeof st), 0) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
  }
}

TEST(BTm, SettersCheckRangesAndKeepTheValue) {
  struct { uint16_t in; int yr; } twoDigits[] = {{0, 2000}, {79, 2079}, {80, 1980}, {99, 1999}};
  for (const auto& c : twoDigits) {
    TBTm t;
    ASSERT_EQ(t.SetDate(c.in, 1, 1), 0u) << c.in;
    EXPECT_EQ(t.Yr(), c.yr);
  }
  struct { uint16_t y, m; uint8_t d; uint32_t err; } dates[] = {
      {1600, 1, 1, BTmErrYr()},   {100, 1, 1, BTmErrYr()},    {2024, 13, 1, BTmErrMon()}, {2024, 1, 0, BTmErrDay()},
      {1900, 2, 29, BTmErrDay()}, {2024, 4, 31, BTmErrDay()}, {24, 2, 29, 0},
  };
  for (const auto& c : dates) {
    TBTm t(155228, 10, 20, 30, 400);
    const double before = t.Val();
    EXPECT_EQ(t.SetDate(c.y, c.m, c.d), c.err) << c.y << "-" << c.m << "-" << int(c.d);
    if (c.err) EXPECT_EQ(t.Val(), before);
    else EXPECT_EQ(t.MSec(), 400);  // the time of day stays
  }
  struct { int h, m, s, ms; uint32_t err; } times[] = {
      {24, 0, 0, 0, BTmErrHr()},      {0, 60, 0, 0, BTmErrMin()},     {0, 0, 60, 0, BTmErrSec()},
      {0, 0, 0, 1000, BTmErrMSec()},  {24, 60, 60, 1000, BTmErrHr()}, {-1, 0, 0, 0, BTmErrHr()},
      {23, 59, 59, 999, 0},
  };
  for (const auto& c : times) {
    TBTm t;
    ASSERT_EQ(t.SetDate(2026, 12, 5), 0u);
    const double before = t.Val();
    EXPECT_EQ(t.SetTime(int8_t(c.h), int8_t(c.m), int8_t(c.s), int16_t(c.ms)), c.err) << c.h << ":" << c.m;
    if (c.err) EXPECT_EQ(t.Val(), before);
    else EXPECT_EQ(t.Day(), 5);  // the date stays
  }
  TBTm t;
  EXPECT_EQ(t.Set(2026, 13, 1, 25, 0, 0, 0), BTmErrMon());  // the date is checked first
}

TEST(BTm, UnsetZeroSpansAndComparison) {
  TBTm unset;
  EXPECT_EQ(unset.Val(), -1.0);
  EXPECT_EQ(unset.Chk().Code(), 87u);
  EXPECT_STREQ(unset.ToStr("dd.MM.yyyy").Str(), "");
  TBTm zero(0, 0, 0, 0, 0);
  EXPECT_STREQ(zero.ToStr().Str(), "");  // a zero value is no date for the default form
  EXPECT_STREQ(zero.ToStr("dd.MM.yyyy HH:mm:ss.ii").Str(), "01.01.1601 00:00:00.000");
  EXPECT_DOUBLE_EQ(TBTm(1, 2, 3, 4, 5).Val(), 1.0 + (7384.0 * 1000 + 5) / 86400000.0);

  // Parts beyond the parameter types are refused, not wrapped (300 h would wrap to 44 h).
  EXPECT_EQ(TBTm(3, 300, 0, 0, 0).Val(), 3.0);
  EXPECT_EQ(TBTm(3, 0, 0, 0, 66536).Val(), 3.0);
  SYSTEMTIME bad = {};
  bad.wYear = 2026, bad.wMonth = 1, bad.wDay = 257;  // would wrap to day 1
  EXPECT_FALSE(TBTm(bad).IsValid());
  bad.wDay = 1, bad.wHour = 280;
  EXPECT_EQ(TBTm(bad).Val(), 155228.0);  // the date is set, the time refused

  TBTm a, b;
  a.Set(2026, 1, 1, 12, 0, 0, 1);
  b.Set(2026, 1, 1, 12, 0, 0, 0);
  EXPECT_TRUE(a.IsLater(b) && !b.IsLater(a) && !a.IsLater(unset) && !unset.IsLater(a));

  SYSTEMTIME st;
  GetLocalTime(&st);
  EXPECT_NEAR(TBTm::Now().Val(), PlatformDays(st), 60.0 / 86400);
}

TEST(BTm, LogFormatsAndQuotedText) {
  TBTm t;
  ASSERT_EQ(t.Set(2026, 12, 5, 18, 53, 7, 42), 0u);
  struct { const char* fmt; const char* want; } cases[] = {
      {"dd.MM.yyyy HH:mm:ss", "05.12.2026 18:53:07"}, {"dd.MM.yyyy HH:mm:ss.ii", "05.12.2026 18:53:07.042"},
      {"yyyyMMdd-HHmmssii", "20261205-185307042"},    {nullptr, "2026-12-05 18:53:07"},
      {"ss.i", "07.42"},                              {"d.M.yy H:m:s", "5.12.26 18:53:7"},
      {"ii 'ii' ii", "042 ii 042"},                   {"HH 'mm' mm", "18 mm 53"},
      {"'It''s' HH", "It's 18"},                      {"yyyy''''MM", "2026'12"},  // an apostrophe as quoted text
      {"'a''b' i", "a'b 42"},
  };
  for (const auto& c : cases) EXPECT_STREQ((c.fmt ? t.ToStr(c.fmt) : t.ToStr()).Str(), c.want) << (c.fmt ? c.fmt : "-");
  EXPECT_STREQ(t.ToStr("yyyyMMdd-HHmmssii", LOCALE_USER_DEFAULT).Str(), "20261205-185307042");
}

}  // namespace
