// Threads, handles and mutexes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "GUI/Command.h"
#include "ThrdUtil.h"

namespace {

const uint32_t kShort = 100;  // a wait that must time out

class TResCmd : public TCommand {
 public:
  explicit TResCmd(uint32_t svrt) : m_Svrt(svrt) {}
  TRes Exec() override { return TRes(5, "test", m_Svrt); }

 private:
  uint32_t m_Svrt;
};

uint32_t RunToEnd(TThrd& t) {
  EXPECT_EQ(t.Start(0), 0u);
  EXPECT_EQ(t.Wait(kLong), 0u);
  return t.ExitCode();
}

HANDLE NewEvent(bool signalled = false) { return CreateEventA(nullptr, TRUE, signalled, nullptr); }

// Handle numbers are reused at once, so whether an object is still held is seen through its name.
// Object names carry the process id: another run of these tests may be going on at the same time.
std::string ObjName(const char* tag) { return std::string("YD_ThrdTest_") + tag + std::to_string(GetCurrentProcessId()); }
bool NameAlive(const std::string& name) {
  HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, name.c_str());
  if (h) CloseHandle(h);
  return h != nullptr;
}

}  // namespace

TEST(Thrd, ExitCodes) {
  struct { int mode; uint32_t exit; } modes[] = {{0, 5}, {1, 6}, {2, 1359}, {3, 1359}};
  for (const auto& c : modes) {
    TFlagThrd t(c.mode);
    EXPECT_EQ(RunToEnd(t), c.exit) << c.mode;
  }
  struct { uint32_t svrt, exit; } cases[] = {{SVRT_ERR, 0}, {SVRT_OK, 1}, {SVRT_WARN, 1}, {SVRT_INFO, 1}};
  for (const auto& c : cases) {
    TResCmd cmd(c.svrt);
    TCmdThrd t(&cmd);
    EXPECT_EQ(RunToEnd(t), c.exit) << c.svrt;
    EXPECT_EQ(t.Ok(), c.exit == 1);
  }
  TCommand base;  // the base command has nothing to run: an error
  TCmdThrd b(&base), none(nullptr);
  EXPECT_EQ(RunToEnd(b), 0u);
  EXPECT_EQ(RunToEnd(none), 0u);
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
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(m, nullptr) << name;
    if (m) CloseHandle(m);
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
}

TEST(Handle, OwnsMovesAndDropsStaleValues) {
  THandle inv(INVALID_HANDLE_VALUE);
  EXPECT_TRUE(inv.IsNone());  // the invalid-handle value is stored as none, never closed
  EXPECT_EQ(inv.Close(), 0u);

  std::string name = ObjName("Owns");
  {
    THandle a(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    THandle b(std::move(a));
    EXPECT_TRUE(a.IsNone());
    THandle c;
    c = std::move(b);
    EXPECT_TRUE(NameAlive(name));
  }
  EXPECT_FALSE(NameAlive(name));  // closed by the last owner

  HANDLE e = NewEvent(), dup;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), e, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS));
  CloseHandle(e);
  THandle stale(e);  // a value the system no longer knows, unless it was handed out again meanwhile
  if (stale.IsValid()) {
    stale.Detach();
  } else {
    EXPECT_EQ(stale.Close(), 0u);
    EXPECT_TRUE(stale.IsNone());  // forgotten: the number may belong to another object later
  }
  DWORD f;
  EXPECT_TRUE(GetHandleInformation(dup, &f));
  CloseHandle(dup);

  TSyncObj on, off, none;
  on.Attach(NewEvent(true));
  off.Attach(NewEvent(false));
  EXPECT_EQ(on.Wait(kShort), 0u);
  EXPECT_EQ(off.Wait(kShort), 258u);
  EXPECT_EQ(none.Wait(0), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

TEST(Mutex, CreateOpenLockReleaseAbandon) {
  std::string name = ObjName("Mutex");
  TMutex a;
  ASSERT_EQ(a.Crt(false, name.c_str()), 0u);
  EXPECT_EQ(a.Lock(0), 0u);
  TMutex b;
  b.SetName(name.c_str());
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

  // Destroying an owning object releases its count: the mutex is free again for another thread.
  {
    TMutex scoped;
    ASSERT_EQ(scoped.Crt(false, name.c_str()), 0u);
    ASSERT_EQ(scoped.Lock(0), 0u);
  }
  std::thread([&] {
    other = b.Lock(0);
    if (other == 0) b.Release();
  }).join();
  EXPECT_EQ(other, 0u);
}
