// The child process wrapper against real child programs.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/Process.h"

using namespace sprvtest;

TEST(Process, EmptyObjectClosesToNothing) {
  WTProcess p;
  EXPECT_EQ(0u, p.Close());
  EXPECT_EQ(nullptr, p.PrcInfo().hProcess);
  EXPECT_EQ(0u, p.PrcInfo().dwProcessId);
  EXPECT_EQ(0u, p.PrcInfo().dwThreadId);
}

TEST(Process, MissingProgramGivesFileNotFoundAndAnSpBangLine) {
  TTraceCapture trace;
  WTProcess p;
  EXPECT_EQ(2u, p.Crt(TStr("Z:\\no\\such\\dir\\nope.exe"), nullptr, 0));
  EXPECT_EQ(nullptr, p.PrcInfo().hProcess);
  std::vector<std::string> lines = trace.Lines();
  ASSERT_EQ(1u, lines.size());
  char obj[16];
  snprintf(obj, sizeof(obj), "%#010x", (unsigned)(uintptr_t)&p);
  EXPECT_EQ(std::string("SP! WTProcess::Crt(cmdln='Z:\\no\\such\\dir\\nope.exe',flags=0) [this=") + obj +
                "] end (PID=0,TID=0,rc=2).",
            lines[0]);
}

// The 32-bit exit code is read on the Windows side; a shell would see only its low byte.
TEST(Process, RunsWaitsAndReadsTheWholeExitCode) {
  TTraceCapture trace;
  WTProcess p;
  std::string cmd = Child("ch_exit") + " 0xC0000005 100";
  ASSERT_EQ(0u, p.Crt(TStr(cmd.c_str()), nullptr, 0));
  EXPECT_NE(0u, p.PrcInfo().dwProcessId);
  EXPECT_EQ((uint32_t)WAIT_TIMEOUT, p.Wait(0));
  EXPECT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(10000));
  EXPECT_EQ(0xC0000005u, p.GetExitCode());
  // Terminating an ended child (Windows answers with an error, Wine with success) keeps its exit code.
  p.Terminate(0);
  EXPECT_EQ(0xC0000005u, p.GetExitCode());
  std::vector<std::string> lines = trace.Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(0u, lines[0].find("SPT WTProcess::Crt(cmdln='" + cmd + "',flags=0) [this=0x")) << lines[0];
  EXPECT_NE(std::string::npos, lines[0].find("(PID=" + std::to_string(p.PrcInfo().dwProcessId) +
                                             ",TID=" + std::to_string(p.PrcInfo().dwThreadId) + ",rc=0)."));
  p.Close();
  EXPECT_EQ(nullptr, p.PrcInfo().hProcess);
  EXPECT_EQ(nullptr, p.PrcInfo().hThread);
  EXPECT_EQ(0xFFFFFFFFu, p.PrcInfo().dwProcessId);
  EXPECT_EQ(0xFFFFFFFFu, p.PrcInfo().dwThreadId);
}

TEST(Process, MemInfoTerminateAndThreadMessage) {
  WTProcess p;
  ASSERT_EQ(0u, p.Crt(TStr((Child("ch_mem") + " 32 -1").c_str()), nullptr, 0));
  PROCESS_MEMORY_COUNTERS pmc;
  EXPECT_EQ(72u, sizeof(pmc));
  EXPECT_EQ(0u, p.MemInfo(pmc));
  EXPECT_EQ(sizeof(pmc), pmc.cb);
  EXPECT_GT(pmc.WorkingSetSize, 0u);
  // A console child has a message queue only once it asks for one: posting may fail, never crash.
  p.PostThreadMsg(WM_NULL, 0, 0);
  EXPECT_EQ(0u, p.Terminate(3));
  EXPECT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(10000));
  EXPECT_EQ(3u, p.GetExitCode());
}

// A quoted program path with blanks reaches the system unchanged.
TEST(Process, QuotedPathWithBlanks) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  std::string sub = std::string(dir) + "yd sprv " + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(sub.c_str(), nullptr);
  std::string exe = sub + "\\ch exit.exe";
  std::string src = Child("ch_exit");
  ASSERT_TRUE(CopyFileA(src.substr(1, src.size() - 2).c_str(), exe.c_str(), FALSE));
  {
    WTProcess p;
    ASSERT_EQ(0u, p.Crt(TStr(("\"" + exe + "\" 42").c_str()), nullptr, 0));
    EXPECT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(10000));
    EXPECT_EQ(42u, p.GetExitCode());
  }
  DeleteFileA(exe.c_str());
  RemoveDirectoryA(sub.c_str());
}
