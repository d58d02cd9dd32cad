// Several processes appending to one log file at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "Log/LogFile.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

const char kFlag[] = "--log-child=";
constexpr DWORD kChildWaitMs = 180000;  // thousands of lines with a write-out each: slow under a loaded Wine

std::string Filler(int seq) { return std::string(size_t(10 + seq % 57), char('a' + seq % 26)); }

HANDLE StartChild(int tag, int lines, const std::string& file) {
  char exe[MAX_PATH + 1];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string cl = std::string("\"") + exe + "\" --gtest_filter=LogChild.Writer \"" + kFlag + std::to_string(tag) +
                   "," + std::to_string(lines) + "," + file + "\"";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cl[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

}  // namespace

// Runs only as a writer process started by LogProc.ProcessesAppend: "--log-child=<tag>,<lines>,<file>".
// Writers 0 and 1 write out in their own thread (every line, or a few at a time), writer 2 from the writer
// thread of a trace log; each reads its parameters from <file><tag>.wli.
TEST(LogChild, Writer) {
  const char* p = strstr(GetCommandLineA(), kFlag);
  int tag = 0, lines = 0;
  char file[MAX_PATH + 1] = {};
  if (!p || sscanf(p + sizeof kFlag - 1, "%d,%d,%260[^\"]", &tag, &lines, file) != 3)
    GTEST_SKIP() << "the writer half of LogProc.ProcessesAppend";
  std::string wli = file + std::to_string(tag) + ".wli";
  std::unique_ptr<TWliLog> l(tag == 2 ? new TAsyncLog(wli.c_str(), file) : new TWliLog(wli.c_str(), file));
  ASSERT_EQ(l->Open(), 0u);
  for (int i = 0; i < lines; ++i) ASSERT_EQ(l->Write("WRT", "%d %d %s", tag, i, Filler(i).c_str()), 0u);
  EXPECT_EQ(l->Close(), 0u);
  EXPECT_EQ(l->PendCnt(), 0u);
}

TEST(LogProc, ProcessesAppend) {
  TTmpDir d;
  std::string f = d("shared.log");
  const int kLines = 1500, kWriters = 3;
  const char* flsh[kWriters] = {"FlshSec=60\r\nFlshLns=0", "FlshSec=60\r\nFlshLns=3", "FlshSec=0\r\nFlshLns=2"};
  HANDLE p[kWriters];
  for (int i = 0; i < kWriters; ++i) {
    WriteAll(f + std::to_string(i) + ".wli",
             "[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\n" + std::string(flsh[i]) + "\r\n[Evts]\r\n...=");
    ASSERT_NE(p[i] = StartChild(i, kLines, f), nullptr);
  }
  for (int i = 0; i < kWriters; ++i) {
    EXPECT_EQ(WaitForSingleObject(p[i], kChildWaitMs), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(p[i], &code);
    CloseHandle(p[i]);
    EXPECT_EQ(code, 0u) << "writer " << i;
  }
  std::string all = ReadAll(f);
  ASSERT_TRUE(all.size() > 2 && all.substr(all.size() - 2) == "\r\n");
  std::vector<std::string> lines = Lines(all);
  ExpectEachOnceInOrder(lines, "WRT %d %d", kWriters, kLines);
  for (const std::string& s : lines) {
    int t = 0, i = 0;
    sscanf(s.c_str(), "WRT %d %d", &t, &i);
    ASSERT_EQ(s, "WRT " + std::to_string(t) + " " + std::to_string(i) + " " + Filler(i)) << "damaged line";
  }
}
