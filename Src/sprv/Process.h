// One child process of the supervisor and the handles its creation returns.
#pragma once
#include <windows.h>
#include <psapi.h>
#include <cstdint>
#include "Lib/BStr.h"

class WTProcess : public TYdBsMem {
 public:
  static constexpr uint32_t NO_ID = 0xFFFFFFFFu;  // id of a closed object

  WTProcess();
  ~WTProcess() override;
  WTProcess(const WTProcess&) = delete;
  WTProcess& operator=(const WTProcess&) = delete;

  // 0 or the system error code; writes an "SPT" (success) or "SP!" trace line.
  uint32_t Crt(const TStr& cmdLn, const char* curDir, int flags);
  // The raw wait result: WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
  uint32_t Wait(uint32_t ms);
  uint32_t GetExitCode() const;
  uint32_t MemInfo(PROCESS_MEMORY_COUNTERS& pmc) const;
  uint32_t PostThreadMsg(UINT msg, WPARAM w, LPARAM l);
  uint32_t Terminate(uint32_t exitCode);
  uint32_t Close();
  const PROCESS_INFORMATION& PrcInfo() const { return m_Pi; }

 private:
  PROCESS_INFORMATION m_Pi;
};
