// Shared pieces of the supervisor's tests: event texts (code page 1251), child paths, event and trace logs.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "sprv/ProcessMngr.h"

namespace sprvtest {

inline const std::string START = "\xc7\xe0\xef\xf3\xf1\xea.";  // "Запуск."
inline const std::string START_ERR = "\xce\xf8\xe8\xe1\xea\xe0 \xe7\xe0\xef\xf3\xf1\xea\xe0. ";  // "Ошибка запуска. "
inline const std::string EXITED = "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: exit code=";  // "Завершение: exit code="
inline const std::string EXITED_CHK = "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: \xea\xee\xe4 ";  // "Завершение: код "
// "Принудительное завершение..."
inline const std::string STOPPING = "\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 "
    "\xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5...";
// "Принудительное завершение выполнено."
inline const std::string STOPPED = "\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 "
    "\xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5 \xe2\xfb\xef\xee\xeb\xed\xe5\xed\xee.";
// "Завершение по числу перезапусков "
inline const std::string ATTEMPTS = "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5 \xef\xee \xf7\xe8\xf1\xeb\xf3 "
    "\xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xee\xe2 ";
inline const std::string CHK = "\xcf\xf0\xee\xe2\xe5\xf0\xea\xe0: ";  // "Проверка: "
// "Превышение времени выполнения ("
inline const std::string RUN_TM = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xe2\xf0\xe5\xec\xe5\xed\xe8 "
    "\xe2\xfb\xef\xee\xeb\xed\xe5\xed\xe8\xff (";
// "Превышение объема памяти ("
inline const std::string MEM = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xec\xe0 "
    "\xef\xe0\xec\xff\xf2\xe8 (";
// "Превышение числа дескрипторов ("
inline const std::string HANDLES = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xf7\xe8\xf1\xeb\xe0 "
    "\xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2 (";
// "Превышение объектов GDI ("
inline const std::string GDI = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI (";
// "Повисание приложения ("
inline const std::string HUNG = "\xcf\xee\xe2\xe8\xf1\xe0\xed\xe8\xe5 \xef\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xff (";
// "Ошибка в параметре "
inline const std::string ERR_PRM = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";

std::string S(const TStr& s);
// True when the line is the prefix, a decimal number (to num) and the suffix.
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
// The event log's lines with the stamp "dd.MM.yyyy HH:mm:ss " checked and cut; a bad stamp or no final CR LF
// gives a "<bad: ...>" line.
std::vector<std::string> EvtLines(const std::string& path);
// The parser run over a whole command line; the expected codes in their order.
TRes Parse(TProcessMngr& m, const std::string& cmdLn);
std::vector<uint32_t> Codes(const TProcessMngr& m);
// The default expected codes and an event log file.
void Prepare(TProcessMngr& m, const std::string& cmdLn, const std::string& logFile);

// The trace lines of the given types written during its life, without stamps or ids; they stay queued
// until Lines() writes them out.
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
