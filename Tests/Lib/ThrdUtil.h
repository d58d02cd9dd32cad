// Test threads shared by the thread and trace-line tests.
#pragma once
#include <windows.h>

#include <atomic>

#include "Lib/Res.h"
#include "Lib/Thrd.h"

namespace {

const uint32_t kLong = 20000;  // a wait that must end: generous for a loaded machine

// Mode 0 runs, 1 skips the run in Prepare, 2 throws a known exception, 3 an unknown one.
class TFlagThrd : public TThrd {
 public:
  explicit TFlagThrd(int mode = 0) : m_Mode(mode) {}
  std::atomic<bool> Ran{false};

 protected:
  bool Prepare() override { return m_Mode != 1; }
  void Exec() override {
    if (m_Mode == 2) throw EInvalidArgument("ThrdTest", 7, "x>0");
    if (m_Mode == 3) throw 42;
    Ran = true;
  }
  uint32_t ExitVal() override { return Ran ? 5 : 6; }

 private:
  int m_Mode;
};

// Sums the wParam of WM_USER messages until WM_QUIT; the sum is the exit value.
class TMsgThrd : public TThrd {
 public:
  HANDLE Ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ~TMsgThrd() override { CloseHandle(Ready); }

 protected:
  bool Prepare() override {
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue before anyone posts
    SetEvent(Ready);
    return true;
  }
  void Exec() override {
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
      if (m.message == WM_USER) m_Sum += static_cast<uint32_t>(m.wParam);
  }
  uint32_t ExitVal() override { return m_Sum; }

 private:
  uint32_t m_Sum = 0;
};

}  // namespace
