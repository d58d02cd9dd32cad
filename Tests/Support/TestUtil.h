// Helpers of the test programs: files, temp folders, waiting, processes, the tick source, the trace log's lines.
#pragma once
#include <windows.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "Lib/BTm.h"

namespace yt {
constexpr int kWaitMs = 15000;  // a condition that must come true: generous for a loaded 2-core machine

std::string ReadAll(const std::string& path);  // empty when the file cannot be read
bool WriteAll(const std::string& path, const std::string& data);
inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::vector<std::string> Lines(const std::string& text);  // without their CR LF

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
  TTmpDir();
  ~TTmpDir();
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
  int Count(const std::string& start, const std::string& part = "");  // lines that begin with start, hold part
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
  ~TProc() {
    if (!pi.hProcess) return;
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
  static uint32_t Read() { return s_Running ? GetTickCount() + s_Ofs : s_Ofs.load(); }
  static inline std::atomic<uint32_t> s_Ofs{0};
  static inline std::atomic<bool> s_Running{false};
  uint32_t (*m_Prev)();
 public:
  explicit TTicksAt(uint32_t now, bool running = false) : m_Prev(TickCnt) {
    s_Running = running;
    Set(now);
    TickCnt = Read;
  }
  ~TTicksAt() { TickCnt = m_Prev; }
  void Set(uint32_t now) { s_Ofs = s_Running ? now - GetTickCount() : now; }
};
}  // namespace yt
