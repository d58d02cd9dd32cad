// Shared pieces of the supervisor's tests.
#include "ProcessTestUtil.h"
#include <cstring>
#include <cctype>

namespace sprvtest {

const char* const START = "\xc7\xe0\xef\xf3\xf1\xea.";
const char* const START_ERR = "\xce\xf8\xe8\xe1\xea\xe0 \xe7\xe0\xef\xf3\xf1\xea\xe0. ";
const char* const START_CMNT = "\xce\xf8\xe8\xe1\xea\xe0 \xe7\xe0\xef\xf3\xf1\xea\xe0";
const char* const EXITED = "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: exit code=";
const char* const EXITED_CHK = "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: \xea\xee\xe4 ";
const char* const STOPPING = "\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5...";
const char* const STOPPED =
    "\xcf\xf0\xe8\xed\xf3\xe4\xe8\xf2\xe5\xeb\xfc\xed\xee\xe5 \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5 "
    "\xe2\xfb\xef\xee\xeb\xed\xe5\xed\xee.";
const char* const ATTEMPTS =
    "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5 \xef\xee \xf7\xe8\xf1\xeb\xf3 "
    "\xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xee\xe2 ";
const char* const CHK = "\xcf\xf0\xee\xe2\xe5\xf0\xea\xe0: ";
const char* const RUN_TM =
    "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xe2\xf0\xe5\xec\xe5\xed\xe8 \xe2\xfb\xef\xee\xeb\xed\xe5\xed\xe8\xff (";
const char* const MEM = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xec\xe0 \xef\xe0\xec\xff\xf2\xe8 (";
const char* const HANDLES =
    "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xf7\xe8\xf1\xeb\xe0 \xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2 (";
const char* const GDI = "\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI (";
const char* const HUNG = "\xcf\xee\xe2\xe8\xf1\xe0\xed\xe8\xe5 \xef\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xff (";

bool NumBetween(const std::string& line, const std::string& prefix, const std::string& suffix,
                unsigned long long* num) {
  if (line.size() <= prefix.size() + suffix.size() || line.compare(0, prefix.size(), prefix) != 0 ||
      line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  std::string digits = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  if (num) *num = std::stoull(digits);
  return true;
}

std::string Child(const char* name) { return std::string("\"") + YD_BIN_DIR "\\children\\" + name + ".exe\""; }

std::string TmpFile(const char* tag) {
  static unsigned seq = 0;
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  std::string p = std::string(dir) + "yd_sprv_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                  std::to_string(GetTickCount()) + "_" + std::to_string(++seq) + ".log";
  DeleteFileA(p.c_str());
  return p;
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

std::vector<std::string> EvtLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string all = ReadFile(path);
  if (!all.empty() && all.compare(all.size() - 2, 2, "\r\n") != 0) lines.push_back("<bad: no CR LF at the end>");
  // "dd.MM.yyyy HH:mm:ss ": d stands for a digit, other characters for themselves.
  static const char stamp[] = "dd.dd.dddd dd:dd:dd ";
  auto stamped = [](const std::string& l) {
    if (l.size() < sizeof(stamp) - 1) return false;
    for (size_t i = 0; i + 1 < sizeof(stamp); ++i)
      if (stamp[i] == 'd' ? !std::isdigit((unsigned char)l[i]) : l[i] != stamp[i]) return false;
    return true;
  };
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find("\r\n", pos);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(pos, end - pos);
    if (stamped(line))
      lines.push_back(line.substr(20));
    else
      lines.push_back("<bad: " + line + ">");
    pos = end + 2;
  }
  return lines;
}

void Prepare(TProcessMngr& m, const std::string& cmdLn, const std::string& logFile) {
  m.SetCmdLn(TStr(cmdLn.c_str()));
  m.SetLogFile(TStr(logFile.c_str()));
  for (uint32_t c : {0u, 1223u, 1152u}) m.AddRetCode(c);
}

TTraceCapture::TTraceCapture() : m_File(TmpFile("trace")) {
  TLog& l = Log();
  l.Lock(LOG_WAIT_WRITE);
  l.Prms().SetDflts();  // an empty filter: the write-out drops what earlier tests queued
  l.Flush();
  l.Prms().SetTmFrmt("");
  l.Prms().SetPidOn(false);
  l.Prms().SetTidOn(false);
  l.Prms().AddTp("WP.", "");
  l.Prms().AddTp("SP.", "");
  l.SetCurFileNm(m_File.c_str());
  l.Unlock();
}

TTraceCapture::~TTraceCapture() {
  TLog& l = Log();
  l.Lock(LOG_WAIT_WRITE);
  l.Prms().SetDflts();
  l.Flush();
  l.SetCurFileNm("");
  l.Unlock();
  DeleteFileA(m_File.c_str());
}

std::vector<std::string> TTraceCapture::Lines() {
  TLog& l = Log();
  l.Lock(LOG_WAIT_WRITE);
  l.Flush();
  l.Unlock();
  std::vector<std::string> lines;
  std::string all = ReadFile(m_File);
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find("\r\n", pos);
    if (end == std::string::npos) end = all.size();
    lines.push_back(all.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

bool TGivenMeasures::WrkSet(const WTProcess&, uint64_t& bytes) {
  ++WsAsked;
  bytes = Ws;
  return WsOk;
}
uint32_t TGivenMeasures::Handles(const WTProcess&) {
  ++HandlesAsked;
  return HandleCnt;
}
uint32_t TGivenMeasures::GdiObjs(const WTProcess&) {
  ++GdiAsked;
  return GdiCnt;
}
bool TGivenMeasures::HungWnd(const WTProcess&) {
  bool h = Hung.empty() ? false : Hung[std::min<size_t>(HungAsked, Hung.size() - 1)];
  ++HungAsked;
  return h;
}

}  // namespace sprvtest
