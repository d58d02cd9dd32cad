// Threads, handles, mutexes and the trace sink below the log.
#include <gtest/gtest.h>
#include <cstdio>
#include <stdexcept>
#include "Lib/Command.h"
#include "Lib/Thrd.h"
#include "Lib/Trace.h"
#include "TestUtil.h"

struct TThrdProbe {  // what the product never asks of a thread: resuming it, its exit code
  static bool Resume(TThrd& t) { return ResumeThread(t.m_H.Get()) != DWORD(-1); }
  static uint32_t Exit(TThrd& t) {
    DWORD c = 0;
    return GetExitCodeThread(t.m_H.Get(), &c) ? c : 0xFFFFFFFF;
  }
};

namespace {
enum TMode { RUN, SKIP, THROW, THROW_ANY, PUMP, CMD, NO_CMD };  // PUMP sums the wParam of WM_USER messages

struct TTestThrd : TCmdThrd {
  explicit TTestThrd(TMode mode, TCommand* cmd = nullptr) : TCmdThrd(cmd), Mode(mode) {}
  const TMode Mode;
  std::atomic<uint32_t> Sum{0};
  THandle Ready{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  bool Prepare() override {
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue before anyone posts
    SetEvent(Ready.Get());
    return Mode != SKIP;
  }
  void Exec() override {
    if (Mode == THROW) throw EInvalidArgument("ThrdTest", 7, "x>0");
    if (Mode == THROW_ANY) throw 42;
    if (Mode >= CMD) return TCmdThrd::Exec();
    for (MSG m; Mode == PUMP && GetMessageA(&m, nullptr, 0, 0) > 0;) Sum += m.message == WM_USER ? UINT(m.wParam) : 0;
    Sum += 5;
  }
  uint32_t ExitVal() override { return Mode >= CMD ? TCmdThrd::ExitVal() : Sum ? Sum.load() : 6; }
};

struct TResCmd : TCommand {
  explicit TResCmd(int svrt) : Svrt(svrt) {}
  const int Svrt;
  TRes Exec() override { return TRes(5, "test", uint32_t(Svrt)); }
};

// An exception ends the thread with 1359 and an "ST!" line; a command's error gives 0; Prepare's no skips the run.
TEST(Thrd, ExitCodes) {
  yt::TTraceTap tap({"ST!"});
  const struct { TMode mode; int svrt; uint32_t exit; } rows[] = {{RUN, 0, 5}, {SKIP, 0, 6}, {THROW, 0, 1359},
      {THROW_ANY, 0, 1359}, {NO_CMD, 0, 0}, {CMD, SVRT_ERR, 0}, {CMD, SVRT_OK, 1}, {CMD, SVRT_INFO, 1}};
  for (const auto& r : rows) {
    TResCmd cmd(r.svrt);
    TTestThrd t(r.mode, r.mode == NO_CMD ? nullptr : &cmd);
    EXPECT_TRUE(t.Start() == 0 && t.Wait(yt::kWaitMs) == 0 && TThrdProbe::Exit(t) == r.exit) << r.mode;
  }
  EXPECT_EQ(tap.Count("ST! Thread routine exception", "[EInvalidArgument(x>0)] 'ThrdTest' line 7 ]."), 1);
  EXPECT_EQ(tap.Count("ST! Thread routine unknown exception"), 1);
}

// Threads post at once through the per-thread mutex. INVALID_HANDLE_VALUE is none: it is the own process's bits.
TEST(Thrd, SuspendedStartPostingAndPerThreadMutex) {
  EXPECT_TRUE(THandle(INVALID_HANDLE_VALUE).IsNone());
  std::string name;
  {
    TTestThrd t(PUMP);
    ASSERT_EQ(t.Start(THRD_SUSPENDED), 0u);
    EXPECT_EQ(t.Wait(100), uint32_t(WAIT_TIMEOUT));
    name = "YD_TThrd_" + std::to_string(t.Id());
    EXPECT_FALSE(THandle(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str())).IsNone()) << name;
    ASSERT_TRUE(TThrdProbe::Resume(t) && WaitForSingleObject(t.Ready.Get(), yt::kWaitMs) == WAIT_OBJECT_0);
    std::atomic<int> failed{0};
    auto post = [&] {
      for (int j = 0; j < 100; ++j) failed += t.PostMsg(WM_USER, 2, 0) != 0;
    };
    std::thread p1(post), p2(post), p3(post);
    for (std::thread* p : {&p1, &p2, &p3}) p->join();
    EXPECT_TRUE(failed == 0 && t.PostMsg(WM_QUIT, 0, 0) == 0 && t.Wait(yt::kWaitMs) == 0 && TThrdProbe::Exit(t) == 605);
    EXPECT_EQ(t.Start(), uint32_t(ERROR_ALREADY_INITIALIZED));  // a thread object starts once
  }
  EXPECT_TRUE(THandle(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str())).IsNone());  // closed by its owner
}

// A line written from inside the writer is dropped, not recursing; a writer that throws leaves the thread tracing.
TEST(TraceSink, LinesReachTheWriterOnceWithoutRecursion) {
  static std::vector<std::string> lines;
  TTraceFn old = SetTraceFn([](const char* tp, const char* fmt, va_list args) {
    char txt[256];
    vsnprintf(txt, sizeof txt, fmt, args);
    lines.push_back(std::string(tp) + " " + txt);
    if (*tp == 'R') Trace("IN!", "%s", "from inside the writer");
    if (*tp == 'T') throw std::runtime_error("writer failed");
  });
  Trace("RE.", "n=%u,s=%s", 7u, "%s%n");
  EXPECT_THROW(Trace("TH.", "%s", "throws"), std::runtime_error);
  Trace("OK.", "%s", "after the throw");
  SetTraceFn(old);  // the trace log's, when a test made it
  EXPECT_EQ(lines, (std::vector<std::string>{"RE. n=7,s=%s%n", "TH. throws", "OK. after the throw"}));
}
}  // namespace
