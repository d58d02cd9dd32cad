// The trace sink of the layers below the log: the process trace log installs its writer here when it is
// created and removes it when it goes, so that strings, paths and threads trace without calling upwards.
#pragma once
#include <cstdarg>

#include "Lib/BStr.h"

typedef void (*TTraceFn)(const char* tp, const char* fmt, va_list args);

// Installs fn (null removes it); returns the one installed before.
TTraceFn SetTraceFn(TTraceFn fn);

// Writes one trace line through the installed writer; nothing happens before one is installed. A line that
// the same thread starts while it is writing one (a writer that traces its own work) is dropped.
void Trace(const char* tp, const char* fmt, ...) YD_PRINTF(2, 3);

// Writes the "..!" line of a failed internal expectation; processing goes on.
void LogExpect(const char* expr, const char* file, unsigned line);
#define LOG_EXPECT(cond) \
  do { \
    if (!(cond)) LogExpect(#cond, __FILE__, __LINE__); \
  } while (0)
