// The supervision run loop: settings, launches, the plain wait, the forced stop and the event log.
#include "sprv/ProcessMngr.h"
#include <windows.h>
#include "Lib/BTm.h"
#include "Log/Log.h"
#include "sprv/Process.h"
#include "ydcodes.h"
#include "ydgen.h"

namespace {

TMeasures g_RealMeasures;
TStopCalls g_RealStopCalls;

constexpr uint32_t CHK_INTRVL_DFLT = 15000;  // checks every 15 s unless the time parameter says otherwise
// A terminated child is gone once its pending I/O is cancelled, which takes far less than this; one still
// there after it hangs in a driver, and nothing may be launched over it.
constexpr uint32_t STOP_END_WAIT_MS = 10000;

// Top-level windows of the child's main thread get WM_DESTROY; the enumeration always goes on.
BOOL CALLBACK PostDestroy(HWND w, LPARAM) {
  HWND parent = GetParent(w);
  if ((!parent || parent == GetDesktopWindow()) && !PostMessageA(w, WM_DESTROY, 0, 0)) {
    DWORD e = GetLastError();
    Log().Write("WP.", "TProcessMngr::ForceStop() WM_DESTROY not posted (hwnd=%#010x,rc=%u)",
                (unsigned)(uintptr_t)w, (unsigned)e);
  }
  return TRUE;
}

// A failed wait counts as "not ended": the next step of the stop follows, and the failure is traced.
bool Ended(TStopCalls& calls, WTProcess& p, uint32_t ms) {
  uint32_t w = calls.Wait(p, ms);
  if (w == WAIT_FAILED) {
    DWORD e = GetLastError();
    Log().Write("WP.", "TProcessMngr::ForceStop() wait failed (rc=%u)", (unsigned)e);
  }
  return w == WAIT_OBJECT_0;
}

}  // namespace

uint32_t TStopCalls::Terminate(WTProcess& p, uint32_t exitCode) { return p.Terminate(exitCode); }

uint32_t TStopCalls::Wait(WTProcess& p, uint32_t ms) { return p.Wait(ms); }

TProcessMngr::TProcessMngr()
    : m_RetCodes(new TQueue<uint32_t>), m_ChkIntrvl(CHK_INTRVL_DFLT), m_EvtLog(new TCase(new TLog)),
      m_Measures(&g_RealMeasures), m_StopCalls(&g_RealStopCalls) {}

TProcessMngr::~TProcessMngr() { m_EvtLog.reset(); }

void TProcessMngr::SetCmdLn(const TStr& s) { m_CmdLn = s; }
void TProcessMngr::SetAttemptsLmt(uint32_t v) { m_AttemptsLmt = v; }
void TProcessMngr::SetGdiObjsLmt(uint32_t v) { m_GdiObjsLmt = v; }
void TProcessMngr::SetHandlesLmt(uint32_t v) { m_HandlesLmt = v; }
void TProcessMngr::SetHung(bool on, uint32_t cnt) {
  m_HungChk = on;
  m_HungLmt = cnt;
}
void TProcessMngr::SetMemLmt(uint32_t v) { m_MemLmt = v; }
void TProcessMngr::SetPause(uint32_t ms) { m_Pause = ms; }
void TProcessMngr::SetStopTm(uint32_t ms) { m_StopTm = ms; }
void TProcessMngr::SetRunTmLmt(uint32_t ms) { m_RunTmLmt = ms; }
void TProcessMngr::SetChkIntrvl(uint32_t ms) { m_ChkIntrvl = ms; }
void TProcessMngr::SetLogFile(const TStr& s) { m_LogFile = s; }
void TProcessMngr::AddRetCode(uint32_t code) { m_RetCodes->Add(new uint32_t(code)); }
void TProcessMngr::SetMeasures(TMeasures* m) { m_Measures = m ? m : &g_RealMeasures; }
void TProcessMngr::SetStopCalls(TStopCalls* c) { m_StopCalls = c ? c : &g_RealStopCalls; }

uint32_t TProcessMngr::RunTm() const { return TickCnt() - m_StartTicks; }

bool TProcessMngr::IsMonitored() const { return m_MemLmt != 0 || m_HungChk || m_GdiObjsLmt != 0 || m_HandlesLmt != 0; }

bool TProcessMngr::IsExpectedExitCode() const {
  for (TQueueCIter<uint32_t> it(*m_RetCodes); !it.End(); it.Next())
    if (*it.Cur() == m_ExitCode) return true;
  return false;
}

// Event lines are finished texts: they go through "%s" so that a percent sign in them stays as it is.
void TProcessMngr::Evt(const char* txt) {
  if (m_LogFile.Empty()) return;
  uint32_t rc = (*m_EvtLog)->Write("---", "%s", txt);
  if (rc != 0) Log().Write("WP.", "TProcessMngr event line not written (rc=%u)", rc);
}

void TProcessMngr::TraceExit() const {
  Log().Write("WP.", "Process exited (exit_code=%u,dscr='%s')", m_ExitCode, ErrTxt(m_ExitCode).Str());
}

void TProcessMngr::OpenEvtLog() {
  TLogPrms& prms = (*m_EvtLog)->Prms();
  prms.SetFileNm(m_LogFile.Str());
  prms.SetTmFrmt("dd.MM.yyyy HH:mm:ss");
  prms.SetPidOn(false);
  prms.SetTidOn(false);
  prms.SetTpOn(false);
  prms.AddTp("...", "");
  prms.SetFlshLns(0);  // every line is written out at once: a killed supervisor leaves its story
  // "Не записано строк журнала: %u."
  prms.SetDropFmt("\xcd\xe5 \xe7\xe0\xef\xe8\xf1\xe0\xed\xee \xf1\xf2\xf0\xee\xea \xe6\xf3\xf0\xed\xe0\xeb\xe0: %u.");
  uint32_t rc = (*m_EvtLog)->Open();
  if (rc != 0) Log().Write("WP.", "TProcessMngr::Run() event log not opened (rc=%u)", rc);
}

// One launch: its start, its event lines, and the wait for its end (the plain or the monitored one).
TRes TProcessMngr::Launch(WTProcess& p) {
  TRes res;
  res.Set(p.Crt(m_CmdLn, nullptr, 0));
  m_StartTicks = TickCnt();
  Evt("\xc7\xe0\xef\xf3\xf1\xea.");  // "Запуск."
  if (!res.IsErr()) return IsMonitored() ? Watch(p) : PlainWait(p);
  // "Ошибка запуска. " and the system message
  Evt((TStr("\xce\xf8\xe8\xe1\xea\xe0 \xe7\xe0\xef\xf3\xf1\xea\xe0. ") + res.ToStr(RES_CMNT | RES_TXT)).Str());
  res.SetCmnt("\xce\xf8\xe8\xe1\xea\xe0 \xe7\xe0\xef\xf3\xf1\xea\xe0");  // "Ошибка запуска"
  return res;
}

// True when this launch was the last one allowed; the run's comment and an event line then say so.
bool TProcessMngr::LastAttempt(TCounter& attempts, TRes& res) {
  uint32_t made = attempts.Inc();
  if (made < m_AttemptsLmt) return false;
  // "Завершение по числу перезапусков " made/limit "."
  TStr cmnt = TStr("\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5 \xef\xee \xf7\xe8\xf1\xeb\xf3 "
                   "\xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xee\xe2 ") +
              TStr::Num(made) + "/" + TStr::Num(m_AttemptsLmt) + ".";
  res.SetCmnt(cmnt.Str());
  Evt(cmnt.Str());
  return true;
}

TRes TProcessMngr::Run() {
  TRes res;
  TCounter attempts;
  if (!m_LogFile.Empty()) OpenEvtLog();
  Log().Write("WP.", "TProcessMngr::Run() begin(cmdln=%s)", m_CmdLn.Str());
  m_ExitCode = 1;
  m_MayRun = false;
  bool launched = false;  // a launch of this run has succeeded: the command line itself is right
  for (;;) {
    if (attempts.Val() != 0 && m_Pause != 0) Sleep(m_Pause);
    WTProcess p;
    res = Launch(p);
    bool started = p.PrcInfo().hProcess != nullptr;
    // A wrong command line shows at once; once it has worked, the program may be missing only for a moment
    // (replaced by an update, locked by a scanner, a share offline), so the failure uses one attempt.
    if (!started && !launched) break;
    launched = launched || started;
    if (m_MayRun || LastAttempt(attempts, res)) break;
    p.Close();
    if (IsExpectedExitCode()) break;
  }
  uint32_t rc = (*m_EvtLog)->Close();
  // 1: it was never opened, which the opening has traced already.
  if (rc != 0 && rc != 1 && !m_LogFile.Empty()) Log().Write("WP.", "TProcessMngr::Run() event log not closed (rc=%u)", rc);
  Log().Write("WP.", "TProcessMngr::Run() end(r=%s)", res.ToStr(RES_CMNT | RES_TXT).Str());
  return res;
}

// A failed wait (not seen for a valid process handle) is traced and otherwise passes as success.
TRes TProcessMngr::PlainWait(WTProcess& p) {
  TRes res;
  uint32_t w = p.Wait(m_RunTmLmt);
  if (w == WAIT_OBJECT_0) {
    m_ExitCode = p.GetExitCode();
    TraceExit();
    Evt((TStr("\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: exit code=") + TStr::Num(m_ExitCode)).Str());  // "Завершение: exit code="
  } else if (w == WAIT_TIMEOUT) {
    m_ExitCode = RC_INTERNAL;
    res.Set(ForceStop(p));
    Log().Write("WP.", "Process terminated (timeout)");
  } else {
    DWORD e = GetLastError();
    Log().Write("WP.", "Process wait failed (rc=%u)", (unsigned)e);
  }
  return res;
}

// The gentle steps of a stop: WM_DESTROY to the main thread's top-level windows and half the grace time, then
// WM_QUIT to the main thread and the other half. True when the child has ended within them.
bool TProcessMngr::AskToEnd(WTProcess& p) {
  uint32_t half = m_StopTm / 2;
  bool ended = false;
  SetLastError(0);
  DWORD enumErr = EnumThreadWindows(p.PrcInfo().dwThreadId, PostDestroy, 0) ? 0 : GetLastError();
  // A thread without windows makes the enumeration report failure with no error: the wait still applies.
  if (enumErr == 0)
    ended = Ended(*m_StopCalls, p, half);
  else
    Log().Write("WP.", "TProcessMngr::ForceStop() windows not enumerated (rc=%u)", (unsigned)enumErr);
  if (ended) return true;
  uint32_t qrc = p.PostThreadMsg(WM_QUIT, 0, 0);
  if (qrc == 0) return Ended(*m_StopCalls, p, half);
  Log().Write("WP.", "TProcessMngr::ForceStop() WM_QUIT not posted (rc=%u)", qrc);
  return false;
}

uint32_t TProcessMngr::ForceStop(WTProcess& p) {
  Evt("\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5...");  // "Принудительное завершение..."
  uint32_t rc = 0;
  bool ended = m_StopTm != 0 && AskToEnd(p);
  if (!ended) {
    rc = EndChild(p);
  } else if (uint32_t jrc = p.TerminateJob(0)) {
    // The child has ended as asked; what it started and left in its job is stopped with it.
    Log().Write("WP.", "TProcessMngr::ForceStop() job not terminated (rc=%u)", (unsigned)jrc);
  }
  // "Принудительное завершение выполнено."
  Evt("\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5 "
      "\xe2\xfb\xef\xee\xeb\xed\xe5\xed\xee.");
  return rc;
}

// Termination only starts the child's end: the launch is released, and the next one made, only once it is
// gone. A child that had ended just before keeps its own exit code, and the stop has succeeded. Windows refuses
// to terminate such a child (access denied), but ends its job, then empty of it, without complaint: so the end
// is also looked for before the termination, which still ends what the child left in its job.
uint32_t TProcessMngr::EndChild(WTProcess& p) {
  const bool ended = m_StopCalls->Wait(p, 0) == WAIT_OBJECT_0;
  uint32_t rc = m_StopCalls->Terminate(p, 0);
  uint32_t w = m_StopCalls->Wait(p, STOP_END_WAIT_MS);
  DWORD werr = w == WAIT_FAILED ? GetLastError() : 0;
  if (w == WAIT_OBJECT_0) {
    if (rc != 0 && rc != ERROR_ACCESS_DENIED)
      Log().Write("WP.", "TProcessMngr::ForceStop() termination failed (rc=%u)", (unsigned)rc);
    if (ended || rc == ERROR_ACCESS_DENIED) {
      m_ExitCode = p.GetExitCode();
      Log().Write("WP.", "TProcessMngr::ForceStop() child had ended by itself (exit_code=%u)", m_ExitCode);
      return 0;
    }
    return rc;
  }
  m_MayRun = true;
  if (w == WAIT_FAILED) {
    Log().Write("WP.", "TProcessMngr::ForceStop() wait for the end failed (rc=%u)", (unsigned)werr);
    return werr != 0 ? werr : ERROR_INVALID_HANDLE;
  }
  if (rc != 0) {
    Log().Write("WP.", "TProcessMngr::ForceStop() termination failed, child still running (rc=%u)", (unsigned)rc);
    return rc;
  }
  Log().Write("WP.", "TProcessMngr::ForceStop() child still running %u ms after its termination",
              (unsigned)STOP_END_WAIT_MS);
  return WAIT_TIMEOUT;
}
