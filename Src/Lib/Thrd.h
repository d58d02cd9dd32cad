// Owning wrappers over handles, named mutexes and threads. Operations return 0 or a system error code.
#pragma once
#include <windows.h>

#include <mutex>

#include "Lib/BStr.h"

class TCommand;

// A kernel handle that closes itself. 0 and the invalid-handle value both mean "none"; the latter is
// stored as 0, so the current-process pseudo-handle (the same bits) is never taken for a real one.
class THandle : public TYdBsMem {
 public:
  THandle() {}
  explicit THandle(HANDLE h) : m_H(Norm(h)) {}
  THandle(THandle&& o) noexcept : m_H(o.m_H) { o.m_H = nullptr; }
  THandle& operator=(THandle&& o) noexcept;
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() override;

  uint32_t Close();        // traced; a failed close is returned and traced, the handle is dropped anyway
  void Attach(HANDLE h);   // closes the current handle first
  HANDLE Detach();         // gives up ownership
  HANDLE Get() const { return m_H; }
  bool IsNone() const { return m_H == nullptr; }
  bool IsValid() const;    // the system knows the handle

 protected:
  static HANDLE Norm(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
  HANDLE m_H = nullptr;
};

// A named waitable handle.
class TSyncObj : public THandle {
 public:
  TSyncObj() {}
  // 0 signalled, 258 time-out, 128 abandoned, else the system error code.
  uint32_t Wait(uint32_t ms);
  void SetName(const char* name) { m_Name.Set(name ? name : ""); }

 protected:
  TStr m_Name;
};

class TMutex : public TSyncObj {
 public:
  TMutex() {}
  ~TMutex() override;  // releases (ignoring a failure), then closes
  uint32_t Crt(bool owned, const char* name);
  uint32_t Open(DWORD access, bool inherit);  // opens the stored name unless the handle is valid
  uint32_t Lock(uint32_t ms) { return Wait(ms); }
  uint32_t Release();
};

// How TThrd::Start creates the thread.
enum TThrdStart : uint32_t { THRD_RUN = 0, THRD_SUSPENDED = 1 };

// A thread whose work is given by Prepare/Exec/ExitVal. The owner waits for the thread (Wait) before
// destroying the object: destruction neither stops nor waits for it.
class TThrd : public TYdBsMem {
 public:
  TThrd() {}
  TThrd(const TThrd&) = delete;
  TThrd& operator=(const TThrd&) = delete;
  ~TThrd() override;

  uint32_t Start(TThrdStart how = THRD_RUN);
  uint32_t Wait(uint32_t ms);  // 0 ended, 258 time-out, else the system error code
  // Posts to the thread's queue, serialised by the per-thread mutex "YD_TThrd_<id>".
  uint32_t PostMsg(UINT msg, WPARAM w, LPARAM l);
  uint32_t Id() const { return m_Id; }
  HANDLE Handle() const { return m_H.Get(); }  // to wait for the thread together with other objects

 protected:
  // A muted thread writes no trace line of its own, nor do the lower layers on it: the trace log's writer,
  // whose own work must not come back to it as lines.
  explicit TThrd(bool muted) : m_Muted(muted) {}
  virtual bool Prepare() { return true; }
  virtual void Exec() {}
  virtual uint32_t ExitVal() { return 0; }

 private:
  static DWORD WINAPI Routine(LPVOID prm);
  void Lock();
  void Unlock();

  friend struct TThrdProbe;  // tests resume suspended threads and read exit codes

  TMutex m_Owner;     // keeps the per-thread mutex alive while the object exists
  TMutex m_LockMtx;   // the same mutex, opened by whoever posts
  THandle m_H;
  uint32_t m_Id = 0;
  const bool m_Muted = false;
  std::mutex m_OpenGuard;  // posting threads open the lock mutex one at a time
};

// Runs one command on a thread of its own; the exit code is 1 when the command succeeded, else 0.
// The command is not owned and must outlive the thread.
class TCmdThrd : public TThrd {
 public:
  explicit TCmdThrd(TCommand* cmd) : m_Cmd(cmd) {}

 protected:
  void Exec() override;
  uint32_t ExitVal() override { return m_Ok ? 1 : 0; }

 private:
  TCommand* m_Cmd;
  bool m_Ok = false;
};
