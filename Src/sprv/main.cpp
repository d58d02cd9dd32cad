// ydsprv.exe: a GUI-subsystem program without a window of its own; it reads its own raw command line.
#include <windows.h>

#include "Log/Log.h"
#include "sprv/Entry.h"
#include "sprv/Process.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SetQuietErrMode();  // before anything can fail: the children inherit it
  Log().Open();
  uint32_t st = RunEntry(GetCommandLineA());
  Log().Close();
  return static_cast<int>(st);
}
