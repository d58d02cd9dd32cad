// Helpers shared by the test programs: whole files, a temp folder per test, waiting for a condition, and the
// process trace log's lines captured without opening it.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace yt {

constexpr int kWaitMs = 15000;  // a condition that must come true: generous for a loaded 2-core machine

std::string ReadAll(const std::string& path);  // empty when the file cannot be read
bool WriteAll(const std::string& path, const std::string& data);
bool Exists(const std::string& path);
bool WaitFor(const std::function<bool()>& cond, int ms = kWaitMs);
std::vector<std::string> Lines(const std::string& text);  // the lines of a text, without their CR LF

// A fresh folder under the temp path, removed with its files at the end of the test.
class TTmpDir {
 public:
  TTmpDir();
  ~TTmpDir();
  TTmpDir(const TTmpDir&) = delete;
  TTmpDir& operator=(const TTmpDir&) = delete;
  std::string operator()(const std::string& name) const { return m_Dir + name; }
  const std::string& Dir() const { return m_Dir; }

 private:
  std::string m_Dir;
};

// The process trace log's lines of the given type patterns written during the tap's life, as "<type> <text>".
// Lines queued before it are dropped. The log is not opened, so no writer thread takes the lines away; they
// stay queued until Text() writes them to a file of the tap's own.
class TTraceTap {
 public:
  explicit TTraceTap(std::initializer_list<const char*> tps = {"..."});
  ~TTraceTap();
  TTraceTap(const TTraceTap&) = delete;
  TTraceTap& operator=(const TTraceTap&) = delete;
  std::string Text();
  std::vector<std::string> Lines() { return yt::Lines(Text()); }
  int Count(const std::string& start, const std::string& part = "");  // lines that begin with start, hold part

 private:
  TTmpDir m_Dir;
  std::string m_File;
};

// The command line that starts this test program again, quoted, followed by args (a gtest filter and more).
std::string SelfCmd(const std::string& args);

// A process started for a test, terminated at the end of the test if it still runs.
struct TProc {
  PROCESS_INFORMATION pi = {};
  TProc() {}
  ~TProc();
  TProc(const TProc&) = delete;
  TProc& operator=(const TProc&) = delete;
  bool Start(std::string cmdLn);
  // The exit status, or 0xFFFFFFFF while the process is still running after ms.
  DWORD Wait(DWORD ms);
};

// The tick source of the product set to a given reading for the object's life: held there (Set moves it), or,
// with running true, going on from there with the system's ticks.
class TTicksAt {
 public:
  explicit TTicksAt(uint32_t now, bool running = false);
  ~TTicksAt();
  TTicksAt(const TTicksAt&) = delete;
  TTicksAt& operator=(const TTicksAt&) = delete;
  void Set(uint32_t now);

 private:
  static uint32_t Read();
  static std::atomic<uint32_t> s_Ofs;
  static std::atomic<bool> s_Running;
  uint32_t (*m_Prev)();
};

}  // namespace yt
