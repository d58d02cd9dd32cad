// The supervisor: launch settings, the run loop, the forced stop and the health checks of the child.
#pragma once
#include <cstdint>
#include <memory>
#include "Lib/BStr.h"
#include "Lib/Res.h"

template <class T> class TQueue;
class TCase;
class WTProcess;

// Attempt counter of one Run: counts up to a bound and stays there.
class TCounter : public TYdBsMem {
 public:
  uint32_t Val() const { return m_Val; }
  uint32_t Inc() {
    if (m_Val < m_Bound) ++m_Val;
    return m_Val;
  }

 private:
  uint32_t m_Val = 0;
  uint32_t m_Bound = 0xFFFFFFFFu;
};

// What the health checks measure of a running child. The product uses this class as it is;
// tests derive from it to hand the checks measures the platform cannot produce on demand.
class TMeasures : public TYdBsMem {
 public:
  // Working set in bytes; false when it could not be read (the check then passes).
  virtual bool WrkSet(const WTProcess& p, uint64_t& bytes);
  // Open kernel handles; 0 when the query fails.
  virtual uint32_t Handles(const WTProcess& p);
  // GDI objects; 0 when the query fails.
  virtual uint32_t GdiObjs(const WTProcess& p);
  // True when a top-level window of the child's process has stopped answering.
  virtual bool HungWnd(const WTProcess& p);
};

// The calls that end a child. The product uses this class as it is; tests derive from it to give the answers
// Windows gives and Wine does not: a terminate refused for a child that has just ended, a wait that fails.
class TStopCalls : public TYdBsMem {
 public:
  // 0 or the system error code.
  virtual uint32_t Terminate(WTProcess& p, uint32_t exitCode);
  // The raw wait result; after WAIT_FAILED the thread's last error says why.
  virtual uint32_t Wait(WTProcess& p, uint32_t ms);
};

class TProcessMngr : public TYdBsMem {
 public:
  static constexpr uint32_t NO_LMT = 0xFFFFFFFFu;

  TProcessMngr();
  ~TProcessMngr() override;
  TProcessMngr(const TProcessMngr&) = delete;
  TProcessMngr& operator=(const TProcessMngr&) = delete;

  void SetCmdLn(const TStr& s);
  void SetAttemptsLmt(uint32_t v);
  void SetGdiObjsLmt(uint32_t v);
  void SetHandlesLmt(uint32_t v);
  void SetHung(bool on, uint32_t cnt);
  void SetMemLmt(uint32_t v);
  void SetPause(uint32_t ms);
  void SetStopTm(uint32_t ms);
  void SetRunTmLmt(uint32_t ms);
  void SetChkIntrvl(uint32_t ms);
  void SetLogFile(const TStr& s);
  void AddRetCode(uint32_t code);

  const TStr& CmdLn() const { return m_CmdLn; }
  uint32_t AttemptsLmt() const { return m_AttemptsLmt; }
  uint32_t ExitCode() const { return m_ExitCode; }
  const TQueue<uint32_t>& RetCodes() const { return *m_RetCodes; }
  uint32_t GdiObjsLmt() const { return m_GdiObjsLmt; }
  uint32_t HandlesLmt() const { return m_HandlesLmt; }
  bool HungChk() const { return m_HungChk; }
  uint32_t HungLmt() const { return m_HungLmt; }
  uint32_t MemLmt() const { return m_MemLmt; }
  uint32_t Pause() const { return m_Pause; }
  uint32_t StopTm() const { return m_StopTm; }
  uint32_t RunTmLmt() const { return m_RunTmLmt; }
  uint32_t ChkIntrvl() const { return m_ChkIntrvl; }
  const TStr& LogFile() const { return m_LogFile; }

  TRes Run();
  bool IsExpectedExitCode() const;

 private:
  friend struct TProcessMngrProbe;  // the tests' way to the seams and the single steps

  bool HasRunTmLmt() const { return m_RunTmLmt != NO_LMT; }
  uint32_t RunTm() const;
  uint32_t ForceStop(WTProcess& p);
  // The monitored wait and its checks.
  TRes Watch(WTProcess& p);
  bool OnTick(WTProcess& p, uintptr_t timer, TRes& res);
  TRes Check(WTProcess& p);
  TRes ChkRunTm(WTProcess& p);
  TRes ChkMem(WTProcess& p);
  TRes ChkHandles(WTProcess& p);
  TRes ChkGdiObjs(WTProcess& p);
  TRes ChkHung(WTProcess& p);
  void OnExit(WTProcess& p);
  TRes OnRunTmOut(WTProcess& p);
  TRes OnChkFail(WTProcess& p, const TRes& failed);
  // Replace the measures of the checks and the calls of the forced stop (not owned; null: the real ones).
  void SetMeasures(TMeasures* m);
  void SetStopCalls(TStopCalls* c);
  bool IsMonitored() const;
  TRes Launch(WTProcess& p);
  bool LastAttempt(TCounter& attempts, TRes& res);
  TRes PlainWait(WTProcess& p);
  bool AskToEnd(WTProcess& p);
  uint32_t EndChild(WTProcess& p);
  void Evt(const char* txt);
  void TraceExit() const;  // the "Process exited" line of ExitCode
  void OpenEvtLog();

  TStr m_CmdLn;
  uint32_t m_AttemptsLmt = NO_LMT;
  uint32_t m_ExitCode = 1;
  std::unique_ptr<TQueue<uint32_t>> m_RetCodes;
  uint32_t m_GdiObjsLmt = 0;
  uint32_t m_HandlesLmt = 0;
  bool m_HungChk = false;
  uint32_t m_HungLmt = 1;
  uint32_t m_HungRow = 0;
  uint32_t m_MemLmt = 0;
  uint32_t m_Pause = 0;
  uint32_t m_StopTm = 0;
  uint32_t m_StartTicks = 0;
  uint32_t m_RunTmLmt = NO_LMT;
  uint32_t m_ChkIntrvl;
  TStr m_LogFile;
  std::unique_ptr<TCase> m_EvtLog;
  TMeasures* m_Measures;
  TStopCalls* m_StopCalls;
  bool m_MayRun = false;  // the last stop left a child that may still run: nothing may be launched over it
};
