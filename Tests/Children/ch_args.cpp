// Child for the command-line tests: writes its own raw command line, byte for byte, to the file named by the
// environment variable YD_ARGS_FILE and ends with 0 (3 when it cannot).
#include <windows.h>

int main() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetEnvironmentVariableA("YD_ARGS_FILE", path, sizeof path);
  if (n == 0 || n >= sizeof path) return 3;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 3;
  const char* cmdLn = GetCommandLineA();
  DWORD len = lstrlenA(cmdLn), wr = 0;
  bool ok = WriteFile(h, cmdLn, len, &wr, nullptr) && wr == len;
  return CloseHandle(h) && ok ? 0 : 3;
}
