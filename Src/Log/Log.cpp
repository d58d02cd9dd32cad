// Log core: line capture and layout, filter, parameters, the plain file log and its write-out.
#include "Log/Log.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "Lib/BTm.h"
#include "Lib/Path.h"
#include "Lib/Re.h"
#include "Log/LogLine.h"
#include "ydcodes.h"

namespace {

constexpr size_t LOG_FMT_START = 64;            // formatting buffers grow in steps of this size until the text fits
constexpr size_t LOG_FMT_MAX = 64u << 20;       // a text is cut here rather than exhaust the heap
constexpr size_t LOG_BATCH = 64u << 10;         // bytes of whole lines handed to one WriteFile
// Append-only write access: every WriteFile lands at the current end of the file as one piece, so
// writers in several processes never overwrite or split each other's lines. Read access is what
// byte-range locks require.
// Reading the size tells where a line cut by a full disk began.
constexpr DWORD LOG_FILE_ACCESS = FILE_READ_DATA | FILE_READ_ATTRIBUTES | (FILE_GENERIC_WRITE & ~FILE_WRITE_DATA);
// Not every file system makes appends atomic (Wine finds the end and writes there in two steps), so our
// writers also take turns through an exclusive lock on one byte at 2^62, far beyond any log's data.
constexpr DWORD LOG_LOCK_OFS_HIGH = 0x40000000;
constexpr uint32_t LOG_LOCK_WAIT = 5000;  // another writer holds the lock for one batch: far less than this
constexpr uint32_t LOG_LOCK_RETRY = 1;    // ms between attempts

// The append turn of one batch. Res() is 0 when held or when the file system has no byte-range locks
// (appends then rely on the append-only access alone), else the code that ends the write-out.
class TAppendLock {
 public:
  explicit TAppendLock(HANDLE h) : m_H(h) {
    DWORD start = GetTickCount();
    for (;;) {
      OVERLAPPED ov = {};
      ov.OffsetHigh = LOG_LOCK_OFS_HIGH;
      if (LockFileEx(m_H, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
        m_Held = true;
        return;
      }
      DWORD e = GetLastError();
      if (e != ERROR_LOCK_VIOLATION && e != ERROR_IO_PENDING) return;
      if (GetTickCount() - start >= LOG_LOCK_WAIT) {
        m_Res = e == ERROR_IO_PENDING ? ERROR_LOCK_VIOLATION : e;
        return;
      }
      Sleep(LOG_LOCK_RETRY);
    }
  }
  ~TAppendLock() {
    if (!m_Held) return;
    OVERLAPPED ov = {};
    ov.OffsetHigh = LOG_LOCK_OFS_HIGH;
    UnlockFileEx(m_H, 0, 1, 0, &ov);
  }
  uint32_t Res() const { return m_Res; }

 private:
  HANDLE m_H;
  bool m_Held = false;
  uint32_t m_Res = 0;
};

TStr FmtTxt(const char* fmt, va_list args) {
  if (!fmt) return TStr();
  static const TFmtGrow kGrow = {LOG_FMT_START, LOG_FMT_MAX, LOG_FMT_MAX, false};
  TCharBuf buf;
  YdVFmt(buf, kGrow, fmt, args);
  return TStr(buf.Chars());
}

void AddElem(TStr& out, const char* elem) {
  if (!out.Empty()) out.Add(" ");
  out.Add(elem);
}

}  // namespace

// ---- TLogLine, TLogIo ----

TLogLine::TLogLine(const char* tp, const char* txt)
    : Tm(TBTm::Now()), Tp(tp ? tp : ""), Txt(txt ? txt : ""), Pid(GetCurrentProcessId()),
      Tid(GetCurrentThreadId()) {}

TLogLine::TLogLine(const char* tp, const char* txt, const TBTm& tm, uint32_t pid, uint32_t tid)
    : Tm(tm), Tp(tp ? tp : ""), Txt(txt ? txt : ""), Pid(pid), Tid(tid) {}

TStr TLogLine::Render(const TStr& tmFrmt, bool pidOn, bool tidOn, bool tpOn) const {
  TStr out;
  if (tpOn) AddElem(out, Tp.Str());
  if (!tmFrmt.Empty()) AddElem(out, Tm.ToStr(tmFrmt.Str(), LOCALE_USER_DEFAULT).Str());
  char id[32];
  if (pidOn) {
    snprintf(id, sizeof(id), "Pid=%#06x", Pid);
    AddElem(out, id);
  }
  if (tidOn) {
    snprintf(id, sizeof(id), "Tid=%#06x", Tid);
    AddElem(out, id);
  }
  AddElem(out, Txt.Str());
  out.Add("\r\n");
  return out;
}

uint32_t TLogIo::Write(HANDLE h, const char* p, uint32_t n, uint32_t& done) {
  DWORD wr = 0;
  uint32_t e = WriteFile(h, p, n, &wr, nullptr) ? 0 : uint32_t(GetLastError());
  done = wr;
  return e;
}

uint32_t TLogIo::Cut(const char* fileNm, uint64_t end, uint64_t newEnd) {
  THandle h(CreateFileA(fileNm, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.IsNone()) return GetLastError();
  LARGE_INTEGER sz, pos;
  if (!GetFileSizeEx(h.Get(), &sz)) return GetLastError();
  if (uint64_t(sz.QuadPart) != end) return ERROR_LOCK_VIOLATION;  // another program wrote behind the cut line
  pos.QuadPart = LONGLONG(newEnd);
  if (!SetFilePointerEx(h.Get(), pos, nullptr, FILE_BEGIN) || !SetEndOfFile(h.Get())) return GetLastError();
  return 0;
}

// ---- TLogTp ----

TLogTp::TLogTp(const char* tp, const char* txt) : Tp(tp ? tp : ""), Txt(txt ? txt : "") {
  if (!Tp.Empty()) m_TpRe = ReComp(Tp.Str());
  if (!Txt.Empty()) m_TxtRe = ReComp(Txt.Str());
}

TLogTp::~TLogTp() {
  std::free(m_TpRe);
  std::free(m_TxtRe);
}

TCmpRes TLogTp::Cmp(const TLogTp& o, int) const { return TCmpRes(lstrcmpA(Tp.Str(), o.Tp.Str())); }

bool TLogTp::Match(const char* tp, const char* txt) const {
  TReMatch m;
  if (!Tp.Empty() && !(m_TpRe && ReExec(m_TpRe, tp ? tp : "", m) == 1)) return false;
  if (!Txt.Empty() && !(m_TxtRe && ReExec(m_TxtRe, txt ? txt : "", m) == 1)) return false;
  return true;
}

// ---- TLogPrms ----

TLogPrms::TLogPrms() : m_Tps(new TLogTps) { SetDflts(); }

TLogPrms::~TLogPrms() {}

void TLogPrms::SetDflts() {
  m_TmFrmt.Set("dd.MM.yyyy HH:mm:ss.ii");
  m_PidOn = m_TidOn = m_TpOn = true;
  m_StrtMd = LOG_APPEND;
  m_FlshSec = 60;
  m_FlshLns = 100;
  m_Tps->Clr();
  m_DropFmt.Set("%u log lines dropped: the file could not be written");
}

bool TLogPrms::AddTp(const char* tpPattern, const char* txtPattern) {
  std::unique_ptr<TLogTp> tp(new TLogTp(tpPattern, txtPattern));
  if (m_Tps->AddSorted(tp.get()) < 0) return false;
  tp.release();
  return true;
}

bool TLogPrms::Match(const char* tp, const char* txt) const {
  for (uint32_t i = 0; i < m_Tps->Cnt(); ++i)
    if (m_Tps->Get(i)->Match(tp, txt)) return true;
  return false;
}

uint32_t TLogPrms::TpCnt() const { return m_Tps->Cnt(); }

// ---- TLog ----

TLog::TLog() : m_Queue(new TLogQueue), m_Pend(new TLogPend), m_Io(nullptr), m_LastFlsh(TickCnt()) {
  SetIo(nullptr);
  // The address alone is not unique across processes: fresh processes may lay out their heaps alike,
  // and two logs sharing one mutex would make each other's writers time out. The process id parts them.
  char nm[48];
  snprintf(nm, sizeof(nm), "YD_Log_%llu_%lu", (unsigned long long)(uintptr_t)this, GetCurrentProcessId());
  TTraceMute own;
  m_MutexErr = m_Mutex.Crt(false, nm);
}

TLog::~TLog() {
  if (m_IsOpn) TLog::Close();
  TTraceMute own;
  m_Mutex.Close();
}

uint32_t TLog::Lock(uint32_t ms) {
  if (m_Mutex.IsNone()) return m_MutexErr ? m_MutexErr : ERROR_INVALID_HANDLE;
  // Not TMutex::Lock: a trace line per wait would double the trace, and a time-out here is 1460.
  DWORD w = WaitForSingleObject(m_Mutex.Get(), ms);
  if (w == WAIT_OBJECT_0 || w == WAIT_ABANDONED) return 0;
  if (w == WAIT_TIMEOUT) return ERROR_TIMEOUT;
  DWORD e = GetLastError();
  return e ? e : ERROR_INVALID_HANDLE;
}

void TLog::Unlock() { m_Mutex.Release(); }

uint32_t TLog::Write(const char* tp, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  uint32_t r = VWrite(tp, fmt, args);
  va_end(args);
  return r;
}

uint32_t TLog::VWrite(const char* tp, const char* fmt, va_list args) {
  std::unique_ptr<TLogLine> line(new TLogLine(tp, FmtTxt(fmt, args).Str()));
  TLogLock lk(*this, LOG_WAIT_WRITE);
  if (lk.Res()) return lk.Res();
  m_Queue->Add(line.release());
  FlushIfDue();
  return 0;
}

bool TLog::IsDue() const {
  if (m_Queue->Cnt() > m_Prms.FlshLns()) return true;
  uint32_t since = TickCnt() - m_LastFlsh;
  return uint64_t(since) > uint64_t(m_Prms.FlshSec()) * 1000u;
}

void TLog::FlushIfDue() {
  if (IsDue()) Flush();
}

uint32_t TLog::Open() {
  TLogLock lk(*this, LOG_WAIT_OPEN);
  if (lk.Res()) return lk.Res();
  if (m_IsOpn) return 1;
  const TStr& nm = m_Prms.FileNm();
  if (nm.Empty()) return RC_BAD_PRM;
  m_LastFlsh = TickCnt();
  uint32_t r = 0;
  switch (m_Prms.StrtMd()) {
    case LOG_APPEND:
      m_CurFileNm = nm;
      break;
    case LOG_OVRWRT:
      m_CurFileNm = nm;
      DeleteFileA(nm.Str());
      break;
    case LOG_NEW: {
      TStr drv, dir, base, ext;
      SplitPath(nm.Str(), &drv, &dir, &base, &ext);
      m_CurFileNm = drv + dir + base + TBTm::Now().ToStr("yyyyMMdd-HHmmssii", LOCALE_USER_DEFAULT) + ext;
      break;
    }
    default:
      r = RC_BAD_PRM;
  }
  m_IsOpn = r == 0;
  return r;
}

uint32_t TLog::Close() {
  TLogLock lk(*this, LOG_WAIT_CLOSE);  // a failed wait does not keep the log open
  if (!m_IsOpn) return 1;
  // Lines the last write-out could not write are lost with the log: the caller learns of it.
  uint32_t flushed = Flush();
  m_IsOpn = false;
  m_CurFileNm.Clr();
  return lk.Res() ? lk.Res() : flushed;
}

uint32_t TLog::Flush() {
  TTraceMute own;
  std::lock_guard<std::mutex> out(m_OutLock);
  try {
    TLogBatch batch;
    GrabLines(batch);
    return WriteOut(m_CurFileNm, batch);
  } catch (...) {
    return RC_INTERNAL;
  }
}

uint32_t TLog::FlushLocked(uint32_t waitMs) {
  TTraceMute own;
  std::unique_lock<std::mutex> out(m_OutLock, std::defer_lock);
  try {
    TLogBatch batch;
    TStr nm;
    {
      TLogLock lk(*this, waitMs);
      if (lk.Res()) return lk.Res();
      out.lock();
      GrabLines(batch);
      nm = m_CurFileNm;
    }
    return WriteOut(nm, batch);
  } catch (...) {
    return RC_INTERNAL;
  }
}

void TLog::GrabLines(TLogBatch& batch) {
  batch.TmFrmt = m_Prms.TmFrmt();
  batch.PidOn = m_Prms.PidOn();
  batch.TidOn = m_Prms.TidOn();
  batch.TpOn = m_Prms.TpOn();
  batch.DropFmt = m_Prms.DropFmt();
  if (m_Prms.TpCnt() == 0) {
    m_Queue->Clr();
    return;
  }
  while (m_Queue->First()) {
    std::unique_ptr<TLogLine> l(m_Queue->Take(m_Queue->First()));
    if (m_Prms.Match(l->Tp.Str(), l->Txt.Str())) batch.Lines.Add(l.release());
  }
}

void TLog::SetPendLmt(uint32_t lns, uint32_t bytes) {
  std::lock_guard<std::mutex> out(m_OutLock);
  m_PendMaxLns = lns;
  m_PendMaxBytes = bytes;
}

void TLog::SetIo(TLogIo* io) {
  static TLogIo sys;
  std::lock_guard<std::mutex> out(m_OutLock);
  m_Io = io ? io : &sys;
}

void TLog::Trim() {
  // The newest go: the lines kept are the first of the outage, and the count line follows them.
  while (m_Pend->Cnt() > 1 && (m_Pend->Cnt() > m_PendMaxLns || m_PendBytes > m_PendMaxBytes)) {
    m_PendBytes -= m_Pend->Last()->Item->Len();
    m_Pend->Del(m_Pend->Last());
    ++m_Dropped;
  }
}

void TLog::RenderSome(TLogBatch& batch, size_t bytes) {
  size_t got = 0;
  while (batch.Lines.First() && (got == 0 || got < bytes)) {
    std::unique_ptr<TLogLine> l(batch.Lines.Take(batch.Lines.First()));
    std::unique_ptr<TStr> txt(new TStr(l->Render(batch.TmFrmt, batch.PidOn, batch.TidOn, batch.TpOn)));
    got += txt->Len();
    m_PendBytes += txt->Len();
    m_Pend->Add(txt.release());
  }
}

void TLog::AddDropLine(const TLogBatch& batch) {
  char txt[160];
  snprintf(txt, sizeof txt, batch.DropFmt.Empty() ? "%u" : batch.DropFmt.Str(), unsigned(m_Dropped));
  m_Dropped = 0;
  TLogLine l("LG!", txt);
  TStr* r = new TStr(l.Render(batch.TmFrmt, batch.PidOn, batch.TidOn, batch.TpOn));
  m_PendBytes += r->Len();
  m_Pend->Add(r);
}

uint32_t TLog::WriteOut(const TStr& fileNm, TLogBatch& batch) {
  if (!m_Pend->First() && !m_Dropped && !batch.Lines.First()) return 0;
  THandle h(CreateFileA(fileNm.Str(), LOG_FILE_ACCESS, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  uint32_t r = h.IsNone() ? GetLastError() : WritePend(h.Get(), fileNm, batch);
  if (r) {
    KeepUnwritten(batch);
    return r;
  }
  // The lines are out whatever the flush or the close says; their failure is the write-out's result.
  uint32_t flushed = FlushFileBuffers(h.Get()) ? 0 : GetLastError();
  uint32_t closed = h.Close();
  m_LastFlsh = TickCnt();
  return flushed ? flushed : closed;
}

uint32_t TLog::WritePend(HANDLE h, const TStr& fileNm, TLogBatch& batch) {
  for (;;) {
    if (!m_Pend->First()) {
      if (m_Dropped)
        AddDropLine(batch);
      else if (batch.Lines.First())
        RenderSome(batch, LOG_BATCH);
      else
        return 0;
    }
    if (uint32_t r = WriteChunk(h, fileNm)) return r;
  }
}

void TLog::KeepUnwritten(TLogBatch& batch) {
  // Once lines are dropped all later ones go too, until the count line has its place behind the kept ones.
  if (m_Dropped) {
    m_Dropped += batch.Lines.Cnt();
    batch.Lines.Clr();
  } else {
    RenderSome(batch, size_t(-1));
    Trim();
  }
}

void TLog::Consume(uint32_t done) {
  while (done && m_Pend->First()) {
    uint32_t left = m_Pend->First()->Item->Len() - m_PendOfs;
    if (done < left) {
      m_PendOfs += done;
      return;
    }
    done -= left;
    m_PendOfs = 0;
    m_PendBytes -= m_Pend->First()->Item->Len();
    m_Pend->Del(m_Pend->First());
  }
}

uint32_t TLog::WriteChunk(HANDLE h, const TStr& fileNm) {
  std::vector<char> chunk;
  uint32_t ofs = m_PendOfs;
  for (TContainerItem<TStr>* n = m_Pend->First(); n && (chunk.empty() || chunk.size() < LOG_BATCH); n = n->Next) {
    chunk.insert(chunk.end(), n->Item->Str() + ofs, n->Item->Str() + n->Item->Len());
    ofs = 0;
  }
  TAppendLock turn(h);
  if (turn.Res()) return turn.Res();
  LARGE_INTEGER start;
  bool sized = GetFileSizeEx(h, &start) != FALSE;
  uint32_t done = 0;
  uint32_t err = m_Io->Write(h, chunk.data(), uint32_t(chunk.size()), done);
  Consume(done);
  if (!err && done < chunk.size()) err = ERROR_DISK_FULL;  // a short write without a reason
  if (!m_PendOfs) return err;
  return MendCutLine(h, fileNm, uint64_t(start.QuadPart) + done, sized, err);
}

uint32_t TLog::MendCutLine(HANDLE h, const TStr& fileNm, uint64_t end, bool sized, uint32_t err) {
  // A line is cut in the file: its rest goes now, or the file goes back to the end of the line before.
  for (;;) {
    const TStr& l = *m_Pend->First()->Item;
    uint32_t more = 0;
    uint32_t e = m_Io->Write(h, l.Str() + m_PendOfs, l.Len() - m_PendOfs, more);
    end += more;
    Consume(more);
    if (!m_PendOfs) return err;
    if (e || more == 0) break;
  }
  // Without its size the end of the last whole line is unknown: the rest waits, and only it will follow.
  if (sized && m_Io->Cut(fileNm.Str(), end, end - m_PendOfs) == 0) m_PendOfs = 0;
  return err ? err : uint32_t(ERROR_DISK_FULL);
}

// ---- TCase ----

TCase::~TCase() { delete m_Log; }

void TCase::Set(TLogA* l) {
  if (l == m_Log) return;
  delete m_Log;
  m_Log = l;
}
