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
// Moved into place only when complete: a reader that waits for the file never sees half of it.
static void Put(const char* path, const char* text) {
  char tmp[MAX_PATH + 8];
  std::snprintf(tmp, sizeof tmp, "%s.tmp", path);
  FILE* f = std::fopen(tmp, "w");
  if (f && std::fputs(text, f) >= 0 && std::fclose(f) == 0) MoveFileExA(tmp, path, MOVEFILE_REPLACE_EXISTING);
}
static LRESULT CALLBACK WndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_DESTROY) return DefWindowProcA(w, msg, wp, lp);
  if (g_EndOnDestroy) PostQuitMessage(21);
  return 0;
}
static bool Window() {
  WNDCLASSA wc = {0, WndProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "ch_exit"};
  RegisterClassA(&wc);
  HWND w = CreateWindowA("ch_exit", "ch_exit", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr, wc.hInstance,
                         nullptr);
  return w && ShowWindow(w, SW_SHOW) >= 0;
}
static void Pump(long ms) {
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < (DWORD)ms;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}
static int Live(long ms) {
  Sleep(ms < 0 ? INFINITE : (DWORD)ms);
  return 0;
}
static bool Grow(size_t size) {  // every page written: the working set grows, not only the commit
  char* p = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  for (size_t i = 0; p && i < size; i += 4096) p[i] = 1;
  return p != nullptr;
}
static int Tree(const char* pidFile, bool away) {
  char cmd[MAX_PATH + 32];
  char out[64];
  char* slash = GetModuleFileNameA(nullptr, cmd, MAX_PATH) ? std::strrchr(cmd, '\\') : nullptr;
  if (!slash) return 2;
  std::strcpy(slash + 1, "ch_exit.exe 0 -1");
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  DWORD flags = away ? CREATE_BREAKAWAY_FROM_JOB : 0;
  bool ok = CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi);
  std::snprintf(out, sizeof out, ok ? "%lu" : "failed %lu", ok ? pi.dwProcessId : GetLastError());
  Put(pidFile, out);
  CloseHandle(pi.hThread);  // both null after a failed launch: nothing to close then
  CloseHandle(pi.hProcess);
  return ok ? 0 : 3;
}
static int Gentle(bool none) {
  if (!Window()) return 9;
  MSG m;
  for (BOOL r; (r = GetMessageA(&m, nullptr, 0, 0)) != 0 || none;)  // none: goes on after WM_QUIT
    if (r > 0) DispatchMessageA(&m);
  return g_EndOnDestroy ? (int)m.wParam : 22;
}
static int Top(bool box, const char* caption, const char* text) {
  if (box) return MessageBoxA(nullptr, text, caption, MB_OK | MB_TOPMOST);
  if (!CreateWindowExA(WS_EX_TOPMOST, "STATIC", caption, WS_POPUP | WS_VISIBLE, 10, 10, 200, 60, nullptr, nullptr,
                       nullptr, nullptr))
    return 9;
  Pump(300);  // shown and painted before it stops answering
  return Live(-1);
}
static int Stamp(const char* file, long ms) {
  FILE* f = std::fopen(file, "w");
  for (int i = 0; f && i < 2; ++i) {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    std::fprintf(f, "%lld\n", (long long)c.QuadPart);
    std::fflush(f);
    Live(i ? 0 : ms);
  }
  return f && std::fclose(f) == 0 ? 0 : 3;
}
int main(int argc, char** argv) {
  auto is = [&](int i, const char* w) { return argc > i && std::strcmp(argv[i], w) == 0; };
  auto num = [&](int i, long dflt) { return argc > i ? std::strtol(argv[i], nullptr, 10) : dflt; };
  if (is(1, "crash")) *reinterpret_cast<volatile int*>(g_Null) = 1;
  if (is(1, "mem")) return Grow(size_t(num(2, 16)) << 20) ? Live(num(3, -1)) : 8;
  if (is(1, "tree") && !is(4, "window")) return argc < 4 ? 87 : Tree(argv[2], is(4, "away")) ? 3 : Live(num(3, 0));
  if (is(1, "hang") && !Window()) return 9;
  if (is(1, "hang")) {
    Pump(num(2, 300));
    Live(num(3, -1));
    Pump(num(4, 0));
    return 0;
  }
  if (is(1, "tree") && Tree(argv[2], false)) return 3;
  g_EndOnDestroy = is(1, "tree") || (is(1, "gentle") && is(2, "destroy"));
  if (is(1, "gentle") || is(1, "tree")) return Gentle(is(2, "none"));
  if (is(1, "top") && argc == 5) return Top(is(2, "box"), argv[3], argv[4]);
  if (is(1, "stamp") && argc > 2) return Stamp(argv[2], num(3, 0));
  Live(num(2, 0));
  ExitProcess((UINT)std::strtoul(argc > 1 ? argv[1] : "0", nullptr, 0));
}
