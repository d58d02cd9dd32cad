// Calendar time: a point in local time or a span, held as days since 1601-01-01 with the time of day as
// the fraction.
#pragma once
#include <windows.h>
#include "Lib/BStr.h"
#include "Lib/Res.h"

// The abstract time; only TBTm supplies the operations.
class TTm : public TYdBsMem {
 public:
  ~TTm() override {}
  virtual uint32_t Set(uint16_t y, uint16_t m, uint8_t d, int8_t h, int8_t mi, int8_t s, int16_t ms) = 0;
  virtual TStr ToStr() const = 0;
  virtual TRes Chk() const = 0;
  virtual int Yr() const = 0;
  virtual int Mon() const = 0;
  virtual int Day() const = 0;
  virtual int Hr() const = 0;
  virtual int Min() const = 0;
  virtual int Sec() const = 0;
  virtual int MSec() const = 0;
};

// Entry of the year table: entry k holds year 1601 + k.
struct TBTmYr {
  uint16_t Yr;
  uint32_t Days;  // from 1601-01-01 to 1 January of the year
};

// Own error codes of SetDate/SetTime, registered once at program start after the two format errors that
// nothing returns.
uint32_t BTmErrYr();
uint32_t BTmErrMon();
uint32_t BTmErrDay();
uint32_t BTmErrHr();
uint32_t BTmErrMin();
uint32_t BTmErrSec();
uint32_t BTmErrMSec();

class TBTm : public TTm {
 public:
  static constexpr double UNSET = -1.0;
  static constexpr double MS_PER_DAY = 86400000.0;

  TBTm();
  TBTm(const TBTm& o);
  TBTm(uint32_t days, int hr, int mi, int se, int ms);  // a span, or the zero time
  explicit TBTm(const SYSTEMTIME& st);
  ~TBTm() override {}
  TBTm& operator=(const TBTm& o) { m_Val = o.m_Val; return *this; }
  static TBTm Now();

  uint32_t SetDate(uint16_t y, uint16_t m, uint8_t d);
  uint32_t SetTime(int8_t h, int8_t m, int8_t s, int16_t ms);
  uint32_t Set(uint16_t y, uint16_t m, uint8_t d, int8_t h, int8_t mi, int8_t s, int16_t ms) override;
  uint32_t SetNow();
  void SetUnset() { m_Val = UNSET; }

  TRes Chk() const override;
  bool IsValid() const;
  bool IsSet() const { return m_Val >= 0; }
  int Yr() const override;
  int Mon() const override;
  int Day() const override;
  int Hr() const override;
  int Min() const override;
  int Sec() const override;
  int MSec() const override;
  SYSTEMTIME ToSysTm() const;
  bool IsLater(const TBTm& o) const;

  // "yyyy-MM-dd HH:mm:ss", empty for an unset value and for the very first instant of 1601-01-01.
  TStr ToStr() const override;
  // Date and time pictures of the platform plus "ii" (milliseconds, three digits) and "i" (milliseconds).
  TStr ToStr(const char* fmt, uint32_t lcid = LOCALE_USER_DEFAULT) const;

 private:
  friend struct TBTmProbe;  // tests read the day count
  void Dt(int& y, int& m, int& d) const;
  int MSecOfDay() const;
  double m_Val;
};

bool IsLeap(int y);
int MonDays(int y, int m);

// The system's millisecond tick count (GetTickCount), which wraps after 49.7 days: every elapsed time is an
// unsigned difference of two readings. Tests put it just before the wrap.
extern uint32_t (*TickCnt)();
