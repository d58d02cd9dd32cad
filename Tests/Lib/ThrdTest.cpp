#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "GUI/Command.h"
#include "Lib/Res.h"
#include "Lib/Thrd.h"

namespace {

const uint32_t kLong = 20000;  // a wait that must end: generous for a loaded machine
const uint32_t kShort = 100;   // a wait that must time out

class TThrowThrd : public TThrd {
 public:
  explicit TThrowThrd(int kind) : m_Kind(kind) {}

 protected:
  void Exec() override {
    if (m_Kind == 0) throw EInvalidArgument(__FILE__, __LINE__, "x>0");
    throw 42;
  }
  uint32_t ExitVal() override { return 7; }

 private:
  int m_Kind;
};

class TFlagThrd : public TThrd {
 public:
  std::atomic<bool> Ran{false};
  bool Prep = true;

 protected:
  bool Prepare() override { return Prep; }
  void Exec() override { Ran = true; }
  uint32_t ExitVal() override { return Ran ? 5 : 6; }
};

// Waits for an event, then ends.
class TGateThrd : public TThrd {
 public:
  explicit TGateThrd(HANDLE gate) : m_Gate(gate) {}

 protected:
  void Exec() override { WaitForSingleObject(m_Gate, kLong); }

 private:
  HANDLE m_Gate;
};

// Counts WM_USER messages until WM_QUIT; the exit value is the sum of their wParam.
class TMsgThrd : public TThrd {
 public:
  explicit TMsgThrd(HANDLE ready) : m_Ready(ready) {}

 protected:
  bool Prepare() override {
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue before anyone posts
    SetEvent(m_Ready);
    return true;
  }
  void Exec() override {
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
      if (m.message == WM_USER) m_Sum += static_cast<uint32_t>(m.wParam);
  }
  uint32_t ExitVal() override { return m_Sum; }

 private:
  HANDLE m_Ready;
  uint32_t m_Sum = 0;
};

class TResCmd : public TCommand {
 public:
  explicit TResCmd(uint32_t svrt) : m_Svrt(svrt) {}
  TRes Exec() override { return TRes(5, "test", m_Svrt); }
  int Calls = 0;

 private:
  uint32_t m_Svrt;
};

uint32_t RunToEnd(TThrd& t, uint32_t flags = 0) {
  EXPECT_EQ(t.Start(flags), 0u);
  EXPECT_EQ(t.Wait(kLong), 0u);
  return t.ExitCode();
}

HANDLE NewEvent(bool signalled = false) { return CreateEventA(nullptr, TRUE, signalled, nullptr); }

bool HandleKnown(HANDLE h) {
  DWORD f;
  return GetHandleInformation(h, &f) != 0;
}

// Handle numbers are reused at once, so whether an object is still held is seen through its name.
// Object names carry the process id: another run of these tests may be going on at the same time.
std::string EvName(const char* tag) { return std::string("YD_ThrdTest_") + tag + std::to_string(GetCurrentProcessId()); }
HANDLE NamedEvent(const std::string& name) { return CreateEventA(nullptr, TRUE, FALSE, name.c_str()); }
bool NameAlive(const std::string& name) {
  HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, name.c_str());
  if (h) CloseHandle(h);
  return h != nullptr;
}

}  // namespace

TEST(Thrd, ExceptionsEndTheThreadWith1359) {
  TThrowThrd known(0), unknown(1);
  EXPECT_EQ(RunToEnd(known), 1359u);
  EXPECT_EQ(RunToEnd(unknown), 1359u);
}

TEST(Thrd, ExitValueAndPrepare) {
  TFlagThrd runs;
  EXPECT_EQ(RunToEnd(runs), 5u);
  EXPECT_TRUE(runs.Ran);
  TFlagThrd skips;
  skips.Prep = false;
  EXPECT_EQ(RunToEnd(skips), 6u);
  EXPECT_FALSE(skips.Ran);
  EXPECT_NE(runs.Id(), 0u);
  EXPECT_NE(runs.Id(), skips.Id());
}

TEST(Thrd, CmdThrdExitCodeFollowsTheResult) {
  struct {
    uint32_t svrt;
    uint32_t exit;
  } cases[] = {{SVRT_ERR, 0}, {SVRT_OK, 1}, {SVRT_WARN, 1}, {SVRT_INFO, 1}};
  for (const auto& c : cases) {
    TResCmd cmd(c.svrt);
    TCmdThrd t(&cmd);
    EXPECT_EQ(RunToEnd(t), c.exit) << c.svrt;
    EXPECT_EQ(t.Ok(), c.exit == 1);
  }
  TCommand base;  // the base command has nothing to run: an error
  TCmdThrd b(&base);
  EXPECT_EQ(RunToEnd(b), 0u);
  TCmdThrd none(nullptr);
  EXPECT_EQ(RunToEnd(none), 0u);
}

TEST(Thrd, SuspendedStartRunsOnlyWhenResumed) {
  TFlagThrd t;
  ASSERT_EQ(t.Start(1), 0u);
  EXPECT_EQ(t.Wait(kShort), 258u);
  EXPECT_FALSE(t.Ran);
  EXPECT_EQ(t.ExitCode(), static_cast<uint32_t>(STILL_ACTIVE));
  ASSERT_EQ(t.Resume(), 0u);
  EXPECT_EQ(t.Wait(kLong), 0u);
  EXPECT_TRUE(t.Ran);
  EXPECT_EQ(t.ExitCode(), 5u);
}

TEST(Thrd, WaitTimesOutWhileRunning) {
  HANDLE gate = NewEvent();
  TGateThrd t(gate);
  EXPECT_EQ(t.Wait(0), static_cast<uint32_t>(ERROR_INVALID_HANDLE));  // not started
  ASSERT_EQ(t.Start(0), 0u);
  EXPECT_EQ(t.Wait(kShort), 258u);
  SetEvent(gate);
  EXPECT_EQ(t.Wait(kLong), 0u);
  EXPECT_EQ(t.Wait(0), 0u);
  EXPECT_EQ(t.Start(0), static_cast<uint32_t>(ERROR_ALREADY_INITIALIZED));  // a thread object starts once
  CloseHandle(gate);
}

TEST(Thrd, PerThreadMutexLivesWithTheObject) {
  std::string name;
  {
    HANDLE gate = NewEvent();
    TGateThrd t(gate);
    ASSERT_EQ(t.Start(0), 0u);
    name = "YD_TThrd_" + std::to_string(t.Id());
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(m, nullptr) << name;
    if (m) CloseHandle(m);
    SetEvent(gate);
    EXPECT_EQ(t.Wait(kLong), 0u);
    CloseHandle(gate);
  }
  EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Thrd, PostMsgReachesTheThreadFromSeveralPosters) {
  HANDLE ready = NewEvent();
  TMsgThrd t(ready);
  EXPECT_NE(t.PostMsg(WM_USER, 1, 0), 0u);  // no thread yet
  ASSERT_EQ(t.Start(0), 0u);
  ASSERT_EQ(WaitForSingleObject(ready, kLong), WAIT_OBJECT_0);
  const int kPosters = 4, kEach = 50;
  std::atomic<int> failed{0};
  std::vector<std::thread> posters;
  for (int i = 0; i < kPosters; ++i)
    posters.emplace_back([&] {
      for (int j = 0; j < kEach; ++j)
        if (t.PostMsg(WM_USER, 2, 0) != 0) ++failed;
    });
  for (auto& p : posters) p.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(t.PostMsg(WM_QUIT, 0, 0), 0u);
  EXPECT_EQ(t.Wait(kLong), 0u);
  EXPECT_EQ(t.ExitCode(), static_cast<uint32_t>(2 * kPosters * kEach));
  CloseHandle(ready);
}

TEST(Handle, CloseSkipsNoneAndInvalidValues) {
  THandle none;
  EXPECT_EQ(none.Close(), 0u);
  THandle inv(INVALID_HANDLE_VALUE);
  EXPECT_TRUE(inv.IsNone());  // the invalid-handle value is stored as none, never closed
  EXPECT_EQ(inv.Close(), 0u);

  HANDLE e = NewEvent();
  HANDLE dup;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), e, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS));
  CloseHandle(e);
  THandle stale(e);  // a value the system no longer knows, unless it was handed out again meanwhile
  if (stale.IsValid()) {
    stale.Detach();
  } else {
    EXPECT_EQ(stale.Close(), 0u);
    EXPECT_TRUE(stale.IsNone());  // forgotten: the number may belong to another object later
  }
  EXPECT_TRUE(HandleKnown(dup));
  CloseHandle(dup);
}

TEST(Handle, OwnsAndMoves) {
  std::string name = EvName("Owns");
  HANDLE e = NamedEvent(name);
  {
    THandle a(e);
    EXPECT_TRUE(a.IsValid());
    THandle b(std::move(a));
    EXPECT_TRUE(a.IsNone());
    EXPECT_EQ(b.Get(), e);
    THandle c;
    c = std::move(b);
    EXPECT_EQ(c.Get(), e);
    EXPECT_TRUE(NameAlive(name));
  }
  EXPECT_FALSE(NameAlive(name));  // closed by the last owner

  THandle d(NamedEvent(name));
  EXPECT_EQ(d.Close(), 0u);
  EXPECT_TRUE(d.IsNone());
  EXPECT_FALSE(NameAlive(name));
  HANDLE g = NewEvent();
  d.Attach(g);
  EXPECT_EQ(d.Detach(), g);
  EXPECT_TRUE(d.IsNone());
  EXPECT_TRUE(HandleKnown(g));
  CloseHandle(g);
}

TEST(Handle, SyncObjWait) {
  TSyncObj on, off, none;
  on.Attach(NewEvent(true));
  off.Attach(NewEvent(false));
  EXPECT_EQ(on.Wait(0), 0u);
  EXPECT_EQ(on.Wait(kShort), 0u);
  EXPECT_EQ(off.Wait(0), 258u);
  DWORD t0 = GetTickCount();
  EXPECT_EQ(off.Wait(kShort), 258u);
  EXPECT_GE(GetTickCount() - t0, kShort / 2);
  EXPECT_EQ(none.Wait(0), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

TEST(Mutex, CreateOpenLockReleaseAbandon) {
  std::string nm = EvName("Mutex");
  const char* name = nm.c_str();
  TMutex a;
  ASSERT_EQ(a.Crt(false, name), 0u);
  EXPECT_STREQ(a.Name().Str(), name);
  EXPECT_EQ(a.Lock(0), 0u);

  TMutex b;
  b.SetName(name);
  ASSERT_EQ(b.Open(SYNCHRONIZE | MUTEX_MODIFY_STATE, false), 0u);
  HANDLE first = b.Get();
  EXPECT_EQ(b.Open(SYNCHRONIZE, false), 0u);  // already open: nothing is opened
  EXPECT_EQ(b.Get(), first);

  uint32_t other = 0;
  std::thread([&] { other = b.Lock(0); }).join();
  EXPECT_EQ(other, 258u);  // held by this thread
  EXPECT_EQ(a.Release(), 0u);
  EXPECT_NE(a.Release(), 0u);  // not owned any more

  // A thread that ends holding the mutex leaves it abandoned to the next waiter.
  std::thread([&] { other = b.Lock(kLong); }).join();
  EXPECT_EQ(other, 0u);
  EXPECT_EQ(a.Lock(kLong), 128u);
  EXPECT_EQ(a.Release(), 0u);

  TMutex missing;
  missing.SetName(EvName("NoSuchMutex").c_str());
  EXPECT_EQ(missing.Open(SYNCHRONIZE, false), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(missing.IsNone());
}

TEST(Mutex, DestructionReleasesTheMutex) {
  std::string nm = EvName("Owned");
  const char* name = nm.c_str();
  {
    TMutex held;
    ASSERT_EQ(held.Crt(true, name), 0u);
    TMutex again;
    ASSERT_EQ(again.Crt(false, name), 0u);  // the same mutex stays alive after "held" goes
    uint32_t rc = 0;
    std::thread([&] { rc = again.Lock(0); }).join();
    EXPECT_EQ(rc, 258u);
    {
      TMutex scoped;
      ASSERT_EQ(scoped.Crt(false, name), 0u);
      ASSERT_EQ(scoped.Lock(0), 0u);  // a second ownership count on this thread
    }
    held.Release();
    std::thread([&] { rc = again.Lock(0); if (rc == 0) again.Release(); }).join();
    EXPECT_EQ(rc, 0u);  // the scoped object released its count when it went
  }
}
