// Helpers of the log tests: the shared file and folder helpers, a write that must succeed.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "TestUtil.h"

namespace logtest {

using yt::Exists;
using yt::Lines;
using yt::ReadAll;
using yt::TTmpDir;
using yt::WaitFor;

inline void WriteAll(const std::string& path, const std::string& data) {
  ASSERT_TRUE(yt::WriteAll(path, data)) << path;
}

// Registers the test LogChild.<name>, whose body runs only in a process started with flag on its command line
// (a helper process of another test, started with --gtest_filter=LogChild.<name>). True when registered.
inline bool RegisterChild(const char* flag, const char* name, void (*body)()) {
  if (!strstr(GetCommandLineA(), flag)) return false;
  struct T : testing::Test {
    explicit T(void (*b)()) : B(b) {}
    void TestBody() override { B(); }
    void (*B)();
  };
  testing::RegisterTest("LogChild", name, nullptr, nullptr, __FILE__, __LINE__,
                        [body]() -> testing::Test* { return new T(body); });
  return true;
}

}  // namespace logtest
