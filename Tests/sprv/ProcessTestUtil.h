// Shared pieces of the supervisor's tests: event texts (code page 1251), the child, logs, probes into the seams.
#pragma once
#include <regex>
#include "Platform.h"
#include "TestUtil.h"
#include "sprv/CmdLn.h"
#include "sprv/Process.h"
#include "sprv/ProcessMngr.h"

typedef std::vector<std::string> TLines;
// The code page 1251 bytes of a UTF-8 text, so that the Russian texts below read as written.
inline std::string Cp1251(const char* utf8) {
  wchar_t w[256];
  char a[256];
  const bool ok = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, w, 256) > 0;
  return ok && WideCharToMultiByte(1251, 0, w, -1, a, sizeof a, nullptr, nullptr) > 0 ? a : "<not converted>";
}
inline const std::string START = Cp1251("Запуск."), START_ERR = Cp1251("Ошибка запуска. "), END = Cp1251("Завершение");
inline const std::string EXITED = END + ": exit code=", EXITED_CHK = END + Cp1251(": код ");
inline const std::string ATTEMPTS = END + Cp1251(" по числу перезапусков "), CHK = Cp1251("Проверка: ");
inline const std::string STOPPING = Cp1251("Принудительное завершение...");
inline const std::string STOPPED = Cp1251("Принудительное завершение выполнено.");
inline const std::string RUN_TM = Cp1251("Превышение времени выполнения ("), MEM = Cp1251("Превышение объема памяти (");
inline const std::string HANDLES = Cp1251("Превышение числа дескрипторов ("), GDI = Cp1251("Превышение объектов GDI (");
inline const std::string HUNG = Cp1251("Повисание приложения ("), ERR_PRM = Cp1251("Ошибка в параметре ");
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
inline TRes FromCmdLn(TProcessMngr& m, const std::string& a) { return TCmdLnToPmPrsr(&m).Prs(("y " + a).c_str()); }
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
