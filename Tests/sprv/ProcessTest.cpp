// The child process wrapper: the error mode and the creation flags children get, and failure codes in the
// trace lines taken from the failing call.
#include <gtest/gtest.h>
#include <cstdlib>
#include "Log/Log.h"
#include "ProcessTestUtil.h"
#include "sprv/Process.h"

using namespace sprvtest;

namespace {

const char* const FRESH_ENV = "YD_TST_FRESH";  // "<case> <result file>": the case a fresh copy of this program runs
const DWORD FRESH_TMOUT_MS = 60000;            // one short case in a new process on a loaded machine

// Runs one case of ProcessFresh.FirstTraceLine in a new copy of this program; its first trace line.
std::string FreshFirstLine(const std::string& cs) {
  yt::TTmpDir dir;
  std::string res = dir("trace.txt");
  SetEnvironmentVariableA(FRESH_ENV, (cs + " " + res).c_str());
  yt::TProc fresh;
  bool started = fresh.Start(yt::SelfCmd("--gtest_filter=ProcessFresh.FirstTraceLine"));
  SetEnvironmentVariableA(FRESH_ENV, nullptr);
  if (!started) return "<not started>";
  fresh.Wait(FRESH_TMOUT_MS);
  std::vector<std::string> lines = yt::Lines(yt::ReadAll(res));
  return lines.empty() ? "<no line>" : lines[0];
}

}  // namespace

// Under Wine a child does not inherit the error mode, so what can be seen here is the supervisor's own mode
// (which Windows hands to every child) and the flags its launches give the system.
TEST(Process, NoSystemDialogs) {
  SetErrorMode(0);
  SetQuietErrMode();
  EXPECT_EQ((UINT)(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX), GetErrorMode());
  for (int flags : {0, (int)CREATE_DEFAULT_ERROR_MODE}) {
    WTProcess p;
    ASSERT_EQ(0u, p.Crt(TStr((Child("ch_exit") + " 7").c_str()), nullptr, flags));
    EXPECT_EQ((DWORD)CREATE_SUSPENDED, p.SysFlags()) << flags;  // suspended only until it is in its job
    EXPECT_TRUE(p.InJob());
    ASSERT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(yt::kWaitMs));
    EXPECT_EQ(7u, p.GetExitCode());
  }
}

// Log() builds the trace log on its first use in a process, and that sets the thread's last error (a named
// mutex is created). In this program it was used long before, so no test here sees the difference: each case
// runs in a fresh copy of the program, where the failure's line is the first trace line of the process.
TEST(Process, FailureCodeIsTheFailingCalls) {
  struct { const char* cs; std::string head, tail; } rows[] = {
      // No process handle: ERROR_INVALID_HANDLE.
      {"exit", "SP! WTProcess::GetExitCode() [this=0x", "] failed (rc=6)."},
      {"stopwait", "WP. TProcessMngr::ForceStop() wait failed (rc=6)", ""},
  };
  for (const auto& row : rows) {
    std::string l = FreshFirstLine(row.cs);
    EXPECT_TRUE(l.rfind(row.head, 0) == 0 && l.size() >= row.head.size() + row.tail.size() &&
                l.compare(l.size() - row.tail.size(), row.tail.size(), row.tail) == 0)
        << row.cs << ": " << l;
  }
}

// The fresh copy's side of FailureCodeIsTheFailingCalls; skipped in an ordinary run.
TEST(ProcessFresh, FirstTraceLine) {
  const char* env = std::getenv(FRESH_ENV);
  if (!env) GTEST_SKIP() << "runs only in a fresh copy of the program";
  std::string cs(env), res = cs.substr(cs.find(' ') + 1);
  cs.resize(cs.find(' '));
  WTProcess p;
  if (cs == "exit") {
    p.GetExitCode();
  } else {
    // Under Wine an empty object's thread has no windows to enumerate, so the first half-time wait comes first.
    TProcessMngr m;
    m.SetStopTm(2);
    m.ForceStop(p);
  }
  TLogLock lk(Log(), yt::kWaitMs);
  TLogPrms& prms = Log().Prms();
  prms.SetTmFrmt("");
  prms.SetPidOn(false);
  prms.SetTidOn(false);
  prms.AddTp("...", "");
  Log().SetCurFileNm(res.c_str());
  EXPECT_EQ(0u, Log().Flush());
}
