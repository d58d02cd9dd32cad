// Child for the supervisor's tests: ch_hang <ms answering> <ms hung, -1 = forever> <ms answering again>
// Shows a top-level window, answers its messages, stops answering for a while, then answers again and ends with 0.
#include <windows.h>
#include <cstdlib>

static void Pump(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  for (;;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    DWORD now = GetTickCount();
    if ((int)(end - now) <= 0) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
  }
}

int main(int argc, char** argv) {
  long before = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 300;
  long hung = argc > 2 ? std::strtol(argv[2], nullptr, 10) : -1;
  long after = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 0;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ch_hang";
  RegisterClassA(&wc);
  HWND w = CreateWindowA("ch_hang", "ch_hang", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                         wc.hInstance, nullptr);
  if (!w) return 9;
  ShowWindow(w, SW_SHOW);
  Pump((DWORD)before);
  Sleep(hung < 0 ? INFINITE : (DWORD)hung);
  Pump((DWORD)after);
  return 0;
}
