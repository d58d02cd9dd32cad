// Throw sites of the container templates, kept out of line: one copy instead of one per item type.
#include "ydgen.h"

void YdGenOutOfRange(const char* file, unsigned line, uint32_t idx, uint32_t cnt) {
  throw EOutOfRange(file, line, idx, cnt);
}

void YdGenInvalidArg(const char* file, unsigned line, const char* cond) {
  throw EInvalidArgument(file, line, cond);
}

void* YdGenGrow(void* arr, uint32_t cnt) {
  if (cnt > LST_MAX_CNT) throw EBadAlloc(SRC_GEN, CHK_GEN_GROW, cnt);
  try {
    return YdReAlloc(arr, size_t(cnt) * sizeof(void*));
  } catch (const EBadAlloc&) {
    // The list reports the item count it asked for, not the byte size of the heap request.
    throw EBadAlloc(SRC_GEN, CHK_GEN_GROW, cnt);
  }
}
