// A queued log line, the line queue, the filter list of a log and the file calls of its write-out.
#pragma once
#include <windows.h>
#include <cstdint>

#include "Lib/BStr.h"
#include "Lib/BTm.h"
#include "ydgen.h"

// One line, captured completely when it is written.
struct TLogLine : public TYdBsMem {
  TLogLine(const char* tp, const char* txt);  // time, process and thread taken now
  TLogLine(const char* tp, const char* txt, const TBTm& tm, uint32_t pid, uint32_t tid);

  // The line's text with CR LF: the type code, the time stamp, "Pid=", "Tid=" (each when switched on)
  // and the text, one blank between elements.
  TStr Render(const TStr& tmFrmt, bool pidOn, bool tidOn, bool tpOn) const;

  TBTm Tm;
  TStr Tp;
  TStr Txt;
  uint32_t Pid;
  uint32_t Tid;
};

class TLogQueue : public TQueue<TLogLine> {};

// Rendered lines taken off the queue whose write-out failed: they go first at the next write-out.
class TLogPend : public TQueue<TStr> {};

// Lines a write-out grabbed off the queue, with the layout in force when it grabbed them.
struct TLogBatch {
  TLogQueue Lines;
  TStr TmFrmt;
  TStr DropFmt;
  bool PidOn = true;
  bool TidOn = true;
  bool TpOn = true;
};

struct TReProg;

// One filter entry: a pattern searched in the type code and one searched in the text (empty: any text).
// The patterns are compiled once; one that does not compile never matches.
struct TLogTp : public TYdBsMem {
  TLogTp(const char* tp, const char* txt);
  TLogTp(const TLogTp&) = delete;
  TLogTp& operator=(const TLogTp&) = delete;
  ~TLogTp() override;
  TCmpRes Cmp(const TLogTp& o, int key) const;  // by Tp, lstrcmpA
  bool Match(const char* tp, const char* txt) const;

  TStr Tp;
  TStr Txt;

 private:
  TReProg* m_TpRe = nullptr;
  TReProg* m_TxtRe = nullptr;
};

// Sorted by Tp (case-sensitive, user-locale order), unique.
class TLogTps : public TList<TLogTp> {
 public:
  TLogTps() : TList<TLogTp>(64, 1, LST_UNIQUE | LST_INC_SITE) {}
};

// The file calls of a write-out that a full or failing disk can stop part-way; tests give their own.
class TLogIo {
 public:
  virtual ~TLogIo() {}
  // WriteFile: 0 or the system's code; done is what reached the file, also when the call failed.
  virtual uint32_t Write(HANDLE h, const char* p, uint32_t n, uint32_t& done);
  // Cuts the file back to newEnd when it still ends at end, through a handle of its own: the log's handle
  // may only append. 0 or the system's code.
  virtual uint32_t Cut(const char* fileNm, uint64_t end, uint64_t newEnd);
};
