// Child for the desktop tests: ch_top hung|box <caption> <text>
// A topmost window of another process, ahead of the tests' boxes in the enumeration. "hung" shows a window
// with the caption and then stops answering its messages for good; "box" shows a message box with that
// caption and text and ends with the button that closed it.
#include <windows.h>
#include <cstring>

static void Pump(DWORD ms) {
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < ms;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

int main(int argc, char** argv) {
  const DWORD SETTLE_MS = 300;  // the window is shown and painted before it stops answering
  if (argc != 4) return 87;
  if (std::strcmp(argv[1], "hung") == 0) {
    HWND w = CreateWindowExA(WS_EX_TOPMOST, "STATIC", argv[2], WS_POPUP | WS_VISIBLE, 10, 10, 200, 60, nullptr,
                             nullptr, nullptr, nullptr);
    if (!w) return 9;
    Pump(SETTLE_MS);
    Sleep(INFINITE);
  }
  if (std::strcmp(argv[1], "box") == 0) return MessageBoxA(nullptr, argv[3], argv[2], MB_OK | MB_TOPMOST);
  return 87;
}
