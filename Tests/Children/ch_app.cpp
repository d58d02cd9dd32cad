// Child standing in for "app.exe" of the user's guide, whose command lines it must not change: its behaviour
// comes from the environment it inherits through the supervisor.
//   YD_APP_EXIT  exit code (0x prefix allowed; default 0)
//   YD_APP_MS    ms to live before it ends (default 0)
//   YD_APP_ARGS  file to which it appends its own command line and a CR LF
#include <windows.h>
#include <cstdio>
#include <cstdlib>

static unsigned long EnvNum(const char* name, unsigned long dflt) {
  char v[64] = {};
  DWORD n = GetEnvironmentVariableA(name, v, sizeof v);
  return n && n < sizeof v ? std::strtoul(v, nullptr, 0) : dflt;
}

int main() {
  char args[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("YD_APP_ARGS", args, sizeof args);
  if (n && n < sizeof args)
    if (FILE* f = std::fopen(args, "ab")) {
      std::fprintf(f, "%s\r\n", GetCommandLineA());
      std::fclose(f);
    }
  Sleep(EnvNum("YD_APP_MS", 0));
  ExitProcess(static_cast<UINT>(EnvNum("YD_APP_EXIT", 0)));
}
