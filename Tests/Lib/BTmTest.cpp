#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <random>
#include <string>

#include "Lib/BTm.h"
#include "Lib/Res.h"

namespace {

// Days since 1601-01-01 as the platform counts them (file times are 100 ns units from that day).
double PlatformDays(const SYSTEMTIME& st) {
  FILETIME ft;
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  return static_cast<double>(u.QuadPart / 10000) / 86400000.0;
}

TEST(BTmCodes, NineOwnCodesInOrderWithTheirTexts) {
  struct {
    uint32_t code;
    const char* txt;
  } cases[] = {
      // Ошибка в формате (не найден символ, разделяющий компоненты даты).
      {BTmErrFrmtDate(),
       "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf4\xee\xf0\xec\xe0\xf2\xe5 (\xed\xe5 \xed\xe0\xe9\xe4\xe5\xed \xf1\xe8\xec"
       "\xe2\xee\xeb, \xf0\xe0\xe7\xe4\xe5\xeb\xff\xfe\xf9\xe8\xe9 \xea\xee\xec\xef\xee\xed\xe5\xed\xf2\xfb \xe4"
       "\xe0\xf2\xfb)."},
      // Ошибка в формате (не найден символ, разделяющий компоненты времени).
      {BTmErrFrmtTime(),
       "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf4\xee\xf0\xec\xe0\xf2\xe5 (\xed\xe5 \xed\xe0\xe9\xe4\xe5\xed \xf1\xe8\xec"
       "\xe2\xee\xeb, \xf0\xe0\xe7\xe4\xe5\xeb\xff\xfe\xf9\xe8\xe9 \xea\xee\xec\xef\xee\xed\xe5\xed\xf2\xfb \xe2"
       "\xf0\xe5\xec\xe5\xed\xe8)."},
      {BTmErrYr(), "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xed\xee\xec\xe5\xf0\xe5 \xe3\xee\xe4\xe0."},  // Ошибка в номере года.
      {BTmErrMon(), "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xec\xe5\xf1\xff\xf6\xe5\xe2."},  // ... месяцев.
      {BTmErrDay(), "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xe4\xed\xe5\xe9."},  // ... дней.
      {BTmErrHr(), "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xf7\xe0\xf1\xee\xe2."},  // ... часов.
      {BTmErrMin(), "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xec\xe8\xed\xf3\xf2."},  // ... минут.
      {BTmErrSec(), "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xf1\xe5\xea\xf3\xed\xe4."},  // ... секунд.
      // Ошибка в числе миллисекунд.
      {BTmErrMSec(), "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xf7\xe8\xf1\xeb\xe5 \xec\xe8\xeb\xeb\xe8\xf1\xe5\xea\xf3\xed\xe4."},
  };
  for (uint32_t i = 0; i < 9; i++) {
    EXPECT_EQ(cases[i].code, 0x20000001u + i);
    EXPECT_STREQ(ErrTxt(cases[i].code).Str(), cases[i].txt) << i;
    TRes r(cases[i].code);
    EXPECT_TRUE(r.IsErr());
    EXPECT_STREQ(r.Txt().Str(), cases[i].txt);
  }
}

TEST(BTmCalendar, LeapYearsAndMonthLengths) {
  struct {
    int y;
    bool leap;
  } years[] = {{1601, false}, {1604, true}, {1700, false}, {1900, false}, {2000, true},
               {2023, false}, {2024, true}, {2100, false}, {2400, true}};
  for (const auto& c : years) EXPECT_EQ(IsLeap(c.y), c.leap) << c.y;
  const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; m++) {
    EXPECT_EQ(MonDays(2023, m), days[m - 1]) << m;
    EXPECT_EQ(MonDays(2024, m), m == 2 ? 29 : days[m - 1]) << m;
  }
  EXPECT_EQ(MonDays(1900, 2), 28);
  EXPECT_EQ(MonDays(2000, 2), 29);
}

TEST(BTmCalendar, DayNumbers) {
  struct {
    uint16_t y, m;
    uint8_t d;
    double days;
  } cases[] = {{1601, 1, 1, 0}, {1601, 12, 31, 364}, {1602, 1, 1, 365}, {1605, 1, 1, 1461},
               {2000, 1, 1, 145731}, {2026, 1, 1, 155228}, {2026, 12, 5, 155566}};
  for (const auto& c : cases) {
    TBTm t;
    ASSERT_EQ(t.SetDate(c.y, c.m, c.d), 0u);
    EXPECT_EQ(t.Val(), c.days) << c.y << "-" << c.m << "-" << int(c.d);
  }
  // Beyond the year table (built up to this year) the same rule goes on.
  EXPECT_EQ(DaysBeforeYr(2000), 145731u);
  for (int y = 2020; y < 2500; y++)
    ASSERT_EQ(DaysBeforeYr(y + 1) - DaysBeforeYr(y), IsLeap(y) ? 366u : 365u) << y;
}

TEST(BTmCalendar, FieldsRoundTripAndAgreeWithThePlatform) {
  std::mt19937 r(1601);
  for (int i = 0; i < 20000; i++) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(1601 + r() % 800);
    st.wMonth = static_cast<WORD>(1 + r() % 12);
    st.wDay = static_cast<WORD>(1 + r() % MonDays(st.wYear, st.wMonth));
    st.wHour = static_cast<WORD>(r() % 24);
    st.wMinute = static_cast<WORD>(r() % 60);
    st.wSecond = static_cast<WORD>(r() % 60);
    st.wMilliseconds = static_cast<WORD>(r() % 1000);
    if (i < 4) {  // the ends of the day
      st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
      if (i & 1) st.wHour = 23, st.wMinute = 59, st.wSecond = 59, st.wMilliseconds = 999;
    }
    TBTm t(st);
    ASSERT_TRUE(t.IsValid());
    ASSERT_NEAR(t.Val(), PlatformDays(st), 1e-9);
    SYSTEMTIME back = t.ToSysTm();
    FILETIME ft;
    SYSTEMTIME norm;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, &norm));
    ASSERT_EQ(back.wYear, st.wYear);
    ASSERT_EQ(back.wMonth, st.wMonth);
    ASSERT_EQ(back.wDay, st.wDay);
    ASSERT_EQ(back.wDayOfWeek, norm.wDayOfWeek);
    ASSERT_EQ(back.wHour, st.wHour);
    ASSERT_EQ(back.wMinute, st.wMinute);
    ASSERT_EQ(back.wSecond, st.wSecond);
    ASSERT_EQ(back.wMilliseconds, st.wMilliseconds);
    ASSERT_EQ(t.Yr(), st.wYear);
    ASSERT_EQ(t.MSec(), st.wMilliseconds);
  }
}

TEST(BTmSet, TwoDigitYears) {
  struct {
    uint16_t in;
    int yr;
  } cases[] = {{0, 2000}, {24, 2024}, {79, 2079}, {80, 1980}, {99, 1999}};
  for (const auto& c : cases) {
    TBTm t;
    ASSERT_EQ(t.SetDate(c.in, 1, 1), 0u) << c.in;
    EXPECT_EQ(t.Yr(), c.yr);
  }
  TBTm t;
  ASSERT_EQ(t.SetDate(24, 2, 29), 0u);
  EXPECT_EQ(t.Yr(), 2024);
  EXPECT_EQ(t.Mon(), 2);
  EXPECT_EQ(t.Day(), 29);
}

TEST(BTmSet, DateRangeErrorsLeaveTheValue) {
  struct {
    uint16_t y, m;
    uint8_t d;
    uint32_t err;
  } cases[] = {
      {1600, 1, 1, BTmErrYr()}, {100, 1, 1, BTmErrYr()},   {1601, 0, 1, BTmErrMon()},
      {2024, 13, 1, BTmErrMon()}, {2024, 1, 0, BTmErrDay()}, {2024, 1, 32, BTmErrDay()},
      {2023, 2, 29, BTmErrDay()}, {1900, 2, 29, BTmErrDay()}, {2024, 4, 31, BTmErrDay()},
      {2000, 2, 29, 0},           {1601, 1, 1, 0},           {2024, 12, 31, 0},
  };
  for (const auto& c : cases) {
    TBTm t(155228, 10, 20, 30, 400);
    const double before = t.Val();
    EXPECT_EQ(t.SetDate(c.y, c.m, c.d), c.err) << c.y << "-" << c.m << "-" << int(c.d);
    if (c.err) {
      EXPECT_EQ(t.Val(), before);
    } else {
      EXPECT_EQ(t.Hr(), 10);  // the time of day stays
      EXPECT_EQ(t.MSec(), 400);
    }
  }
}

TEST(BTmSet, TimeRangeErrorsInOrder) {
  struct {
    int h, m, s, ms;
    uint32_t err;
  } cases[] = {
      {24, 0, 0, 0, BTmErrHr()},      {0, 60, 0, 0, BTmErrMin()},    {0, 0, 60, 0, BTmErrSec()},
      {0, 0, 0, 1000, BTmErrMSec()},  {24, 60, 60, 1000, BTmErrHr()}, {0, 60, 60, 1000, BTmErrMin()},
      {-1, 0, 0, 0, BTmErrHr()},      {0, 0, 0, -5, BTmErrMSec()},   {23, 59, 59, 999, 0},
      {0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    TBTm t;
    ASSERT_EQ(t.SetDate(2026, 12, 5), 0u);
    const double before = t.Val();
    EXPECT_EQ(t.SetTime(int8_t(c.h), int8_t(c.m), int8_t(c.s), int16_t(c.ms)), c.err) << c.h << ":" << c.m;
    if (c.err) {
      EXPECT_EQ(t.Val(), before);
    } else {
      EXPECT_EQ(t.Day(), 5);  // the date stays
      EXPECT_EQ(t.Hr(), c.h);
      EXPECT_EQ(t.MSec(), c.ms);
    }
  }
  TBTm t;
  EXPECT_EQ(t.Set(2026, 13, 1, 25, 0, 0, 0), BTmErrMon());  // the date is checked first
  EXPECT_EQ(t.Set(2026, 12, 1, 25, 0, 0, 0), BTmErrHr());
}

TEST(BTmValue, UnsetZeroAndSpans) {
  TBTm unset;
  EXPECT_EQ(unset.Val(), -1.0);
  EXPECT_FALSE(unset.IsValid());
  TRes r = unset.Chk();
  EXPECT_TRUE(r.IsErr());
  EXPECT_EQ(r.Code(), 87u);
  EXPECT_EQ(unset.Yr(), 1600);
  EXPECT_EQ(unset.Mon(), 12);
  EXPECT_EQ(unset.Day(), 31);
  EXPECT_EQ(unset.Hr() + unset.Min() + unset.Sec() + unset.MSec(), 0);
  EXPECT_STREQ(unset.ToStr().Str(), "");
  EXPECT_STREQ(unset.ToStr("dd.MM.yyyy").Str(), "");

  TBTm zero(0, 0, 0, 0, 0);
  EXPECT_EQ(zero.Val(), 0.0);
  EXPECT_FALSE(zero.Chk().IsErr());
  EXPECT_STREQ(zero.ToStr().Str(), "");
  EXPECT_EQ(zero.Yr(), 1601);
  EXPECT_EQ(zero.Mon(), 1);
  EXPECT_EQ(zero.Day(), 1);
  EXPECT_STREQ(zero.ToStr("dd.MM.yyyy HH:mm:ss.ii").Str(), "01.01.1601 00:00:00.000");

  TBTm span(1, 2, 3, 4, 5);
  EXPECT_DOUBLE_EQ(span.Val(), 1.0 + (7384.0 * 1000 + 5) / 86400000.0);
  TBTm pause(0, 0, 0, 15, 0);
  EXPECT_DOUBLE_EQ(pause.Val() * 86400000.0, 15000.0);

  // Parts beyond the parameter types are refused, not wrapped (300 h would wrap to 44 h).
  TBTm wide(3, 300, 0, 0, 0);
  EXPECT_EQ(wide.Val(), 3.0);
  TBTm wideMs(3, 0, 0, 0, 66536);
  EXPECT_EQ(wideMs.Val(), 3.0);
  SYSTEMTIME bad = {};
  bad.wYear = 2026, bad.wMonth = 1, bad.wDay = 257;  // would wrap to day 1
  EXPECT_FALSE(TBTm(bad).IsValid());
  bad.wDay = 1, bad.wHour = 280;
  TBTm dateOnly(bad);
  EXPECT_EQ(dateOnly.Val(), 155228.0);  // the date is set, the time refused

  TBTm copy(span);
  EXPECT_EQ(copy.Val(), span.Val());
  copy.SetUnset();
  EXPECT_FALSE(copy.IsValid());
}

TEST(BTmValue, IsLaterNeedsTwoSetValues) {
  TBTm a, b, unset;
  a.Set(2026, 1, 1, 12, 0, 0, 1);
  b.Set(2026, 1, 1, 12, 0, 0, 0);
  EXPECT_TRUE(a.IsLater(b));
  EXPECT_FALSE(b.IsLater(a));
  EXPECT_FALSE(a.IsLater(a));
  EXPECT_FALSE(a.IsLater(unset));
  EXPECT_FALSE(unset.IsLater(a));
}

TEST(BTmValue, NowIsTheLocalTime) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  TBTm now = TBTm::Now();
  ASSERT_TRUE(now.IsValid());
  EXPECT_NEAR(now.Val(), PlatformDays(st), 60.0 / 86400);
  TBTm t;
  EXPECT_EQ(t.SetNow(), 0u);
  EXPECT_FALSE(now.IsLater(t));
}

class BTmFormat : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(m_T.Set(2026, 12, 5, 18, 53, 7, 42), 0u); }
  TBTm m_T;
};

TEST_F(BTmFormat, TheLogFormats) {
  EXPECT_EQ(GetACP(), 1251u);
  EXPECT_STREQ(m_T.ToStr("dd.MM.yyyy HH:mm:ss").Str(), "05.12.2026 18:53:07");
  EXPECT_STREQ(m_T.ToStr("dd.MM.yyyy HH:mm:ss.ii").Str(), "05.12.2026 18:53:07.042");
  EXPECT_STREQ(m_T.ToStr("yyyyMMdd-HHmmssii").Str(), "20261205-185307042");
  EXPECT_STREQ(m_T.ToStr("yyyyMMdd-HHmmssii", LOCALE_USER_DEFAULT).Str(), "20261205-185307042");
  EXPECT_STREQ(m_T.ToStr().Str(), "2026-12-05 18:53:07");
}

TEST_F(BTmFormat, PicturesAndQuotedText) {
  struct {
    const char* fmt;
    const char* want;
  } cases[] = {
      {"i", "42"},
      {"ss.i", "07.42"},
      {"d.M.yy H:m:s", "5.12.26 18:53:7"},
      {"'ii'", "ii"},
      {"ii 'ii' ii", "042 ii 042"},
      {"HH'h'mm", "18h53"},
      {"'dd' dd", "dd 05"},
      {"HH 'mm' mm", "18 mm 53"},
      {"'It''s' HH", "It's 18"},
      {"yyyy''''MM", "2026'12"},  // an apostrophe as quoted text
      {"'a''b' i", "a'b 42"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(m_T.ToStr(c.fmt).Str(), c.want) << c.fmt;

  // Quoted text comes out of the two passes as one pass of the platform gives it.
  SYSTEMTIME st = m_T.ToSysTm();
  const char* dateFmts[] = {"yyyy''MM", "yyyy''''MM", "'a''b' yyyy", "''",           "''''",
                            "'x'''",    "dd 'of' MMMM", "''''''",      "'unclosed yyyy"};
  for (const char* f : dateFmts) {
    char want[128] = {};
    ASSERT_GT(GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, f, want, sizeof(want)), 0) << f;
    EXPECT_STREQ(m_T.ToStr(f).Str(), want) << f;
  }
  const char* timeFmts[] = {"HH''mm", "HH''''mm", "HH 'h' mm", "'It''s' H", "'s' s"};
  for (const char* f : timeFmts) {
    char want[128] = {};
    ASSERT_GT(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, f, want, sizeof(want)), 0) << f;
    EXPECT_STREQ(m_T.ToStr(f).Str(), want) << f;
  }

  TBTm early;
  ASSERT_EQ(early.Set(2026, 1, 2, 3, 4, 5, 6), 0u);
  EXPECT_STREQ(early.ToStr("dd.MM.yyyy HH:mm:ss.ii").Str(), "02.01.2026 03:04:05.006");
  EXPECT_STREQ(early.ToStr("s.i").Str(), "5.6");
  EXPECT_STREQ(early.ToStr().Str(), "2026-01-02 03:04:05");
}

}  // namespace
