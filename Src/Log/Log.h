// The log family: layout and filter parameters, the abstract log, the plain file log (the event log),
// the owning holder and the per-process trace log.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Lib/BStr.h"
#include "Lib/Thrd.h"
#include "Lib/Trace.h"

class TLogTps;     // the filter list (Log/LogLine.h)
class TLogQueue;   // the line queue (Log/LogLine.h)
class TLogPend;    // rendered lines whose write-out failed (Log/LogLine.h)
struct TLogBatch;  // lines a write-out grabbed off the queue (Log/LogLine.h)
class TLogIo;      // the file calls of a write-out (Log/LogLine.h)
struct TLogProbe;  // the tests' view of a log's insides

// Start modes of a log file.
enum : uint32_t { LOG_APPEND = 0, LOG_OVRWRT = 1, LOG_NEW = 2 };

// Mutex waits of the log family, in milliseconds: a caller may be held up briefly, never for long.
constexpr uint32_t LOG_WAIT_WRITE = 1000;      // Write(): a line is dropped rather than block the caller longer
constexpr uint32_t LOG_WAIT_OPEN = 250;        // TLog::Open()
constexpr uint32_t LOG_WAIT_WLI_OPEN = 5000;   // TWliLog::Open(): the writer thread may be in a write-out
constexpr uint32_t LOG_WAIT_CLOSE = 60000;     // Close(): a write-out to a slow disk may be running
constexpr uint32_t LOG_WAIT_FLUSH = 250;       // write-out by the writer thread: the next timer tick retries
constexpr uint32_t LOG_WAIT_LOAD = 1000;       // parameter re-read: the next timer tick retries

// Lines kept for a file that cannot be written (locked, missing, full); later ones are only counted.
// The event log's story of hundreds of launches fits; a busy trace keeps its first seconds of the outage.
constexpr uint32_t LOG_PEND_LNS = 10000;
constexpr uint32_t LOG_PEND_BYTES = 4u << 20;  // a few long texts must not take the memory the lines may not

class TLogPrms : public TYdBsMem {
 public:
  TLogPrms();
  ~TLogPrms() override;

  void SetDflts();  // every field but FileNm

  const TStr& TmFrmt() const { return m_TmFrmt; }
  void SetTmFrmt(const char* f) { m_TmFrmt.Set(f ? f : ""); }
  bool PidOn() const { return m_PidOn; }  // "Pid=" in every line
  void SetPidOn(bool on) { m_PidOn = on; }
  bool TidOn() const { return m_TidOn; }
  void SetTidOn(bool on) { m_TidOn = on; }
  bool TpOn() const { return m_TpOn; }  // the type code first in every line
  void SetTpOn(bool on) { m_TpOn = on; }
  uint32_t StrtMd() const { return m_StrtMd; }  // LOG_APPEND, LOG_OVRWRT or LOG_NEW
  void SetStrtMd(uint32_t m) { m_StrtMd = m; }
  uint32_t FlshSec() const { return m_FlshSec; }
  void SetFlshSec(uint32_t s) { m_FlshSec = s; }
  uint32_t FlshLns() const { return m_FlshLns; }  // more lines queued make a write-out due
  void SetFlshLns(uint32_t n) { m_FlshLns = n; }
  const TStr& FileNm() const { return m_FileNm; }
  void SetFileNm(const char* nm) { m_FileNm.Set(nm ? nm : ""); }
  // The text of the line written once the file takes lines again after some were dropped: a printf format
  // of our own with one "%u", the count.
  const TStr& DropFmt() const { return m_DropFmt; }
  void SetDropFmt(const char* fmt) { m_DropFmt.Set(fmt ? fmt : ""); }

  // False when an entry with an equal type pattern (case-sensitive) exists; the old entry stays.
  bool AddTp(const char* tpPattern, const char* txtPattern);
  bool Match(const char* tp, const char* txt) const;
  const TLogTps& Tps() const { return *m_Tps; }
  uint32_t TpCnt() const;

 private:
  TStr m_TmFrmt;
  bool m_PidOn = true;
  bool m_TidOn = true;
  bool m_TpOn = true;
  uint32_t m_StrtMd = LOG_APPEND;
  uint32_t m_FlshSec = 60;
  uint32_t m_FlshLns = 100;
  std::unique_ptr<TLogTps> m_Tps;
  TStr m_FileNm;
  TStr m_DropFmt;
};

class TLogA : public TYdBsMem {
 public:
  virtual TLogPrms& Prms() = 0;
  virtual uint32_t Open() = 0;
  virtual uint32_t Close() = 0;
  // Outside text is never the format: Write("WP.", "%s", txt).
  virtual uint32_t Write(const char* tp, const char* fmt, ...) = 0;
  virtual void FlushIfDue() = 0;
};

// The plain file log: lines are written out by the thread that writes them, when due, and at Close().
class TLog : public TLogA {
 public:
  TLog();
  ~TLog() override;

  TLogPrms& Prms() override { return m_Prms; }
  uint32_t Open() override;
  uint32_t Close() override;
  uint32_t Write(const char* tp, const char* fmt, ...) override;
  uint32_t VWrite(const char* tp, const char* fmt, va_list args);
  void FlushIfDue() override;

  // Writes the queue out; the caller holds the mutex. 0 or the system's error code; lines that could
  // not be written stay and go first at the next write-out.
  uint32_t Flush();
  bool IsOpn() const { return m_IsOpn; }
  void SetIsOpn(bool on) { m_IsOpn = on; }
  const TStr& CurFileNm() const { return m_CurFileNm; }
  void SetCurFileNm(const char* nm) { m_CurFileNm.Set(nm ? nm : ""); }

 protected:
  // Flush() for a caller that does not hold the mutex: it is held only while the queue is grabbed, so
  // writers never wait for the disk. 0, the wait's code or the write-out's code.
  uint32_t FlushLocked(uint32_t waitMs = LOG_WAIT_FLUSH);
  bool IsDue() const;  // more than FlshLns lines queued, or more than FlshSec seconds since the last write-out

 private:
  friend class TLogLock;
  friend struct TLogProbe;

  // The log's mutex: 0 when obtained (also when abandoned), 1460 on time-out, else the system's code.
  uint32_t Lock(uint32_t ms);
  void Unlock();
  void SetPendLmt(uint32_t lns, uint32_t bytes);  // the caps (LOG_PEND_LNS, LOG_PEND_BYTES by default)
  void SetIo(TLogIo* io);  // not owned; null: the system's calls

  // Moves the lines that pass the filter out of the queue with the layout in force (caller holds the
  // mutex and the write-out lock); WriteOut() renders them behind the pending lines (write-out lock only).
  void GrabLines(TLogBatch& batch);
  // Writes the pending lines, the count of dropped ones and the grabbed ones, in that order; what cannot
  // be written stays pending within the caps. The caller holds the write-out lock.
  uint32_t WriteOut(const TStr& fileNm, TLogBatch& batch);
  uint32_t WritePend(HANDLE h, const TStr& fileNm, TLogBatch& batch);  // until all is out or a write fails
  void KeepUnwritten(TLogBatch& batch);  // after a failed write: pending within the caps, or counted
  void RenderSome(TLogBatch& batch, size_t bytes);  // at least one line, then up to bytes
  void Trim();                                      // drops pending lines beyond the caps, counting them
  void AddDropLine(const TLogBatch& batch);         // type "LG!", written whatever the filter
  // One WriteFile of pending lines; after a short write the rest of the cut line follows at once, or the
  // file is cut back to its last whole line. 0 or the code that ends the write-out.
  uint32_t WriteChunk(HANDLE h, const TStr& fileNm);
  uint32_t MendCutLine(HANDLE h, const TStr& fileNm, uint64_t end, bool sized, uint32_t err);
  void Consume(uint32_t done);  // drops what reached the file from the pending lines

  std::unique_ptr<TLogQueue> m_Queue;
  std::unique_ptr<TLogPend> m_Pend;
  uint32_t m_PendBytes = 0;
  uint32_t m_PendOfs = 0;  // bytes of the first pending line already in the file: only its rest may follow
  std::atomic<uint32_t> m_Dropped{0};
  uint32_t m_PendMaxLns = LOG_PEND_LNS;
  uint32_t m_PendMaxBytes = LOG_PEND_BYTES;
  TLogIo* m_Io;
  std::atomic<uint32_t> m_LastFlsh;
  std::atomic<bool> m_IsOpn{false};
  std::mutex m_OutLock;  // one write-out at a time; taken after the mutex, never before it
  TMutex m_Mutex;
  uint32_t m_MutexErr = 0;
  TLogPrms m_Prms;
  TStr m_CurFileNm;
};

// Holds a log's mutex for one scope; Res() is the wait's code.
class TLogLock {
 public:
  TLogLock(TLog& l, uint32_t ms) : m_Log(l), m_Res(l.Lock(ms)) {}
  ~TLogLock() {
    if (m_Res == 0) m_Log.Unlock();
  }
  uint32_t Res() const { return m_Res; }

 private:
  TLog& m_Log;
  uint32_t m_Res;
};

// Owns one log and deletes it at its own end.
class TCase {
 public:
  explicit TCase(TLogA* l = nullptr) : m_Log(l) {}
  TCase(const TCase&) = delete;
  TCase& operator=(const TCase&) = delete;
  ~TCase();
  TLogA* operator->() const { return m_Log; }
  TLogA* Get() const { return m_Log; }
  void Set(TLogA* l);  // deletes the log held before

 private:
  TLogA* m_Log;
};

// The calling process's trace log; it is opened by the program entry, never by Log() itself.
TLog& Log();
