// Helpers of the test programs: files, temp folders, waiting, processes, the tick source, the trace log's lines.
#pragma once
#include <windows.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "Lib/BTm.h"

namespace yt {
constexpr int kWaitMs = 15000;  // a condition that must come true: generous for a loaded 2-core machine
inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Raw handles: the product's owners trace, and a test's tap would see their lines.
inline std::string ReadAll(const std::string& path) {  // empty when the file cannot be read
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string s;
  char buf[65536];
  DWORD rd = 0;
  while (h != INVALID_HANDLE_VALUE && ReadFile(h, buf, sizeof buf, &rd, nullptr) && rd) s.append(buf, rd);
  return h == INVALID_HANDLE_VALUE || CloseHandle(h) ? s : "";
}

inline bool WriteAll(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD wr = 0;
  bool ok = h != INVALID_HANDLE_VALUE && WriteFile(h, data.data(), DWORD(data.size()), &wr, nullptr);
  return h != INVALID_HANDLE_VALUE && CloseHandle(h) && ok && wr == data.size();
}

inline std::vector<std::string> Lines(const std::string& s) {  // without their CR LF
  std::vector<std::string> out;
  for (size_t pos = 0, end = 0; pos < s.size(); pos = end + 2) {
    end = std::min(s.find("\r\n", pos), s.size());
    out.push_back(s.substr(pos, end - pos));
  }
  return out;
}

inline bool WaitFor(const std::function<bool()>& cond, int ms = kWaitMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (; !cond(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

// A fresh folder under the temp path, removed with its files at the end of the test.
class TTmpDir {
  std::string m_Dir;
 public:
  TTmpDir() {
    char tmp[MAX_PATH + 1];
    GetTempPathA(sizeof tmp, tmp);
    static int seq = 0;
    m_Dir = std::string(tmp) + "ydtest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++seq) + "\\";
    CreateDirectoryA(m_Dir.c_str(), nullptr);
  }
  ~TTmpDir() {
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((m_Dir + "*").c_str(), &fd);
    for (bool more = f != INVALID_HANDLE_VALUE; more; more = FindNextFileA(f, &fd))
      DeleteFileA((m_Dir + fd.cFileName).c_str());
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
    RemoveDirectoryA(m_Dir.c_str());
  }
  TTmpDir(const TTmpDir&) = delete;
  TTmpDir& operator=(const TTmpDir&) = delete;
  std::string operator()(const std::string& name) const { return m_Dir + name; }
  const std::string& Dir() const { return m_Dir; }
};

// The trace lines of the given types in the tap's life as "<type> <text>", kept until Text() (the log stays closed).
class TTraceTap {
  TTmpDir m_Dir;
  std::string m_File;
 public:
  explicit TTraceTap(std::initializer_list<const char*> tps = {"..."});
  ~TTraceTap();
  std::string Text();
  std::vector<std::string> Lines() { return yt::Lines(Text()); }
  int Count(const std::string& start, const std::string& part = "") {  // lines that begin with start, hold part
    int n = 0;
    for (const std::string& l : Lines()) n += !l.compare(0, start.size(), start) && l.find(part) != std::string::npos;
    return n;
  }
};

// The command line that starts this test program again, quoted, followed by args (a gtest filter and more).
inline std::string SelfCmd(const std::string& args) {
  char exe[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  return std::string("\"") + exe + "\" " + args;
}

// A process started for a test, terminated at the end of the test if it still runs.
struct TProc {
  PROCESS_INFORMATION pi = {};
  TProc() = default;
  TProc(const TProc&) = delete;
  TProc& operator=(const TProc&) = delete;
  ~TProc() {  // a process never started has null handles, which the calls refuse
    TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  bool Start(std::string cmdLn) {
    STARTUPINFOA si = {sizeof si};
    return CreateProcessA(nullptr, &cmdLn[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  }
  DWORD Wait(DWORD ms) {  // the exit status, or 0xFFFFFFFF while the process still runs after ms
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
};

// The product's tick source for the object's life: held at a reading (Set moves it), or running on from it.
class TTicksAt {
  static inline std::atomic<uint32_t> s_Ofs{0};
  static inline std::atomic<bool> s_Running{false};
  uint32_t (*m_Prev)();
 public:
  explicit TTicksAt(uint32_t now, bool running = false) : m_Prev(TickCnt) {
    s_Running = running;
    Set(now);
    TickCnt = []() -> uint32_t { return s_Running ? GetTickCount() + s_Ofs : s_Ofs.load(); };
  }
  ~TTicksAt() { TickCnt = m_Prev; }
  void Set(uint32_t now) { s_Ofs = s_Running ? now - GetTickCount() : now; }
};
}  // namespace yt
