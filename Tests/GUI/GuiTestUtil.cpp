#include "GuiTestUtil.h"

#include <atomic>
#include <cstring>

#include "Log/Log.h"

namespace {
constexpr DWORD kBoxAppearMs = 10000;   // a box appears within a fraction of a second, even on a loaded machine
constexpr DWORD kBoxLifeMs = 60000;     // the longest a watched box may stay open
constexpr DWORD kPollMs = 20;           // watch interval: well below the countdown's second
constexpr DWORD kDesktopWaitMs = 120000;  // other desktop tests may hold the desktop this long together
constexpr uint32_t kLogWaitMs = 20000;    // the trace log's mutex: generous for a loaded machine
constexpr uint32_t kNoWriteOut = 1000000; // lines and seconds: nothing is written out before Lines()
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
  m_Trc.reset(new TraceTap);
}

TraceTap::TraceTap() {
  static std::atomic<unsigned> taps{0};
  unsigned n = ++taps;
  char tmp[MAX_PATH + 1] = "";
  GetTempPathA(sizeof(tmp), tmp);
  m_File = std::string(tmp) + "YdGuiTrace_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(n);
  m_File += ".log";
  DeleteFileA(m_File.c_str());
  TLog& l = Log();
  if (l.Lock(kLogWaitMs) == 0) {
    l.Prms().SetDflts();
    l.Prms().SetTmFrmt("");
    l.Prms().SetPidOn(false);
    l.Prms().SetTidOn(false);
    l.Prms().SetFlshLns(kNoWriteOut);
    l.Prms().SetFlshSec(kNoWriteOut);
    l.Prms().AddTp("...", "");
    l.Unlock();
  }
  // Lines queued before the tap are not its own.
  m_Mark = "GT. trace tap " + std::to_string(n);
  l.Write("GT.", "trace tap %u", n);
}

TraceTap::~TraceTap() {
  TLog& l = Log();
  if (l.Lock(kLogWaitMs) == 0) {
    l.Prms().SetDflts();
    l.SetCurFileNm("");
    l.Unlock();
  }
  DeleteFileA(m_File.c_str());
}

std::vector<std::string> TraceTap::Lines() {
  TLog& l = Log();
  if (l.Lock(kLogWaitMs) == 0) {
    l.SetCurFileNm(m_File.c_str());
    l.Flush();
    l.Unlock();
  }
  std::string s;
  HANDLE h = CreateFileA(m_File.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    char buf[4096];
    DWORD rd = 0;
    while (ReadFile(h, buf, sizeof(buf), &rd, nullptr) && rd) s.append(buf, rd);
    CloseHandle(h);
  }
  std::vector<std::string> out;
  bool mine = false;
  for (size_t pos = 0; pos < s.size();) {
    size_t e = s.find("\r\n", pos);
    if (e == std::string::npos) e = s.size();
    std::string line = s.substr(pos, e - pos);
    if (mine) out.push_back(line);
    if (line == m_Mark) mine = true;
    pos = e + 2;
  }
  return out;
}

int TraceTap::Count(const std::string& line) {
  int n = 0;
  for (const std::string& l : Lines()) n += l == line;
  return n;
}

int TraceTap::CountPart(const char* tp, const std::string& part) {
  int n = 0;
  for (const std::string& l : Lines()) n += l.compare(0, strlen(tp), tp) == 0 && l.find(part) != std::string::npos;
  return n;
}

HWND GuiMkWnd(const char* txt, HWND parent, DWORD exStyle) {
  DWORD style = (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
  return CreateWindowExA(exStyle, "STATIC", txt, style, 10, 10, 200, 60, parent, nullptr, nullptr, nullptr);
}

WndHost::WndHost(std::function<void()> build, bool hung)
    : m_Hung(hung),
      m_Ready(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_Go(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
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
