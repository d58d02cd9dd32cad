// Launcher for the user's guide examples: cl_run <file>
// Runs the command line held in the file (its first line, code page 1251, exactly as a shortcut or the
// Task Scheduler would pass it, with no shell in between), waits for it and prints its 32-bit exit status.
#include <windows.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  const DWORD RUN_TMOUT_MS = 120000;  // the guide's examples end within seconds; a hang must not stall the suite
  if (argc != 2) return 87;
  static char cmd[32768];
  FILE* f = std::fopen(argv[1], "rb");
  if (!f) return 2;
  size_t n = std::fread(cmd, 1, sizeof cmd - 1, f);
  std::fclose(f);
  cmd[n] = 0;
  cmd[std::strcspn(cmd, "\r\n")] = 0;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("launch failed: error %lu\n", GetLastError());
    return 1;
  }
  DWORD code = 0;
  if (WaitForSingleObject(pi.hProcess, RUN_TMOUT_MS) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 99);
    std::printf("timeout\n");
  } else if (!GetExitCodeProcess(pi.hProcess, &code)) {
    std::printf("exit status not read: error %lu\n", GetLastError());
  } else {
    std::printf("exit status: %lu\n", code);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}
