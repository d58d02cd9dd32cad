// The supervisor: runs with real children (event logs byte for byte, stamps masked), stops, checks, the child wrapper.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <memory>
#include <thread>
#include "Log/Log.h"
#include "ProcessTestUtil.h"
#include "sprv/Entry.h"

namespace {
// Windows' answers for the last step of a stop, which Wine never gives (its TerminateProcess always succeeds and the
// child is gone at once): with the real calls, every other stop here takes the path where both succeed.
struct TGivenStop : TStopCalls {
  enum TMode { NONE = -1, ENDED_BY_ITSELF, WAIT_FAILS, OUTLIVES } Mode; DWORD Pid = 0;
  explicit TGivenStop(TMode m) : Mode(m) {}
  uint32_t Terminate(WTProcess& p, uint32_t exitCode) override {
    Pid = p.PrcInfo().dwProcessId;
    if (Mode != ENDED_BY_ITSELF) return Mode == OUTLIVES ? 0 : TStopCalls::Terminate(p, exitCode);
    TerminateProcess(p.PrcInfo().hProcess, 5), WaitForSingleObject(p.PrcInfo().hProcess, yt::kWaitMs);
    return ERROR_ACCESS_DENIED;  // the child ended with 5 of its own just before, and Windows refuses
  }
  uint32_t Wait(WTProcess& p, uint32_t ms) override {
    return Mode == OUTLIVES ? WAIT_TIMEOUT : Mode == WAIT_FAILS ? (SetLastError(ERROR_INVALID_HANDLE), WAIT_FAILED) : TStopCalls::Wait(p, ms);
  }
};
struct TRunRow {  // MinMs: the pauses between launches, the run-time limits; Ticks: the tick count at the start
  const char* Name; std::string Cmd; std::vector<uint32_t> Codes; std::function<void(TProcessMngr&)> Set;
  uint32_t ResCode, Exit; TLines Evts; DWORD MinMs; uint32_t Ticks = 0;
  int Given = -1; const char* Trace = nullptr; int Traces = 0;  // the last step of the stop given, and its trace
};
void PrintTo(const TRunRow& r, std::ostream* os) { *os << r.Name; }
TLines operator+(TLines a, const TLines& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
std::vector<TRunRow> RunRows() {
  std::string e0 = EXITED + "0", e5 = EXITED + "5", a1 = ATTEMPTS + "1/1.";
  auto a = [](uint32_t n) { return [n](TProcessMngr& m) { m.SetAttemptsLmt(n); }; };
  auto r3 = [](TProcessMngr& m) { m.SetRunTmLmt(300), m.SetAttemptsLmt(3); };
  const TLines stop = {START, STOPPING, STOPPED};
  return {
      {"ExpectedOnFirstLaunch", Child("1223"), DFLT, a(~0u), 0, 1223, {START, EXITED + "1223"}, 0},
      {"AttemptsUsedUp", Child("5"), DFLT, [](TProcessMngr& m) { m.SetAttemptsLmt(3), m.SetPause(400); }, 0, 5, {START, e5, START, e5, START, e5, ATTEMPTS + "3/3."}, 780},
      {"LastAllowedLaunch", Child("0"), DFLT, a(1), 0, 0, {START, e0, a1}, 0},  // the limit comes before the code
      {"GivenHighCode", Child("0xC0000005"), {0xC0000005u}, a(2), 0, 0xC0000005u, {START, EXITED + "3221225477"}, 0},
      {"EmptyListExpectsNothing", Child("0"), {}, a(2), 0, 0, {START, e0, START, e0, ATTEMPTS + "2/2."}, 0},
      // A launch failure is not retried; the system's own text goes to the event log, an insert mark "%1" as it stands.
      {"MissingProgram", "\"" + ChildPath("no_such_prog") + "\"", DFLT, a(~0u), 2, 1, {START, START_ERR + ErrTxt(2).Str()}, 0},
      {"NotAProgram", "\"" + std::string(std::getenv("SystemRoot") ? std::getenv("SystemRoot") : "C:\\Windows") + "\\win.ini\"", DFLT, a(~0u), 193, 1, {START, START_ERR + ErrTxt(193).Str()}, 0},
      // r:1s: terminated (s:0), judged 1359, relaunched; m: stopped at the first check over the limit; checks every 30 s:
      // a child that ends after 0.2 s is noticed at once. A window that stops answering: 1/1 is a note, 2/1 stops it.
      {"RunTimeLimit", Child("0 -1"), DFLT, [](TProcessMngr& m) { m.SetRunTmLmt(1000), m.SetAttemptsLmt(2); }, 0, 1359, stop + stop + TLines{ATTEMPTS + "2/2."}, 1900},
      {"MemoryLimit", Child("mem 96 -1"), DFLT, [](TProcessMngr& m) { m.SetMemLmt(48u << 20), m.SetChkIntrvl(1000), m.SetAttemptsLmt(1); },
       0, 1359, {START, CHK + MEM + "N/50331648). ", STOPPING, STOPPED, a1}, 0},
      {"ExitBetweenChecks", Child("1223 200"), DFLT, [](TProcessMngr& m) { m.SetMemLmt(1u << 30), m.SetChkIntrvl(30000); }, 0, 1223, {START, EXITED_CHK + "1223"}, 0},
      {"HungWindow", Child("hang 300 -1 0"), DFLT, [](TProcessMngr& m) { m.SetHung(true, 1), m.SetChkIntrvl(1000), m.SetAttemptsLmt(1), m.SetRunTmLmt(40000); },
       0, 1359, {START, CHK + HUNG + "1/1)", CHK + HUNG + "2/1)", STOPPING, STOPPED, a1}, 0},
      {"PercentMarksAreLiteral", Child("0 0 %s%n%1%x%p"), DFLT, a(~0u), 0, 0, {START, e0}, 0},  // in the trace and the child
      {"RunTimeLimitAcrossTheTickWrap", Child("0 20000"), DFLT, [](TProcessMngr& m) { m.SetMemLmt(~0u), m.SetChkIntrvl(200), m.SetRunTmLmt(1000), m.SetAttemptsLmt(1); },
       0, 1359, {START, CHK + RUN_TM + "N/1000)", STOPPING, STOPPED, a1}, 950, 0xFFFFFFFFu - 299},  // launched 300 ms before the wrap
      // The last step of the stop given: the child's own 5 counts; one that may still run ends the run, none over it.
      {"StopEndedByItself", Child("0 -1"), DFLT, r3, 0, 5, stop + stop + stop + TLines{ATTEMPTS + "3/3."}, 0, 0, TGivenStop::ENDED_BY_ITSELF,
       "WP. TProcessMngr::ForceStop() child had ended by itself (exit_code=5)", 3},
      {"StopWaitFails", Child("0 -1"), DFLT, r3, 6, 1359, stop, 0, 0, TGivenStop::WAIT_FAILS, "WP. TProcessMngr::ForceStop() wait for the end failed (rc=6)", 1},
      {"StopOutlived", Child("0 -1"), DFLT, r3, WAIT_TIMEOUT, 1359, stop, 0, 0, TGivenStop::OUTLIVES, "WP. TProcessMngr::ForceStop() child still running 10000 ms after its termination", 1}};
}
class Run : public testing::TestWithParam<TRunRow> {};
}  // namespace

TEST_P(Run, EventLogAndOutcome) {
  const TRunRow& row = GetParam();
  if (row.Cmd.find("hang") != std::string::npos) YT_NEEDS_DESKTOP();  // its window is what is checked
  yt::TTmpDir d;
  yt::TTraceTap trace({"WP.", "SP."});
  std::unique_ptr<yt::TTicksAt> ticks(row.Ticks ? new yt::TTicksAt(row.Ticks, true) : nullptr);
  TGivenStop calls(TGivenStop::TMode(row.Given));
  TProcessMngr m;
  Prepare(m, row.Cmd, d("evt.log"), row.Codes), row.Set(m), TProcessMngrProbe{m}.StopCalls(row.Given >= 0 ? &calls : nullptr);
  DWORD t0 = GetTickCount();
  TRes r = m.Run();
  EXPECT_TRUE(GetTickCount() - t0 >= row.MinMs && GetTickCount() - t0 < 30000) << GetTickCount() - t0;
  EXPECT_TRUE(row.ResCode == r.Code() && (row.ResCode != 0) == r.IsErr() && row.Exit == m.ExitCode() &&
              (std::count(row.Codes.begin(), row.Codes.end(), row.Exit) > 0) == m.IsExpectedExitCode()) << r.Code() << " " << m.ExitCode();
  TLines ev = EvtLines(d("evt.log"));
  for (std::string& l : ev)  // the measures read vary: within bounds, they are masked
    l = NumBetween(l, CHK + MEM, "/50331648). ") > 50331648 ? CHK + MEM + "N/50331648). "
        : uint64_t(NumBetween(l, CHK + RUN_TM, "/1000)") - 1000) < 9000 ? CHK + RUN_TM + "N/1000)" : l;
  EXPECT_EQ(row.Evts, ev);
  EXPECT_TRUE(row.Evts.back().rfind(ATTEMPTS, 0) != 0 || row.Evts.back() == S(r.Cmnt())) << S(r.Cmnt());
  EXPECT_EQ(1, trace.Count("WP. TProcessMngr::Run() begin(cmdln=" + row.Cmd + ")"));
  EXPECT_TRUE(!row.Trace || row.Traces == trace.Count(row.Trace)) << row.Trace;
  HANDLE h = row.Given == TGivenStop::OUTLIVES ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, calls.Pid) : nullptr;
  EXPECT_TRUE(row.Given != TGivenStop::OUTLIVES || (h && WaitForSingleObject(h, 0) == WAIT_TIMEOUT));  // still there
  if (h) TerminateProcess(h, 99), CloseHandle(h);
  if (row.ResCode == 0 || row.Given >= 0) return;
  EXPECT_EQ(START_ERR.substr(0, START_ERR.size() - 2), S(r.Cmnt()));
  EXPECT_EQ(1, trace.Count("SP! WTProcess::Crt(cmdln='" + row.Cmd + "',flags=0) [this=0x",
                           "] end (PID=0,TID=0,rc=" + std::to_string(row.ResCode) + ")."));
}
INSTANTIATE_TEST_SUITE_P(ProcessMngr, Run, testing::ValuesIn(RunRows()), [](const testing::TestParamInfo<TRunRow>& i) { return std::string(i.param.Name); });

// A window hung for a while that answers again: notes only, the row back at 0, the child ends by itself.
TEST(ProcessMngr, HungWindowRecovers) {
  YT_NEEDS_DESKTOP();
  yt::TTmpDir d;
  TProcessMngr m;
  Prepare(m, Child("hang 300 8000 2500"), d("evt.log")), m.SetHung(true, 10), m.SetChkIntrvl(1000), m.SetRunTmLmt(40000);
  EXPECT_TRUE(!m.Run().IsErr() && m.ExitCode() == 0 && TProcessMngrProbe{m}.HungRow() == 0);
  TLines ev = EvtLines(d("evt.log")), want = {START};
  for (size_t i = 1; i + 1 < ev.size(); ++i) want.push_back(CHK + HUNG + std::to_string(i) + "/10)");
  EXPECT_TRUE(ev.size() >= 3 && (want.push_back(EXITED_CHK + "0"), ev == want)) << ev.size();
}

// s:4s: WM_DESTROY and up to 2 s, WM_QUIT and up to 2 s, termination; the exit code says which step ended it.
TEST(ProcessMngr, GentleStopSteps) {
  YT_NEEDS_DESKTOP();
  struct { const char* mode; uint32_t code; DWORD minMs, maxMs; } rows[] = {
      {"destroy", 21, 0, 3900}, {"quit", 22, 1950, 3900}, {"none", 0, 3950, 30000}};
  for (const auto& row : rows) {
    WTProcess p;
    ASSERT_EQ(0u, p.Crt(TStr(Child(std::string("gentle ") + row.mode).c_str()), nullptr, 0));
    auto any = [](HWND, LPARAM l) { return *reinterpret_cast<bool*>(l) = true, FALSE; };
    bool wnd = false;
    ASSERT_TRUE(yt::WaitFor([&] { return EnumThreadWindows(p.PrcInfo().dwThreadId, any, LPARAM(&wnd)), wnd; })) << "no window";
    TProcessMngr m;
    DWORD t0 = GetTickCount(), rc = (m.SetStopTm(4000), TProcessMngrProbe{m}.ForceStop(p)), took = GetTickCount() - t0;
    EXPECT_TRUE(rc == 0 && p.Wait(10000) == WAIT_OBJECT_0 && row.code == p.GetExitCode()) << row.mode;
    EXPECT_TRUE(took >= row.minMs && took < row.maxMs) << row.mode << " took " << took;
  }
}

// The child's job (jobs work under Wine as on Windows): a stop ends what it started, also when the child ends as
// asked within s:4s; an end of its own leaves that running, and so does CREATE_BREAKAWAY_FROM_JOB.
TEST(ProcessMngr, ChildProcessTree) {
  struct { const char* args; uint32_t stopTm; bool gone; uint32_t exitCode; } rows[] = {
      {"-1", 0, true, 1359}, {"-1 window", 4000, true, 1359}, {"300", 0, false, 0}, {"-1 away", 0, false, 1359}};
  for (const auto& row : rows) {
    yt::TTmpDir dir;
    std::string pidFile = dir("pid.txt"), txt;
    yt::TTraceTap trace({"WP.", "SP."});
    HANDLE g = nullptr;  // the grandchild, opened while the run goes on (its id could be reused once it is gone)
    std::thread opener([&] {
      DWORD pid = yt::WaitFor([&] { return yt::Exists(pidFile); }) ? std::strtoul((txt = yt::ReadAll(pidFile)).c_str(), nullptr, 10) : 0;
      g = pid ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr;
    });
    TProcessMngr m;
    Prepare(m, Child("tree " + pidFile + " " + row.args), ""), m.SetRunTmLmt(1500), m.SetAttemptsLmt(1), m.SetStopTm(row.stopTm);
    DWORD t0 = GetTickCount();
    EXPECT_TRUE(!m.Run().IsErr() && (!row.stopTm || GetTickCount() - t0 < 1500 + row.stopTm)) << row.args;
    opener.join();
    EXPECT_TRUE(row.exitCode == m.ExitCode() && trace.Count("SP!") == 0) << row.args << ": " << m.ExitCode();
    ASSERT_TRUE(g) << row.args << ": " << txt;
    EXPECT_EQ(row.gone, WaitForSingleObject(g, row.gone ? yt::kWaitMs : 0) == WAIT_OBJECT_0) << row.args;
    TerminateProcess(g, 99), CloseHandle(g);
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
    std::string exe = dir("app.exe"), log = dir("evt.log");
    ASSERT_TRUE(CopyFileA(ChildPath("ch_app").c_str(), exe.c_str(), FALSE) && SetEnvironmentVariableA("YD_APP_EXIT", "5") &&  // inherited
                SetEnvironmentVariableA("YD_APP_ARGS", dir("runs.txt").c_str()));
    std::thread away([&] {
      yt::WaitFor([&] { return yt::Exists(dir("runs.txt")) && MoveFileA(exe.c_str(), (exe + ".away").c_str()); });
      if (row.back) Sleep(AWAY_MS), SetEnvironmentVariableA("YD_APP_EXIT", "0"), MoveFileA((exe + ".away").c_str(), exe.c_str());
    });
    DWORD st = RunEntry(("ydsprv.exe -a:" + std::string(row.attempts) + " -p:1500 -l:" + log + " " + exe).c_str(), nullptr);
    away.join();
    SetEnvironmentVariableA("YD_APP_EXIT", nullptr), SetEnvironmentVariableA("YD_APP_ARGS", nullptr);
    EXPECT_TRUE(row.status == st && (TLines{START, EXITED + "5", START, START_ERR + ErrTxt(ERROR_FILE_NOT_FOUND).Str()} + row.tail) == EvtLines(log)) << st;
  }
}

namespace {
struct TGivenMeasures : TMeasures {  // counts how often some were asked
  bool WsOk = true;
  uint64_t Ws = 0;
  uint32_t HandleCnt = 0, GdiCnt = 0, WsAsked = 0, GdiAsked = 0, HungAsked = 0;
  bool WrkSet(const WTProcess&, uint64_t& bytes) override { return ++WsAsked, bytes = Ws, WsOk; }
  uint32_t Handles(const WTProcess&) override { return HandleCnt; }
  uint32_t GdiObjs(const WTProcess&) override { return ++GdiAsked, GdiCnt; }
  bool HungWnd(const WTProcess&) override { return ++HungAsked, true; }
};
}  // namespace

// Given measures (Wine's handle and GDI counts read 0): the run time first, across the tick wrap (launched 1000 ms
// before it); an error skips the checks after it.
TEST(Checks, Table) {
  const uint32_t E = SVRT_ERR, OK = SVRT_OK, I = SVRT_INFO, W = 0xFFFFFFFFu - 999;
  struct { const char* name; uint32_t memLmt; bool wsOk; uint64_t ws; uint32_t hndLmt, hnd, gdiLmt, gdi; bool hungOn; uint32_t svrt;
           std::string cmnt; uint32_t wsAsked, gdiAsked, hungAsked, runTm = ~0u, now = W + 10000; } rows[] = {
      {"AllAtLimit", 10485760, true, 10485760, 100, 100, 10, 10, false, OK, "", 1, 1, 0},
      {"MemOneByteOver", 10485760, true, 10485761, 0, 0, 0, 0, false, E, MEM + "10485761/10485760). ", 1, 0, 0},
      {"MemUnreadable", 1, false, 999999999, 0, 0, 0, 0, false, OK, "", 1, 0, 0},  // 4 GiB: over any 32-bit limit
      {"Mem4GiB", 0xFFFFFFFFu, true, 1ull << 32, 0, 0, 0, 0, false, E, MEM + "4294967296/4294967295). ", 1, 0, 0},
      {"HandlesOverSkipsHung", 0, true, 0, 5, 6, 0, 0, true, E, HANDLES + "6/5). ", 0, 0, 0},
      {"GdiOver", 0, true, 0, 0, 0, 10, 11, false, E, GDI + "11/10). ", 0, 1, 0}, {"GdiOff", 0, true, 0, 0, 0, 0, 500, false, OK, "", 0, 0, 0},
      {"MemErrorSkipsGdi", 1000, true, 2000, 0, 0, 10, 11, false, E, MEM + "2000/1000). ", 1, 0, 0},
      {"HungFirstIsANote", 1000, true, 10, 0, 0, 0, 0, true, I, HUNG + "1/1)", 1, 0, 1},
      {"RunTmFirst", 1000, true, 5000, 0, 0, 0, 0, false, E, RUN_TM + "10000/3000)", 0, 0, 0, 3000},
      {"RunTm999", 0, true, 0, 0, 0, 0, 0, false, OK, "", 0, 0, 0, 3000, 0xFFFFFFFFu}, {"RunTm3000", 0, true, 0, 0, 0, 0, 0, false, OK, "", 0, 0, 0, 3000, 2000},
      {"RunTm3001", 0, true, 0, 0, 0, 0, 0, false, E, RUN_TM + "3001/3000)", 0, 0, 0, 3000, 2001},
      {"RunTmHalfWay", 0, true, 0, 0, 0, 0, 0, false, E, RUN_TM + "2147484647/3000)", 0, 0, 0, 3000, 0x7FFFFFFFu}};
  yt::TTicksAt ticks(W);
  for (const auto& r : rows) {
    TGivenMeasures g;
    TProcessMngr m;
    TProcessMngrProbe pr{m};
    g.WsOk = r.wsOk, g.Ws = r.ws, g.HandleCnt = r.hnd, g.GdiCnt = r.gdi, pr.Measures(&g), m.SetMemLmt(r.memLmt), m.SetHandlesLmt(r.hndLmt), m.SetGdiObjsLmt(r.gdiLmt), m.SetHung(r.hungOn, 1);
    m.SetRunTmLmt(r.runTm), pr.StartTicks(W), ticks.Set(r.now);
    WTProcess p;  // empty: the measures are given
    TRes res = pr.Check(p);
    EXPECT_TRUE(r.svrt == res.Svrt() && res.Code() == (r.svrt == OK ? 0u : 13u) && r.cmnt == S(res.Cmnt())) << r.name << ": " << S(res.Cmnt());
    EXPECT_TRUE(r.wsAsked == g.WsAsked && r.gdiAsked == g.GdiAsked && r.hungAsked == g.HungAsked) << r.name;
  }
}

const char* const FRESH_ENV = "YD_TST_FRESH";  // "<case> <result file>": the case a fresh copy of this program runs
// Wine does not pass the error mode on: seen are the supervisor's own (Windows hands it on) and the launch flags;
// and a close that fails is reported.
TEST(Process, NoSystemDialogs) {
  SetErrorMode(0), SetQuietErrMode();
  EXPECT_EQ((UINT)(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX), GetErrorMode());
  for (int flags : {0, (int)CREATE_DEFAULT_ERROR_MODE}) {
    WTProcess p;
    ASSERT_EQ(0u, p.Crt(TStr(Child("7").c_str()), nullptr, flags));
    EXPECT_TRUE(TProcessMngrProbe::SysFlags(p) == CREATE_SUSPENDED && TProcessMngrProbe::InJob(p)) << flags;  // until in its job
    ASSERT_EQ((uint32_t)WAIT_OBJECT_0, p.Wait(yt::kWaitMs));
    HANDLE t = p.PrcInfo().hThread;  // protected from closing once: Close must say that a handle stayed open
    SetHandleInformation(t, HANDLE_FLAG_PROTECT_FROM_CLOSE, flags ? HANDLE_FLAG_PROTECT_FROM_CLOSE : 0);
    EXPECT_TRUE(p.GetExitCode() == 7 && (p.Close() != 0) == (flags != 0) && p.PrcInfo().dwProcessId == WTProcess::NO_ID);
    if (flags) SetHandleInformation(t, HANDLE_FLAG_PROTECT_FROM_CLOSE, 0), CloseHandle(t);
  }
}

// The first use of Log() in a process sets the last error (it creates a named mutex): each case runs in a fresh
// copy of this program, where the failure's line is the first trace line, so its code must be the failing call's.
TEST(Process, FailureCodeIsTheFailingCalls) {
  struct { const char* cs; std::string head, tail; } rows[] = {
      {"exit", "SP! WTProcess::GetExitCode() [this=0x", "] failed (rc=6)."},  // no process handle
      {"stopwait", "WP. TProcessMngr::ForceStop() wait failed (rc=6)", ""}};
  for (const auto& row : rows) {
    yt::TTmpDir dir;
    yt::TProc fresh;
    SetEnvironmentVariableA(FRESH_ENV, (std::string(row.cs) + " " + dir("trace.txt")).c_str());
    ASSERT_TRUE(fresh.Start(yt::SelfCmd("--gtest_filter=ProcessFresh.FirstTraceLine")) && SetEnvironmentVariableA(FRESH_ENV, nullptr));
    fresh.Wait(60000);  // one short case in a new process on a loaded machine
    std::string l = yt::Lines(yt::ReadAll(dir("trace.txt")) + "\r\n")[0];
    EXPECT_TRUE(l.rfind(row.head, 0) == 0 && l.find(row.tail) != l.npos) << row.cs << ": " << l;
  }
}

TEST(ProcessFresh, FirstTraceLine) {
  const char* env = std::getenv(FRESH_ENV);
  if (!env) GTEST_SKIP() << "runs only in a fresh copy of the program";
  std::string cs(env), res = cs.substr(cs.find(' ') + 1);
  WTProcess p;
  TProcessMngr m;  // under Wine an empty object's thread has no windows to enumerate: the first wait comes first
  cs.rfind("exit ", 0) == 0 ? (void)p.GetExitCode() : (m.SetStopTm(2), (void)TProcessMngrProbe{m}.ForceStop(p));
  TLogLock lk(Log(), yt::kWaitMs);
  Log().Prms().SetTmFrmt(""), Log().Prms().SetPidOn(false), Log().Prms().SetTidOn(false), Log().Prms().AddTp("...", ""), Log().SetCurFileNm(res.c_str());
  EXPECT_EQ(0u, Log().Flush());
}
