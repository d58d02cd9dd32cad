// Child for the supervisor's tests: ch_tree <pid file> <ms to live, -1 = forever> [away|window]
// Starts a grandchild (ch_exit that lives forever, beside this program), writes its process id to the pid
// file, then lives for the given time and ends with 0. With "away" the grandchild is started outside the
// job (CREATE_BREAKAWAY_FROM_JOB). With "window" it shows a top-level window instead and ends with 21 when
// that window gets WM_DESTROY. A grandchild that cannot be started is written as "failed <code>" (exit 3).
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

LRESULT CALLBACK WndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(21);
  return DefWindowProcA(w, msg, wp, lp);
}

int Window() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ch_tree";
  RegisterClassA(&wc);
  if (!CreateWindowA("ch_tree", "ch_tree", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr, wc.hInstance,
                     nullptr))
    return 9;
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  return (int)m.wParam;
}

int main(int argc, char** argv) {
  if (argc < 3) return 87;
  long ms = std::strtol(argv[2], nullptr, 10);
  bool away = argc > 3 && std::strcmp(argv[3], "away") == 0;
  char cmd[MAX_PATH + 32];
  DWORD n = GetModuleFileNameA(nullptr, cmd, MAX_PATH);
  char* slash = std::strrchr(cmd, '\\');
  if (!n || !slash) return 2;
  std::strcpy(slash + 1, "ch_exit.exe 0 -1");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  char out[64];
  int rc = 0;
  if (CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, away ? CREATE_BREAKAWAY_FROM_JOB : 0, nullptr, nullptr,
                     &si, &pi)) {
    std::snprintf(out, sizeof out, "%lu", pi.dwProcessId);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  } else {
    std::snprintf(out, sizeof out, "failed %lu", GetLastError());
    rc = 3;
  }
  char tmp[MAX_PATH + 8];
  std::snprintf(tmp, sizeof tmp, "%s.tmp", argv[1]);
  if (FILE* f = std::fopen(tmp, "w")) {
    std::fputs(out, f);
    std::fclose(f);
    MoveFileExA(tmp, argv[1], MOVEFILE_REPLACE_EXISTING);  // the reader never sees a half-written file
  }
  if (rc) return rc;
  if (argc > 3 && std::strcmp(argv[3], "window") == 0) return Window();
  if (ms < 0)
    for (;;) Sleep(INFINITE);
  Sleep((DWORD)ms);
  return 0;
}
