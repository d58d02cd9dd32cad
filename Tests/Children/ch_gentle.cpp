// Child for the supervisor's tests: ch_gentle destroy|quit|none
// Has a top-level window on its main thread. destroy: ends with 21 on WM_DESTROY; quit: ignores WM_DESTROY and
// ends with 22 on WM_QUIT; none: ignores both and runs until it is terminated.
#include <windows.h>
#include <cstring>

static bool g_EndOnDestroy;

static LRESULT CALLBACK WndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    if (g_EndOnDestroy) PostQuitMessage(21);
    return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "destroy";
  g_EndOnDestroy = std::strcmp(mode, "destroy") == 0;
  bool endOnQuit = std::strcmp(mode, "none") != 0;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ch_gentle";
  RegisterClassA(&wc);
  if (!CreateWindowA("ch_gentle", "ch_gentle", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                     wc.hInstance, nullptr))
    return 9;
  MSG m;
  for (;;) {
    BOOL r = GetMessageA(&m, nullptr, 0, 0);
    if (r == 0) {
      if (endOnQuit) return g_EndOnDestroy ? (int)m.wParam : 22;
      continue;
    }
    if (r < 0) return 10;
    DispatchMessageA(&m);
  }
}
