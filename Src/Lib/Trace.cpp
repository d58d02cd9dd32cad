#include "Lib/Trace.h"

#include <atomic>

namespace {

std::atomic<TTraceFn> g_TraceFn{nullptr};
thread_local uint32_t t_Mute = 0;  // TTraceMute scopes the thread is in

}  // namespace

TTraceMute::TTraceMute() { ++t_Mute; }

TTraceMute::~TTraceMute() { --t_Mute; }

bool TTraceMute::On() { return t_Mute != 0; }

TTraceFn SetTraceFn(TTraceFn fn) { return g_TraceFn.exchange(fn); }

void Trace(const char* tp, const char* fmt, ...) {
  TTraceFn fn = g_TraceFn.load();
  if (!fn || t_Mute) return;
  TTraceMute in;
  va_list args;
  va_start(args, fmt);
  fn(tp, fmt, args);
  va_end(args);
}

void LogExpect(const char* expr, const char* file, unsigned line) {
  Trace("..!", "'%s' in \"%s\" line %u", expr ? expr : "", file ? file : "", line);
}
