// One child process of the supervisor, the handles its creation returns and the job object it runs in.
#pragma once
#include <windows.h>
#include <psapi.h>
#include <cstdint>
#include "Lib/BStr.h"
#include "Lib/Thrd.h"

// The error mode every child inherits on Windows: a missing DLL, a crash or a drive without a disk must end
// the child (which is then judged and relaunched), not hold it alive behind a dialog nobody answers.
void SetQuietErrMode();

class WTProcess : public TYdBsMem {
 public:
  static constexpr uint32_t NO_ID = 0xFFFFFFFFu;  // id of a closed object

  WTProcess() {}
  ~WTProcess() override;
  WTProcess(const WTProcess&) = delete;
  WTProcess& operator=(const WTProcess&) = delete;

  // 0 or the system error code; writes an "SPT" (success) or "SP!" trace line. The child starts in a job
  // object of its own when one can be made; otherwise it runs without one and an "SP!" line says why.
  uint32_t Crt(const TStr& cmdLn, const char* curDir, int flags);
  // The raw wait result: WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
  uint32_t Wait(uint32_t ms);
  uint32_t GetExitCode() const;
  uint32_t MemInfo(PROCESS_MEMORY_COUNTERS& pmc) const;
  uint32_t PostThreadMsg(UINT msg, WPARAM w, LPARAM l);
  // Ends the child and everything still in its job (the child alone when it has no job).
  uint32_t Terminate(uint32_t exitCode);
  // Ends what is still in the child's job; 0 when it has none.
  uint32_t TerminateJob(uint32_t exitCode);
  // 0, or the code of the first handle that could not be closed (each failure is traced).
  uint32_t Close();
  PROCESS_INFORMATION PrcInfo() const { return {m_Prc.Get(), m_Thrd.Get(), m_Pid, m_Tid}; }

 private:
  friend struct TProcessMngrProbe;  // the tests read the job and the creation flags
  bool InJob() const { return !m_Job.IsNone(); }
  void MakeJob();
  void AssignJob();
  uint32_t Resume();

  THandle m_Prc;
  THandle m_Thrd;
  DWORD m_Pid = 0;
  DWORD m_Tid = 0;
  // No kill-on-close: closing it (the supervisor's own end, a released launch) leaves its processes running.
  THandle m_Job;
  DWORD m_SysFlags = 0;  // the creation flags the system was given by the last Crt
};
