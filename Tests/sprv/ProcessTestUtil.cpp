// Shared pieces of the supervisor's tests.
#include "ProcessTestUtil.h"
#include <fstream>
#include <iterator>
#include <regex>
#include "Log/Log.h"

namespace sprvtest {

long long NumBetween(const std::string& line, const std::string& prefix, const std::string& suffix) {
  size_t p = prefix.size(), n = line.size() - p - suffix.size();
  bool ok = line.size() > p + suffix.size() && line.rfind(prefix, 0) == 0 && line.substr(p + n) == suffix &&
            line.find_first_not_of("0123456789", p) == p + n;
  return ok ? std::stoll(line.substr(p, n)) : -1;
}

std::string Child(const char* name) { return std::string("\"") + YD_BIN_DIR "\\children\\" + name + ".exe\""; }

TTmp::TTmp(const char* tag) {
  char dir[MAX_PATH], file[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  GetTempFileNameA(dir, tag, 0, file);
  Path = file;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

static std::vector<std::string> CrLfLines(const std::string& all) {
  std::vector<std::string> lines;
  for (size_t pos = 0, end; pos < all.size(); pos = end + 2) {
    end = std::min(all.find("\r\n", pos), all.size());
    lines.push_back(all.substr(pos, end - pos));
  }
  return lines;
}

std::vector<std::string> EvtLines(const std::string& path) {
  std::string all = ReadFile(path);
  std::vector<std::string> lines;
  if (!all.empty() && all.compare(all.size() - 2, 2, "\r\n") != 0) lines.push_back("<bad: no CR LF at the end>");
  static const std::regex stamp("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d ([\\s\\S]*)");
  std::smatch m;
  for (const std::string& l : CrLfLines(all))
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

// Plain lines of the given types to the file; an empty filter first, so that the write-out drops what
// earlier tests queued. No file: only the write-out.
static void TraceTo(const char* file, std::initializer_list<const char*> tps) {
  TLog& l = Log();
  l.Lock(LOG_WAIT_WRITE);
  if (!file) return l.Flush(), l.Unlock();
  l.Prms().SetDflts();
  l.Flush();
  if (*file) l.Prms().SetTmFrmt(""), l.Prms().SetPidOn(false), l.Prms().SetTidOn(false);
  for (const char* tp : tps) l.Prms().AddTp(tp, "");
  l.SetCurFileNm(file);
  l.Unlock();
}

TTraceCapture::TTraceCapture(std::initializer_list<const char*> tps) { TraceTo(File.Path.c_str(), tps); }
TTraceCapture::~TTraceCapture() { TraceTo("", {}); }
std::vector<std::string> TTraceCapture::Lines() { return TraceTo(nullptr, {}), CrLfLines(ReadFile(File.Path)); }

}  // namespace sprvtest
