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
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::string s;
  char buf[65536];
  DWORD rd = 0;
  while (ReadFile(h, buf, sizeof buf, &rd, nullptr) && rd) s.append(buf, rd);
  CloseHandle(h);
  return s;
}

inline void WriteAll(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD wr = 0;
  ASSERT_TRUE(WriteFile(h, data.data(), DWORD(data.size()), &wr, nullptr));
  CloseHandle(h);
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool WaitFor(const std::function<bool()>& cond, int ms = kWaitMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return cond();
}

inline std::vector<std::string> Lines(const std::string& s) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t e = s.find("\r\n", pos);
    if (e == std::string::npos) {
      out.push_back(s.substr(pos));
      break;
    }
    out.push_back(s.substr(pos, e - pos));
    pos = e + 2;
  }
  return out;
}

inline size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

inline std::string Hex(unsigned v) {
  char b[16];
  snprintf(b, sizeof b, "%#06x", v);
  return b;
}

// A fresh folder under the temp path, removed with its files at the end of the test.
class TTmpDir {
 public:
  TTmpDir() {
    char tmp[MAX_PATH + 1];
    GetTempPathA(sizeof tmp, tmp);
    static int seq = 0;
    const testing::TestInfo* ti = testing::UnitTest::GetInstance()->current_test_info();
    char nm[64];
    snprintf(nm, sizeof nm, "ydlog_%lu_%d_", GetCurrentProcessId(), ++seq);
    m_Dir = std::string(tmp) + nm + (ti ? ti->name() : "x");
    for (char& c : m_Dir)
      if (c == '/') c = '_';
    CreateDirectoryA(m_Dir.c_str(), nullptr);
    m_Dir += "\\";
  }
  ~TTmpDir() {
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((m_Dir + "*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
      do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((m_Dir + fd.cFileName).c_str());
      } while (FindNextFileA(f, &fd));
      FindClose(f);
    }
    RemoveDirectoryA(m_Dir.c_str());
  }
  std::string operator()(const std::string& name) const { return m_Dir + name; }
  const std::string& Dir() const { return m_Dir; }
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((m_Dir + "*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return out;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(fd.cFileName);
    } while (FindNextFileA(f, &fd));
    FindClose(f);
    return out;
  }

 private:
  std::string m_Dir;
};

}  // namespace logtest
