// Threads, handles and mutexes.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "Lib/Command.h"
#include "Lib/Thrd.h"
#include "TestUtil.h"

// What the product never asks of a thread: resuming one started suspended, reading its exit code.
struct TThrdProbe {
  static uint32_t Resume(TThrd& t) { return ResumeThread(t.m_H.Get()) == DWORD(-1) ? GetLastError() : 0; }
  static uint32_t Exit(TThrd& t) {
    DWORD code = 0;
    return GetExitCodeThread(t.m_H.Get(), &code) ? code : 0xFFFFFFFF;
  }
};

namespace {

const uint32_t kLong = 20000;  // a wait that must end: generous for a loaded machine

// Mode 0 runs, 1 skips the run in Prepare, 2 throws a known exception, 3 an unknown one; or sums the wParam
// of WM_USER messages until WM_QUIT (mode 4).
struct TTestThrd : TThrd {
  explicit TTestThrd(int mode = 0) : Mode(mode) {}
  const int Mode;
  std::atomic<uint32_t> Sum{0};
  HANDLE Ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ~TTestThrd() override { CloseHandle(Ready); }
  bool Prepare() override {
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue before anyone posts
    return SetEvent(Ready), Mode != 1;
  }
  void Exec() override {
    if (Mode == 2) throw EInvalidArgument("ThrdTest", 7, "x>0");
    if (Mode == 3) throw 42;
    MSG m;
    while (Mode == 4 && GetMessageA(&m, nullptr, 0, 0) > 0) Sum += m.message == WM_USER ? uint32_t(m.wParam) : 0;
    Sum += 5;
  }
  uint32_t ExitVal() override { return Sum ? Sum.load() : 6; }
};

struct TResCmd : TCommand {
  explicit TResCmd(uint32_t svrt) : Svrt(svrt) {}
  const uint32_t Svrt;
  TRes Exec() override { return TRes(5, "test", Svrt); }
};

uint32_t RunToEnd(TThrd& t) {
  EXPECT_EQ(t.Start(), 0u);
  EXPECT_EQ(t.Wait(kLong), 0u);
  return TThrdProbe::Exit(t);
}

// An exception ends the thread with 1359 and an "ST!" line carrying its message; a command's error gives 0.
TEST(Thrd, ExitCodes) {
  yt::TTraceTap tap({"ST!"});
  TTestThrd run, skip(1), known(2), unknown(3);
  EXPECT_EQ(RunToEnd(run), 5u);
  EXPECT_EQ(RunToEnd(skip), 6u);  // Prepare said no: no run, yet the exit value is asked for
  EXPECT_EQ(RunToEnd(known), 1359u);
  EXPECT_EQ(RunToEnd(unknown), 1359u);
  EXPECT_EQ(tap.Count("ST! Thread routine exception", "[EInvalidArgument(x>0)] 'ThrdTest' line 7 ]."), 1);
  EXPECT_EQ(tap.Count("ST! Thread routine unknown exception"), 1);
  struct { uint32_t svrt, exit; } cases[] = {{SVRT_ERR, 0}, {SVRT_OK, 1}, {SVRT_WARN, 1}, {SVRT_INFO, 1}};
  for (const auto& c : cases) {
    TResCmd cmd(c.svrt);
    TCmdThrd t(&cmd);
    EXPECT_EQ(RunToEnd(t), c.exit) << c.svrt;
  }
  TCommand base;  // the base command has nothing to run: an error
  TCmdThrd b(&base), none(nullptr);
  EXPECT_EQ(RunToEnd(b) + RunToEnd(none), 0u);
}

TEST(Thrd, StartSuspendedAndPerThreadMutex) {
  std::string name;
  {
    TTestThrd t;
    EXPECT_EQ(t.Wait(0), uint32_t(ERROR_INVALID_HANDLE));  // not started
    ASSERT_EQ(t.Start(THRD_SUSPENDED), 0u);
    EXPECT_EQ(t.Wait(100), 258u);
    name = "YD_TThrd_" + std::to_string(t.Id());
    EXPECT_FALSE(THandle(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str())).IsNone()) << name;
    ASSERT_EQ(TThrdProbe::Resume(t), 0u);
    EXPECT_EQ(t.Wait(kLong), 0u);
    EXPECT_EQ(TThrdProbe::Exit(t), 5u);
    EXPECT_EQ(t.Start(), uint32_t(ERROR_ALREADY_INITIALIZED));  // a thread object starts once
  }
  EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);  // the mutex lives with the object
}

TEST(Thrd, PostMsgReachesTheThreadFromSeveralPosters) {
  TTestThrd t(4);
  EXPECT_EQ(t.PostMsg(WM_USER, 1, 0), uint32_t(ERROR_INVALID_THREAD_ID));  // no thread yet
  ASSERT_EQ(t.Start(), 0u);
  ASSERT_EQ(WaitForSingleObject(t.Ready, kLong), WAIT_OBJECT_0);
  std::atomic<int> failed{0};
  auto post = [&] {
    for (int j = 0; j < 100; ++j) failed += t.PostMsg(WM_USER, 2, 0) != 0;
  };
  std::thread p1(post), p2(post), p3(post);
  p1.join(), p2.join(), p3.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(t.PostMsg(WM_QUIT, 0, 0), 0u);
  EXPECT_EQ(t.Wait(kLong), 0u);
  EXPECT_EQ(TThrdProbe::Exit(t), 605u);
}

// Handle numbers are reused at once, so whether an object is still held is seen through its name.
TEST(Handle, OwnsMovesAndCloses) {
  const std::string name = "YD_ThrdTest_Owns" + std::to_string(GetCurrentProcessId());
  auto alive = [&] { return !THandle(OpenEventA(SYNCHRONIZE, FALSE, name.c_str())).IsNone(); };
  {
    THandle a(CreateEventA(nullptr, TRUE, FALSE, name.c_str())), c;
    THandle b(std::move(a));
    c = std::move(b);
    EXPECT_TRUE(a.IsNone() && b.IsNone() && alive());
  }
  EXPECT_FALSE(alive());  // closed by the last owner
  THandle inv(INVALID_HANDLE_VALUE);
  EXPECT_TRUE(inv.IsNone() && inv.Close() == 0);  // stored as none: the current-process pseudo-handle is never closed
}

}  // namespace
