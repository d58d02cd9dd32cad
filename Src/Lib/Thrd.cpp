#include "Lib/Thrd.h"

#include <optional>

#include "Lib/Command.h"
#include "Lib/Res.h"
#include "Lib/Trace.h"
#include "ydcodes.h"

namespace {

const char kThrdMtxPrfx[] = "YD_TThrd_";

// Handles and addresses are traced by their low 32 bits.
unsigned Lo(const void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }

uint32_t WaitRes(DWORD rc) {
  if (rc == WAIT_FAILED) return GetLastError();
  return rc;
}

}  // namespace

// THandle

THandle& THandle::operator=(THandle&& o) noexcept {
  if (this != &o) {
    Attach(o.m_H);
    o.m_H = nullptr;
  }
  return *this;
}

THandle::~THandle() {
  if (m_H) Close();
}

bool THandle::IsValid() const {
  if (!m_H) return false;
  DWORD flags = 0;
  SetLastError(0);
  return GetHandleInformation(m_H, &flags) || GetLastError() == 0;
}

uint32_t THandle::Close() {
  if (!m_H || m_H == INVALID_HANDLE_VALUE) {
    Trace("SOA", "Closing handle: handle=%#010x,this=%#010x-skipped(value).", Lo(m_H), Lo(this));
    return 0;
  }
  if (!IsValid()) {
    Trace("SOA", "Closing handle: handle=%#010x,this=%#010x-skipped(invalid).", Lo(m_H), Lo(this));
    // The value is stale: once the system reuses it, closing it would close someone else's handle.
    m_H = nullptr;
    return 0;
  }
  uint32_t rc = CloseHandle(m_H) ? 0 : GetLastError();
  Trace("SOC", "Closing handle: handle=%#010x,this=%#010x,result=%u.", Lo(m_H), Lo(this), rc);
  m_H = nullptr;
  return rc;
}

void THandle::Attach(HANDLE h) {
  h = Norm(h);
  if (h == m_H) return;
  if (m_H) Close();
  m_H = h;
}

HANDLE THandle::Detach() {
  HANDLE h = m_H;
  m_H = nullptr;
  return h;
}

// TSyncObj

uint32_t TSyncObj::Wait(uint32_t ms) {
  DWORD t0 = GetTickCount();
  uint32_t rc = WaitRes(WaitForSingleObject(m_H, ms));
  if (ms != 0) {
    unsigned spent = GetTickCount() - t0;
    Trace("SO~", "TSyncObj::Wait(%u) end(rc=%u,wait=%u,this=%#010x).", ms, rc, spent, Lo(this));
  }
  return rc;
}

// TMutex

TMutex::~TMutex() {
  if (m_H) {
    Release();
    Close();
  }
}

uint32_t TMutex::Crt(bool owned, const char* name) {
  SetName(name);
  if (m_H) Close();
  HANDLE h = CreateMutexA(nullptr, owned, m_Name.Empty() ? nullptr : m_Name.Str());
  uint32_t rc = h ? 0 : GetLastError();
  m_H = h;
  Trace("SMT", "Creating mutex \"%s\": handle=%#010x,rc=%u,this=%#010x.", m_Name.Str(), Lo(m_H), rc,
              Lo(this));
  return rc;
}

uint32_t TMutex::Open(DWORD access, bool inherit) {
  uint32_t rc = 0;
  if (!IsValid()) {
    HANDLE h = OpenMutexA(access, inherit, m_Name.Str());
    rc = h ? 0 : GetLastError();
    Attach(h);
  }
  Trace("SMO", "Opening mutex \"%s\": handle=%#010x,rc=%u,this=%#010x.", m_Name.Str(), Lo(m_H), rc,
              Lo(this));
  return rc;
}

uint32_t TMutex::Release() {
  if (!m_H) return 0;
  return ReleaseMutex(m_H) ? 0 : GetLastError();
}

// TThrd

TThrd::~TThrd() {
  if (!m_H.IsNone()) {
    // Destroying the object under a running thread leaves the thread on freed memory.
    if (WaitForSingleObject(m_H.Get(), 0) == WAIT_TIMEOUT)
      LogExpect("WaitForSingleObject(m_H, 0) != WAIT_TIMEOUT", SRC_THRD, CHK_THRD_RUNNING);
    // Closed here rather than by THandle: the thread's own line says so.
    HANDLE h = m_H.Detach();
    uint32_t rc = CloseHandle(h) ? 0 : GetLastError();
    Trace("STC", "Closing thread handle: handle=%#08x this=%#08x result=%u", Lo(h), Lo(this), rc);
  }
  m_LockMtx.Release();
  m_LockMtx.Close();
  m_Owner.Release();
  m_Owner.Close();
}

uint32_t TThrd::Start(TThrdStart how) {
  if (!m_H.IsNone()) {
    LogExpect("a thread object is started once", SRC_THRD, CHK_THRD_RESTART);
    return ERROR_ALREADY_INITIALIZED;
  }
  DWORD id = 0;
  HANDLE h = CreateThread(nullptr, 0, Routine, this, how == THRD_SUSPENDED ? CREATE_SUSPENDED : 0, &id);
  uint32_t rc = h ? 0 : GetLastError();
  if (h) {
    m_H.Attach(h);
    m_Id = id;
    TStr name(kThrdMtxPrfx);
    name.Add(TStr::Num(id));
    m_Owner.Crt(false, name.Str());
    m_LockMtx.SetName(name.Str());
  }
  Trace("STT", "Create thread: handle=%#08x,id=%#06x,this=%#08x result=%u.", Lo(h),
              static_cast<unsigned>(id), Lo(this), rc);
  return rc;
}

uint32_t TThrd::Wait(uint32_t ms) {
  if (m_H.IsNone()) return ERROR_INVALID_HANDLE;
  return WaitRes(WaitForSingleObject(m_H.Get(), ms));
}

uint32_t TThrd::PostMsg(UINT msg, WPARAM w, LPARAM l) {
  // Id 0 is no thread; some systems accept a post to it and lose the message.
  if (m_Id == 0) return ERROR_INVALID_THREAD_ID;
  Lock();
  uint32_t rc = PostThreadMessageA(m_Id, msg, w, l) ? 0 : GetLastError();
  Unlock();
  return rc;
}

void TThrd::Lock() {
  DWORD t0 = GetTickCount();
  {
    std::lock_guard<std::mutex> g(m_OpenGuard);
    // Releasing needs MUTEX_MODIFY_STATE as well: with SYNCHRONIZE alone the first poster would keep it.
    if (!m_LockMtx.IsValid()) m_LockMtx.Open(SYNCHRONIZE | MUTEX_MODIFY_STATE, false);
  }
  m_LockMtx.Lock(INFINITE);
  unsigned spent = GetTickCount() - t0;
  Trace("STB", "TThrd::Lock() [TID=%#06x,this=%#010x,ticks=%u].", static_cast<unsigned>(m_Id), Lo(this),
              spent);
}

void TThrd::Unlock() {
  m_LockMtx.Release();
  Trace("STB", "TThrd::Unlock() [TID=%#06x,this=%#010x].", static_cast<unsigned>(m_Id), Lo(this));
}

DWORD WINAPI TThrd::Routine(LPVOID prm) {
  TThrd* t = static_cast<TThrd*>(prm);
  std::optional<TTraceMute> mute;
  if (t->m_Muted) mute.emplace();
  uint32_t exitVal;
  Trace("ST.", "Thread routine begin(thrd=%#010x).", Lo(t));
  try {
    if (t->Prepare()) t->Exec();
    exitVal = t->ExitVal();
    unsigned id = static_cast<unsigned>(GetCurrentThreadId());  // Start may not have stored it yet
    Trace("ST.", "Thread routine end %u (%#010x) [thrd=%#010x id=%u(%#06x)].", exitVal, exitVal, Lo(t), id,
                id);
  } catch (const EException& e) {
    Trace("ST!", "Thread routine exception [thrd=%#010x,%s].", Lo(t), e.Msg());
    exitVal = RC_INTERNAL;
  } catch (...) {
    Trace("ST!", "Thread routine unknown exception [thrd=%#010x].", Lo(t));
    exitVal = RC_INTERNAL;
  }
  return exitVal;
}

// TCmdThrd

void TCmdThrd::Exec() {
  m_Ok = false;
  if (!m_Cmd) {
    LogExpect("m_Cmd", SRC_THRD, CHK_THRD_NO_CMD);
    return;
  }
  m_Ok = !m_Cmd->Exec().IsErr();
}
