// The run loop end to end with real children; event logs compared byte for byte with the stamps masked.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/Process.h"
#include "ydgen.h"

using namespace sprvtest;

namespace {

// One launch per line "Запуск." in the event log.
size_t Launches(const std::vector<std::string>& lines) {
  size_t n = 0;
  for (const std::string& l : lines) n += l == START;
  return n;
}

std::string ErrText(uint32_t code) { return ErrTxt(code).Str(); }

}  // namespace

TEST(ProcessMngr, Defaults) {
  TProcessMngr m;
  EXPECT_TRUE(m.CmdLn().Empty());
  EXPECT_EQ(0xFFFFFFFFu, m.AttemptsLmt());
  EXPECT_EQ(0u, m.RetCodes().Cnt());
  EXPECT_EQ(0u, m.GdiObjsLmt());
  EXPECT_EQ(0u, m.HandlesLmt());
  EXPECT_FALSE(m.HungChk());
  EXPECT_EQ(0u, m.HungRow());
  EXPECT_EQ(0u, m.MemLmt());
  EXPECT_EQ(0u, m.Pause());
  EXPECT_EQ(0u, m.StopTm());
  EXPECT_EQ(0xFFFFFFFFu, m.RunTmLmt());
  EXPECT_FALSE(m.HasRunTmLmt());
  EXPECT_EQ(15000u, m.ChkIntrvl());
  EXPECT_TRUE(m.LogFile().Empty());
  EXPECT_FALSE(m.IsExpectedExitCode());
}

TEST(ProcessMngr, SettersAndRetCodesKeepOrderAndRepeats) {
  TProcessMngr m;
  m.SetHung(true, 3);
  m.SetRunTmLmt(0);
  EXPECT_TRUE(m.HungChk());
  EXPECT_EQ(3u, m.HungLmt());
  EXPECT_TRUE(m.HasRunTmLmt());
  for (uint32_t c : {7u, 0u, 7u}) m.AddRetCode(c);
  std::vector<uint32_t> got;
  for (TQueueCIter<uint32_t> it(m.RetCodes()); !it.End(); it.Next()) got.push_back(*it.Cur());
  EXPECT_EQ((std::vector<uint32_t>{7, 0, 7}), got);
}

TEST(ProcessMngr, ExpectedCodeOnFirstLaunch) {
  std::string log = TmpFile("first");
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 1223", log);
  TRes r = m.Run();
  EXPECT_EQ(0u, r.Code());
  EXPECT_EQ(1223u, m.ExitCode());
  EXPECT_TRUE(m.IsExpectedExitCode());
  EXPECT_EQ((std::vector<std::string>{START, std::string(EXITED) + "1223"}), EvtLines(log));
  DeleteFileA(log.c_str());
}

// a:3, the child always ends with 5, pauses between the launches only.
TEST(ProcessMngr, AttemptsUsedUp) {
  std::string log = TmpFile("attempts");
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 5", log);
  m.SetAttemptsLmt(3);
  m.SetPause(400);
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  DWORD took = GetTickCount() - t0;
  EXPECT_GE(took, 780u);
  EXPECT_LT(took, 30000u);
  EXPECT_FALSE(r.IsErr());
  std::string last = std::string(ATTEMPTS) + "3/3.";
  EXPECT_EQ(last, r.Cmnt().Str());
  EXPECT_EQ(5u, m.ExitCode());
  EXPECT_FALSE(m.IsExpectedExitCode());
  std::string ex = std::string(EXITED) + "5";
  EXPECT_EQ((std::vector<std::string>{START, ex, START, ex, START, ex, last}), EvtLines(log));
  DeleteFileA(log.c_str());
}

// The attempt limit is tested before the exit code is judged.
TEST(ProcessMngr, LastAllowedLaunchWithExpectedCode) {
  std::string log = TmpFile("a1");
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 0", log);
  m.SetAttemptsLmt(1);
  TRes r = m.Run();
  EXPECT_TRUE(m.IsExpectedExitCode());
  EXPECT_EQ(std::string(ATTEMPTS) + "1/1.", r.Cmnt().Str());
  EXPECT_EQ((std::vector<std::string>{START, std::string(EXITED) + "0", std::string(ATTEMPTS) + "1/1."}),
            EvtLines(log));
  DeleteFileA(log.c_str());
}

struct TRcRow {
  const char* Name;
  std::vector<uint32_t> Codes;
  uint32_t Exit;
  size_t Launches;
};

void PrintTo(const TRcRow& r, std::ostream* os) { *os << r.Name; }

class RetCodes : public testing::TestWithParam<TRcRow> {};

TEST_P(RetCodes, RelaunchUntilExpected) {
  const TRcRow& row = GetParam();
  std::string log = TmpFile("rc");
  TProcessMngr m;
  m.SetCmdLn(TStr((Child("ch_exit") + " " + std::to_string(row.Exit)).c_str()));
  m.SetLogFile(TStr(log.c_str()));
  for (uint32_t c : row.Codes) m.AddRetCode(c);
  m.SetAttemptsLmt(2);
  m.Run();
  EXPECT_EQ(row.Launches, Launches(EvtLines(log)));
  EXPECT_EQ(row.Launches == 1, m.IsExpectedExitCode());
  DeleteFileA(log.c_str());
}

INSTANTIATE_TEST_SUITE_P(ProcessMngr, RetCodes,
                         testing::Values(TRcRow{"GivenCodeMet", {7}, 7, 1}, TRcRow{"ZeroNotAmongGiven", {7}, 0, 2},
                                         TRcRow{"EmptyListExpectsNothing", {}, 0, 2},
                                         TRcRow{"HighCode", {0xC0000005u}, 0xC0000005u, 1}),
                         [](const testing::TestParamInfo<TRcRow>& i) { return std::string(i.param.Name); });

// A launch failure is not retried; the event log gets the system's own text, literally.
TEST(ProcessMngr, MissingProgram) {
  std::string log = TmpFile("missing");
  TProcessMngr m;
  Prepare(m, "Z:\\no\\such\\dir\\prog.exe", log);
  TRes r = m.Run();
  EXPECT_TRUE(r.IsErr());
  EXPECT_EQ(2u, r.Code());
  EXPECT_EQ(std::string(START_CMNT), r.Cmnt().Str());
  EXPECT_EQ(1u, m.ExitCode());
  EXPECT_EQ((std::vector<std::string>{START, std::string(START_ERR) + ErrText(2)}), EvtLines(log));
  DeleteFileA(log.c_str());
}

// A file that is no program: its system message carries an insert mark, which must reach the log as it is.
TEST(ProcessMngr, SystemMessageWithPercentIsLiteral) {
  std::string bad = TmpFile("notexe") + ".exe";
  HANDLE h = CreateFileA(bad.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD put = 0;
  WriteFile(h, "%s%n%1 no program\r\n", 20, &put, nullptr);
  CloseHandle(h);
  std::string log = TmpFile("pct");
  TProcessMngr m;
  Prepare(m, "\"" + bad + "\"", log);
  TRes r = m.Run();
  ASSERT_TRUE(r.IsErr());
  std::vector<std::string> lines = EvtLines(log);
  EXPECT_EQ((std::vector<std::string>{START, std::string(START_ERR) + ErrText(r.Code())}), lines);
  // Code 193: its system text carries the insert mark "%1".
  EXPECT_NE(std::string::npos, lines.back().find("%1")) << r.Code();
  DeleteFileA(bad.c_str());
  DeleteFileA(log.c_str());
}

// A command line holding printf marks reaches the trace unchanged and crashes nothing.
TEST(ProcessMngr, PercentMarksInCommandLineAreLiteral) {
  std::string log = TmpFile("pctcmd");
  TTraceCapture trace;
  TProcessMngr m;
  std::string cmd = Child("ch_exit") + " 0 0 %s%n%1%x%p";
  Prepare(m, cmd, log);
  TRes r = m.Run();
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(0u, m.ExitCode());
  std::vector<std::string> tr = trace.Lines();
  ASSERT_EQ(4u, tr.size());
  EXPECT_EQ("WP. TProcessMngr::Run() begin(cmdln=" + cmd + ")", tr[0]);
  EXPECT_EQ(0u, tr[1].find("SPT WTProcess::Crt(cmdln='" + cmd + "',flags=0) [this=0x")) << tr[1];
  EXPECT_EQ("WP. Process exited (exit_code=0,dscr='" + ErrText(0) + "')", tr[2]);
  EXPECT_EQ("WP. TProcessMngr::Run() end(r=" + ErrText(0) + ")", tr[3]);
  EXPECT_EQ((std::vector<std::string>{START, std::string(EXITED) + "0"}), EvtLines(log));
  DeleteFileA(log.c_str());
}

// r:1s, the child runs forever: terminated after the time-out (s:0), judged 1359, relaunched.
TEST(ProcessMngr, RunTimeLimitTerminatesAndRelaunches) {
  std::string log = TmpFile("runlmt");
  TTraceCapture trace;
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 0 -1", log);
  m.SetRunTmLmt(1000);
  m.SetAttemptsLmt(2);
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  DWORD took = GetTickCount() - t0;
  EXPECT_GE(took, 1900u);
  EXPECT_LT(took, 30000u);
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(1359u, m.ExitCode());
  EXPECT_EQ((std::vector<std::string>{START, STOPPING, STOPPED, START, STOPPING, STOPPED,
                                      std::string(ATTEMPTS) + "2/2."}),
            EvtLines(log));
  int terminated = 0;
  for (const std::string& l : trace.Lines()) terminated += l == "WP. Process terminated (timeout)";
  EXPECT_EQ(2, terminated);
  DeleteFileA(log.c_str());
}

// m with a growing child: stopped at the first check over the limit.
TEST(ProcessMngr, MemoryLimitStopsAtFirstCheckOver) {
  std::string log = TmpFile("mem");
  TProcessMngr m;
  Prepare(m, Child("ch_mem") + " 96 -1", log);
  m.SetMemLmt(48u << 20);
  m.SetChkIntrvl(1000);
  m.SetAttemptsLmt(1);
  TRes r = m.Run();
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(1359u, m.ExitCode());
  std::vector<std::string> lines = EvtLines(log);
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ(START, lines[0]);
  unsigned long long ws = 0;
  ASSERT_TRUE(NumBetween(lines[1], std::string(CHK) + MEM, "/50331648). ", &ws)) << lines[1];
  EXPECT_GT(ws, 50331648ull);
  EXPECT_EQ(STOPPING, lines[2]);
  EXPECT_EQ(STOPPED, lines[3]);
  EXPECT_EQ(std::string(ATTEMPTS) + "1/1.", lines[4]);
  DeleteFileA(log.c_str());
}

// No l[og]: the run goes on, nothing is written anywhere.
TEST(ProcessMngr, NoEventLog) {
  TProcessMngr m;
  m.SetCmdLn(TStr((Child("ch_exit") + " 5").c_str()));
  m.SetAttemptsLmt(2);
  TRes r = m.Run();
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(5u, m.ExitCode());
}
