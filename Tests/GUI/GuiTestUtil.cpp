#include "GuiTestUtil.h"

namespace {
constexpr DWORD kBoxAppearMs = 10000;   // a box appears within a fraction of a second, even on a loaded machine
constexpr DWORD kBoxLifeMs = 60000;     // the longest a watched box may stay open
constexpr DWORD kPollMs = 20;           // watch interval: well below the countdown's second
constexpr DWORD kDesktopWaitMs = 120000;  // other desktop tests may hold the desktop this long together
}  // namespace

bool GuiHasDisplay() {
  char buf[256];
  DWORD n = GetEnvironmentVariableA("DISPLAY", buf, sizeof(buf));
  return n > 0 && n < sizeof(buf);
}

GuiDesktopLock::GuiDesktopLock() : m_Mtx(CreateMutexA(nullptr, FALSE, "YD_GuiTest_Desktop")) {
  if (m_Mtx) WaitForSingleObject(m_Mtx, kDesktopWaitMs);
}

GuiDesktopLock::~GuiDesktopLock() {
  if (!m_Mtx) return;
  ReleaseMutex(m_Mtx);
  CloseHandle(m_Mtx);
}

void GuiTest::SetUp() {
  SKIP_WITHOUT_DISPLAY();
  m_Lock.reset(new GuiDesktopLock);
}

HWND GuiMkWnd(const char* txt, HWND parent, DWORD exStyle) {
  DWORD style = (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
  return CreateWindowExA(exStyle, "STATIC", txt, style, 10, 10, 200, 60, parent, nullptr, nullptr, nullptr);
}

WndHost::WndHost(std::function<void()> build, bool hung)
    : m_Hung(hung), m_Ready(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_Go(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  m_T = std::thread(&WndHost::Run, this, std::move(build));
  WaitForSingleObject(m_Ready, INFINITE);
}

WndHost::~WndHost() {
  Answer();
  PostThreadMessageA(m_Tid, WM_QUIT, 0, 0);
  m_T.join();
  CloseHandle(m_Ready);
  CloseHandle(m_Go);
}

void WndHost::Answer() { SetEvent(m_Go); }

void WndHost::Run(std::function<void()> build) {
  m_Tid = GetCurrentThreadId();
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  build();
  SetEvent(m_Ready);
  if (m_Hung) WaitForSingleObject(m_Go, INFINITE);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  EnumThreadWindows(
      GetCurrentThreadId(), [](HWND w, LPARAM) -> BOOL { DestroyWindow(w); return TRUE; }, 0);
}

BoxWatch::BoxWatch(DWORD boxTid, Plan plan) : m_BoxTid(boxTid), m_Plan(std::move(plan)) {
  m_T = std::thread(&BoxWatch::Run, this);
}

BoxWatch::~BoxWatch() { Join(); }

void BoxWatch::Join() {
  if (m_T.joinable()) m_T.join();
}

namespace {
BOOL CALLBACK FindDlg(HWND w, LPARAM prm) {
  char cls[16] = "";
  GetClassNameA(w, cls, sizeof(cls));
  if (lstrcmpA(cls, "#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(prm) = w;
  return FALSE;
}
}  // namespace

void BoxWatch::Run() {
  DWORD start = GetTickCount();
  while (!Box && GetTickCount() - start < kBoxAppearMs) {
    EnumThreadWindows(m_BoxTid, FindDlg, reinterpret_cast<LPARAM>(&Box));
    if (!Box) Sleep(kPollMs);
  }
  if (!Box) return;
  TmFound = GetTickCount();
  while (GetTickCount() - TmFound < kBoxLifeMs) {
    char buf[512] = "";
    GetWindowTextA(Box, buf, sizeof(buf));
    if (!IsWindow(Box)) {
      TmGone = GetTickCount();
      return;
    }
    if (Caps.empty() || Caps.back() != buf) Caps.push_back(buf);
    if (m_Plan.PressId && !Pressed && GetTickCount() - TmFound >= m_Plan.PressAfterMs &&
        (!m_Plan.PressWhen || m_Plan.PressWhen(buf))) {
      TmPressed = GetTickCount();
      Pressed = true;
      PostMessageA(Box, WM_COMMAND, MAKEWPARAM(m_Plan.PressId, BN_CLICKED), 0);
    }
    Sleep(kPollMs);
  }
}

void GuiNames(TQueue<TStr>& q, std::initializer_list<const char*> names) {
  for (const char* n : names) q.Add(new TStr(n));
}

std::vector<std::string> GuiBrackets(const std::vector<std::string>& caps) {
  std::vector<std::string> out;
  for (const std::string& c : caps) {
    size_t p = c.rfind(" [");
    if (p != std::string::npos && c.back() == ']') out.push_back(c.substr(p + 1));
  }
  return out;
}
