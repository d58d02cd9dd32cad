// demo_status <command line>: runs the command line, waits for it and prints its 32-bit exit status,
// which a POSIX shell would cut to its low byte. Returns the same status.
#include <windows.h>
#include <cstdio>

int main() {
  // The rest of our own command line after the program name, as written.
  const char* p = GetCommandLineA();
  bool inQt = false;
  for (; *p && (inQt || *p != ' '); ++p)
    if (*p == '"') inQt = !inQt;
  while (*p == ' ') ++p;
  if (!*p) {
    std::fprintf(stderr, "usage: demo_status <command line>\n");
    return 87;
  }
  char cmd[32768];
  lstrcpynA(cmd, p, sizeof cmd);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    DWORD e = GetLastError();
    std::printf("launch failed: error %lu\n", e);
    return static_cast<int>(e);
  }
  DWORD code = 0;
  DWORD err = 0;
  if (WaitForSingleObject(pi.hProcess, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(pi.hProcess, &code))
    err = GetLastError();
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (err != 0) {
    std::printf("exit status not read: error %lu\n", err);
    return static_cast<int>(err);
  }
  std::printf("exit status: %lu (0x%08lX)\n", code, code);
  return static_cast<int>(code);
}
