// The trace sink of the layers below the log: the process trace log installs its writer here when it is
// created and removes it when it goes, so that strings, paths and threads trace without calling upwards.
#pragma once
#include <cstdarg>

#include "Lib/BStr.h"

typedef void (*TTraceFn)(const char* tp, const char* fmt, va_list args);

// Installs fn (null removes it); returns the one installed before.
TTraceFn SetTraceFn(TTraceFn fn);

// Writes one trace line through the installed writer; nothing happens before one is installed, nor while the
// calling thread is inside a TTraceMute scope (Trace sets one around the writer: a writer that traces its own
// work drops that line instead of recursing).
void Trace(const char* tp, const char* fmt, ...) YD_PRINTF(2, 3);

// Drops the calling thread's trace lines for one scope. The trace log's own work (its file, its mutex, its
// writer thread) runs inside one: a line about it would feed that log a line per write-out, and could wait for
// a lock the thread already holds.
class TTraceMute {
 public:
  static bool On();  // the calling thread is inside such a scope
  TTraceMute();
  ~TTraceMute();
  TTraceMute(const TTraceMute&) = delete;
  TTraceMute& operator=(const TTraceMute&) = delete;
};

// Writes the "..!" line of a failed internal expectation; processing goes on. File and line are a module path
// and a check number of ydcodes.h, never a source position that moves with the code.
void LogExpect(const char* expr, const char* file, unsigned line);
