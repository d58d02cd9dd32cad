// Windows and message boxes for the desktop tests, under Xvfb.
#pragma once
#include <windows.h>

#include <cstring>
#include <functional>
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

// What a box call on this thread showed to a user watching from another thread: its result, every caption (no
// repeats), the countdowns among them ("[3]" from "Cap [3]"), how long the call took and how long after the
// user's press it returned. The user presses pressId, not before afterMs (with onCountdown not before a
// countdown shows); a box not there within appearMs is not waited for, one is watched for a minute at most.
struct TBoxRun {
  int Res = 0;
  HWND Box = nullptr;
  Strs Caps, Brackets;
  DWORD Took = 0, AfterPress = 0;
};
inline TBoxRun RunBox(const std::function<int()>& call, int pressId = 0, DWORD afterMs = 0, bool onCountdown = false,
                      DWORD appearMs = 10000) {
  TBoxRun b;
  DWORD tid = GetCurrentThreadId(), pressed = 0;
  std::thread user([&] {
    for (DWORD t0 = GetTickCount(); !b.Box && GetTickCount() - t0 < appearMs; Sleep(20))
      for (HWND w = nullptr; !b.Box && (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;)
        if (GetWindowThreadProcessId(w, nullptr) == tid) b.Box = w;
    for (DWORD found = GetTickCount(); b.Box && GetTickCount() - found < 60000; Sleep(20)) {
      char cap[512] = "";
      GetWindowTextA(b.Box, cap, sizeof cap);
      if (!IsWindow(b.Box)) break;
      if (b.Caps.empty() || b.Caps.back() != cap) {
        b.Caps.push_back(cap);
        const char* br = strstr(cap, " [");
        if (br && b.Caps.back().back() == ']') b.Brackets.push_back(br + 1);
      }
      if (pressId && !pressed && GetTickCount() - found >= afterMs && (!onCountdown || !b.Brackets.empty()))
        pressed = GetTickCount(), PostMessageA(b.Box, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), 0);
    }
  });
  DWORD t0 = GetTickCount();
  b.Res = call();
  b.Took = GetTickCount() - t0;
  user.join();
  b.AfterPress = t0 + b.Took - pressed;
  return b;
}
