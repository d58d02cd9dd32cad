// The supervisor: runs with real children (event logs byte for byte, stamps masked), stops, checks, the child wrapper.
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <thread>
#include "Log/Log.h"
#include "ProcessTestUtil.h"
#include "sprv/Entry.h"

namespace {
// Windows' answers for the last step of a stop, which Wine never gives (its TerminateProcess always succeeds and the
// child is gone at once): with the real calls, every other stop here takes the path where both succeed.
struct TGivenStop : TStopCalls {
  enum TMode { NONE = -1, ENDED_BY_ITSELF, WAIT_FAILS, OUTLIVES } Mode;
  DWORD Pid = 0;
  explicit TGivenStop(TMode m) : Mode(m) {}
  uint32_t Terminate(WTProcess& p, uint32_t exitCode) override {
    Pid = p.PrcInfo().dwProcessId;
    if (Mode != ENDED_BY_ITSELF) return Mode == OUTLIVES ? 0 : TStopCalls::Terminate(p, exitCode);
    TerminateProcess(p.PrcInfo().hProcess, 5);
    WaitForSingleObject(p.PrcInfo().hProcess, yt::kWaitMs);
    return ERROR_ACCESS_DENIED;  // the child ended with 5 of its own just before, and Windows refuses
  }
  uint32_t Wait(WTProcess& p, uint32_t ms) override {
    if (Mode == WAIT_FAILS) SetLastError(ERROR_INVALID_HANDLE);
    return Mode == OUTLIVES ? WAIT_TIMEOUT : Mode == WAIT_FAILS ? WAIT_FAILED : TStopCalls::Wait(p, ms);
  }
};
struct TRunRow {
  const char* Name;
  std::string Prms, Cmd;  // the supervisor's parameters and the child's command line
  uint32_t ResCode, Exit;
  TLines Evts;
  DWORD MinMs = 0;  // the pauses between launches, the run-time limits
  uint32_t Ticks = 0;  // the tick count at the start
  TGivenStop::TMode Given = TGivenStop::NONE;  // the last step of the stop given, and its trace (once a stop)
  const char* Trace = nullptr;
};
std::vector<TRunRow> RunRows() {
  const std::string e0 = EXITED + "0", e5 = EXITED + "5", a1 = ATTEMPTS + "1/1.";
  const std::string win = std::getenv("SystemRoot") ? std::getenv("SystemRoot") : "C:\\Windows";
  const TLines stop = {START, STOPPING, STOPPED};
  return {
      {"AttemptsUsedUp", "-a:3 -p:400", Child("5"), 0, 5, {START, e5, START, e5, START, e5, ATTEMPTS + "3/3."}, 780},
      {"LastAllowedLaunch", "-a:1", Child("0"), 0, 0, {START, e0, a1}},  // the limit comes before the code
      {"GivenHighCode", "-a:2 -rc:0xC0000005", Child("0xC0000005"), 0, 0xC0000005u, {START, EXITED + "3221225477"}},
      {"EmptyListExpectsNothing", "-a:2 -rc:", Child("0"), 0, 0, {START, e0, START, e0, ATTEMPTS + "2/2."}},
      // A launch failure is not retried; the system's own text goes to the event log, an insert mark "%1" as it stands.
      {"NotAProgram", "", "\"" + win + "\\win.ini\"", 193, 1, {START, START_ERR + ErrTxt(193).Str()}},
      // Stopped at the first check over the limit; a child that ends between checks is noticed at once; a window that
      // stops answering: 1/1 is a note, 2/1 stops it.
      {"MemoryLimit", "-m:48M -time:1 -a:1", Child("mem 96 -1"), 0, 1359,
       {START, CHK + MEM + "N/50331648). ", STOPPING, STOPPED, a1}},
      {"ExitBetweenChecks", "-m:1G -time:30", Child("1223 200"), 0, 1223, {START, EXITED_CHK + "1223"}},
      {"HungWindow", "-hung:1 -time:1 -a:1 -r:40s", Child("hang 300 -1 0"), 0, 1359,
       {START, CHK + HUNG + "1/1)", CHK + HUNG + "2/1)", STOPPING, STOPPED, a1}},
      {"PercentMarksAreLiteral", "", Child("0 0 %s%n%1%x%p"), 0, 0, {START, e0}},  // in the trace and the child
      {"RunTimeLimitAcrossTheTickWrap", "-m:4095M -time:1 -r:1000 -a:1", Child("0 20000"), 0, 1359,
       {START, CHK + RUN_TM + "N/1000)", STOPPING, STOPPED, a1}, 950, 0xFFFFFFFFu - 299},  // 300 ms before the wrap
      // The last step of the stop given: the child's own 5 counts; one that may still run ends the run, none over it.
      {"StopEndedByItself", "-r:300 -a:3", Child("0 -1"), 0, 5,
       {START, STOPPING, STOPPED, START, STOPPING, STOPPED, START, STOPPING, STOPPED, ATTEMPTS + "3/3."}, 0, 0,
       TGivenStop::ENDED_BY_ITSELF, "WP. TProcessMngr::ForceStop() child had ended by itself (exit_code=5)"},
      {"StopWaitFails", "-r:300 -a:3", Child("0 -1"), 6, 1359, stop, 0, 0, TGivenStop::WAIT_FAILS,
       "WP. TProcessMngr::ForceStop() wait for the end failed (rc=6)"},
      {"StopOutlived", "-r:300 -a:3", Child("0 -1"), WAIT_TIMEOUT, 1359, stop, 0, 0, TGivenStop::OUTLIVES,
       "WP. TProcessMngr::ForceStop() child still running 10000 ms after its termination"}};
}
class Run : public testing::TestWithParam<TRunRow> {};
}  // namespace
TEST_P(Run, EventLogAndOutcome) {
  const TRunRow& row = GetParam();
  if (row.Cmd.find("hang") != std::string::npos) YT_NEEDS_DESKTOP();  // its window is what is checked
  yt::TTmpDir d;
  yt::TTraceTap trace({"WP.", "SP."});
  std::unique_ptr<yt::TTicksAt> ticks(row.Ticks ? new yt::TTicksAt(row.Ticks, true) : nullptr);
  TGivenStop calls(row.Given);
  TProcessMngr m;
  ASSERT_EQ(0u, FromCmdLn(m, "-l:\"" + d("evt.log") + "\" " + row.Prms + " " + row.Cmd).Code());
  TProcessMngrProbe{m}.StopCalls(row.Given != TGivenStop::NONE ? &calls : nullptr);
  const DWORD t0 = GetTickCount();
  TRes r = m.Run();
  const DWORD took = GetTickCount() - t0;  // relaunched at once after a stop (s:0), the pauses only between ends
  EXPECT_TRUE(took >= row.MinMs && took < 30000) << took;
  EXPECT_TRUE(row.ResCode == r.Code() && (row.ResCode != 0) == r.IsErr() && row.Exit == m.ExitCode())
      << r.Code() << " " << m.ExitCode();
  TLines ev = EvtLines(d("evt.log"));
  for (std::string& l : ev) {  // the measures read vary: within bounds, they are masked
    if (NumBetween(l, CHK + MEM, "/50331648). ") > 50331648) l = CHK + MEM + "N/50331648). ";
    if (uint64_t(NumBetween(l, CHK + RUN_TM, "/1000)") - 1000) < 9000) l = CHK + RUN_TM + "N/1000)";
  }
  EXPECT_EQ(row.Evts, ev);
  EXPECT_TRUE(row.Evts.back().rfind(ATTEMPTS, 0) != 0 || row.Evts.back() == S(r.Cmnt())) << S(r.Cmnt());
  EXPECT_EQ(1, trace.Count("WP. TProcessMngr::Run() begin(cmdln=" + S(m.CmdLn()) + ")"));
  EXPECT_TRUE(!row.Trace || std::count(ev.begin(), ev.end(), STOPPING) == trace.Count(row.Trace)) << row.Trace;
  THandle h(row.Given == TGivenStop::OUTLIVES ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, calls.Pid) : 0);
  EXPECT_TRUE(row.Given != TGivenStop::OUTLIVES || WaitForSingleObject(h.Get(), 0) == WAIT_TIMEOUT);  // still there
  if (!h.IsNone()) TerminateProcess(h.Get(), 99);
  if (row.ResCode && row.Given == TGivenStop::NONE) {
    EXPECT_EQ(START_ERR.substr(0, START_ERR.size() - 2), S(r.Cmnt()));
  }
}
INSTANTIATE_TEST_SUITE_P(ProcessMngr, Run, testing::ValuesIn(RunRows()),
                         [](const testing::TestParamInfo<TRunRow>& i) { return std::string(i.param.Name); });
// A window hung for a while that answers again: notes only, the row back at 0, the child ends by itself.
TEST(ProcessMngr, HungWindowRecovers) {
  YT_NEEDS_DESKTOP();
  yt::TTmpDir d;
  TProcessMngr m;
  const std::string prms = "-hung:10 -time:1 -r:40s -l:\"" + d("evt.log") + "\" ";
  ASSERT_EQ(0u, FromCmdLn(m, prms + Child("hang 300 8000 2500")).Code());
  EXPECT_TRUE(!m.Run().IsErr() && m.ExitCode() == 0 && TProcessMngrProbe{m}.HungRow() == 0);
  TLines ev = EvtLines(d("evt.log")), want = {START};
  for (size_t i = 1; i + 1 < ev.size(); ++i) want.push_back(CHK + HUNG + std::to_string(i) + "/10)");
  want.push_back(EXITED_CHK + "0");
  EXPECT_TRUE(ev.size() >= 3 && ev == want) << ev.size();
}
// s:4s: WM_DESTROY and up to 2 s, WM_QUIT and up to 2 s, termination; the exit code says which step ended it.
TEST(ProcessMngr, GentleStopSteps) {
  YT_NEEDS_DESKTOP();
  struct { const char* mode; uint32_t code; DWORD minMs, maxMs; } rows[] = {
      {"destroy", 21, 0, 3900}, {"quit", 22, 1950, 3900}, {"none", 0, 3950, 30000}};
  for (const auto& row : rows) {
    WTProcess p;
    ASSERT_EQ(0u, p.Crt(TStr(Child(std::string("gentle ") + row.mode).c_str()), nullptr, 0));
    auto other = [](HWND w, LPARAM) -> BOOL {  // its own window: Wine may list the IME window first
      char c[16] = "";
      return !GetClassNameA(w, c, sizeof c) || strcmp(c, "ch_exit") != 0;
    };
    ASSERT_TRUE(yt::WaitFor([&] { return !EnumThreadWindows(p.PrcInfo().dwThreadId, other, 0); })) << "no window";
    TProcessMngr m;
    m.SetStopTm(4000);
    const DWORD t0 = GetTickCount();
    const uint32_t rc = TProcessMngrProbe{m}.ForceStop(p);
    const DWORD took = GetTickCount() - t0;
    EXPECT_TRUE(rc == 0 && p.Wait(10000) == WAIT_OBJECT_0 && row.code == p.GetExitCode()) << row.mode;
    EXPECT_TRUE(took >= row.minMs && took < row.maxMs) << row.mode << " took " << took;
  }
}
// A child that ended just before its forced stop keeps its own code: ending its job, then empty, is no refusal.
TEST(ProcessMngr, StopOfAChildThatHasJustEnded) {
  yt::TTraceTap trace({"WP."});
  WTProcess p;
  ASSERT_EQ(0u, p.Crt(TStr(Child("7").c_str()), nullptr, 0));
  ASSERT_EQ(p.Wait(yt::kWaitMs), WAIT_OBJECT_0);
  TProcessMngr m;
  m.SetStopTm(0);
  EXPECT_EQ(TProcessMngrProbe{m}.ForceStop(p), 0u);
  EXPECT_EQ(m.ExitCode(), 7u);
  EXPECT_EQ(trace.Count("WP. TProcessMngr::ForceStop() child had ended by itself (exit_code=7)"), 1);
}
// The child's job (jobs work under Wine as on Windows): a stop ends what it started, also when the child ends as
// asked within s:4s; an end of its own leaves that running, and so does CREATE_BREAKAWAY_FROM_JOB.
TEST(ProcessMngr, ChildProcessTree) {
  struct { const char* args; uint32_t stopTm; bool gone; uint32_t exitCode; } rows[] = {
      {"-1", 0, true, 1359}, {"-1 window", 4000, true, 1359}, {"300", 0, false, 0}, {"-1 away", 0, false, 1359}};
  for (const auto& row : rows) {
    yt::TTmpDir dir;
    const std::string pidFile = dir("pid.txt");
    std::string txt;  // what the child wrote
    yt::TTraceTap trace({"WP.", "SP."});
    HANDLE g = nullptr;  // the grandchild, opened while the run goes on (its id could be reused once it is gone)
    std::thread opener([&] {
      txt = yt::WaitFor([&] { return yt::Exists(pidFile); }) ? yt::ReadAll(pidFile) : "";
      const DWORD pid = std::strtoul(txt.c_str(), nullptr, 10);
      g = pid ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr;
    });
    TProcessMngr m;
    const std::string prms = "-r:1500 -a:1 -s:" + std::to_string(row.stopTm);
    EXPECT_EQ(0u, FromCmdLn(m, prms + " " + Child("tree " + pidFile + " " + row.args)).Code());
    const DWORD t0 = GetTickCount();
    EXPECT_TRUE(!m.Run().IsErr() && (!row.stopTm || GetTickCount() - t0 < 1500 + row.stopTm)) << row.args;
    opener.join();
    EXPECT_TRUE(row.exitCode == m.ExitCode() && trace.Count("SP!") == 0) << row.args << ": " << m.ExitCode();
    ASSERT_TRUE(g) << row.args << ": " << txt;
    EXPECT_EQ(row.gone, WaitForSingleObject(g, row.gone ? yt::kWaitMs : 0) == WAIT_OBJECT_0) << row.args;
    TerminateProcess(g, 99);
    CloseHandle(g);
  }
}
// After a launch that worked, a program missing for a moment (moved away during its first run) costs one attempt:
// its launch error, the pause, the next launch. Through the entry, for the exit status.
TEST(ProcessMngr, BriefLaunchFailure) {
  const DWORD AWAY_MS = 2200;  // the first relaunch (1.5 s after the end) fails, the second (3 s) finds it back
  struct { bool back; const char* attempts; DWORD status; TLines tail; } rows[] = {
      {true, "4", 0, {START, EXITED + "0"}}, {false, "2", ERROR_FILE_NOT_FOUND, {ATTEMPTS + "2/2."}}};
  for (const auto& row : rows) {
    yt::TTmpDir dir;
    const std::string exe = dir("app.exe"), log = dir("evt.log");
    ASSERT_TRUE(CopyFileA(ChildPath("ch_app").c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(SetEnvironmentVariableA("YD_APP_EXIT", "5"));  // inherited by the launches
    ASSERT_TRUE(SetEnvironmentVariableA("YD_APP_ARGS", dir("runs.txt").c_str()));
    std::thread away([&] {
      yt::WaitFor([&] { return yt::Exists(dir("runs.txt")) && MoveFileA(exe.c_str(), (exe + ".away").c_str()); });
      if (!row.back) return;
      Sleep(AWAY_MS);
      SetEnvironmentVariableA("YD_APP_EXIT", "0");
      MoveFileA((exe + ".away").c_str(), exe.c_str());
    });
    const std::string cmdLn = "ydsprv.exe -a:" + std::string(row.attempts) + " -p:1500 -l:" + log + " " + exe;
    const DWORD st = RunEntry(cmdLn.c_str(), nullptr);
    away.join();
    SetEnvironmentVariableA("YD_APP_EXIT", nullptr);
    SetEnvironmentVariableA("YD_APP_ARGS", nullptr);
    TLines want = {START, EXITED + "5", START, START_ERR + ErrTxt(ERROR_FILE_NOT_FOUND).Str()};
    want.insert(want.end(), row.tail.begin(), row.tail.end());
    EXPECT_TRUE(row.status == st && want == EvtLines(log)) << st;
  }
}
namespace {
struct TGivenMeasures : TMeasures {  // and what it was asked for, in order: w(orking set), g(di), h(ung)
  static const uint64_t UNREADABLE = ~0ull;
  uint64_t Ws;
  uint32_t HandleCnt, GdiCnt;
  std::string Asked;
  TGivenMeasures(uint64_t ws, uint32_t handles, uint32_t gdi) : Ws(ws), HandleCnt(handles), GdiCnt(gdi) {}
  bool Ask(const char* what) {
    Asked += what;
    return true;
  }
  bool WrkSet(const WTProcess&, uint64_t& bytes) override { return Ask("w") && (bytes = Ws) != UNREADABLE; }
  uint32_t Handles(const WTProcess&) override { return HandleCnt; }
  uint32_t GdiObjs(const WTProcess&) override { return Ask("g") ? GdiCnt : 0; }
  bool HungWnd(const WTProcess&) override { return Ask("h"); }
};
}  // namespace
// Given measures (Wine counts no handles or GDI objects): run time first, over the tick wrap; an error skips the rest.
TEST(Checks, Table) {
  const uint32_t E = SVRT_ERR, OK = SVRT_OK, W = 0xFFFFFFFFu - 999;  // W: launched 1000 ms before the wrap
  struct { const char* name; const char* prms; uint64_t ws; uint32_t hnd, gdi, svrt; std::string cmnt;
           const char* asked; uint32_t now = W + 10000; } rows[] = {
      {"AllAtLimit", "-m:10M -handles:100 -g:10", 10485760, 100, 10, OK, "", "wg"},
      {"MemOneByteOver", "-m:10M", 10485761, 0, 0, E, MEM + "10485761/10485760). ", "w"},
      {"MemUnreadable", "-m:1", TGivenMeasures::UNREADABLE, 0, 0, OK, "", "w"},
      {"Mem4GiB", "-m:4294967295", 1ull << 32, 0, 0, E, MEM + "4294967296/4294967295). ", "w"},
      {"HandlesOverSkipsHung", "-handles:5 -hung:1", 0, 6, 0, E, HANDLES + "6/5). ", ""},
      {"GdiOver", "-g:10", 0, 0, 11, E, GDI + "11/10). ", "g"},
      {"GdiOff", "", 0, 0, 500, OK, "", ""},
      {"MemErrorSkipsGdi", "-m:1000 -g:10", 2000, 0, 11, E, MEM + "2000/1000). ", "w"},
      {"HungFirstIsANote", "-m:1000 -hung:1", 10, 0, 0, SVRT_INFO, HUNG + "1/1)", "wh"},
      {"RunTmFirst", "-m:1000 -r:3000", 5000, 0, 0, E, RUN_TM + "10000/3000)", ""},
      {"RunTm3000", "-r:3000", 0, 0, 0, OK, "", "", 2000},
      {"RunTm3001", "-r:3000", 0, 0, 0, E, RUN_TM + "3001/3000)", "", 2001},
      {"RunTmHalfWay", "-r:3000", 0, 0, 0, E, RUN_TM + "2147484647/3000)", "", 0x7FFFFFFFu}};
  yt::TTicksAt ticks(W);
  for (const auto& r : rows) {
    TGivenMeasures g(r.ws, r.hnd, r.gdi);
    TProcessMngr m;
    TProcessMngrProbe pr{m};
    ASSERT_EQ(0u, FromCmdLn(m, r.prms).Code()) << r.name;
    pr.Measures(&g);
    pr.StartTicks(W);
    ticks.Set(r.now);
    WTProcess p;  // empty: the measures are given
    TRes res = pr.Check(p);
    EXPECT_TRUE(r.svrt == res.Svrt() && res.Code() == (r.svrt == OK ? 0u : 13u)) << r.name << ": " << res.Code();
    EXPECT_EQ(r.cmnt, S(res.Cmnt())) << r.name;
    EXPECT_EQ(r.asked, g.Asked) << r.name;
  }
}
const char* const FRESH_ENV = "YD_TST_FRESH";  // "<case> <result file>": the case a fresh copy of this program runs
// Wine does not pass the error mode on: seen are the supervisor's own (Windows hands it on) and the launch flags;
// and a close that fails is reported.
TEST(Process, NoSystemDialogs) {
  SetErrorMode(0);
  SetQuietErrMode();
  EXPECT_EQ((UINT)(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX), GetErrorMode());
  for (DWORD flags : {DWORD(0), DWORD(CREATE_DEFAULT_ERROR_MODE)}) {
    WTProcess p;
    ASSERT_EQ(0u, p.Crt(TStr(Child("7").c_str()), nullptr, flags));
    const bool suspended = TProcessMngrProbe::SysFlags(p) == CREATE_SUSPENDED;  // until it is in its job
    EXPECT_TRUE(suspended && TProcessMngrProbe::InJob(p)) << flags;
    ASSERT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(yt::kWaitMs));
    HANDLE t = p.PrcInfo().hThread;  // protected from closing once: Close must say that a handle stayed open
    SetHandleInformation(t, HANDLE_FLAG_PROTECT_FROM_CLOSE, flags ? HANDLE_FLAG_PROTECT_FROM_CLOSE : 0);
    EXPECT_TRUE(p.GetExitCode() == 7 && (p.Close() != 0) == (flags != 0));
    EXPECT_EQ(WTProcess::NO_ID, p.PrcInfo().dwProcessId);
    if (flags && SetHandleInformation(t, HANDLE_FLAG_PROTECT_FROM_CLOSE, 0)) CloseHandle(t);
  }
}
// The first use of Log() in a process sets the last error (it creates a named mutex): each case runs in a fresh
// copy of this program, where the failure's line is the first trace line, so its code must be the failing call's.
TEST(Process, FailureCodeIsTheFailingCalls) {
  struct { const char* cs; std::string head, tail; } rows[] = {
      {"exit", "WTProcess::GetExitCode() [this=0x", "] failed (rc=6)."},  // no process handle
      {"stopwait", "TProcessMngr::ForceStop() wait failed (rc=6)", ""}};
  for (const auto& row : rows) {
    yt::TTmpDir dir;
    yt::TProc fresh;
    ASSERT_TRUE(SetEnvironmentVariableA(FRESH_ENV, (std::string(row.cs) + " " + dir("trace.txt")).c_str()));
    ASSERT_TRUE(fresh.Start(yt::SelfCmd("--gtest_filter=ProcessFresh.FirstTraceLine")));
    SetEnvironmentVariableA(FRESH_ENV, nullptr);
    fresh.Wait(60000);  // one short case in a new process on a loaded machine
    const std::string l = yt::Lines(yt::ReadAll(dir("trace.txt")) + "\r\n")[0];
    EXPECT_TRUE(l.find(row.head) != l.npos && l.find(row.tail) != l.npos) << row.cs << ": " << l;
  }
}
TEST(ProcessFresh, FirstTraceLine) {
  const char* env = std::getenv(FRESH_ENV);
  if (!env) GTEST_SKIP() << "runs only in a fresh copy of the program";
  const std::string cs(env);
  const bool exit = cs.rfind("exit ", 0) == 0;
  WTProcess p;
  TProcessMngr m;  // under Wine an empty object's thread has no windows to enumerate: the first wait comes first
  m.SetStopTm(exit ? 0 : 2);
  if (exit) p.GetExitCode();
  if (!exit) TProcessMngrProbe{m}.ForceStop(p);
  TLogLock lk(Log(), yt::kWaitMs);
  Log().Prms().AddTp("...", "");
  Log().SetCurFileNm(cs.substr(cs.find(' ') + 1).c_str());
  EXPECT_EQ(0u, Log().Flush());
}
