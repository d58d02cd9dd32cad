// Child for the tests: ch_exit <exit code, 0x allowed> [<ms to live, -1 = forever>], or a mode: crash (unhandled
// access violation); mem <MiB> <ms> (working set grown by MiB); hang <ms> <ms hung, -1 = for good> <ms> (a window
// answering, not answering, answering again); gentle destroy|quit|none (a window; ends with 21 on WM_DESTROY, 22 on
// WM_QUIT, or never); tree <pid file> <ms> [away|window] (starts "ch_exit 0 -1" beside itself, out of the job with
// away, and writes its id or "failed <code>"; window: then as gentle destroy); top hung|box <caption> <text> (a
// topmost window that stops answering, or a message box); stamp <file> <ms> (the performance counter at start and end).
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool g_EndOnDestroy;
static volatile uintptr_t g_Null = 0;  // read at run time, so the compiler keeps the faulting write

static LRESULT CALLBACK WndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  return msg != WM_DESTROY ? DefWindowProcA(w, msg, wp, lp) : g_EndOnDestroy ? (PostQuitMessage(21), 0) : 0;
}
static bool Window() {
  WNDCLASSA wc = {0, WndProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "ch_exit"};
  RegisterClassA(&wc);
  HWND w = CreateWindowA("ch_exit", "ch_exit", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  return w && (ShowWindow(w, SW_SHOW), true);
}
static void Pump(long ms) {
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < (DWORD)ms;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}
static void Live(long ms) { Sleep(ms < 0 ? INFINITE : (DWORD)ms); }
static int Tree(const char* pidFile, bool away) {
  char cmd[MAX_PATH + 32], out[64], tmp[MAX_PATH + 8], *slash = GetModuleFileNameA(nullptr, cmd, MAX_PATH) ? std::strrchr(cmd, '\\') : nullptr;
  if (!slash) return 2;
  std::strcpy(slash + 1, "ch_exit.exe 0 -1");
  STARTUPINFOA si = {};
  PROCESS_INFORMATION pi = {};
  bool ok = (si.cb = sizeof si, true) && CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, away ? CREATE_BREAKAWAY_FROM_JOB : 0, nullptr, nullptr, &si, &pi);
  std::snprintf(out, sizeof out, ok ? "%lu" : "failed %lu", ok ? pi.dwProcessId : GetLastError());
  if (ok) CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
  std::snprintf(tmp, sizeof tmp, "%s.tmp", pidFile);
  if (FILE* f = std::fopen(tmp, "w"))  // moved into place: the reader never sees a half-written file
    std::fputs(out, f), std::fclose(f), MoveFileExA(tmp, pidFile, MOVEFILE_REPLACE_EXISTING);
  return ok ? 0 : 3;
}

int main(int argc, char** argv) {
  auto is = [&](int i, const char* w) { return argc > i && std::strcmp(argv[i], w) == 0; };
  auto num = [&](int i, long dflt) { return argc > i ? std::strtol(argv[i], nullptr, 10) : dflt; };
  if (is(1, "crash")) *reinterpret_cast<volatile int*>(g_Null) = 1;
  if (is(1, "mem")) {  // every page written: the working set grows, not only the commit
    char* p = static_cast<char*>(VirtualAlloc(nullptr, size_t(num(2, 16)) << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    for (size_t i = 0; p && i < size_t(num(2, 16)) << 20; i += 4096) p[i] = 1;
    return p ? (Live(num(3, -1)), 0) : 8;
  }
  if (is(1, "hang")) return Window() ? (Pump(num(2, 300)), Live(num(3, -1)), Pump(num(4, 0)), 0) : 9;
  if (is(1, "tree") && !is(4, "window")) return argc < 4 ? 87 : Tree(argv[2], is(4, "away")) ? 3 : (Live(num(3, 0)), 0);
  if (is(1, "gentle") || is(1, "tree")) {
    if (is(1, "tree") && Tree(argv[2], false)) return 3;
    g_EndOnDestroy = !is(2, "quit") && !is(2, "none");
    if (!Window()) return 9;
    MSG m;
    for (BOOL r; (r = GetMessageA(&m, nullptr, 0, 0)) != 0 || is(2, "none");)  // none: goes on after WM_QUIT
      if (r > 0) DispatchMessageA(&m);
    return g_EndOnDestroy ? (int)m.wParam : 22;
  }
  if (is(1, "top") && is(2, "box") && argc == 5) return MessageBoxA(nullptr, argv[4], argv[3], MB_OK | MB_TOPMOST);
  if (is(1, "top") && argc == 5)  // shown and painted before it stops answering
    return CreateWindowExA(WS_EX_TOPMOST, "STATIC", argv[3], WS_POPUP | WS_VISIBLE, 10, 10, 200, 60, nullptr, nullptr, nullptr, nullptr)
               ? (Pump(300), Live(-1), 0) : 9;
  if (is(1, "stamp") && argc > 2) {
    FILE* f = std::fopen(argv[2], "w");
    LARGE_INTEGER c;
    for (int i = 0; f && i < 2; ++i, Live(i < 2 ? num(3, 0) : 0))
      QueryPerformanceCounter(&c), std::fprintf(f, "%lld\n", (long long)c.QuadPart), std::fflush(f);
    return f ? (std::fclose(f), 0) : 3;
  }
  Live(num(2, 0));
  ExitProcess((UINT)std::strtoul(argc > 1 ? argv[1] : "0", nullptr, 0));
}
