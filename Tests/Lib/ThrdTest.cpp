// Threads, handles, mutexes and the trace sink below the log.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "Lib/Command.h"
#include "Lib/Thrd.h"
#include "Lib/Trace.h"
#include "TestUtil.h"

struct TThrdProbe {  // what the product never asks of a thread: resuming it, its exit code
  static bool Resume(TThrd& t) { return ResumeThread(t.m_H.Get()) != DWORD(-1); }
  static uint32_t Exit(TThrd& t) { DWORD c = 0; return GetExitCodeThread(t.m_H.Get(), &c) ? c : 0xFFFFFFFF; }
};

namespace {
const uint32_t kLong = 20000;  // a wait that must end: generous for a loaded machine

// Mode 0 runs, 1 skips the run, 2 and 3 throw, 4 sums the wParam of WM_USER messages until WM_QUIT, 5 runs
// the command.
struct TTestThrd : TCmdThrd {
  explicit TTestThrd(int mode, TCommand* cmd = nullptr) : TCmdThrd(cmd), Mode(mode) {}
  const int Mode;
  std::atomic<uint32_t> Sum{0};
  THandle Ready{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  bool Prepare() override {
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue before anyone posts
    return SetEvent(Ready.Get()), Mode != 1;
  }
  void Exec() override {
    if (Mode == 2) throw EInvalidArgument("ThrdTest", 7, "x>0");
    if (Mode == 3) throw 42;
    if (Mode == 5) return TCmdThrd::Exec();
    for (MSG m; Mode == 4 && GetMessageA(&m, nullptr, 0, 0) > 0;) Sum += m.message == WM_USER ? uint32_t(m.wParam) : 0;
    Sum += 5;
  }
  uint32_t ExitVal() override { return Mode == 5 ? TCmdThrd::ExitVal() : Sum ? Sum.load() : 6; }
};

struct TResCmd : TCommand {
  int Svrt = 0;
  TRes Exec() override { return TRes(5, "test", uint32_t(Svrt)); }
};

// An exception ends the thread with 1359 and an "ST!" line with its message. A command's result that is not an
// error gives 1, an error 0 (the base command has nothing to run); Prepare's no skips the run, not the exit value.
TEST(Thrd, ExitCodes) {
  yt::TTraceTap tap({"ST!"});
  // svrt: the command's result severity; -1 the base command, -2 no command.
  const struct { int mode, svrt; uint32_t exit; } rows[] = {{0, 0, 5}, {1, 0, 6}, {2, 0, 1359}, {3, 0, 1359},
      {5, -1, 0}, {5, -2, 0}, {5, SVRT_ERR, 0}, {5, SVRT_OK, 1}, {5, SVRT_WARN, 1}, {5, SVRT_INFO, 1}};
  for (const auto& r : rows) {
    TCommand base;
    TResCmd cmd;
    cmd.Svrt = r.svrt;
    TTestThrd t(r.mode, r.svrt == -2 ? nullptr : r.svrt == -1 ? &base : &cmd);
    EXPECT_TRUE(t.Start() == 0 && t.Wait(kLong) == 0 && TThrdProbe::Exit(t) == r.exit) << r.mode << " " << r.exit;
  }
  EXPECT_EQ(tap.Count("ST! Thread routine exception", "[EInvalidArgument(x>0)] 'ThrdTest' line 7 ]."), 1);
  EXPECT_EQ(tap.Count("ST! Thread routine unknown exception"), 1);
}

// Several threads post at once through the per-thread mutex, which lives with the object. The invalid-handle
// value is stored as none: the current-process pseudo-handle has the same bits.
TEST(Thrd, SuspendedStartPostingAndPerThreadMutex) {
  std::string name;
  THandle inv(INVALID_HANDLE_VALUE);
  EXPECT_TRUE(inv.IsNone() && inv.Close() == 0);
  {
    TTestThrd t(4);
    EXPECT_TRUE(t.Wait(0) == ERROR_INVALID_HANDLE && t.PostMsg(WM_USER, 1, 0) == ERROR_INVALID_THREAD_ID);
    ASSERT_EQ(t.Start(THRD_SUSPENDED), 0u);
    EXPECT_EQ(t.Wait(100), 258u);
    name = "YD_TThrd_" + std::to_string(t.Id());
    EXPECT_FALSE(THandle(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str())).IsNone()) << name;
    ASSERT_TRUE(TThrdProbe::Resume(t) && WaitForSingleObject(t.Ready.Get(), kLong) == WAIT_OBJECT_0);
    std::atomic<int> failed{0};
    auto post = [&] {
      for (int j = 0; j < 100; ++j) failed += t.PostMsg(WM_USER, 2, 0) != 0;
    };
    std::thread p1(post), p2(post), p3(post);
    p1.join(), p2.join(), p3.join();
    EXPECT_TRUE(failed == 0 && t.PostMsg(WM_QUIT, 0, 0) == 0 && t.Wait(kLong) == 0 && TThrdProbe::Exit(t) == 605);
    EXPECT_EQ(t.Start(), uint32_t(ERROR_ALREADY_INITIALIZED));  // a thread object starts once
  }
  EXPECT_TRUE(THandle(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str())).IsNone());  // closed by its owner
}

// A line written from inside the writer is dropped instead of recursing; a writer that throws does not
// silence the thread for good.
TEST(TraceSink, LinesReachTheWriterOnceWithoutRecursion) {
  static std::vector<std::string> lines;
  TTraceFn old = SetTraceFn([](const char* tp, const char* fmt, va_list args) {
    char txt[256];
    vsnprintf(txt, sizeof txt, fmt, args);
    lines.push_back(std::string(tp) + " " + txt);
    if (*tp == 'R') Trace("IN!", "%s", "from inside the writer");
    if (*tp == 'T') throw std::runtime_error("writer failed");
  });
  Trace("AB.", "n=%u,s=%s", 7u, "%s%n");
  Trace("RE.", "%s", "outer");
  EXPECT_THROW(Trace("TH.", "%s", "throws"), std::runtime_error);
  Trace("OK.", "%s", "after the throw");
  SetTraceFn(old);  // the trace log's, when a test made it
  EXPECT_EQ(lines, (std::vector<std::string>{"AB. n=7,s=%s%n", "RE. outer", "TH. throws", "OK. after the throw"}));
}

}  // namespace
