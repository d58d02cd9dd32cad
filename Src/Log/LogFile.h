// File logs with a parameter file (TWliLog), with a writer thread of their own (TAsyncLog), and the
// per-process trace log behind Log().
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <memory>

#include "Lib/BTm.h"
#include "Log/Log.h"

// Message to the writer thread; lParam is the log.
constexpr UINT WM_LOGCMD = WM_APP + 1;
enum : WPARAM { LOGCMD_LINE = 2 };  // a line was queued

// Open(): the new writer thread signals that its message queue exists; only a machine that is badly
// overloaded keeps a new thread from its first instructions for seconds.
constexpr uint32_t LOG_WAIT_WRITER_UP = 30000;
constexpr uint32_t LOG_WAIT_THRD = 10000;    // Close(): the writer writes out the rest and ends

// A log whose file names derive from the executable's path (<dir><base>.log and <dir><base>.wli)
// and whose parameters come from the parameter file.
class TWliLog : public TLog {
 public:
  TWliLog();
  // Explicit file names, for a log beside another file than the executable.
  TWliLog(const char* prmsFileNm, const char* fileNm);

  uint32_t Open() override;
  // Re-reads the parameter file (defaults when it cannot be read); 0 = read.
  virtual uint32_t LoadPrms();

  uint32_t PrmsRd() const { return m_PrmsRd; }
  uint32_t SetPrmsRd(uint32_t sec);  // RC_BAD_PRM for 0 (nothing changes)
  const TStr& PrmsFileNm() const { return m_PrmsFileNm; }
  void SetPrmsFileNm(const char* nm) { m_PrmsFileNm.Set(nm ? nm : ""); }
  const TBTm& PrmsTm() const { return m_PrmsTm; }

 private:
  friend struct TLogProbe;

  TBTm m_PrmsTm;
  uint32_t m_LoadTick = 0;
  TStr m_PrmsFileNm;
  std::atomic<uint32_t> m_PrmsRd{60};
  std::atomic<uint32_t> m_LoadCnt{0};
};

// The open state of a TAsyncLog; Open() and Close() alone change it.
enum class TLogState { Closed, Starting, Open, Stopping };

class TLogWriter;  // the writer thread of a TAsyncLog (Log/LogFile.cpp)
class TLogTimers;  // the writer thread's timers (Log/LogFile.cpp)

// A TWliLog whose file is written only by a writer thread of its own: callers queue and post.
class TAsyncLog : public TWliLog {
 public:
  TAsyncLog();
  TAsyncLog(const char* prmsFileNm, const char* fileNm);
  // Stops a writer thread that still runs before the log goes.
  ~TAsyncLog() override;

  uint32_t Open() override;
  uint32_t Close() override;
  void FlushIfDue() override;

 protected:
  // Runs on a new writer thread before it creates its message queue (tests delay the start here).
  virtual void WriterStarting() {}

 private:
  friend class TLogWriter;
  friend struct TLogProbe;

  void Writer();
  void StartTimers(TLogTimers& tm, bool changedOnly = false);
  void OnTimer(TLogTimers& tm, UINT_PTR id);
  uint32_t StartWriter();
  // 0 once the writer signalled that its message queue exists, else why it will not.
  uint32_t WaitWriterUp();
  // Tells the writer to end and waits up to ms for it; true when it ended (its thread object is gone then).
  bool StopWriter(uint32_t ms);

  std::atomic<TLogState> m_State{TLogState::Closed};
  // Stays after the thread ended; the system gives it to no other thread while the writer's handle is open.
  std::atomic<uint32_t> m_ThrdId{0xFFFFFFFF};
  std::unique_ptr<TLogWriter> m_Writer;
  THandle m_QueueUp;  // signalled by the writer once it can take thread messages
  std::atomic<bool> m_LinePosted{false};  // a LOGCMD_LINE waits in the writer's queue
};

// The trace log of one process.
class TProcessLog : public TAsyncLog {
 public:
  // The log is the writer of the lower layers' trace lines (Lib/Trace.h) from its creation to its end.
  explicit TProcessLog(uint32_t pid);
  TProcessLog(const TProcessLog&) = delete;
  TProcessLog& operator=(const TProcessLog&) = delete;
  ~TProcessLog() override;
  uint32_t Pid() const { return m_Pid; }
  TCmpRes Cmp(const TProcessLog& o, int key) const;

 private:
  uint32_t m_Pid;
};
