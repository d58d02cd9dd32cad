// Child standing in for "app.exe" of the user's guide, whose command lines it must not change: its behaviour
// comes from the environment it inherits through the supervisor: YD_APP_EXIT exit code (0x allowed; default 0),
// YD_APP_MS ms to live (default 0), YD_APP_ARGS a file to which it appends its own command line and a CR LF.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
static unsigned long Env(const char* name, char (&v)[MAX_PATH]) {
  DWORD n = GetEnvironmentVariableA(name, v, sizeof v);
  return n && n < sizeof v ? 1 : (*v = 0);
}
int main() {
  char v[MAX_PATH];
  FILE* f = Env("YD_APP_ARGS", v) ? std::fopen(v, "ab") : nullptr;
  if (f) std::fprintf(f, "%s\r\n", GetCommandLineA());
  if (f) std::fclose(f);
  Sleep(Env("YD_APP_MS", v) ? std::strtoul(v, nullptr, 0) : 0);
  ExitProcess(Env("YD_APP_EXIT", v) ? std::strtoul(v, nullptr, 0) : 0);
}
