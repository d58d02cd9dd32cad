// Shared pieces of the supervisor's tests.
#include "ProcessTestUtil.h"
#include <regex>
#include "Platform.h"

namespace sprvtest {

long long NumBetween(const std::string& line, const std::string& prefix, const std::string& suffix) {
  size_t p = prefix.size(), n = line.size() - p - suffix.size();
  bool ok = line.size() > p + suffix.size() && line.rfind(prefix, 0) == 0 && line.substr(p + n) == suffix &&
            line.find_first_not_of("0123456789", p) == p + n;
  return ok ? std::stoll(line.substr(p, n)) : -1;
}

std::string Child(const char* name) { return "\"" + yt::BinDir() + "\\children\\" + name + ".exe\""; }

TTmp::TTmp(const char* tag) {
  char dir[MAX_PATH], file[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  GetTempFileNameA(dir, tag, 0, file);
  Path = file;
}

std::vector<std::string> EvtLines(const std::string& path) {
  std::string all = yt::ReadAll(path);
  std::vector<std::string> lines;
  if (!all.empty() && all.compare(all.size() - 2, 2, "\r\n") != 0) lines.push_back("<bad: no CR LF at the end>");
  static const std::regex stamp("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d ([\\s\\S]*)");
  std::smatch m;
  for (const std::string& l : yt::Lines(all))
    lines.push_back(std::regex_match(l, m, stamp) ? m.str(1) : "<bad: " + l + ">");
  return lines;
}

std::vector<uint32_t> Codes(const TProcessMngr& m) {
  std::vector<uint32_t> v;
  for (TQueueCIter<uint32_t> it(m.RetCodes()); !it.End(); it.Next()) v.push_back(*it.Cur());
  return v;
}

void Prepare(TProcessMngr& m, const std::string& cmdLn, const std::string& logFile,
             const std::vector<uint32_t>& codes) {
  m.SetCmdLn(TStr(cmdLn.c_str()));
  m.SetLogFile(TStr(logFile.c_str()));
  for (uint32_t c : codes) m.AddRetCode(c);
}

}  // namespace sprvtest
