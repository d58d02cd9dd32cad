// The child process wrapper.
#include "sprv/Process.h"
#include <cstring>
#include "Log/Log.h"

void SetQuietErrMode() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX); }

WTProcess::~WTProcess() {
  if (!m_Prc.IsNone()) Close();
}

// A job whose processes may start helpers outside it on purpose (CREATE_BREAKAWAY_FROM_JOB).
void WTProcess::MakeJob() {
  m_Job.Attach(CreateJobObjectA(nullptr, nullptr));
  if (m_Job.IsNone()) {
    DWORD e = GetLastError();
    Log().Write("SP!", "WTProcess::Crt() [this=%#010x] job object not created (rc=%u).", (unsigned)(uintptr_t)this,
                (unsigned)e);
    return;
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION lmt;
  std::memset(&lmt, 0, sizeof(lmt));
  lmt.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (!SetInformationJobObject(m_Job.Get(), JobObjectExtendedLimitInformation, &lmt, sizeof(lmt))) {
    DWORD e = GetLastError();
    Log().Write("SP!", "WTProcess::Crt() [this=%#010x] job limits not set (rc=%u).", (unsigned)(uintptr_t)this,
                (unsigned)e);
    m_Job.Close();
  }
}

// Windows 7 and older refuse a process that is in a job already (one the supervisor was started in):
// the child then runs without a job of its own, as a child of a supervisor without jobs would.
void WTProcess::AssignJob() {
  if (m_Job.IsNone() || AssignProcessToJobObject(m_Job.Get(), m_Prc.Get())) return;
  DWORD e = GetLastError();
  Log().Write("SP!", "WTProcess::Crt() [this=%#010x] child not assigned to its job (rc=%u).",
              (unsigned)(uintptr_t)this, (unsigned)e);
  m_Job.Close();
}

// A child that cannot be resumed never runs: it is ended here, the object is left empty and the launch has failed.
uint32_t WTProcess::Resume() {
  if (ResumeThread(m_Thrd.Get()) != (DWORD)-1) return 0;
  uint32_t rc = GetLastError();
  if (!TerminateProcess(m_Prc.Get(), rc)) {
    DWORD e = GetLastError();
    Log().Write("SP!", "WTProcess::Crt() [this=%#010x] child not resumed and not terminated (rc=%u).",
                (unsigned)(uintptr_t)this, (unsigned)e);
  }
  Close();
  m_Pid = m_Tid = 0;
  return rc;
}

uint32_t WTProcess::Crt(const TStr& cmdLn, const char* curDir, int flags) {
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  TCharBuf buf(cmdLn.Len() + 1);
  std::memcpy(buf.Chars(), cmdLn.Str(), cmdLn.Len() + 1);
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof(si));
  si.cb = sizeof(si);
  MakeJob();
  // Suspended until it is in its job, so that nothing it starts escapes the job. The child keeps the
  // supervisor's error mode: the default one would let system dialogs hold it.
  m_SysFlags = ((DWORD)flags & ~(DWORD)CREATE_DEFAULT_ERROR_MODE) | CREATE_SUSPENDED;
  uint32_t rc = 0;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, buf.Chars(), nullptr, nullptr, FALSE, m_SysFlags, nullptr, curDir, &si, &pi)) {
    rc = GetLastError();
    if (InJob()) m_Job.Close();
  } else {
    m_Prc.Attach(pi.hProcess), m_Thrd.Attach(pi.hThread), m_Pid = pi.dwProcessId, m_Tid = pi.dwThreadId;
    AssignJob();
    if (!((DWORD)flags & CREATE_SUSPENDED)) rc = Resume();
  }
  Log().Write(rc == 0 ? "SPT" : "SP!",
              "WTProcess::Crt(cmdln='%s',flags=%d) [this=%#010x] end (PID=%u,TID=%u,rc=%d).", cmdLn.Str(), flags,
              (unsigned)(uintptr_t)this, (unsigned)m_Pid, (unsigned)m_Tid, (int)rc);
  return rc;
}

uint32_t WTProcess::Wait(uint32_t ms) { return WaitForSingleObject(m_Prc.Get(), ms); }

// Asked only after the wait saw the end of the process, so a failure is traced rather than returned.
uint32_t WTProcess::GetExitCode() const {
  DWORD code = 0;
  if (!GetExitCodeProcess(m_Prc.Get(), &code)) {
    DWORD e = GetLastError();
    Log().Write("SP!", "WTProcess::GetExitCode() [this=%#010x] failed (rc=%u).", (unsigned)(uintptr_t)this,
                (unsigned)e);
  }
  return code;
}

uint32_t WTProcess::MemInfo(PROCESS_MEMORY_COUNTERS& pmc) const {
  std::memset(&pmc, 0, sizeof(pmc));
  pmc.cb = sizeof(pmc);
  return GetProcessMemoryInfo(m_Prc.Get(), &pmc, sizeof(pmc)) ? 0 : GetLastError();
}

uint32_t WTProcess::PostThreadMsg(UINT msg, WPARAM w, LPARAM l) {
  return PostThreadMessageA(m_Tid, msg, w, l) ? 0 : GetLastError();
}

uint32_t WTProcess::Terminate(uint32_t exitCode) {
  if (InJob()) return TerminateJob(exitCode);
  return TerminateProcess(m_Prc.Get(), exitCode) ? 0 : GetLastError();
}

uint32_t WTProcess::TerminateJob(uint32_t exitCode) {
  if (!InJob()) return 0;
  return TerminateJobObject(m_Job.Get(), exitCode) ? 0 : GetLastError();
}

// The destructor closes too and has no caller to hand a result to, so a failed close is traced as well.
uint32_t WTProcess::Close() {
  uint32_t first = 0;
  auto close = [&](THandle& h, DWORD& id, const char* what) {
    if (h.IsNone()) return;
    if (uint32_t rc = h.Close()) {
      Log().Write("SP!", "WTProcess::Close() [this=%#010x] %s handle not closed (rc=%u).", (unsigned)(uintptr_t)this,
                  what, (unsigned)rc);
      if (!first) first = rc;
    }
    id = NO_ID;
  };
  close(m_Prc, m_Pid, "process");
  close(m_Thrd, m_Tid, "thread");
  DWORD none = 0;
  close(m_Job, none, "job");
  return first;
}
