// The trace sink of the lower layers: lines reach the installed writer, a line written from inside the
// writer is dropped instead of recursing, and a writer that throws does not silence the thread for good.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "Lib/Trace.h"

namespace {

std::vector<std::string> g_Lines;
bool g_Reenter = false, g_Throw = false;

void Record(const char* tp, const char* fmt, va_list args) {
  char txt[256];
  vsnprintf(txt, sizeof txt, fmt, args);
  g_Lines.push_back(std::string(tp) + " " + txt);
  if (g_Reenter) Trace("IN!", "%s", "from inside the writer");
  if (g_Throw) throw std::runtime_error("writer failed");
}

TEST(TraceSink, LinesReachTheWriterOnceWithoutRecursion) {
  TTraceFn old = SetTraceFn(Record);  // the trace log's, when a test made it
  Trace("AB.", "n=%u,s=%s", 7u, "%s%n");
  g_Reenter = true;
  Trace("RE.", "%s", "outer");
  g_Reenter = false, g_Throw = true;
  EXPECT_THROW(Trace("TH.", "%s", "throws"), std::runtime_error);
  g_Throw = false;
  Trace("OK.", "%s", "after the throw");
  SetTraceFn(nullptr);
  Trace("NO.", "%s", "no writer");
  SetTraceFn(old);
  EXPECT_EQ(g_Lines, (std::vector<std::string>{"AB. n=7,s=%s%n", "RE. outer", "TH. throws", "OK. after the throw"}));
}

}  // namespace
