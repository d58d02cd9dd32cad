// Helpers of the log tests: the shared file and folder helpers, a write that must succeed.
#pragma once
#include <gtest/gtest.h>

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

}  // namespace logtest
