// Helpers of the log tests: the tests' view of a log's insides and an event log of bare texts.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Log/LogFile.h"
#include "Log/LogLine.h"
#include "TestUtil.h"

struct TLogProbe {
  static uint32_t Queued(TLog& l) { return l.m_Queue->Cnt(); }
  static uint32_t Pend(TLog& l) { return l.m_Pend->Cnt(); }
  static uint32_t PendBytes(TLog& l) { return l.m_PendBytes; }
  static uint32_t Dropped(TLog& l) { return l.m_Dropped; }
  static void SetPendLmt(TLog& l, uint32_t lns, uint32_t bytes) { l.SetPendLmt(lns, bytes); }
  static void SetIo(TLog& l, TLogIo* io) { l.SetIo(io); }
  static uint32_t Loads(TWliLog& l) { return l.m_LoadCnt; }
  static uint32_t ThrdId(TAsyncLog& l) { return l.m_ThrdId; }
};

namespace logtest {
using P = TLogProbe;
using namespace yt;
inline std::string Txt(int i, size_t len) {  // line i, len bytes long
  std::string s = "line " + std::to_string(i) + " ";
  return s + std::string(len > s.size() ? len - s.size() : 0, char('a' + i % 26));
}
// An event log of bare texts that writes out at every line, within the given caps of waiting lines.
struct TBare : TLog {
  TBare(const std::string& f, uint32_t lns = LOG_PEND_LNS, uint32_t bytes = LOG_PEND_BYTES, TLogIo* io = nullptr) {
    for (auto on : {&TLogPrms::SetPidOn, &TLogPrms::SetTidOn, &TLogPrms::SetTpOn}) (Prms().*on)(false);
    Prms().SetFileNm(f.c_str());
    Prms().SetTmFrmt("");
    Prms().SetFlshLns(0);
    Prms().AddTp("...", "");
    P::SetPendLmt(*this, lns, bytes);
    P::SetIo(*this, io);
    EXPECT_EQ(Open(), 0u);
  }
  void Put(int from, int to, size_t len) {
    for (int i = from; i < to; ++i) Write("---", "%s", Txt(i, len).c_str());
  }
};
}  // namespace logtest
