// The run loop end to end with real children; event logs compared byte for byte with the stamps masked.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <thread>
#include "Platform.h"
#include "ProcessTestUtil.h"
#include "sprv/Entry.h"
#include "sprv/Process.h"
#include "ydgen.h"

using namespace sprvtest;

namespace {

struct TRunRow {  // MinMs: the pauses between launches, the run-time limits
  const char* Name; std::string Cmd; std::vector<uint32_t> Codes; std::function<void(TProcessMngr&)> Set;
  uint32_t ResCode, Exit; std::vector<std::string> Evts; DWORD MinMs;
};

void PrintTo(const TRunRow& r, std::ostream* os) { *os << r.Name; }

// A text file, quoted: no program, on every machine the tests run on.
std::string NotAProgram() {
  char dir[MAX_PATH + 1] = {};
  GetTempPathA(sizeof dir, dir);
  std::string path = std::string(dir) + "ydtest_not_a_program.txt";
  EXPECT_TRUE(yt::WriteAll(path, "not a program\r\n")) << path;
  return "\"" + path + "\"";
}

std::vector<TRunRow> RunRows() {
  std::string ex = Child("ch_exit"), e0 = EXITED + "0", e5 = EXITED + "5", a1 = ATTEMPTS + "1/1.";
  auto a = [](uint32_t n) { return [n](TProcessMngr& m) { m.SetAttemptsLmt(n); }; };
  return {
      {"ExpectedOnFirstLaunch", ex + " 1223", DFLT, a(~0u), 0, 1223, {START, EXITED + "1223"}, 0},
      {"AttemptsUsedUp", ex + " 5", DFLT, [](TProcessMngr& m) { m.SetAttemptsLmt(3), m.SetPause(400); }, 0, 5,
       {START, e5, START, e5, START, e5, ATTEMPTS + "3/3."}, 780},
      // The attempt limit is tested before the exit code is judged.
      {"LastAllowedLaunch", ex + " 0", DFLT, a(1), 0, 0, {START, e0, a1}, 0},
      {"GivenHighCode", ex + " 0xC0000005", {0xC0000005u}, a(2), 0, 0xC0000005u, {START, EXITED + "3221225477"}, 0},
      {"EmptyListExpectsNothing", ex + " 0", {}, a(2), 0, 0, {START, e0, START, e0, ATTEMPTS + "2/2."}, 0},
      // A launch failure is not retried; the system's own text goes to the event log.
      {"MissingProgram", "\"" + yt::BinDir() + "\\children\\no_such_prog.exe\"", DFLT, a(~0u), 2, 1, {START, START_ERR + ErrTxt(2).Str()}, 0},
      // A file that is no program: its system text carries the insert mark "%1", written as it stands.
      {"NotAProgram", NotAProgram(), DFLT, a(~0u), 193, 1,
       {START, START_ERR + ErrTxt(193).Str()}, 0},
      // r:1s, the child runs forever: terminated after the time-out (s:0), judged 1359, relaunched.
      {"RunTimeLimit", ex + " 0 -1", DFLT, [](TProcessMngr& m) { m.SetRunTmLmt(1000), m.SetAttemptsLmt(2); }, 0,
       1359, {START, STOPPING, STOPPED, START, STOPPING, STOPPED, ATTEMPTS + "2/2."}, 1900},
      // m with a growing child: stopped at the first check over the limit (the size read is masked).
      {"MemoryLimit", Child("ch_mem") + " 96 -1", DFLT,
       [](TProcessMngr& m) { m.SetMemLmt(48u << 20), m.SetChkIntrvl(1000), m.SetAttemptsLmt(1); }, 0, 1359,
       {START, CHK + MEM + "N/50331648). ", STOPPING, STOPPED, a1}, 0},
      // With checks every 30 s, a child that ends after 0.2 s is noticed at once (the run stays under 30 s).
      {"ExitBetweenChecks", ex + " 1223 200", DFLT, [](TProcessMngr& m) { m.SetMemLmt(1u << 30), m.SetChkIntrvl(30000); },
       0, 1223, {START, EXITED_CHK + "1223"}, 0},
      // A window that stops answering (under the test display): 1/1 is a note, 2/1 stops the child.
      {"HungWindow", Child("ch_hang") + " 300 -1 0", DFLT,
       [](TProcessMngr& m) { m.SetHung(true, 1), m.SetChkIntrvl(1000), m.SetAttemptsLmt(1), m.SetRunTmLmt(40000); },
       0, 1359, {START, CHK + HUNG + "1/1)", CHK + HUNG + "2/1)", STOPPING, STOPPED, a1}, 0},
  };
}

class Run : public testing::TestWithParam<TRunRow> {};

}  // namespace

TEST_P(Run, EventLogAndOutcome) {
  const TRunRow& row = GetParam();
  if (row.Cmd.find("ch_hang") != std::string::npos) YT_NEEDS_DESKTOP();  // its window is what is checked
  TTmp log("run");
  TTraceCapture trace;
  TProcessMngr m;
  Prepare(m, row.Cmd, log.Path, row.Codes);
  row.Set(m);
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  DWORD took = GetTickCount() - t0;
  EXPECT_TRUE(took >= row.MinMs && took < 30000) << took;
  EXPECT_EQ(row.ResCode, r.Code());
  EXPECT_EQ(row.ResCode != 0, r.IsErr());
  EXPECT_EQ(row.Exit, m.ExitCode());
  EXPECT_EQ(std::count(row.Codes.begin(), row.Codes.end(), row.Exit) > 0, m.IsExpectedExitCode());
  std::vector<std::string> ev = EvtLines(log.Path);
  for (std::string& l : ev)
    if (NumBetween(l, CHK + MEM, "/50331648). ") > 50331648) l = CHK + MEM + "N/50331648). ";
  EXPECT_EQ(row.Evts, ev);
  EXPECT_TRUE(row.Evts.back().rfind(ATTEMPTS, 0) != 0 || row.Evts.back() == S(r.Cmnt())) << S(r.Cmnt());
  if (row.ResCode == 0) return;
  EXPECT_EQ(START_ERR.substr(0, START_ERR.size() - 2), S(r.Cmnt()));
  // "SP! WTProcess::Crt(cmdln='...',flags=0) [this=0x........] end (PID=0,TID=0,rc=<code>)."
  std::string pre = "SP! WTProcess::Crt(cmdln='" + row.Cmd + "',flags=0) [this=0x";
  std::string post = "] end (PID=0,TID=0,rc=" + std::to_string(row.ResCode) + ").";
  std::vector<std::string> tr = trace.Lines();
  EXPECT_EQ(1, std::count_if(tr.begin(), tr.end(), [&](const std::string& l) {
    return l.size() == pre.size() + 8 + post.size() && l.rfind(pre, 0) == 0 && l.substr(l.size() - post.size()) == post;
  })) << pre;
}

INSTANTIATE_TEST_SUITE_P(ProcessMngr, Run, testing::ValuesIn(RunRows()),
                         [](const testing::TestParamInfo<TRunRow>& i) { return std::string(i.param.Name); });

// printf marks in the command line reach the trace and the child literally.
TEST(ProcessMngr, PercentMarksAreLiteral) {
  TTmp log("pct");
  std::string cmd = Child("ch_exit") + " 0 0 %s%n%1%x%p", ok = ErrTxt(0).Str();
  TTraceCapture trace;
  TProcessMngr m;
  Prepare(m, cmd, log.Path);
  EXPECT_FALSE(m.Run().IsErr());
  std::vector<std::string> tr = trace.Lines();
  ASSERT_EQ(4u, tr.size());
  EXPECT_EQ("WP. TProcessMngr::Run() begin(cmdln=" + cmd + ")", tr[0]);
  EXPECT_EQ(0u, tr[1].find("SPT WTProcess::Crt(cmdln='" + cmd + "',flags=0) [this=0x")) << tr[1];
  EXPECT_EQ("WP. Process exited (exit_code=0,dscr='" + ok + "')", tr[2]);
  EXPECT_EQ("WP. TProcessMngr::Run() end(r=" + ok + ")", tr[3]);
  EXPECT_EQ((std::vector<std::string>{START, EXITED + "0"}), EvtLines(log.Path));
  EXPECT_NE(std::string::npos, std::string(ErrTxt(193).Str()).find("%1"));  // what the NotAProgram row relies on
}

// Launched 300 ms before the tick counter wraps, r:1s, checks every 200 ms: stopped about 1 s after the
// launch, neither at once nor never (the child would end by itself after 20 s).
TEST(ProcessMngr, RunTimeLimitAcrossTheTickWrap) {
  TTmp log("wrap");
  yt::TTicksAt ticks(0xFFFFFFFFu - 299, true);
  TProcessMngr m;
  Prepare(m, Child("ch_exit") + " 0 20000", log.Path);
  m.SetMemLmt(0xFFFFFFFFu), m.SetChkIntrvl(200), m.SetRunTmLmt(1000), m.SetAttemptsLmt(1);
  DWORD t0 = GetTickCount();
  EXPECT_FALSE(m.Run().IsErr());
  DWORD took = GetTickCount() - t0;
  EXPECT_GE(took, 950u);
  EXPECT_LT(took, 10000u);
  std::vector<std::string> ev = EvtLines(log.Path);
  ASSERT_EQ(5u, ev.size());
  long long run = NumBetween(ev[1], CHK + RUN_TM, "/1000)");
  EXPECT_TRUE(run >= 1000 && run < 10000) << ev[1];
  EXPECT_EQ((std::vector<std::string>{START, STOPPING, STOPPED, ATTEMPTS + "1/1."}),
            (std::vector<std::string>{ev[0], ev[2], ev[3], ev[4]}));
}

// A window hung for a while that answers again: notes only, the row back at 0, the child ends by itself.
TEST(ProcessMngr, HungWindowRecovers) {
  YT_NEEDS_DESKTOP();
  TTmp log("hungrec");
  TProcessMngr m;
  Prepare(m, Child("ch_hang") + " 300 8000 2500", log.Path);
  m.SetHung(true, 10), m.SetChkIntrvl(1000), m.SetRunTmLmt(40000);
  EXPECT_FALSE(m.Run().IsErr());
  EXPECT_EQ(0u, m.ExitCode());
  EXPECT_EQ(0u, m.HungRow());
  std::vector<std::string> ev = EvtLines(log.Path), want = {START};
  for (size_t i = 1; i + 1 < ev.size(); ++i) want.push_back(CHK + HUNG + std::to_string(i) + "/10)");
  want.push_back(EXITED_CHK + "0");
  EXPECT_TRUE(ev.size() >= 3 && ev == want) << ev.size();
}

BOOL CALLBACK AnyWnd(HWND, LPARAM l) { return *reinterpret_cast<bool*>(l) = true, FALSE; }

// s:4s: WM_DESTROY and up to 2 s, then WM_QUIT and up to 2 s more, then termination. The child's exit code
// tells which step ended it (21: WM_DESTROY, 22: WM_QUIT, 0: terminated); times are generous bounds.
TEST(ProcessMngr, GentleStopSteps) {
  YT_NEEDS_DESKTOP();
  struct { const char* mode; uint32_t code; DWORD minMs, maxMs; } rows[] = {
      {"destroy", 21, 0, 3900}, {"quit", 22, 1950, 3900}, {"none", 0, 3950, 30000}};
  for (const auto& row : rows) {
    WTProcess p;
    ASSERT_EQ(0u, p.Crt(TStr((Child("ch_gentle") + " " + row.mode).c_str()), nullptr, 0));
    bool wnd = false;
    for (int i = 0; i < 200 && !wnd; ++i, Sleep(50))
      EnumThreadWindows(p.PrcInfo().dwThreadId, AnyWnd, reinterpret_cast<LPARAM>(&wnd));
    ASSERT_TRUE(wnd) << "no window: is DISPLAY set?";
    TProcessMngr m;
    m.SetStopTm(4000);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(0u, m.ForceStop(p));
    DWORD took = GetTickCount() - t0;
    EXPECT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(10000));
    EXPECT_EQ(row.code, p.GetExitCode()) << row.mode;
    EXPECT_TRUE(took >= row.minMs && took < row.maxMs) << row.mode << " took " << took;
  }
}

namespace {

// Windows answers for the last step of a forced stop. Under Wine TerminateProcess always succeeds and the
// child is gone at once, so only the seam gives these answers; with the real calls Wine takes the path where
// the termination and the wait for the end both succeed (every other stop of these tests).
struct TGivenStop : TStopCalls {
  enum TMode { ENDED_BY_ITSELF, WAIT_FAILS, OUTLIVES } Mode;
  DWORD Pid = 0;
  explicit TGivenStop(TMode m) : Mode(m) {}
  uint32_t Terminate(WTProcess& p, uint32_t exitCode) override {
    Pid = p.PrcInfo().dwProcessId;
    if (Mode == OUTLIVES) return 0;
    if (Mode == WAIT_FAILS) return TStopCalls::Terminate(p, exitCode);
    // The child ends with 5 of its own just before the stop, and Windows refuses the termination.
    TerminateProcess(p.PrcInfo().hProcess, 5);
    WaitForSingleObject(p.PrcInfo().hProcess, yt::kWaitMs);
    return ERROR_ACCESS_DENIED;
  }
  uint32_t Wait(WTProcess& p, uint32_t ms) override {
    if (Mode == OUTLIVES) return WAIT_TIMEOUT;
    if (Mode == WAIT_FAILS) return SetLastError(ERROR_INVALID_HANDLE), WAIT_FAILED;
    return TStopCalls::Wait(p, ms);
  }
};

}  // namespace

// r:300ms, a:3 and a child that runs forever: every launch ends in a forced stop whose last step is given.
TEST(ProcessMngr, StopThatDoesNotStop) {
  struct {
    TGivenStop::TMode mode; uint32_t code, exitCode; std::vector<std::string> evts; const char* trace; int traces;
  } rows[] = {
      // The child's own 5 counts: relaunched until the attempts are used up, then 0x800401F7 (not expected).
      {TGivenStop::ENDED_BY_ITSELF, 0, 5, {START, STOPPING, STOPPED, START, STOPPING, STOPPED, START, STOPPING, STOPPED,
       ATTEMPTS + "3/3."}, "WP. TProcessMngr::ForceStop() child had ended by itself (exit_code=5)", 3},
      // The child may still run: no further launch, the run ends with the wait's code.
      {TGivenStop::WAIT_FAILS, 6, 1359, {START, STOPPING, STOPPED},
       "WP. TProcessMngr::ForceStop() wait for the end failed (rc=6)", 1},
      {TGivenStop::OUTLIVES, WAIT_TIMEOUT, 1359, {START, STOPPING, STOPPED},
       "WP. TProcessMngr::ForceStop() child still running 10000 ms after its termination", 1},
  };
  for (const auto& row : rows) {
    TTmp log("stop");
    TTraceCapture trace;
    TGivenStop calls(row.mode);
    TProcessMngr m;
    Prepare(m, Child("ch_exit") + " 0 -1", log.Path);
    m.SetRunTmLmt(300), m.SetAttemptsLmt(3), m.SetStopCalls(&calls);
    TRes r = m.Run();
    EXPECT_EQ(row.code, r.Code()) << row.mode;
    EXPECT_EQ(row.exitCode, m.ExitCode()) << row.mode;
    EXPECT_EQ(row.code == 0 ? EXIT_NOT_DONE : row.code, r.IsOk() && !m.IsExpectedExitCode() ? EXIT_NOT_DONE : r.Code());
    EXPECT_EQ(row.evts, EvtLines(log.Path)) << row.mode;
    EXPECT_EQ(row.traces, trace.Count(row.trace)) << row.mode;
    if (row.mode != TGivenStop::OUTLIVES) continue;
    // The child that outlived its stop is still there, and nothing was launched over it.
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, calls.Pid);
    EXPECT_TRUE(h && WaitForSingleObject(h, 0) == WAIT_TIMEOUT);
    if (h) TerminateProcess(h, 99), CloseHandle(h);
  }
}

namespace {

// The grandchild of ch_tree, opened while the run goes on (its id could be reused once it is gone).
struct TGrandchild {
  HANDLE H = nullptr;
  std::string Txt;  // what ch_tree wrote: the id or why there is none
  std::thread Opener;
  explicit TGrandchild(const std::string& pidFile) : Opener([this, pidFile] {
    yt::WaitFor([&] { return yt::Exists(pidFile); });
    Txt = yt::ReadAll(pidFile);
    DWORD pid = std::strtoul(Txt.c_str(), nullptr, 10);
    H = pid ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr;
  }) {}
  ~TGrandchild() {
    if (Opener.joinable()) Opener.join();
    if (H) TerminateProcess(H, 99), CloseHandle(H);
  }
};

}  // namespace

// The child runs in a job of its own (job objects work under Wine as on Windows, so the real calls run): a
// forced stop ends what it started too, also when the child itself ends as asked within the grace time (s:4s,
// under the test display); an end of its own leaves that running, and a grandchild started with
// CREATE_BREAKAWAY_FROM_JOB is left out of the stop.
TEST(ProcessMngr, ChildProcessTree) {
  struct { const char* name; const char* args; uint32_t stopTm; bool gone; uint32_t exitCode; } rows[] = {
      {"ForcedStop", "-1", 0, true, 1359}, {"GentleStop", "-1 window", 4000, true, 1359},
      {"EndsByItself", "300", 0, false, 0}, {"BrokeAway", "-1 away", 0, false, 1359}};
  for (const auto& row : rows) {
    yt::TTmpDir dir;
    std::string pidFile = dir("pid.txt");
    TTraceCapture trace;
    TGrandchild g(pidFile);
    TProcessMngr m;
    Prepare(m, Child("ch_tree") + " " + pidFile + " " + row.args, "");
    m.SetRunTmLmt(1500), m.SetAttemptsLmt(1), m.SetStopTm(row.stopTm);
    DWORD t0 = GetTickCount();
    EXPECT_FALSE(m.Run().IsErr()) << row.name;
    // Within the grace time: the child ended as asked, it was not terminated.
    if (row.stopTm) {
      EXPECT_LT(GetTickCount() - t0, 1500 + row.stopTm) << row.name;
    }
    g.Opener.join();
    EXPECT_EQ(row.exitCode, m.ExitCode()) << row.name;
    EXPECT_EQ(0, trace.Count("SP!")) << row.name;
    ASSERT_TRUE(g.H) << row.name << ": " << g.Txt;
    EXPECT_EQ(row.gone, WaitForSingleObject(g.H, row.gone ? yt::kWaitMs : 0) == WAIT_OBJECT_0) << row.name;
  }
}

// After a launch that worked, a program missing for a moment (here it renames itself away on its first run)
// costs one attempt: its launch error, the pause, the next launch. Through the entry, for the exit status.
TEST(ProcessMngr, BriefLaunchFailure) {
  const DWORD AWAY_MS = 2200;  // the first relaunch (1.5 s after the end) fails, the second (3 s) finds it back
  struct { const char* name; bool back; const char* attempts; DWORD status; std::vector<std::string> tail; } rows[] = {
      {"ProgramBack", true, "4", 0, {START, EXITED + "0"}},
      {"AttemptsUsedUp", false, "2", ERROR_FILE_NOT_FOUND, {ATTEMPTS + "2/2."}},
  };
  for (const auto& row : rows) {
    yt::TTmpDir dir;
    std::string exe = dir("ch_away.exe"), log = dir("evt.log");
    ASSERT_TRUE(CopyFileA((yt::BinDir() + "\\children\\ch_away.exe").c_str(), exe.c_str(), FALSE));
    std::thread back([&] {
      if (row.back && yt::WaitFor([&] { return yt::Exists(exe + ".away"); })) {
        Sleep(AWAY_MS);
        MoveFileA((exe + ".away").c_str(), exe.c_str());
      }
    });
    DWORD st = RunEntry(("ydsprv.exe -a:" + std::string(row.attempts) + " -p:1500 -l:" + log + " " + exe + " " +
                         dir("marker")).c_str(), nullptr);
    back.join();
    EXPECT_EQ(row.status, st) << row.name;
    std::vector<std::string> want = {START, EXITED + "5", START, START_ERR + ErrTxt(ERROR_FILE_NOT_FOUND).Str()};
    want.insert(want.end(), row.tail.begin(), row.tail.end());
    EXPECT_EQ(want, EvtLines(log)) << row.name;
    DeleteFileA((exe + ".away").c_str());
  }
}
