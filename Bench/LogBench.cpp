// Cost of writing log lines: the trace log (writer thread) and the plain event log, from one and two
// threads, with a filter that passes every line, and the event log as the supervisor sets it up (every line
// written out at once). Usage: LogBench [lines]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Log/LogFile.h"
#include "Log/LogLine.h"

namespace {

double Freq() {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return double(f.QuadPart);
}

double Now() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) / Freq();
}

struct TRun {
  double CallerSec = 0;  // until every caller returned from its last Write()
  double TotalSec = 0;   // until Close() has written everything
  double MedianUs = 0;
  size_t FileLines = 0;
};

size_t CountLines(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  size_t n = 0;
  char buf[65536];
  DWORD rd = 0;
  while (ReadFile(h, buf, sizeof buf, &rd, nullptr) && rd) n += size_t(std::count(buf, buf + rd, '\n'));
  CloseHandle(h);
  return n;
}

TRun Measure(TLog& log, int lines, int threads) {
  std::vector<std::vector<double>> costs(threads);
  double t0 = Now();
  std::vector<std::thread> ts;
  for (int t = 0; t < threads; ++t)
    ts.emplace_back([&, t] {
      std::vector<double>& c = costs[t];
      c.reserve(lines / threads);
      for (int i = t; i < lines; i += threads) {
        double a = Now();
        log.Write("WP.", "Check: line %d of thread %d, %s", i, t, "a text of ordinary length");
        c.push_back(Now() - a);
      }
    });
  for (auto& th : ts) th.join();
  TRun r;
  r.CallerSec = Now() - t0;
  log.Close();
  r.TotalSec = Now() - t0;
  std::vector<double> all;
  for (auto& c : costs) all.insert(all.end(), c.begin(), c.end());
  std::nth_element(all.begin(), all.begin() + all.size() / 2, all.end());
  r.MedianUs = all[all.size() / 2] * 1e6;
  return r;
}

void Report(const char* what, int lines, int threads, const TRun& r) {
  printf("%-22s %d thread(s): %8.0f lines/s for the callers, %8.0f lines/s to the file, median Write() %6.1f us,"
         " %zu lines in the file\n",
         what, threads, lines / r.CallerSec, lines / r.TotalSec, r.MedianUs, r.FileLines);
}

// Median cost in microseconds of one call of f.
template <class F>
double MedianUs(int n, F f) {
  std::vector<double> c;
  c.reserve(n);
  for (int i = 0; i < n; ++i) {
    double a = Now();
    f();
    c.push_back(Now() - a);
  }
  std::nth_element(c.begin(), c.begin() + n / 2, c.end());
  return c[n / 2] * 1e6;
}

// What one line costs, piece by piece.
void Parts() {
  TLog l;
  TLogLine line("WP.", "Check: a text of ordinary length");
  TStr fmt("dd.MM.yyyy HH:mm:ss.ii");
  printf("parts (median us): mutex wait+release %.1f, local time %.1f, time stamp %.1f, whole line %.1f\n",
         MedianUs(2000, [&] { TLogLock lk(l, 1000); }), MedianUs(2000, [] { TBTm::Now(); }),
         MedianUs(2000, [&] { line.Tm.ToStr(fmt.Str(), LOCALE_USER_DEFAULT); }),
         MedianUs(2000, [&] { line.Render(fmt, true, true, true); }));
}

}  // namespace

int main(int argc, char** argv) {
  int lines = argc > 1 ? atoi(argv[1]) : 20000;
  if (lines < 2) lines = 2;
  char tmp[MAX_PATH + 1];
  GetTempPathA(sizeof tmp, tmp);
  std::string dir = std::string(tmp) + "ydlogbench_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  std::string wli = dir + "bench.wli";
  {
    HANDLE h = CreateFileA(wli.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char txt[] = "[Evts]\r\n...=\r\n";
    DWORD wr = 0;
    bool ok = h != INVALID_HANDLE_VALUE && WriteFile(h, txt, sizeof txt - 1, &wr, nullptr);
    DWORD err = GetLastError();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!ok) {
      printf("cannot write %s: rc=%lu\n", wli.c_str(), err);
      return 1;
    }
  }
  Parts();
  printf("%d lines per run\n", lines);
  for (int threads = 1; threads <= 2; ++threads) {
    std::string f = dir + "trace" + std::to_string(threads) + ".log";
    TAsyncLog trace(wli.c_str(), f.c_str());
    trace.Open();
    TRun r = Measure(trace, lines, threads);
    r.FileLines = CountLines(f);
    Report("trace log (TAsyncLog)", lines, threads, r);
    DeleteFileA(f.c_str());
  }
  // The supervisor's event log writes every line out before it goes on (FlshLns 0): a file opened,
  // appended to and closed per line, in the caller's thread.
  const struct {
    int threads;
    bool atOnce;
  } runs[] = {{1, false}, {2, false}, {1, true}};
  for (const auto& run : runs) {
    int n = run.atOnce ? lines / 10 : lines;
    std::string f = dir + "event" + std::to_string(&run - runs + 1) + ".log";
    TLog ev;
    ev.Prms().SetFileNm(f.c_str());
    ev.Prms().SetTmFrmt("dd.MM.yyyy HH:mm:ss");
    ev.Prms().SetPidOn(false);
    ev.Prms().SetTidOn(false);
    ev.Prms().SetTpOn(false);
    ev.Prms().AddTp("...", "");
    if (run.atOnce) ev.Prms().SetFlshLns(0);
    ev.Open();
    TRun r = Measure(ev, n, run.threads);
    r.FileLines = CountLines(f);
    Report(run.atOnce ? "event log, at once" : "event log (TLog)", n, run.threads, r);
    DeleteFileA(f.c_str());
  }
  DeleteFileA(wli.c_str());
  RemoveDirectoryA(dir.c_str());
  return 0;
}
