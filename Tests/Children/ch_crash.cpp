// Child for the supervisor's tests: ends in an access violation (exit code 0xC0000005), with the error mode
// it inherited; nothing handles the exception.
#include <cstdint>

static volatile uintptr_t g_Addr = 0;  // read at run time, so the compiler keeps the write as it stands

int main() {
  *reinterpret_cast<volatile int*>(g_Addr) = 1;
  return 0;
}
