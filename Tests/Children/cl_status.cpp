// Child for the command-line tests: cl_status <result file> <command line>
// Runs the command line, waits for it (at most a minute) and writes its 32-bit exit status in decimal to
// the result file, or "timeout" when it is still running (it is then terminated).
#include <windows.h>
#include <cstdio>

int main() {
  const DWORD RUN_TMOUT_MS = 60000;  // the commands it runs end within seconds
  const char* p = GetCommandLineA();
  // Skip the program and take the result file: both are single words without blanks here.
  char res[MAX_PATH] = {};
  for (int w = 0; w < 2; ++w) {
    while (*p == ' ') ++p;
    const char* s = p;
    bool inQt = false;
    for (; *p && (inQt || *p != ' '); ++p)
      if (*p == '"') inQt = !inQt;
    if (w == 1) lstrcpynA(res, s, static_cast<int>(p - s + 1 < MAX_PATH ? p - s + 1 : MAX_PATH));
  }
  while (*p == ' ') ++p;
  if (!res[0] || !*p) return 87;
  static char cmd[32768];
  lstrcpynA(cmd, p, sizeof cmd);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  char out[32] = "launch-failed";
  if (CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, RUN_TMOUT_MS) == WAIT_OBJECT_0) {
      DWORD code = 0;
      if (GetExitCodeProcess(pi.hProcess, &code))
        std::snprintf(out, sizeof out, "%lu", code);
      else
        std::snprintf(out, sizeof out, "status-failed-%lu", GetLastError());
    } else {
      TerminateProcess(pi.hProcess, 99);
      lstrcpyA(out, "timeout");
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  char tmp[MAX_PATH + 8];
  std::snprintf(tmp, sizeof tmp, "%s.tmp", res);
  if (FILE* f = std::fopen(tmp, "w")) {
    std::fputs(out, f);
    std::fclose(f);
    MoveFileExA(tmp, res, MOVEFILE_REPLACE_EXISTING);  // the reader never sees a half-written file
  }
  return 0;
}
