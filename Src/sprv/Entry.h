// The program's work between opening and closing the trace log: parameter check, parsing, supervision,
// exit status. WinMain hands it the process command line.
#pragma once
#include <cstdint>
#include "Lib/BStr.h"
#include "Lib/Res.h"

const uint32_t EXIT_NOT_DONE = 0x800401F7;  // the child never ended with an expected code

// Code 87 "Параметры не заданы" when argument 1 is missing or a help request; writes the "A_A" line.
TRes ChkPrms(const char* cmdLn);
TRes ChkPrms();
// The text of the usage box: the reason and a line break when there is a reason, then the usage help.
TStr UsageTxt(const TStr& reason);
const char* UsageHelp();
// Shows the usage box and returns when it has closed.
void ShowUsage(const TStr& reason);

typedef void (*TShowUsageFn)(const TStr& reason);
// Runs everything but the trace log's opening and closing; returns the exit status. The outcome of
// the run is copied to *outcome when given.
uint32_t RunEntry(const char* cmdLn, TShowUsageFn show = ShowUsage, TRes* outcome = nullptr);
