// The health checks with given measures: order, comments, severities and the stop. Under Wine the real handle
// and GDI measures always read 0, so these given measures are the only way those two checks can fail here.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/Process.h"

using namespace sprvtest;

namespace {

struct TChkRow {
  const char* Name;
  uint32_t MemLmt;
  bool WsOk;
  uint64_t Ws;
  uint32_t HandlesLmt;
  uint32_t Handles;
  uint32_t GdiLmt;
  uint32_t Gdi;
  bool HungOn;
  bool Hung;
  uint32_t Svrt;
  std::string Cmnt;
  int GdiAsked;  // -1: not looked at
};

const uint32_t E = SVRT_ERR, OK = SVRT_OK, I = SVRT_INFO;

std::vector<TChkRow> Rows() {
  std::string mem = MEM, hnd = HANDLES, gdi = GDI, hung = HUNG;
  return {
      {"MemAtLimitPasses", 10485760, true, 10485760, 0, 0, 0, 0, false, false, OK, "", -1},
      {"MemOneByteOver", 10485760, true, 10485761, 0, 0, 0, 0, false, false, E, mem + "10485761/10485760). ", -1},
      {"MemUnreadablePasses", 1, false, 999999999, 0, 0, 0, 0, false, false, OK, "", -1},
      // A working set of 4 GiB or more is over any 32-bit limit and shows its true size.
      {"Mem4GiBOverMaxLimit", 0xFFFFFFFFu, true, 0x100000000ull, 0, 0, 0, 0, false, false, E,
       mem + "4294967296/4294967295). ", -1},
      {"MemAbove4GiBNotWrapped", 100, true, 0x100000000ull + 50, 0, 0, 0, 0, false, false, E,
       mem + "4294967346/100). ", -1},
      {"HandlesAtLimitPass", 0, true, 0, 100, 100, 0, 0, false, false, OK, "", -1},
      {"HandlesOver", 0, true, 0, 100, 101, 0, 0, false, false, E, hnd + "101/100). ", -1},
      {"GdiOver", 0, true, 0, 0, 0, 10, 11, false, false, E, gdi + "11/10). ", 1},
      {"GdiOffNotAsked", 0, true, 0, 0, 0, 0, 500, false, false, OK, "", 0},
      // Memory comes first; after its error the GDI check is skipped.
      {"MemAndGdiOverReportMemOnly", 1000, true, 2000, 0, 0, 10, 11, false, false, E, mem + "2000/1000). ", 0},
      {"HandlesOverSkipsHung", 0, true, 0, 5, 6, 0, 0, true, true, E, hnd + "6/5). ", -1},
      {"HungFirstIsInformational", 1000, true, 10, 0, 0, 0, 0, true, true, I, hung + "1/1)", -1},
      {"NothingOnPasses", 0, true, 0, 0, 0, 0, 0, false, false, OK, "", -1},
  };
}

void PrintTo(const TChkRow& r, std::ostream* os) { *os << r.Name; }

class ChecksTable : public testing::TestWithParam<TChkRow> {};

}  // namespace

TEST_P(ChecksTable, CombinedResult) {
  const TChkRow& r = GetParam();
  TGivenMeasures g;
  g.WsOk = r.WsOk;
  g.Ws = r.Ws;
  g.HandleCnt = r.Handles;
  g.GdiCnt = r.Gdi;
  g.Hung = {r.Hung};
  TProcessMngr m;
  m.SetMeasures(&g);
  m.SetMemLmt(r.MemLmt);
  m.SetHandlesLmt(r.HandlesLmt);
  m.SetGdiObjsLmt(r.GdiLmt);
  m.SetHung(r.HungOn, 1);
  WTProcess p;
  TRes res = m.Check(p);
  EXPECT_EQ(r.Svrt, res.Svrt());
  EXPECT_EQ(r.Svrt == OK ? 0u : 13u, res.Code());
  EXPECT_EQ(r.Cmnt, res.Cmnt().Str());
  if (r.GdiAsked >= 0) {
    EXPECT_EQ(r.GdiAsked, g.GdiAsked);
  }
  if (!r.HungOn || r.Svrt == E) {
    EXPECT_EQ(0, g.HungAsked);
  }
}

INSTANTIATE_TEST_SUITE_P(Checks, ChecksTable, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<TChkRow>& i) { return std::string(i.param.Name); });

TEST(Checks, RunTimeComesFirstAndEndsInParenthesis) {
  TGivenMeasures g;
  g.Ws = 5000;
  TProcessMngr m;
  m.SetMeasures(&g);
  m.SetMemLmt(1000);
  m.SetRunTmLmt(3000);
  m.SetStartTicks(GetTickCount() - 10000);
  WTProcess p;
  TRes res = m.Check(p);
  EXPECT_TRUE(res.IsErr());
  EXPECT_EQ(0, g.WsAsked);
  unsigned long long ms = 0;
  ASSERT_TRUE(NumBetween(res.Cmnt().Str(), RUN_TM, "/3000)", &ms)) << res.Cmnt().Str();
  EXPECT_GE(ms, 10000ull);
  m.SetStartTicks(GetTickCount());
  EXPECT_TRUE(m.Check(p).IsErr());  // memory still over
  EXPECT_EQ(1, g.WsAsked);
}

// With a count of 2 tolerated: 1/2 and 2/2 are notes, 3/2 an error; a pass without a hung window resets the row.
TEST(Checks, HungRowCountsAndResets) {
  TGivenMeasures g;
  g.Hung = {true, true, true, false, true};
  TProcessMngr m;
  m.SetMeasures(&g);
  m.SetHung(true, 2);
  WTProcess p;
  const uint32_t svrt[] = {I, I, E, OK, I};
  const uint32_t row[] = {1, 2, 3, 0, 1};
  for (int i = 0; i < 5; ++i) {
    TRes r = m.Check(p);
    EXPECT_EQ(svrt[i], r.Svrt()) << i;
    EXPECT_EQ(row[i], m.HungRow()) << i;
    if (row[i]) {
      EXPECT_EQ(std::string(HUNG) + std::to_string(row[i]) + "/2)", r.Cmnt().Str());
    }
  }
}

// Run with given measures and a real child that would run for a minute: the event lines of the stop.
TEST(Checks, HandlesOverStopsAtFirstPass) {
  std::string log = TmpFile("handles");
  TGivenMeasures g;
  g.HandleCnt = 101;
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 0 60000", log);
  m.SetMeasures(&g);
  m.SetHandlesLmt(100);
  m.SetChkIntrvl(200);
  m.SetAttemptsLmt(1);
  TTraceCapture trace;
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  DWORD took = GetTickCount() - t0;
  EXPECT_LT(took, 20000u);
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(1359u, m.ExitCode());
  EXPECT_EQ(1, g.HandlesAsked);
  std::vector<std::string> want = {START, std::string(CHK) + HANDLES + "101/100). ", STOPPING, STOPPED,
                                   std::string(ATTEMPTS) + "1/1."};
  EXPECT_EQ(want, EvtLines(log));
  std::vector<std::string> tr = trace.Lines();
  bool seen = false;
  for (const std::string& l : tr)
    if (l.find("WP. Process terminated (r=" + std::string(HANDLES) + "101/100). ),wait=") == 0) seen = true;
  EXPECT_TRUE(seen);
  DeleteFileA(log.c_str());
}

// The first pass gives a note only: it is logged and the child goes on to end by itself.
TEST(Checks, InformationalHangIsLoggedNotStopped) {
  std::string log = TmpFile("hunginfo");
  TGivenMeasures g;
  g.Hung = {true};
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 0 700", log);
  m.SetAttemptsLmt(1);
  m.SetMeasures(&g);
  m.SetHung(true, 100);
  m.SetChkIntrvl(250);
  TRes r = m.Run();
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(0u, m.ExitCode());
  std::vector<std::string> lines = EvtLines(log);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(START, lines[0]);
  EXPECT_EQ(std::string(CHK) + HUNG + "1/100)", lines[1]);
  EXPECT_EQ(std::string(EXITED_CHK) + "0", lines[lines.size() - 2]);
  EXPECT_EQ(std::string(ATTEMPTS) + "1/1.", lines.back());
  DeleteFileA(log.c_str());
}

// A child ending between two checks is seen at once, not at the next timer tick.
TEST(Checks, ExitBetweenChecksIsSeenAtOnce) {
  std::string log = TmpFile("exit");
  TGivenMeasures g;
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 1223 200", log);
  m.SetMeasures(&g);
  m.SetMemLmt(1u << 30);
  m.SetChkIntrvl(30000);
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  EXPECT_LT(GetTickCount() - t0, 10000u);
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(1223u, m.ExitCode());
  EXPECT_EQ(0, g.WsAsked);
  std::vector<std::string> want = {START, std::string(EXITED_CHK) + "1223"};
  EXPECT_EQ(want, EvtLines(log));
  DeleteFileA(log.c_str());
}

// The run time runs out during the monitored wait: the wait's time-out stops the child.
TEST(Checks, RunTimeOutDuringMonitoredWait) {
  std::string log = TmpFile("runtm");
  TGivenMeasures g;
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 0 60000", log);
  m.SetMeasures(&g);
  m.SetMemLmt(1u << 30);
  m.SetChkIntrvl(30000);
  m.SetRunTmLmt(600);
  m.SetAttemptsLmt(1);
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  DWORD took = GetTickCount() - t0;
  EXPECT_GE(took, 550u);
  EXPECT_LT(took, 20000u);
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(1359u, m.ExitCode());
  std::vector<std::string> lines = EvtLines(log);
  ASSERT_EQ(5u, lines.size());
  EXPECT_TRUE(NumBetween(lines[1], std::string(CHK) + RUN_TM, "/600)")) << lines[1];
  EXPECT_EQ(STOPPING, lines[2]);
  EXPECT_EQ(STOPPED, lines[3]);
  DeleteFileA(log.c_str());
}

// The real measures: under Wine the handle and GDI counts read 0, so this exercises the pass path of both
// checks (the query succeeds or fails, the count stays 0, the child is never stopped for it).
TEST(Checks, RealHandleAndGdiMeasuresUnderWinePass) {
  DWORD own = 0;
  GetProcessHandleCount(GetCurrentProcess(), &own);
  if (own != 0) GTEST_SKIP() << "the platform counts handles: not Wine";
  std::string log = TmpFile("realhg");
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 0 900", log);
  m.SetHandlesLmt(1);
  m.SetGdiObjsLmt(1);
  m.SetChkIntrvl(200);
  TRes r = m.Run();
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(0u, m.ExitCode());
  std::vector<std::string> want = {START, std::string(EXITED_CHK) + "0"};
  EXPECT_EQ(want, EvtLines(log));
  DeleteFileA(log.c_str());
}
