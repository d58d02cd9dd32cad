// The child process wrapper.
#include "sprv/Process.h"
#include <cstring>
#include "Log/Log.h"

WTProcess::WTProcess() { std::memset(&m_Pi, 0, sizeof(m_Pi)); }

WTProcess::~WTProcess() {
  if (m_Pi.hProcess) Close();
}

uint32_t WTProcess::Crt(const TStr& cmdLn, const char* curDir, int flags) {
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  TCharBuf buf(cmdLn.Len() + 1);
  std::memcpy(buf.Chars(), cmdLn.Str(), cmdLn.Len() + 1);
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof(si));
  si.cb = sizeof(si);
  uint32_t rc = 0;
  if (!CreateProcessA(nullptr, buf.Chars(), nullptr, nullptr, FALSE, (DWORD)flags, nullptr, curDir, &si, &m_Pi)) {
    rc = GetLastError();
    std::memset(&m_Pi, 0, sizeof(m_Pi));
  }
  Log().Write(rc == 0 ? "SPT" : "SP!",
              "WTProcess::Crt(cmdln='%s',flags=%d) [this=%#010x] end (PID=%u,TID=%u,rc=%d).", cmdLn.Str(), flags,
              (unsigned)(uintptr_t)this, (unsigned)m_Pi.dwProcessId, (unsigned)m_Pi.dwThreadId, (int)rc);
  return rc;
}

uint32_t WTProcess::Wait(uint32_t ms) { return WaitForSingleObject(m_Pi.hProcess, ms); }

// Asked only after the wait saw the end of the process, so a failure is traced rather than returned.
uint32_t WTProcess::GetExitCode() const {
  DWORD code = 0;
  if (!GetExitCodeProcess(m_Pi.hProcess, &code))
    Log().Write("SP!", "WTProcess::GetExitCode() [this=%#010x] failed (rc=%u).", (unsigned)(uintptr_t)this,
                (unsigned)GetLastError());
  return code;
}

uint32_t WTProcess::MemInfo(PROCESS_MEMORY_COUNTERS& pmc) const {
  std::memset(&pmc, 0, sizeof(pmc));
  pmc.cb = sizeof(pmc);
  return GetProcessMemoryInfo(m_Pi.hProcess, &pmc, sizeof(pmc)) ? 0 : GetLastError();
}

uint32_t WTProcess::PostThreadMsg(UINT msg, WPARAM w, LPARAM l) {
  return PostThreadMessageA(m_Pi.dwThreadId, msg, w, l) ? 0 : GetLastError();
}

uint32_t WTProcess::Terminate(uint32_t exitCode) {
  return TerminateProcess(m_Pi.hProcess, exitCode) ? 0 : GetLastError();
}

namespace {

// The destructor closes too and has no caller to hand a result to, so a failed close is traced.
void CloseHnd(HANDLE h, const char* what, const WTProcess* owner) {
  if (!CloseHandle(h))
    Log().Write("SP!", "WTProcess::Close() [this=%#010x] %s handle not closed (rc=%u).", (unsigned)(uintptr_t)owner,
                what, (unsigned)GetLastError());
}

}  // namespace

uint32_t WTProcess::Close() {
  if (m_Pi.hProcess) {
    CloseHnd(m_Pi.hProcess, "process", this);
    m_Pi.hProcess = nullptr;
    m_Pi.dwProcessId = NO_ID;
  }
  if (m_Pi.hThread) {
    CloseHnd(m_Pi.hThread, "thread", this);
    m_Pi.hThread = nullptr;
    m_Pi.dwThreadId = NO_ID;
  }
  return 0;
}
