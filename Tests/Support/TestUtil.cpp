#include "TestUtil.h"
#include <gtest/gtest.h>
#include "Log/Log.h"

namespace yt {
static constexpr uint32_t kNoWriteOut = 1000000;  // lines and seconds: nothing is written out before Text()

TTraceTap::TTraceTap(std::initializer_list<const char*> tps) : m_File(m_Dir("trace.log")) {
  TLogLock lk(Log(), kWaitMs);
  TLogPrms& p = Log().Prms();
  p.SetDflts();
  Log().SetCurFileNm("");
  Log().Flush();  // the empty filter drops what was queued before
  p.SetTmFrmt("");
  p.SetPidOn(false);
  p.SetTidOn(false);
  p.SetFlshLns(kNoWriteOut);
  p.SetFlshSec(kNoWriteOut);
  for (const char* tp : tps) p.AddTp(tp, "");
}

TTraceTap::~TTraceTap() {
  TLogLock lk(Log(), kWaitMs);
  Log().Prms().SetDflts();
  Log().SetCurFileNm("");
}

std::string TTraceTap::Text() {
  TLogLock lk(Log(), kWaitMs);
  EXPECT_EQ(lk.Res(), 0u);
  Log().SetCurFileNm(m_File.c_str());
  EXPECT_EQ(Log().Flush(), 0u);
  return ReadAll(m_File);
}
}  // namespace yt
