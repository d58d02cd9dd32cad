// Helpers of the log tests: the tests' view of a log's insides and the event log's layout.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Log/LogFile.h"
#include "Log/LogLine.h"
#include "TestUtil.h"

struct TLogProbe {
  static const TStr& MutexNm(TLog& l) { return l.m_Mutex.Name(); }
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

// The event log's set-up; with tmFrmt "" the lines are the bare texts and compare exactly.
inline void EventPrms(TLogPrms& p, const std::string& file, const char* tmFrmt = "") {
  p.SetFileNm(file.c_str());
  p.SetTmFrmt(tmFrmt);
  p.SetPidOn(false);
  p.SetTidOn(false);
  p.SetTpOn(false);
  p.AddTp("...", "");
}

}  // namespace logtest
