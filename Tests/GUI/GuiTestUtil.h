// Windows and message boxes for the desktop tests, under Xvfb.
#pragma once
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Platform.h"
#include "TestUtil.h"

using Strs = std::vector<std::string>;

// Holds the desktop for one test (searches visit all top-level windows, so parallel test processes take turns);
// windows the test made on its thread are destroyed at its end.
class GuiTest : public testing::Test {
 protected:
  void SetUp() override {
    YT_NEEDS_DESKTOP();
    if ((m_Mtx = CreateMutexA(nullptr, FALSE, "YD_GuiTest_Desktop")) != nullptr) WaitForSingleObject(m_Mtx, kDeskMs);
  }
  void TearDown() override {
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM) -> BOOL { return DestroyWindow(w), TRUE; }, 0);
    if (m_Mtx) ReleaseMutex(m_Mtx), CloseHandle(m_Mtx);
  }
  static constexpr DWORD kDeskMs = 120000;  // other desktop tests may hold the desktop this long together
  HANDLE m_Mtx = nullptr;
  yt::TTraceTap m_Trc;
};

// A STATIC window: top-level (a popup) without a parent, else a child.
inline HWND GuiMkWnd(const char* txt, HWND parent = nullptr, DWORD exStyle = 0) {
  return CreateWindowExA(exStyle, "STATIC", txt, (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE, 10, 10, 200, 60, parent,
                         nullptr, nullptr, nullptr);
}

// Watches this thread's message box from another thread as a user would: records each new caption and, not
// before afterMs (and with onCountdown not before a countdown shows), presses pressId. A box that has not
// appeared within appearMs is not waited for; one is watched for a minute at most.
struct BoxWatch {
  explicit BoxWatch(int pressId = 0, DWORD afterMs = 0, bool onCountdown = false, DWORD appearMs = 10000)
      : Tid(GetCurrentThreadId()), T([=] { Run(pressId, afterMs, onCountdown, appearMs); }) {}
  ~BoxWatch() { Join(); }
  void Join() { T.joinable() ? T.join() : void(); }
  Strs Brackets() const {  // the bracketed countdowns seen, in order ("[3]" from "Cap [3]")
    Strs out;
    for (const std::string& c : Caps)
      if (c.rfind(" [") != std::string::npos && c.back() == ']') out.push_back(c.substr(c.rfind(" [") + 1));
    return out;
  }
  void Run(int pressId, DWORD afterMs, bool onCountdown, DWORD appearMs) {
    for (DWORD t0 = GetTickCount(); !Box && GetTickCount() - t0 < appearMs; Sleep(20))
      for (HWND w = nullptr; !Box && (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;)
        if (GetWindowThreadProcessId(w, nullptr) == Tid) Box = w;
    for (DWORD found = GetTickCount(); Box && GetTickCount() - found < 60000; Sleep(20)) {
      char buf[512] = "";
      GetWindowTextA(Box, buf, sizeof(buf));
      if (!IsWindow(Box)) return;
      if (Caps.empty() || Caps.back() != buf) Caps.push_back(buf);
      if (pressId && !TmPressed && GetTickCount() - found >= afterMs && (!onCountdown || !Brackets().empty()))
        TmPressed = GetTickCount(), PostMessageA(Box, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), 0);
    }
  }
  DWORD Tid;
  HWND Box = nullptr;
  Strs Caps;  // every caption seen, in order, no repeats
  DWORD TmPressed = 0;
  std::thread T;  // last: starts when the rest is made
};
