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

// Random times over 800 years (past the year table too) give the platform's day count and come back unchanged;
// parts beyond the fields' types are refused, not wrapped.
TEST(BTm, LeapYearsDayNumbersAndThePlatformCount) {
  std::mt19937 r(1601);
  for (int i = 0; i < 300; i++) {
    const WORD y = WORD(1601 + r() % 800);
    const WORD m = WORD(1 + r() % 12);
    SYSTEMTIME st = {y, m, 0, WORD(1 + r() % MonDays(y, m)), WORD(r() % 24), WORD(r() % 60), WORD(r() % 60),
                     WORD(i == 0 ? 999 : r() % 1000)};
    TBTm t(st);
    const double days = PlatformDays(st);
    ASSERT_NEAR(Val(t), days, 1e-9);
    st.wDayOfWeek = WORD((static_cast<uint64_t>(days) + 1) % 7);  // 1601-01-01 was a Monday
    const SYSTEMTIME back = t.ToSysTm();
    ASSERT_EQ(memcmp(&back, &st, sizeof st), 0) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
  }
  const SYSTEMTIME badDay = {2026, 1, 0, 257};      // would wrap to day 1
  const SYSTEMTIME badHour = {2026, 1, 0, 1, 280};  // would wrap to 24 h: the date is set, the time refused
  EXPECT_TRUE(!TBTm(badDay).IsValid() && Val(TBTm(badHour)) == 155228);  // 2026-01-01
  EXPECT_TRUE(Val(TBTm(3, 300, 0, 0, 0)) == 3.0 && Val(TBTm(3, 0, 0, 0, 66536)) == 3.0);
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
