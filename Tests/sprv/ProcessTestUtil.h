// Shared pieces of the supervisor's tests: event texts (code page 1251), child paths, event and trace logs.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "sprv/CmdLn.h"
#include "sprv/ProcessMngr.h"
#include "TestUtil.h"

namespace sprvtest {

inline const std::string START = "\xc7\xe0\xef\xf3\xf1\xea.";  // "Запуск."
inline const std::string START_ERR = "\xce\xf8\xe8\xe1\xea\xe0 \xe7\xe0\xef\xf3\xf1\xea\xe0. ";  // "Ошибка запуска. "
inline const std::string END = "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5";  // "Завершение"
inline const std::string EXITED = END + ": exit code=", EXITED_CHK = END + ": \xea\xee\xe4 ";  // ": код "
inline const std::string ATTEMPTS = END + " \xef\xee \xf7\xe8\xf1\xeb\xf3 \xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xee\xe2 ";  // " по числу перезапусков "
inline const std::string FORCED = "\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5";  // "Принудительное завершение"
inline const std::string STOPPING = FORCED + "...", STOPPED = FORCED + " \xe2\xfb\xef\xee\xeb\xed\xe5\xed\xee.";  // " выполнено."
inline const std::string CHK = "\xcf\xf0\xee\xe2\xe5\xf0\xea\xe0: ";  // "Проверка: "
inline const std::string OVER = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 ";  // "Превышение "
inline const std::string RUN_TM = OVER + "\xe2\xf0\xe5\xec\xe5\xed\xe8 \xe2\xfb\xef\xee\xeb\xed\xe5\xed\xe8\xff (";  // "времени выполнения ("
inline const std::string MEM = OVER + "\xee\xe1\xfa\xe5\xec\xe0 \xef\xe0\xec\xff\xf2\xe8 (";  // "объема памяти ("
inline const std::string HANDLES = OVER + "\xf7\xe8\xf1\xeb\xe0 \xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2 (";  // "числа дескрипторов ("
inline const std::string GDI = OVER + "\xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI (";  // "объектов GDI ("
inline const std::string HUNG = "\xcf\xee\xe2\xe8\xf1\xe0\xed\xe8\xe5 \xef\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xff (";  // "Повисание приложения ("
inline const std::string ERR_PRM = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";  // "Ошибка в параметре "
inline const std::vector<uint32_t> DFLT = {0, 1223, 1152};  // the expected codes when rc is not given

inline std::string S(const TStr& s) { return s.Str() ? s.Str() : ""; }
// The number between prefix and suffix of the line, or -1 when the line is not of that form.
long long NumBetween(const std::string& line, const std::string& prefix, const std::string& suffix);
// A child program beside the tests, quoted: "...\children\ch_exit.exe".
std::string Child(const char* name);
// A fresh empty file in the temporary folder, deleted when the object goes.
struct TTmp {
  std::string Path;
  explicit TTmp(const char* tag);
  ~TTmp() { DeleteFileA(Path.c_str()); }
};
// The event log's lines with the stamp "dd.MM.yyyy HH:mm:ss " checked and cut; a bad stamp or no final CR LF
// gives a "<bad: ...>" line.
std::vector<std::string> EvtLines(const std::string& path);
// The parser run over a whole command line; the expected codes in their order.
inline TRes Parse(TProcessMngr& m, const std::string& cmdLn) { return TCmdLnToPmPrsr(&m).Prs(cmdLn.c_str()); }
std::vector<uint32_t> Codes(const TProcessMngr& m);
// The command line, an event log file and the given expected codes.
void Prepare(TProcessMngr& m, const std::string& cmdLn, const std::string& logFile,
             const std::vector<uint32_t>& codes = DFLT);

// The supervisor's trace lines (or those of the given types) written during its life.
struct TTraceCapture : yt::TTraceTap {
  TTraceCapture(std::initializer_list<const char*> tps = {"WP.", "SP."}) : TTraceTap(tps) {}
};

}  // namespace sprvtest
