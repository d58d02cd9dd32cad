// Child for the supervisor's tests: ch_exit <exit code> [<ms to live, -1 = forever>]
// The code is read as unsigned (0x prefix allowed) so that 32-bit codes such as 0xC0000005 can be given.
#include <windows.h>
#include <cstdlib>

int main(int argc, char** argv) {
  unsigned long code = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 0;
  long ms = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (ms < 0)
    for (;;) Sleep(INFINITE);
  if (ms > 0) Sleep((DWORD)ms);
  ExitProcess((UINT)code);
}
