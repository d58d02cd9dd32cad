#include "Lib/Trace.h"

#include <atomic>

namespace {

std::atomic<TTraceFn> g_TraceFn{nullptr};
thread_local bool t_InTrace = false;

// Marks the calling thread as writing a line, also when the writer throws.
class TInTrace {
 public:
  TInTrace() { t_InTrace = true; }
  ~TInTrace() { t_InTrace = false; }
  TInTrace(const TInTrace&) = delete;
  TInTrace& operator=(const TInTrace&) = delete;
};

}  // namespace

TTraceFn SetTraceFn(TTraceFn fn) { return g_TraceFn.exchange(fn); }

void Trace(const char* tp, const char* fmt, ...) {
  TTraceFn fn = g_TraceFn.load();
  if (!fn || t_InTrace) return;
  TInTrace in;
  va_list args;
  va_start(args, fmt);
  fn(tp, fmt, args);
  va_end(args);
}

void LogExpect(const char* expr, const char* file, unsigned line) {
  Trace("..!", "'%s' in \"%s\" line %u", expr ? expr : "", file ? file : "", line);
}
