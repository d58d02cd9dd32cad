// Shared pieces of the supervisor's tests.
#include "ProcessTestUtil.h"
#include <cctype>
#include "Log/Log.h"
#include "sprv/CmdLn.h"

namespace sprvtest {

std::string S(const TStr& s) { return s.Str() ? s.Str() : ""; }

bool NumBetween(const std::string& line, const std::string& prefix, const std::string& suffix,
                unsigned long long* num) {
  size_t n = line.size() - prefix.size() - suffix.size();
  if (line.size() <= prefix.size() + suffix.size() || line.rfind(prefix, 0) != 0 ||
      line.compare(prefix.size() + n, std::string::npos, suffix) != 0 ||
      line.find_first_not_of("0123456789", prefix.size()) != prefix.size() + n)
    return false;
  if (num) *num = std::stoull(line.substr(prefix.size(), n));
  return true;
}

std::string Child(const char* name) { return std::string("\"") + YD_BIN_DIR "\\children\\" + name + ".exe\""; }

TTmp::TTmp(const char* tag) {
  static unsigned seq = 0;
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  Path = std::string(dir) + "yd_sprv_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
         std::to_string(GetTickCount()) + "_" + std::to_string(++seq) + ".log";
  DeleteFileA(Path.c_str());
}

std::string ReadFile(const std::string& path) {
  std::string out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(h, buf, sizeof(buf), &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(h);
  return out;
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
  static const char stamp[] = "dd.dd.dddd dd:dd:dd ";  // d: a digit
  for (const std::string& l : CrLfLines(all)) {
    bool ok = l.size() >= sizeof(stamp) - 1;
    for (size_t i = 0; ok && i + 1 < sizeof(stamp); ++i)
      ok = stamp[i] == 'd' ? std::isdigit((unsigned char)l[i]) != 0 : l[i] == stamp[i];
    lines.push_back(ok ? l.substr(sizeof(stamp) - 1) : "<bad: " + l + ">");
  }
  return lines;
}

TRes Parse(TProcessMngr& m, const std::string& cmdLn) { return TCmdLnToPmPrsr(&m).Prs(cmdLn.c_str()); }

std::vector<uint32_t> Codes(const TProcessMngr& m) {
  std::vector<uint32_t> v;
  for (TQueueCIter<uint32_t> it(m.RetCodes()); !it.End(); it.Next()) v.push_back(*it.Cur());
  return v;
}

void Prepare(TProcessMngr& m, const std::string& cmdLn, const std::string& logFile) {
  m.SetCmdLn(TStr(cmdLn.c_str()));
  m.SetLogFile(TStr(logFile.c_str()));
  for (uint32_t c : {0u, 1223u, 1152u}) m.AddRetCode(c);
}

// Plain lines of the given types to the file; an empty filter first, so that the write-out drops what
// earlier tests queued.
static void TraceTo(const char* file, std::initializer_list<const char*> tps) {
  TLog& l = Log();
  l.Lock(LOG_WAIT_WRITE);
  l.Prms().SetDflts();
  l.Flush();
  if (*file) l.Prms().SetTmFrmt(""), l.Prms().SetPidOn(false), l.Prms().SetTidOn(false);
  for (const char* tp : tps) l.Prms().AddTp(tp, "");
  l.SetCurFileNm(file);
  l.Unlock();
}

TTraceCapture::TTraceCapture(std::initializer_list<const char*> tps) : m_File("trace") {
  TraceTo(m_File.Path.c_str(), tps);
}

TTraceCapture::~TTraceCapture() { TraceTo("", {}); }

std::vector<std::string> TTraceCapture::Lines() {
  TLog& l = Log();
  l.Lock(LOG_WAIT_WRITE);
  l.Flush();
  l.Unlock();
  return CrLfLines(ReadFile(m_File.Path));
}

}  // namespace sprvtest
