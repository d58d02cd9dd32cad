// Launcher: cl_run <command file> [<result file>]. Runs the first line of the file (code page 1251, exactly as a
// shortcut or the Task Scheduler would pass it, no shell in between), waits for it and prints its 32-bit exit status,
// or writes it in decimal ("timeout", "launch-failed") to the result file, moved into place only when complete.
#include <windows.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  const DWORD RUN_TMOUT_MS = 120000;  // the commands end within seconds; a hang must not stall the suite
  static char cmd[32768];
  char out[64] = "timeout";
  char tmp[MAX_PATH + 8];
  FILE* f = argc == 2 || argc == 3 ? std::fopen(argv[1], "rb") : nullptr;
  if (!f) return 87;
  cmd[std::fread(cmd, 1, sizeof cmd - 1, f)] = 0;
  std::fclose(f);
  cmd[std::strcspn(cmd, "\r\n")] = 0;
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  DWORD code = 0;
  if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    std::snprintf(out, sizeof out, argc == 3 ? "launch-failed" : "launch failed: error %lu", GetLastError());
  else if (WaitForSingleObject(pi.hProcess, RUN_TMOUT_MS) != WAIT_OBJECT_0)
    TerminateProcess(pi.hProcess, 99);
  else if (!GetExitCodeProcess(pi.hProcess, &code))
    std::snprintf(out, sizeof out, "exit status not read: error %lu", GetLastError());
  else
    std::snprintf(out, sizeof out, argc == 3 ? "%lu" : "exit status: %lu", code);
  CloseHandle(pi.hThread);  // both null after a failed launch: nothing to close then
  CloseHandle(pi.hProcess);
  if (argc == 2) std::printf("%s\n", out);
  std::snprintf(tmp, sizeof tmp, "%s.tmp", argv[argc - 1]);
  if (argc == 3 && (f = std::fopen(tmp, "w")) != nullptr) std::fputs(out, f);
  if (argc == 3 && f && std::fclose(f) == 0) MoveFileExA(tmp, argv[2], MOVEFILE_REPLACE_EXISTING);
  return 0;
}
