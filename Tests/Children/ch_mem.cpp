// Child for the supervisor's tests: ch_mem <MiB> [<ms to live, -1 = forever>]
// Grows its working set by the given size (every page written) and then waits.
#include <windows.h>
#include <cstdlib>

int main(int argc, char** argv) {
  size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
  long ms = argc > 2 ? std::strtol(argv[2], nullptr, 10) : -1;
  size_t sz = mib << 20;
  char* p = static_cast<char*>(VirtualAlloc(nullptr, sz, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!p) return 8;
  for (size_t i = 0; i < sz; i += 4096) p[i] = 1;
  Sleep(ms < 0 ? INFINITE : (DWORD)ms);
  return 0;
}
