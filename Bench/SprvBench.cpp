// Supervisor benchmark (run by hand under Wine, from the build folder):
//   bench/SprvBench.exe [<seconds of the CPU-time watch, default 60>] [<launches, default 200>]
// (1) relaunch throughput of Run against a bare CreateProcessA + wait + close loop of the same child;
// (2) the time from a child's last action to the supervisor noticing its end, plain and monitored wait;
// (3) the supervisor's own CPU time while it watches a sleeping child with a check every second.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "Lib/Path.h"
#include "Log/Log.h"
#include "sprv/ProcessMngr.h"

namespace {

std::string Child(const char* name) {
  return "\"" + std::string(StartPath().Str()) + "..\\children\\" + name + ".exe\"";
}

double Now() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return double(c.QuadPart) / double(f.QuadPart);
}

double BareLoop(const std::string& cmd, int n) {
  double t0 = Now();
  for (int i = 0; i < n; ++i) {
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      std::printf("bare launch failed: %lu\n", GetLastError());
      std::exit(1);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return n / (Now() - t0);
}

double RunLoop(const std::string& cmd, int n) {
  TProcessMngr m;
  m.SetCmdLn(TStr(cmd.c_str()));
  for (uint32_t c : {0u, 1223u, 1152u}) m.AddRetCode(c);
  m.SetAttemptsLmt((uint32_t)n);
  double t0 = Now();
  TRes r = m.Run();
  double rate = n / (Now() - t0);
  if (r.IsErr()) std::printf("Run failed: %u\n", r.Code());
  return rate;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The child writes a counter value right before it ends; Run returns once it has seen the end.
double ExitLatencyMs(bool monitored) {
  char tmp[MAX_PATH];
  GetTempPathA(sizeof(tmp), tmp);
  std::string stamp = std::string(tmp) + "yd_sprv_bench_stamp.txt";
  TProcessMngr m;
  m.SetCmdLn(TStr((Child("ch_exit") + " stamp \"" + stamp + "\" 300").c_str()));
  m.AddRetCode(0);
  if (monitored) m.SetMemLmt(1u << 30);  // never reached: only the monitored wait is wanted
  m.Run();
  double seen = Now();
  long long last = 0;
  if (FILE* f = std::fopen(stamp.c_str(), "r")) {
    long long a = 0;
    if (std::fscanf(f, "%lld %lld", &a, &last) != 2) last = 0;
    std::fclose(f);
  }
  DeleteFileA(stamp.c_str());
  LARGE_INTEGER fr;
  QueryPerformanceFrequency(&fr);
  return last ? (seen - double(last) / double(fr.QuadPart)) * 1000.0 : -1.0;
}

double CpuSec() {
  FILETIME c, e, k, u;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
  auto v = [](const FILETIME& f) { return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7; };
  return v(k) + v(u);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // each figure shows as soon as it is measured
  int watchSec = argc > 1 ? std::atoi(argv[1]) : 60;
  int n = argc > 2 ? std::atoi(argv[2]) : 200;
  Log().Open();

  std::string now = Child("ch_exit") + " 5";
  BareLoop(now, 10);  // warm the file cache and the server
  std::vector<double> bare, run;
  // Alternating which loop goes first keeps a drift of the machine's load out of the ratio.
  for (int i = 0; i < 4; ++i) {
    if (i % 2) run.push_back(RunLoop(now, n));
    bare.push_back(BareLoop(now, n));
    if (!(i % 2)) run.push_back(RunLoop(now, n));
  }
  std::printf("(1) relaunch: bare %.1f/s, Run %.1f/s, ratio %.3f (medians of 4 x %d launches)\n", Median(bare),
              Median(run), Median(run) / Median(bare), n);

  for (int mon = 0; mon < 2; ++mon) {
    std::vector<double> v;
    for (int i = 0; i < 7; ++i) v.push_back(ExitLatencyMs(mon != 0));
    std::printf("(2) exit detection, %s wait: median %.1f ms, max %.1f ms (from the child's last write)\n",
                mon ? "monitored" : "plain", Median(v), *std::max_element(v.begin(), v.end()));
  }

  TProcessMngr m;
  m.SetCmdLn(TStr((Child("ch_exit") + " 0 " + std::to_string(watchSec * 1000)).c_str()));
  m.AddRetCode(0);
  m.SetChkIntrvl(1000);
  m.SetMemLmt(1u << 30);
  m.SetHandlesLmt(100000);
  m.SetGdiObjsLmt(100000);
  m.SetHung(true, 1);
  double c0 = CpuSec(), t0 = Now();
  m.Run();
  double cpu = CpuSec() - c0, wall = Now() - t0;
  std::printf("(3) watching %.1f s with time:1 and every check on: CPU %.3f s = %.4f %% of one core\n", wall, cpu,
              100.0 * cpu / wall);
  Log().Close();
  return 0;
}
