// Windows for the desktop tests: made and served by threads of the test program, under Xvfb.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Lib/BStr.h"
#include "ydgen.h"

// Skips a test when Wine has no display to create windows on.
#define SKIP_WITHOUT_DISPLAY()                                                         \
  do {                                                                                 \
    if (!GuiHasDisplay()) GTEST_SKIP() << "no DISPLAY: windows cannot be created";     \
  } while (0)

bool GuiHasDisplay();

// Holds the desktop for one test: each test searches every top-level window, so the desktop tests of
// parallel test processes take turns (a window that does not answer would hold up the others).
class GuiDesktopLock {
 public:
  GuiDesktopLock();
  ~GuiDesktopLock();

 private:
  HANDLE m_Mtx;
};

// The lines written to the process trace log while it exists, each as the type code, a blank and the
// text. The log is not opened: the lines are written out to a file of the tap's own when read.
class TraceTap {
 public:
  TraceTap();
  ~TraceTap();
  std::vector<std::string> Lines();
  int Count(const std::string& line);                       // lines equal to this one
  int CountPart(const char* tp, const std::string& part);   // lines of this type holding part

 private:
  std::string m_File;
  std::string m_Mark;
};

class GuiTest : public testing::Test {
 protected:
  void SetUp() override;
  std::unique_ptr<GuiDesktopLock> m_Lock;
  std::unique_ptr<TraceTap> m_Trc;
};

// A STATIC window: top-level (a popup) without a parent, else a child. Text may be empty.
HWND GuiMkWnd(const char* txt, HWND parent = nullptr, DWORD exStyle = 0);

// A thread of the test program that makes windows (build runs on it) and serves them until the host
// ends. A hung host stops answering right after build until Answer().
class WndHost {
 public:
  explicit WndHost(std::function<void()> build, bool hung = false);
  ~WndHost();
  void Answer();
  DWORD Tid() const { return m_Tid; }

 private:
  void Run(std::function<void()> build);
  bool m_Hung;
  HANDLE m_Ready;
  HANDLE m_Go;
  DWORD m_Tid = 0;
  std::thread m_T;
};

// Watches the message box of one thread from another thread, as a user would: reads its caption
// whenever it changes and may press one of its buttons.
class BoxWatch {
 public:
  struct Plan {
    int PressId = 0;                                       // 0: never press
    std::function<bool(const std::string&)> PressWhen;     // given the caption; null: at once
    uint32_t PressAfterMs = 0;                             // and not before this long after the box appeared
  };
  BoxWatch(DWORD boxTid, Plan plan);
  ~BoxWatch();
  void Join();

  HWND Box = nullptr;
  std::vector<std::string> Caps;  // every caption seen, in order, no repeats
  DWORD TmFound = 0;              // ticks when the box showed up
  DWORD TmPressed = 0;
  DWORD TmGone = 0;               // ticks when the box was seen gone
  bool Pressed = false;

 private:
  void Run();
  DWORD m_BoxTid;
  Plan m_Plan;
  std::thread m_T;
};

// Fills the names of a window search.
void GuiNames(TQueue<TStr>& q, std::initializer_list<const char*> names);
// The bracketed countdown captions seen, in order ("[3]" from "Cap [3]").
std::vector<std::string> GuiBrackets(const std::vector<std::string>& caps);
