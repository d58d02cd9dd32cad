// The self-closing message box: a countdown thread finds the box, shows the time left in its caption
// and presses the default button when the time is up.
#pragma once
#include <windows.h>

#include "Lib/Command.h"

// The countdown, run by the countdown thread (TCmdThrd) while the box is shown.
class TMsgBoxAutoCloser : public TCommand {
 public:
  TMsgBoxAutoCloser() {}
  void Set(const char* text, const char* caption, uint32_t style);
  void SetTmOut(uint32_t sec) { m_TmOut = sec; }
  // 0 after a countdown that ran; 1168 when no box showed up, 1359 when the window found is not the box,
  // or the first failure to change the caption.
  TRes Exec() override;

 private:
  uint32_t FindBox(HWND& ctl) const;
  TRes CntDwn(HWND ctl) const;
  uint32_t ShowLeft(HWND box, uint32_t left) const;

  TStr m_Txt;
  TStr m_Cap;
  uint32_t m_Style = 0;
  uint32_t m_TmOut = 0;
};

// Shows MessageBoxW(owner, text, caption, style | MB_SETFOREGROUND), the texts read as code page 1251,
// with a countdown of `seconds` and returns its result: the button pressed by the user or, when the time is
// up, by the countdown thread. Where nobody can see a box (the window station is not visible) it is not
// shown: 0 at once, the reason traced.
int MsgBoxAC(HWND owner, const char* text, const char* caption, UINT style, uint32_t seconds);

// False when the process's window station is not visible (a service, a task that runs whether a user is
// logged on or not): a box there waits for nobody. True with err set when the flags cannot be read.
typedef bool (*TStationVisFn)(uint32_t& err);
// Replaces the system's answer (always visible under Wine) for tests (null: the system's again); returns
// the one in use before.
TStationVisFn SetStationVisFn(TStationVisFn fn);

// What tests look at inside the box call.
struct TMsgBoxACProbe {
  // Countdown threads that were still running when their box call had to return without them (windows
  // they read answered slowly) and that have not ended since. Their objects are freed when they end.
  static uint32_t Left();
};
