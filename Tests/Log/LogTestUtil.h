// Helpers of the log tests: a temp folder per test, whole-file reads and writes, waiting for a condition.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace logtest {

constexpr int kWaitMs = 15000;  // a condition that must come true: generous for a loaded 2-core machine

inline std::string ReadAll(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  std::string s;
  char buf[65536];
  DWORD rd = 0;
  while (h != INVALID_HANDLE_VALUE && ReadFile(h, buf, sizeof buf, &rd, nullptr) && rd) s.append(buf, rd);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return s;
}

inline void WriteAll(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD wr = 0;
  EXPECT_TRUE(WriteFile(h, data.data(), DWORD(data.size()), &wr, nullptr));
  CloseHandle(h);
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool WaitFor(const std::function<bool()>& cond) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  for (; !cond(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

// The lines of a file's text, without their "\r\n".
inline std::vector<std::string> Lines(const std::string& s) {
  std::vector<std::string> out;
  for (size_t pos = 0, e = 0; e != std::string::npos && pos < s.size(); pos = e + 2) {
    e = s.find("\r\n", pos);
    out.push_back(s.substr(pos, e == std::string::npos ? e : e - pos));
  }
  return out;
}

// A fresh folder under the temp path, removed with its files at the end of the test.
class TTmpDir {
 public:
  TTmpDir() {
    char tmp[MAX_PATH + 1], nm[64];
    GetTempPathA(sizeof tmp, tmp);
    static int seq = 0;
    snprintf(nm, sizeof nm, "ydlog_%lu_%d\\", GetCurrentProcessId(), ++seq);
    CreateDirectoryA((m_Dir = std::string(tmp) + nm).c_str(), nullptr);
  }
  ~TTmpDir() {
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((m_Dir + "*").c_str(), &fd);
    for (bool more = f != INVALID_HANDLE_VALUE; more; more = FindNextFileA(f, &fd))
      DeleteFileA((m_Dir + fd.cFileName).c_str());
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
    RemoveDirectoryA(m_Dir.c_str());
  }
  std::string operator()(const std::string& name) const { return m_Dir + name; }
  const std::string& Dir() const { return m_Dir; }

 private:
  std::string m_Dir;
};

}  // namespace logtest
