// Threads, handles and mutexes, and the trace lines they write (read back from the process trace log).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Lib/Command.h"
#include "Lib/Res.h"
#include "Lib/Thrd.h"
#include "Log/Log.h"
#include "TestUtil.h"

namespace {

const uint32_t kLong = 20000;  // a wait that must end: generous for a loaded machine
const uint32_t kShort = 100;   // a wait that must time out

std::string F(const char* fmt, ...) {
  char buf[512];
  va_list a;
  va_start(a, fmt);
  vsnprintf(buf, sizeof buf, fmt, a);
  va_end(a);
  return buf;
}
unsigned Lo(const void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }
unsigned Pid() { return static_cast<unsigned>(GetCurrentProcessId()); }

// Mode 0 runs, 1 skips the run in Prepare, 2 throws a known exception, 3 an unknown one.
struct TFlagThrd : TThrd {
  explicit TFlagThrd(int mode = 0) : Mode(mode) {}
  const int Mode;
  std::atomic<bool> Ran{false};
  bool Prepare() override { return Mode != 1; }
  void Exec() override {
    if (Mode == 2) throw EInvalidArgument("ThrdTest", 7, "x>0");
    if (Mode == 3) throw 42;
    Ran = true;
  }
  uint32_t ExitVal() override { return Ran ? 5 : 6; }
};

// Sums the wParam of WM_USER messages until WM_QUIT; the sum is the exit value.
struct TMsgThrd : TThrd {
  HANDLE Ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  uint32_t Sum = 0;
  ~TMsgThrd() override { CloseHandle(Ready); }
  bool Prepare() override {
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue before anyone posts
    SetEvent(Ready);
    return true;
  }
  void Exec() override {
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
      if (m.message == WM_USER) Sum += static_cast<uint32_t>(m.wParam);
  }
  uint32_t ExitVal() override { return Sum; }
};

struct TResCmd : TCommand {
  explicit TResCmd(uint32_t svrt) : Svrt(svrt) {}
  const uint32_t Svrt;
  TRes Exec() override { return TRes(5, "test", Svrt); }
};

uint32_t RunToEnd(TThrd& t) {
  EXPECT_EQ(t.Start(0), 0u);
  EXPECT_EQ(t.Wait(kLong), 0u);
  return t.ExitCode();
}

}  // namespace

TEST(Thrd, ExitCodes) {
  TFlagThrd skip(1);
  EXPECT_EQ(RunToEnd(skip), 6u);  // Prepare said no: no run, yet the exit value is asked for
  struct { uint32_t svrt, exit; } cases[] = {{SVRT_ERR, 0}, {SVRT_OK, 1}, {SVRT_WARN, 1}, {SVRT_INFO, 1}};
  for (const auto& c : cases) {
    TResCmd cmd(c.svrt);
    TCmdThrd t(&cmd);
    EXPECT_EQ(RunToEnd(t), c.exit) << c.svrt;
    EXPECT_EQ(t.Ok(), c.exit == 1);
  }
  TCommand base;  // the base command has nothing to run: an error
  TCmdThrd b(&base), none(nullptr);
  EXPECT_EQ(RunToEnd(b) + RunToEnd(none), 0u);
}

TEST(Thrd, StartSuspendedWaitAndPerThreadMutex) {
  std::string name;
  {
    TFlagThrd t;
    EXPECT_EQ(t.Wait(0), static_cast<uint32_t>(ERROR_INVALID_HANDLE));  // not started
    ASSERT_EQ(t.Start(1), 0u);
    EXPECT_EQ(t.Wait(kShort), 258u);
    EXPECT_FALSE(t.Ran);
    EXPECT_EQ(t.ExitCode(), static_cast<uint32_t>(STILL_ACTIVE));
    name = "YD_TThrd_" + std::to_string(t.Id());
    EXPECT_FALSE(THandle(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str())).IsNone()) << name;
    ASSERT_EQ(t.Resume(), 0u);
    EXPECT_EQ(t.Wait(kLong), 0u);
    EXPECT_EQ(t.ExitCode(), 5u);
    EXPECT_EQ(t.Start(0), static_cast<uint32_t>(ERROR_ALREADY_INITIALIZED));  // a thread object starts once
  }
  EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);  // the mutex lives with the object
}

TEST(Thrd, PostMsgReachesTheThreadFromSeveralPosters) {
  TMsgThrd t;
  EXPECT_EQ(t.PostMsg(WM_USER, 1, 0), 1444u);  // no thread yet
  ASSERT_EQ(t.Start(0), 0u);
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
  EXPECT_EQ(t.ExitCode(), 600u);
}

TEST(Handle, OwnsMovesAndCloses) {
  // Handle numbers are reused at once, so whether an object is still held is seen through its name.
  const std::string name = F("YD_ThrdTest_Owns%u", Pid());
  auto alive = [&] { return !THandle(OpenEventA(SYNCHRONIZE, FALSE, name.c_str())).IsNone(); };
  {
    THandle a(CreateEventA(nullptr, TRUE, FALSE, name.c_str())), c;
    THandle b(std::move(a));
    c = std::move(b);
    EXPECT_TRUE(a.IsNone() && b.IsNone() && alive());
  }
  EXPECT_FALSE(alive());  // closed by the last owner
  TSyncObj on, none;
  on.Attach(CreateEventA(nullptr, TRUE, TRUE, nullptr));
  EXPECT_EQ(on.Wait(kShort), 0u);
  EXPECT_EQ(none.Wait(0), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

namespace {

// One expected line: its type, its whole text (or a part of it) and how often it must appear.
struct TWant { const char* tp; std::string txt; int cnt; bool part; };

}  // namespace

TEST(ThrdTrace, Lines) {
  yt::TTraceTap tap;
  std::vector<TWant> w;
  THandle inv(INVALID_HANDLE_VALUE);
  EXPECT_TRUE(inv.IsNone());  // the invalid-handle value is stored as none, never closed
  EXPECT_EQ(inv.Close(), 0u);
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  THandle real(e);
  EXPECT_EQ(real.Close(), 0u);
  THandle stale(e);
  if (stale.IsValid()) {  // another thread may have been given the number meanwhile
    stale.Detach();
  } else {
    EXPECT_EQ(stale.Close(), 0u);
    EXPECT_TRUE(stale.IsNone());  // forgotten: the number may belong to another object later
    w.push_back({"SOA", F("Closing handle: handle=%#010x,this=%#010x-skipped(invalid).", Lo(e), Lo(&stale)), 1, false});
  }
  TSyncObj ev;
  ev.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  EXPECT_EQ(ev.Wait(0), 258u);
  EXPECT_EQ(ev.Wait(20), 258u);

  // Names of this process only: another run of these tests may be going on at the same time.
  std::string m = F("YD_ThrdTrace_M%u", Pid()), none = F("YD_ThrdTrace_None%u", Pid());
  TMutex a, b, c;
  ASSERT_EQ(a.Crt(false, m.c_str()), 0u);
  b.SetName(m.c_str());
  ASSERT_EQ(b.Open(SYNCHRONIZE, false), 0u);
  HANDLE first = b.Get();
  EXPECT_EQ(b.Open(SYNCHRONIZE, false), 0u);  // already open: nothing is opened, the line is written again
  EXPECT_EQ(b.Get(), first);
  c.SetName(none.c_str());
  EXPECT_EQ(c.Open(SYNCHRONIZE, false), 2u);

  {
    // All threads live to the end of the block, so their thread ids and addresses stay apart.
    TFlagThrd t, x(2), u(3);
    TMsgThrd q;
    EXPECT_EQ(RunToEnd(t), 5u);
    EXPECT_EQ(RunToEnd(x), 1359u);
    EXPECT_EQ(RunToEnd(u), 1359u);
    ASSERT_EQ(q.Start(0), 0u);
    ASSERT_EQ(WaitForSingleObject(q.Ready, kLong), WAIT_OBJECT_0);
    EXPECT_EQ(q.PostMsg(WM_QUIT, 0, 0), 0u);
    ASSERT_EQ(q.Wait(kLong), 0u);
    const unsigned id = t.Id(), qid = q.Id();
    const std::string exc = EInvalidArgument("ThrdTest", 7, "x>0").Msg();
    w.insert(w.end(), {
        {"SOA", F("Closing handle: handle=%#010x,this=%#010x-skipped(value).", 0u, Lo(&inv)), 1, false},
        {"SOC", F("Closing handle: handle=%#010x,this=%#010x,result=0.", Lo(e), Lo(&real)), 1, false},
        {"SO~", "TSyncObj::Wait(0)", 0, true},  // only waits with a time-out are traced
        {"SO~", "TSyncObj::Wait(20) end(rc=258,wait=", 1, true},
        {"SO~", F(",this=%#010x).", Lo(&ev)), 1, true},
        {"SMT", F("Creating mutex \"%s\": handle=%#010x,rc=0,this=%#010x.", m.c_str(), Lo(a.Get()), Lo(&a)), 1, false},
        {"SMO", F("Opening mutex \"%s\": handle=%#010x,rc=0,this=%#010x.", m.c_str(), Lo(first), Lo(&b)), 2, false},
        {"SMO", F("Opening mutex \"%s\": handle=%#010x,rc=2,this=%#010x.", none.c_str(), 0u, Lo(&c)), 1, false},
        {"STT", F("Create thread: handle=%#08x,id=%#06x,this=%#08x result=0.", Lo(t.Handle()), id, Lo(&t)), 1, false},
        {"STC", F("Closing thread handle: handle=%#08x this=%#08x result=0", Lo(t.Handle()), Lo(&t)), 1, false},
        {"ST.", F("Thread routine begin(thrd=%#010x).", Lo(&t)), 1, false},
        {"ST.", F("Thread routine end 5 (0x00000005) [thrd=%#010x id=%u(%#06x)].", Lo(&t), id, id), 1, false},
        {"SMT", F("Creating mutex \"YD_TThrd_%u\": handle=", id), 1, true},
        {"ST!", F("Thread routine exception [thrd=%#010x,", Lo(&x)) + exc + "].", 1, false},
        {"ST.", F("[thrd=%#010x ", Lo(&x)), 0, true},  // no end line after an exception
        {"ST!", F("Thread routine unknown exception [thrd=%#010x].", Lo(&u)), 1, false},
        {"SMO", F("Opening mutex \"YD_TThrd_%u\": handle=", qid), 1, true},
        {"STB", F("TThrd::Lock() [TID=%#06x,this=%#010x,ticks=", qid, Lo(&q)), 1, true},
        {"STB", F("TThrd::Unlock() [TID=%#06x,this=%#010x].", qid, Lo(&q)), 1, false},
    });
  }
  const std::string all = tap.Text();
  for (const TWant& x : w) {
    // A whole text ends its line after a blank; the line starts with the type.
    int n = 0;
    for (size_t at = 0; (at = all.find(x.part ? x.txt : " " + x.txt + "\r\n", at)) != std::string::npos; ++at) {
      size_t ln = all.rfind('\n', at);
      if (all.compare(ln == std::string::npos ? 0 : ln + 1, 3, x.tp) == 0) ++n;
    }
    EXPECT_EQ(n, x.cnt) << x.tp << " " << x.txt << "\n" << all;
  }
}
