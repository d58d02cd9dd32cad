// Stopping children: hung windows under the test display, and the gentle stop in its two halves.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/Process.h"

using namespace sprvtest;

namespace {

BOOL CALLBACK AnyWnd(HWND, LPARAM l) {
  *reinterpret_cast<bool*>(l) = true;
  return FALSE;
}

// The child's main thread has a window once it got through its start.
bool WaitForWindow(const WTProcess& p) {
  for (int i = 0; i < 200; ++i) {
    bool found = false;
    EnumThreadWindows(p.PrcInfo().dwThreadId, AnyWnd, reinterpret_cast<LPARAM>(&found));
    if (found) return true;
    Sleep(50);
  }
  return false;
}

struct TStopRow {
  const char* Mode;
  uint32_t ChildCode;  // 21: ended on WM_DESTROY, 22: on WM_QUIT, 0: terminated
  DWORD MinMs, MaxMs;
};

void PrintTo(const TStopRow& r, std::ostream* os) { *os << r.Mode; }

class GentleStop : public testing::TestWithParam<TStopRow> {};

}  // namespace

// s:4s: WM_DESTROY and up to 2 s, then WM_QUIT and up to 2 s more, then termination. The child's exit code
// tells which step ended it; the times only bound what a loaded machine may stretch.
TEST_P(GentleStop, WhichStepEndedIt) {
  const TStopRow& row = GetParam();
  WTProcess p;
  ASSERT_EQ(0u, p.Crt(TStr((Child("ch_gentle") + " " + row.Mode).c_str()), nullptr, 0));
  ASSERT_TRUE(WaitForWindow(p)) << "no window: is DISPLAY set?";
  TProcessMngr m;
  m.SetStopTm(4000);
  DWORD t0 = GetTickCount();
  EXPECT_EQ(0u, m.ForceStop(p));
  DWORD took = GetTickCount() - t0;
  EXPECT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(10000));
  EXPECT_EQ(row.ChildCode, p.GetExitCode());
  EXPECT_GE(took, row.MinMs);
  EXPECT_LT(took, row.MaxMs);
}

INSTANTIATE_TEST_SUITE_P(ProcessMngr, GentleStop,
                         testing::Values(TStopRow{"destroy", 21, 0, 3900}, TStopRow{"quit", 22, 1950, 3900},
                                         TStopRow{"none", 0, 3950, 30000}),
                         [](const testing::TestParamInfo<TStopRow>& i) { return std::string(i.param.Mode); });

TEST(ProcessMngr, ImmediateStopTerminates) {
  WTProcess p;
  ASSERT_EQ(0u, p.Crt(TStr((Child("ch_exit") + " 9 -1").c_str()), nullptr, 0));
  TProcessMngr m;
  EXPECT_EQ(0u, m.ForceStop(p));
  EXPECT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(10000));
  EXPECT_EQ(0u, p.GetExitCode());
}

// The same through Run: r:0.5s s:2s and a child that ends on WM_QUIT.
TEST(ProcessMngr, GentleStopThroughRun) {
  std::string log = TmpFile("gentle");
  TProcessMngr m;
  Prepare(m, Child("ch_gentle") + " quit", log);
  m.SetRunTmLmt(500);
  m.SetStopTm(2000);
  m.SetAttemptsLmt(1);
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  DWORD took = GetTickCount() - t0;
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(1359u, m.ExitCode());
  EXPECT_GE(took, 1400u);
  EXPECT_LT(took, 20000u);
  EXPECT_EQ((std::vector<std::string>{START, STOPPING, STOPPED, std::string(ATTEMPTS) + "1/1."}), EvtLines(log));
  DeleteFileA(log.c_str());
}

// A window that stops answering: 1/1 is a note, 2/1 stops the child.
TEST(ProcessMngr, HungWindowStopsAtSecondPass) {
  std::string log = TmpFile("hung");
  TProcessMngr m;
  Prepare(m, Child("ch_hang") + " 300 -1 0", log);
  m.SetHung(true, 1);
  m.SetChkIntrvl(1000);
  m.SetAttemptsLmt(1);
  m.SetRunTmLmt(40000);
  TRes r = m.Run();
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(1359u, m.ExitCode());
  EXPECT_EQ((std::vector<std::string>{START, std::string(CHK) + HUNG + "1/1)", std::string(CHK) + HUNG + "2/1)",
                                      STOPPING, STOPPED, std::string(ATTEMPTS) + "1/1."}),
            EvtLines(log));
  EXPECT_EQ(2u, m.HungRow());
}

// A window hung for a while that answers again: notes only, the row back at 0, the child ends by itself.
TEST(ProcessMngr, HungWindowRecovers) {
  std::string log = TmpFile("hungrec");
  TProcessMngr m;
  Prepare(m, Child("ch_hang") + " 300 8000 2500", log);
  m.SetHung(true, 10);
  m.SetChkIntrvl(1000);
  m.SetRunTmLmt(40000);
  TRes r = m.Run();
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(0u, m.ExitCode());
  EXPECT_EQ(0u, m.HungRow());
  std::vector<std::string> lines = EvtLines(log);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(START, lines.front());
  for (size_t i = 1; i + 1 < lines.size(); ++i)
    EXPECT_EQ(std::string(CHK) + HUNG + std::to_string(i) + "/10)", lines[i]);
  EXPECT_EQ(std::string(EXITED_CHK) + "0", lines.back());
  DeleteFileA(log.c_str());
}
