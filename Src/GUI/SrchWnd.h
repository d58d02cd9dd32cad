// Finding a window on the desktop by a path of window texts: the first name is the text of a
// top-level window, each further name the text of a window somewhere below the one matched before.
#pragma once
#include <windows.h>

#include <string>

#include "Lib/Command.h"
#include "ydgen.h"

constexpr UINT TXT_CP = 1251;  // the program's texts are Windows-1251 bytes, whatever the ANSI code page
// The wide form of a text of the program, for the W forms of the window calls.
std::wstring TxtW(const char* s);

// Compares a window text with a name (code page 1251), case-sensitively by the user's locale (lstrcmpW):
// the window's own wide text, so the comparison does not depend on the ANSI code page.
class TStrCmpCmd : public TCommand {
 public:
  TStrCmpCmd() {}
  void SetTxts(const wchar_t* wndTxt, const TStr* name) { m_WndTxt = wndTxt, m_Name = name; }
  bool IsEq() const { return m_Eq; }
  TRes Exec() override;  // sets the outcome; RC_BAD_PRM when a text is missing

 protected:  // a replacement comparison derives from this class and sets m_Eq in its Exec()
  const wchar_t* m_WndTxt = nullptr;
  const TStr* m_Name = nullptr;
  bool m_Eq = false;
};

// Depth-first in enumeration order; the first complete path wins. A failed attempt below a window is
// not undone: later windows are compared with the later names, and a path that never completes
// reports the last window that matched a name. cmp must be a TStrCmpCmd (or derived from it). With a
// process id only that process's windows are compared (the others are not even asked for their texts).
// The result is an error only when the enumeration or a comparison failed; found is null when nothing matched.
TRes SrchWnd(HWND& found, const TQueue<TStr>& names, TCommand& cmp, DWORD pid = 0);
TRes SrchWnd(HWND& found, const TQueue<TStr>& names, DWORD pid = 0);  // exact comparison

// A window's wide text read by window messages (so other threads' windows answer too); empty when it has
// none or when it is longer than WND_TXT_MAX. False when the window did not answer within WND_TXT_TMOUT_MS
// (or is gone): a window whose thread hangs must not hold up the caller.
bool WndTxt(HWND wnd, std::wstring& txt);
constexpr uint32_t WND_TXT_MAX = 1u << 20;     // no name searched for is longer; guards the allocation
constexpr UINT WND_TXT_TMOUT_MS = 1000;        // a live window answers in microseconds, even on a loaded machine
