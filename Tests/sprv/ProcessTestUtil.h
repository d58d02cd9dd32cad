// Shared pieces of the supervisor's tests: event texts (code page 1251), the child, logs, probes into the seams.
#pragma once
#include <regex>
#include "Platform.h"
#include "TestUtil.h"
#include "sprv/CmdLn.h"
#include "sprv/Process.h"
#include "sprv/ProcessMngr.h"

typedef std::vector<std::string> TLines;
// "Запуск.", "Ошибка запуска. ", "Завершение", ": код ", " по числу перезапусков ", "Принудительное завершение",
// " выполнено.", "Проверка: ", "Превышение ", "времени выполнения (", "объема памяти (", "числа дескрипторов (",
// "объектов GDI (", "Повисание приложения (", "Ошибка в параметре "
inline const std::string START = "\xc7\xe0\xef\xf3\xf1\xea.";
inline const std::string START_ERR = "\xce\xf8\xe8\xe1\xea\xe0 \xe7\xe0\xef\xf3\xf1\xea\xe0. ";
inline const std::string END = "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5";
inline const std::string EXITED = END + ": exit code=";
inline const std::string EXITED_CHK = END + ": \xea\xee\xe4 ";
inline const std::string ATTEMPTS =
    END + " \xef\xee \xf7\xe8\xf1\xeb\xf3 \xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xee\xe2 ";
inline const std::string FORCED =
    "\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5";
inline const std::string STOPPING = FORCED + "...";
inline const std::string STOPPED = FORCED + " \xe2\xfb\xef\xee\xeb\xed\xe5\xed\xee.";
inline const std::string CHK = "\xcf\xf0\xee\xe2\xe5\xf0\xea\xe0: ";
inline const std::string OVER = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 ";
inline const std::string RUN_TM = OVER + "\xe2\xf0\xe5\xec\xe5\xed\xe8 \xe2\xfb\xef\xee\xeb\xed\xe5\xed\xe8\xff (";
inline const std::string MEM = OVER + "\xee\xe1\xfa\xe5\xec\xe0 \xef\xe0\xec\xff\xf2\xe8 (";
inline const std::string HANDLES = OVER + "\xf7\xe8\xf1\xeb\xe0 \xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2 (";
inline const std::string GDI = OVER + "\xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI (";
inline const std::string HUNG = "\xcf\xee\xe2\xe8\xf1\xe0\xed\xe8\xe5 \xef\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xff (";
inline const std::string ERR_PRM = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";
inline const std::vector<uint32_t> DFLT = {0, 1223, 1152};  // the expected codes when rc is not given

inline std::string S(const TStr& s) { return s.Str() ? s.Str() : ""; }
// The number between prefix and suffix of the line, or -1 when the line is not of that form.
inline long long NumBetween(const std::string& l, const std::string& pre, const std::string& post) {
  if (l.size() <= pre.size() + post.size() || l.rfind(pre, 0) != 0) return -1;
  const std::string mid = l.substr(pre.size(), l.size() - pre.size() - post.size());
  bool digits = mid.find_first_not_of("0123456789") == std::string::npos;
  return digits && l.compare(l.size() - post.size(), post.size(), post) == 0 ? std::stoll(mid) : -1;
}
inline std::string ChildPath(const char* name) { return yt::BinDir() + "\\children\\" + name + ".exe"; }
inline std::string Child(const std::string& args) { return "\"" + ChildPath("ch_exit") + "\" " + args; }
// The event log's lines with the stamp "dd.MM.yyyy HH:mm:ss " checked and cut; a bad stamp or no final CR LF
// gives a "<bad: ...>" line.
inline TLines EvtLines(const std::string& path) {
  std::string all = yt::ReadAll(path);
  TLines lines(!all.empty() && all.compare(all.size() - 2, 2, "\r\n") != 0, "<bad: no CR LF at the end>");
  static const std::regex stamp("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d ([\\s\\S]*)");
  std::smatch m;
  for (const std::string& l : yt::Lines(all))
    lines.push_back(std::regex_match(l, m, stamp) ? m.str(1) : "<bad: " + l + ">");
  return lines;
}
// Sets the supervisor up as ydsprv.exe does from its command line.
inline TRes FromCmdLn(TProcessMngr& m, const std::string& args) { return TCmdLnToPmPrsr(&m).Prs(("y " + args).c_str()); }
// The tests' way into the supervisor's seams and single steps, and to what a launch gave the system.
struct TProcessMngrProbe {
  TProcessMngr& M;
  void Measures(TMeasures* g) { M.SetMeasures(g); }
  void StopCalls(TStopCalls* c) { M.SetStopCalls(c); }
  void StartTicks(uint32_t t) { M.m_StartTicks = t; }
  uint32_t HungRow() const { return M.m_HungRow; }
  uint32_t ForceStop(WTProcess& p) { return M.ForceStop(p); }
  TRes Check(WTProcess& p) { return M.Check(p); }
  static bool InJob(const WTProcess& p) { return p.InJob(); }
  static DWORD SysFlags(const WTProcess& p) { return p.m_SysFlags; }
};
