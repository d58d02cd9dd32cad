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

uint32_t WTProcess::GetExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(m_Pi.hProcess, &code);
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

uint32_t WTProcess::Close() {
  if (m_Pi.hProcess) {
    CloseHandle(m_Pi.hProcess);
    m_Pi.hProcess = nullptr;
    m_Pi.dwProcessId = NO_ID;
  }
  if (m_Pi.hThread) {
    CloseHandle(m_Pi.hThread);
    m_Pi.hThread = nullptr;
    m_Pi.dwThreadId = NO_ID;
  }
  return 0;
}
