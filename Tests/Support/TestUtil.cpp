#include "TestUtil.h"
#include <gtest/gtest.h>
#include "Lib/Thrd.h"
#include "Log/Log.h"

namespace yt {
static constexpr uint32_t kNoWriteOut = 1000000;  // lines and seconds: nothing is written out before Text()

std::string ReadAll(const std::string& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  THandle h(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string s;
  char buf[65536];
  DWORD rd = 0;
  while (!h.IsNone() && ReadFile(h.Get(), buf, sizeof buf, &rd, nullptr) && rd) s.append(buf, rd);
  return s;
}

bool WriteAll(const std::string& path, const std::string& data) {
  THandle h(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD wr = 0;
  bool ok = !h.IsNone() && WriteFile(h.Get(), data.data(), DWORD(data.size()), &wr, nullptr) && wr == data.size();
  return ok && h.Close() == 0;
}

std::vector<std::string> Lines(const std::string& s) {
  std::vector<std::string> out;
  for (size_t pos = 0; pos < s.size();) {
    size_t end = s.find("\r\n", pos);
    if (end == std::string::npos) end = s.size();
    out.push_back(s.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}

TTmpDir::TTmpDir() {
  char tmp[MAX_PATH + 1];
  GetTempPathA(sizeof tmp, tmp);
  static int seq = 0;
  m_Dir = std::string(tmp) + "ydtest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++seq) + "\\";
  CreateDirectoryA(m_Dir.c_str(), nullptr);
}

TTmpDir::~TTmpDir() {
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((m_Dir + "*").c_str(), &fd);
  for (bool more = f != INVALID_HANDLE_VALUE; more; more = FindNextFileA(f, &fd))
    DeleteFileA((m_Dir + fd.cFileName).c_str());
  if (f != INVALID_HANDLE_VALUE) FindClose(f);
  RemoveDirectoryA(m_Dir.c_str());
}

TTraceTap::TTraceTap(std::initializer_list<const char*> tps) : m_File(m_Dir("trace.log")) {
  TLogLock lk(Log(), kWaitMs);
  TLogPrms& p = Log().Prms();
  p.SetDflts();
  Log().SetCurFileNm("");
  Log().Flush();  // the empty filter drops what was queued before
  p.SetTmFrmt("");
  p.SetPidOn(false);
  p.SetTidOn(false);
  p.SetFlshLns(kNoWriteOut);
  p.SetFlshSec(kNoWriteOut);
  for (const char* tp : tps) p.AddTp(tp, "");
}

TTraceTap::~TTraceTap() {
  TLogLock lk(Log(), kWaitMs);
  Log().Prms().SetDflts();
  Log().SetCurFileNm("");
}

std::string TTraceTap::Text() {
  TLogLock lk(Log(), kWaitMs);
  EXPECT_EQ(lk.Res(), 0u);
  Log().SetCurFileNm(m_File.c_str());
  EXPECT_EQ(Log().Flush(), 0u);
  return ReadAll(m_File);
}

int TTraceTap::Count(const std::string& start, const std::string& part) {
  int n = 0;
  for (const std::string& l : Lines()) n += !l.compare(0, start.size(), start) && l.find(part) != std::string::npos;
  return n;
}
}  // namespace yt
