// TWliLog, TAsyncLog with its writer thread, and the per-process trace log.
#include "Log/LogFile.h"

#include <mutex>

#include "Lib/Path.h"
#include "ydgen.h"

namespace {

constexpr uint32_t LOG_POST_RETRY = 10;      // ms between posts to a writer thread without a message queue
constexpr uint32_t LOG_TIMER_MAX = 0x7FFFFFFF;  // the longest timer period the system accepts

UINT TimerMs(uint32_t sec) {
  uint64_t ms = uint64_t(sec) * 1000u;
  return UINT(ms > LOG_TIMER_MAX ? LOG_TIMER_MAX : ms);
}

// The writer thread's two timers: parameter re-read and write-out.
class TLogTimers {
 public:
  ~TLogTimers() { Kill(); }
  // 0 or SetTimer's error code.
  uint32_t StartRd(uint32_t sec) { return Restart(m_Rd, m_RdSec, sec); }
  uint32_t StartFl(uint32_t sec) { return Restart(m_Fl, m_FlSec, sec); }
  void Kill() {
    if (m_Rd) KillTimer(nullptr, m_Rd);
    if (m_Fl) KillTimer(nullptr, m_Fl);
    m_Rd = m_Fl = 0;
  }
  UINT_PTR Rd() const { return m_Rd; }
  UINT_PTR Fl() const { return m_Fl; }
  uint32_t RdSec() const { return m_RdSec; }
  uint32_t FlSec() const { return m_FlSec; }

 private:
  static uint32_t Restart(UINT_PTR& id, uint32_t& keptSec, uint32_t sec) {
    if (id) KillTimer(nullptr, id);
    id = SetTimer(nullptr, 0, TimerMs(sec), nullptr);
    keptSec = sec;
    return id ? 0 : uint32_t(GetLastError());
  }
  UINT_PTR m_Rd = 0;
  UINT_PTR m_Fl = 0;
  uint32_t m_RdSec = 0;
  uint32_t m_FlSec = 0;
};

}  // namespace

// ---- TWliLog ----

// The executable's path is read with ReadOwnPath() rather than OwnPath(), which traces its failures
// through the trace sink: the trace log installs itself there only once it is built, so the line would be lost.
TWliLog::TWliLog() {
  TStr path;
  if (uint32_t rc = ReadOwnPath(path))
    Write("..!", "GetModuleFileNameExA failed: rc=%u.", unsigned(rc));  // waits in this log's own queue
  TStr drv, dir, base;
  SplitPath(path.Str(), &drv, &dir, &base, nullptr);
  TStr stem = drv + dir + base;
  m_PrmsFileNm = stem + ".wli";
  Prms().SetFileNm((stem + ".log").Str());
}

TWliLog::TWliLog(const char* prmsFileNm, const char* fileNm) : m_PrmsFileNm(prmsFileNm ? prmsFileNm : "") {
  Prms().SetFileNm(fileNm);
}

uint32_t TWliLog::SetPrmsRd(uint32_t sec) {
  if (sec == 0) return ERROR_INVALID_PARAMETER;
  m_PrmsRd = sec;
  m_PrmsTm = TBTm::Now();
  return 0;
}

uint32_t TWliLog::Open() {
  LoadPrms();
  TLogLock lk(*this, LOG_WAIT_WLI_OPEN);
  if (lk.Res()) return lk.Res();
  return TLog::Open();
}

// ---- TAsyncLog ----

TAsyncLog::~TAsyncLog() {
  if (m_Thrd) StopWriter(INFINITE);
  if (m_QueueUp) CloseHandle(m_QueueUp);
}

bool TAsyncLog::ThrdRuns() const { return m_Thrd && WaitForSingleObject(m_Thrd, 0) == WAIT_TIMEOUT; }

uint32_t TAsyncLog::Open() {
  if (IsOpn()) return 0;
  TWliLog::Open();
  TLogLock lk(*this, LOG_WAIT_OPEN);
  if (lk.Res()) return lk.Res();
  uint32_t r = StartWriter();
  SetIsOpn(r == 0);
  return r;
}

uint32_t TAsyncLog::StartWriter() {
  if (m_Thrd) {
    // The writer of an earlier opening did not end within Close()'s wait.
    if (ThrdRuns()) return ERROR_BUSY;
    CloseHandle(m_Thrd);
    m_Thrd = nullptr;
  }
  // Kept for the log's life: a writer that signals late never finds a closed handle.
  if (!m_QueueUp && !(m_QueueUp = CreateEventA(nullptr, FALSE, FALSE, nullptr))) return GetLastError();
  ResetEvent(m_QueueUp);
  DWORD id = 0;
  m_WriterUp = true;
  HANDLE h = CreateThread(nullptr, 0, WriterProc, this, 0, &id);
  if (!h) {
    DWORD e = GetLastError();
    m_WriterUp = false;
    return e;
  }
  m_Thrd = h;
  m_ThrdId = id;
  m_LinePosted = false;
  if (uint32_t r = WaitWriterUp()) return r;
  if (PostThreadMessageA(id, WM_LOGCMD, LOGCMD_START, LPARAM(this))) return 0;
  return GetLastError();  // 0 counts as posted
}

uint32_t TAsyncLog::WaitWriterUp() {
  HANDLE hs[2] = {m_QueueUp, m_Thrd};
  switch (WaitForMultipleObjects(2, hs, FALSE, LOG_WAIT_WRITER_UP)) {
    case WAIT_OBJECT_0:
      return 0;
    case WAIT_OBJECT_0 + 1:
      return ERROR_INVALID_THREAD_ID;  // it ended before it could take messages
    case WAIT_TIMEOUT:
      return ERROR_TIMEOUT;
  }
  DWORD e = GetLastError();
  return e ? e : ERROR_INVALID_HANDLE;
}

bool TAsyncLog::StopWriter(uint32_t ms) {
  if (!m_Thrd) return true;
  DWORD start = GetTickCount();
  bool posted = false;
  for (;;) {
    if (!posted) posted = PostThreadMessageA(m_ThrdId, WM_QUIT, 0, 0) != FALSE;
    DWORD left = LOG_POST_RETRY;
    if (posted) {
      DWORD spent = GetTickCount() - start;
      left = ms == INFINITE ? INFINITE : (spent >= ms ? 0 : ms - spent);
    }
    if (WaitForSingleObject(m_Thrd, left) == WAIT_OBJECT_0) break;
    if (ms != INFINITE && GetTickCount() - start >= ms) return false;
  }
  CloseHandle(m_Thrd);
  m_Thrd = nullptr;
  return true;
}

uint32_t TAsyncLog::Close() {
  if (!IsOpn()) return 1;
  StopWriter(LOG_WAIT_THRD);
  return TLog::Close();
}

void TAsyncLog::FlushIfDue() {
  uint32_t id = m_ThrdId;
  if (id == 0 || id == 0xFFFFFFFF || !m_WriterUp) return;
  // The writer acts on a posted line only when a write-out is due; one such message in its queue is enough.
  if (m_LinePosted || !IsDue()) return;
  // Marked before the post: the writer may take the message and clear the mark before PostThreadMessageA
  // returns, and a mark set afterwards would then stay with no message queued, so no line would wake it.
  m_LinePosted = true;
  if (!PostThreadMessageA(id, WM_LOGCMD, LOGCMD_LINE, LPARAM(this))) {
    m_LinePosted = false;
    return;
  }
  if (!IsOpn()) SetIsOpn(true);
}

DWORD WINAPI TAsyncLog::WriterProc(void* log) {
  TAsyncLog* l = static_cast<TAsyncLog*>(log);
  DWORD r;
  try {
    r = l->Writer();
  } catch (...) {
    r = ERROR_INTERNAL_ERROR;  // an exception ended the writer thread
  }
  l->m_WriterUp = false;
  return r;
}

uint32_t TAsyncLog::Writer() {
  TLogTimers tm;
  // Without a timer lines wait for a due line or Close(); the failure goes to this log itself.
  auto chkTimer = [&](uint32_t e) {
    if (e) Write("..!", "SetTimer failed: rc=%u.", unsigned(e));
  };
  auto startTimers = [&]() {
    chkTimer(tm.StartRd(PrmsRd()));
    chkTimer(tm.StartFl(Prms().FlshSec()));
  };
  MSG msg;
  // The message queue comes first: Open() waits for it, holding the mutex that LoadPrms() waits for.
  WriterStarting();
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  SetEvent(m_QueueUp);
  LoadPrms();
  if (!IsOpn()) {
    SetIsOpn(true);
    startTimers();
  }
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_LOGCMD && msg.lParam == LPARAM(this)) {
      if (msg.wParam == LOGCMD_START) {
        LoadPrms();
        startTimers();
      } else if (msg.wParam == LOGCMD_LINE) {
        m_LinePosted = false;
        if (Lock(LOG_WAIT_FLUSH) == 0) {
          bool due = IsDue();
          Unlock();
          if (due) FlushLocked();
        }
      }
    } else if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
      if (msg.wParam == tm.Fl() && tm.Fl()) {
        FlushLocked();
      } else if (msg.wParam == tm.Rd() && tm.Rd()) {
        LoadPrms();
        if (PrmsRd() != tm.RdSec()) chkTimer(tm.StartRd(PrmsRd()));
        if (Prms().FlshSec() != tm.FlSec()) chkTimer(tm.StartFl(Prms().FlshSec()));
      }
    }
  }
  // Queued lines are written out even when callers keep the mutex busy for a while.
  FlushLocked(LOG_WAIT_CLOSE);
  uint32_t r = Lock(LOG_WAIT_CLOSE);
  Prms().SetDflts();
  if (r == 0) Unlock();
  tm.Kill();
  return 0;
}

// ---- TProcessLog and Log() ----

namespace {

// The lower layers' trace lines go to the calling process's trace log.
void TraceToLog(const char* tp, const char* fmt, va_list args) { Log().VWrite(tp, fmt, args); }

}  // namespace

TProcessLog::TProcessLog(uint32_t pid) : m_Pid(pid) { SetTraceFn(TraceToLog); }

TProcessLog::~TProcessLog() { SetTraceFn(nullptr); }

TCmpRes TProcessLog::Cmp(const TProcessLog& o, int) const { return CmpNum(m_Pid, o.m_Pid); }

namespace {

class TProcessLogs : public TList<TProcessLog> {
 public:
  TProcessLogs() : TList<TProcessLog>(64, 1, LST_UNIQUE | LST_INC_SITE) {}
};

}  // namespace

TLog& Log() {
  static std::mutex guard;  // declared first: it outlives the registry
  static TProcessLogs logs;
  uint32_t pid = GetCurrentProcessId();
  std::lock_guard<std::mutex> lk(guard);
  for (uint32_t i = 0; i < logs.Cnt(); ++i)
    if (logs.Get(i)->Pid() == pid) return *logs.Get(i);
  TProcessLog* l = new TProcessLog(pid);
  logs.AddSorted(l);
  return *l;
}
