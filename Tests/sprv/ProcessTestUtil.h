// Shared pieces of the supervisor's tests: event texts (code page 1251), child paths, event and trace logs.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "sprv/ProcessMngr.h"

namespace sprvtest {

extern const std::string START;       // "Запуск."
extern const std::string START_ERR;   // "Ошибка запуска. "
extern const std::string EXITED;      // "Завершение: exit code="
extern const std::string EXITED_CHK;  // "Завершение: код "
extern const std::string STOPPING;    // "Принудительное завершение..."
extern const std::string STOPPED;     // "Принудительное завершение выполнено."
extern const std::string ATTEMPTS;    // "Завершение по числу перезапусков "
extern const std::string CHK;         // "Проверка: "
extern const std::string RUN_TM;      // "Превышение времени выполнения ("
extern const std::string MEM;         // "Превышение объема памяти ("
extern const std::string HANDLES;     // "Превышение числа дескрипторов ("
extern const std::string GDI;         // "Превышение объектов GDI ("
extern const std::string HUNG;        // "Повисание приложения ("
extern const std::string ERR_PRM;     // "Ошибка в параметре "

std::string S(const TStr& s);
// True when the line is the prefix, a decimal number and the suffix; the number goes to num.
bool NumBetween(const std::string& line, const std::string& prefix, const std::string& suffix,
                unsigned long long* num = nullptr);
// A child program of the build, quoted: "Z:\...\children\ch_exit.exe".
std::string Child(const char* name);
// A fresh name in the temporary folder; the file is deleted when the object goes.
struct TTmp {
  std::string Path;
  explicit TTmp(const char* tag);
  ~TTmp() { DeleteFileA(Path.c_str()); }
};
std::string ReadFile(const std::string& path);
// The event log's lines with the stamp "dd.MM.yyyy HH:mm:ss " checked and cut; a bad stamp or a missing
// final CR LF gives a "<bad: ...>" line so that the comparison fails.
std::vector<std::string> EvtLines(const std::string& path);
// The parser run over a whole command line; the expected codes in their order.
TRes Parse(TProcessMngr& m, const std::string& cmdLn);
std::vector<uint32_t> Codes(const TProcessMngr& m);
// The default expected codes and an event log file.
void Prepare(TProcessMngr& m, const std::string& cmdLn, const std::string& logFile);

// The trace lines of the given types written during its life, without stamps or ids. The trace log is not
// opened by the tests, so the lines stay queued until Lines() writes them out.
class TTraceCapture {
 public:
  TTraceCapture(std::initializer_list<const char*> tps = {"WP.", "SP."});
  ~TTraceCapture();
  std::vector<std::string> Lines();

 private:
  TTmp m_File;
};

// Measures given by a test instead of the platform's; counts how often each was asked.
struct TGivenMeasures : TMeasures {
  bool WsOk = true;
  uint64_t Ws = 0;
  uint32_t HandleCnt = 0, GdiCnt = 0;
  std::vector<bool> Hung;  // one answer per check; the last one repeats
  int WsAsked = 0, HandlesAsked = 0, GdiAsked = 0, HungAsked = 0;

  bool WrkSet(const WTProcess&, uint64_t& bytes) override { return ++WsAsked, bytes = Ws, WsOk; }
  uint32_t Handles(const WTProcess&) override { return ++HandlesAsked, HandleCnt; }
  uint32_t GdiObjs(const WTProcess&) override { return ++GdiAsked, GdiCnt; }
  bool HungWnd(const WTProcess&) override {
    return !Hung.empty() && Hung[std::min<size_t>(HungAsked++, Hung.size() - 1)];
  }
};

}  // namespace sprvtest
