// Shared pieces of the supervisor's tests: child paths, temporary files, event-log and trace-log readers,
// and the event texts as the event log holds them (code page 1251).
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "Log/Log.h"
#include "sprv/ProcessMngr.h"

namespace sprvtest {

// Event texts, code page 1251.
extern const char* const START;       // "Запуск."
extern const char* const START_ERR;   // "Ошибка запуска. "
extern const char* const START_CMNT;  // "Ошибка запуска"
extern const char* const EXITED;      // "Завершение: exit code="
extern const char* const EXITED_CHK;  // "Завершение: код "
extern const char* const STOPPING;    // "Принудительное завершение..."
extern const char* const STOPPED;     // "Принудительное завершение выполнено."
extern const char* const ATTEMPTS;    // "Завершение по числу перезапусков "
extern const char* const CHK;         // "Проверка: "
extern const char* const RUN_TM;      // "Превышение времени выполнения ("
extern const char* const MEM;         // "Превышение объема памяти ("
extern const char* const HANDLES;     // "Превышение числа дескрипторов ("
extern const char* const GDI;         // "Превышение объектов GDI ("
extern const char* const HUNG;        // "Повисание приложения ("

// True when the line is the prefix, a decimal number and the suffix; the number goes to num.
bool NumBetween(const std::string& line, const std::string& prefix, const std::string& suffix,
                unsigned long long* num = nullptr);
// Full Windows path of a child program of the build, quoted: "Z:\...\children\ch_exit.exe".
std::string Child(const char* name);
// A fresh file name in the temporary folder (the file does not exist).
std::string TmpFile(const char* tag);
// The bytes of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The lines of an event log with the time stamp "dd.MM.yyyy HH:mm:ss " checked and cut off. A line without
// a well-formed stamp or a file not ending in CR LF is returned as "<bad: ...>" so that the comparison fails.
std::vector<std::string> EvtLines(const std::string& path);
// A manager with the default expected codes, an event log file and short intervals.
void Prepare(TProcessMngr& m, const std::string& cmdLn, const std::string& logFile);

// Catches the trace lines of type "WP.", "SPT" and "SP!" written to Log() during its life, without time
// stamps or ids. The trace log is never opened by the tests, so its lines stay queued until Lines() writes
// them out in this thread.
class TTraceCapture {
 public:
  TTraceCapture();
  ~TTraceCapture();
  std::vector<std::string> Lines();

 private:
  std::string m_File;
};

// Measures given by a test instead of the platform's; counts how often each was asked.
class TGivenMeasures : public TMeasures {
 public:
  bool WsOk = true;
  uint64_t Ws = 0;
  uint32_t HandleCnt = 0;
  uint32_t GdiCnt = 0;
  std::vector<bool> Hung;  // one answer per check; the last one repeats
  int WsAsked = 0, HandlesAsked = 0, GdiAsked = 0, HungAsked = 0;

  bool WrkSet(const WTProcess&, uint64_t& bytes) override;
  uint32_t Handles(const WTProcess&) override;
  uint32_t GdiObjs(const WTProcess&) override;
  bool HungWnd(const WTProcess&) override;
};

}  // namespace sprvtest
