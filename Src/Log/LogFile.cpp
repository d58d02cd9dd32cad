// TWliLog, TAsyncLog with its writer thread, and the per-process trace log.
#include "Log/LogFile.h"

#include <mutex>

#include "Lib/Path.h"
#include "ydcodes.h"
#include "ydgen.h"

namespace {

constexpr uint32_t LOG_POST_RETRY = 10;      // ms between posts to a writer thread without a message queue
constexpr uint32_t LOG_TIMER_MAX = 0x7FFFFFFF;  // the longest timer period the system accepts

UINT TimerMs(uint32_t sec) {
  uint64_t ms = uint64_t(sec) * 1000u;
  return UINT(ms > LOG_TIMER_MAX ? LOG_TIMER_MAX : ms);
}

}  // namespace

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

class TLogWriter : public TThrd {
 public:
  explicit TLogWriter(TAsyncLog& log) : TThrd(true), m_Log(log) {}

 protected:
  void Exec() override { m_Log.Writer(); }

 private:
  TAsyncLog& m_Log;
};

// ---- TWliLog ----

// Not OwnPath(): its failure line would go to the trace sink, which this log joins only once it is built.
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
  if (sec == 0) return RC_BAD_PRM;
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

TAsyncLog::TAsyncLog() {}

TAsyncLog::TAsyncLog(const char* prmsFileNm, const char* fileNm) : TWliLog(prmsFileNm, fileNm) {}

TAsyncLog::~TAsyncLog() { StopWriter(INFINITE); }

uint32_t TAsyncLog::Open() {
  TLogState was = TLogState::Closed;
  if (!m_State.compare_exchange_strong(was, TLogState::Starting)) return was == TLogState::Open ? 0 : ERROR_BUSY;
  TWliLog::Open();  // reads the parameter file once: the writer starts with what it read
  uint32_t r = StartWriter();
  // A writer that did not come up in time must not run on behind a log that is closed.
  if (r) StopWriter(LOG_WAIT_THRD);
  SetIsOpn(r == 0);
  m_State = r ? TLogState::Closed : TLogState::Open;
  return r;
}

uint32_t TAsyncLog::StartWriter() {
  TTraceMute own;
  if (m_Writer) {
    // The writer of an earlier opening did not end within Close()'s wait.
    if (m_Writer->Wait(0) == WAIT_TIMEOUT) return ERROR_BUSY;
    m_Writer.reset();
  }
  // Kept for the log's life: a writer that signals late never finds a closed handle.
  if (m_QueueUp.IsNone()) {
    m_QueueUp.Attach(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (m_QueueUp.IsNone()) return GetLastError();
  }
  ResetEvent(m_QueueUp.Get());
  m_LinePosted = false;
  std::unique_ptr<TLogWriter> w(new TLogWriter(*this));
  if (uint32_t r = w->Start()) return r;
  m_ThrdId = w->Id();
  m_Writer = std::move(w);
  return WaitWriterUp();
}

uint32_t TAsyncLog::WaitWriterUp() {
  HANDLE hs[2] = {m_QueueUp.Get(), m_Writer->Handle()};
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
  if (!m_Writer) return true;
  TTraceMute own;
  DWORD start = GetTickCount();
  bool posted = false;
  for (;;) {
    if (!posted) posted = PostThreadMessageA(m_Writer->Id(), WM_QUIT, 0, 0) != FALSE;
    DWORD left = LOG_POST_RETRY;
    if (posted) {
      DWORD spent = GetTickCount() - start;
      left = ms == INFINITE ? INFINITE : (spent >= ms ? 0 : ms - spent);
    }
    if (m_Writer->Wait(left) == 0) break;
    if (ms != INFINITE && GetTickCount() - start >= ms) return false;
  }
  m_Writer.reset();
  return true;
}

uint32_t TAsyncLog::Close() {
  TLogState was = TLogState::Open;
  if (!m_State.compare_exchange_strong(was, TLogState::Stopping)) return 1;
  StopWriter(LOG_WAIT_THRD);
  uint32_t r = TLog::Close();
  m_State = TLogState::Closed;
  return r;
}

void TAsyncLog::FlushIfDue() {
  // Only an open log has a writer to wake. It acts on a posted line only when a write-out is due; one
  // such message in its queue is enough.
  if (m_State != TLogState::Open || m_LinePosted || !IsDue()) return;
  // Marked before the post: the writer may take the message and clear the mark before PostThreadMessageA
  // returns, and a mark set afterwards would then stay with no message queued, so no line would wake it.
  m_LinePosted = true;
  if (!PostThreadMessageA(m_ThrdId, WM_LOGCMD, LOGCMD_LINE, LPARAM(this))) m_LinePosted = false;
}

void TAsyncLog::StartTimers(TLogTimers& tm, bool changedOnly) {
  // Without a timer lines wait for a due line or Close(); the failure goes to this log itself.
  auto started = [this](uint32_t e) {
    if (e) Write("..!", "SetTimer failed: rc=%u.", unsigned(e));
  };
  if (!changedOnly || PrmsRd() != tm.RdSec()) started(tm.StartRd(PrmsRd()));
  if (!changedOnly || Prms().FlshSec() != tm.FlSec()) started(tm.StartFl(Prms().FlshSec()));
}

void TAsyncLog::OnTimer(TLogTimers& tm, UINT_PTR id) {
  if (id == tm.Fl() && tm.Fl()) {
    FlushLocked();
  } else if (id == tm.Rd() && tm.Rd()) {
    LoadPrms();
    StartTimers(tm, true);
  }
}

void TAsyncLog::Writer() {
  TTraceMute own;
  TLogTimers tm;
  MSG msg;
  // The message queue comes first: Open() waits for it.
  WriterStarting();
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  SetEvent(m_QueueUp.Get());
  StartTimers(tm);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_LOGCMD && msg.lParam == LPARAM(this) && msg.wParam == LOGCMD_LINE) {
      m_LinePosted = false;
      bool due = false;
      {
        TLogLock lk(*this, LOG_WAIT_FLUSH);
        due = lk.Res() == 0 && IsDue();
      }
      if (due) FlushLocked();
    } else if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
      OnTimer(tm, msg.wParam);
    }
  }
  // Queued lines are written out even when callers keep the mutex busy for a while.
  FlushLocked(LOG_WAIT_CLOSE);
  TLogLock lk(*this, LOG_WAIT_CLOSE);
  Prms().SetDflts();
}

// ---- TProcessLog and Log() ----

namespace {

// The lower layers' trace lines go to the calling process's trace log.
void TraceToLog(const char* tp, const char* fmt, va_list args) {
  Log().VWrite(tp, fmt, args);
}

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
