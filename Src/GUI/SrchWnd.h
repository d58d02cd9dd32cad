// Finding a window on the desktop by a path of window texts: the first name is the text of a
// top-level window, each further name the text of a window somewhere below the one matched before.
#pragma once
#include <windows.h>

#include <exception>

#include "GUI/Command.h"
#include "ydgen.h"

// Compares a window text with a name, case-sensitively by the user's locale (lstrcmpA).
class TStrCmpCmd : public TCommand {
 public:
  TStrCmpCmd() {}
  void SetTxts(const TStr* wndTxt, const TStr* name) { m_WndTxt = wndTxt, m_Name = name; }
  bool IsEq() const { return m_Eq; }
  TRes Exec() override;  // sets the outcome; 87 when a text is missing

 protected:  // a replacement comparison derives from this class and sets m_Eq in its Exec()
  const TStr* m_WndTxt = nullptr;
  const TStr* m_Name = nullptr;
  bool m_Eq = false;
};

// The state of one search, handed to SrchWndProc by the enumeration functions.
struct TSrchCtx {
  explicit TSrchCtx(const TQueue<TStr>& names, TStrCmpCmd& cmp) : Cmp(&cmp), Pos(names) {}
  HWND Found = nullptr;      // the window that matched a name last
  TStrCmpCmd* Cmp;
  TStack<HWND> Wnds;         // every window that matched a name, in match order
  TQueueCIter<TStr> Pos;     // the name the next window is compared with
  bool Done = false;         // the whole path matched
  std::exception_ptr Err;    // an exception is carried past the system's enumeration, never through it
  TRes CmpRes;               // a comparison that failed ends the search with its result
};

BOOL CALLBACK SrchWndProc(HWND wnd, LPARAM ctx);

// Depth-first in enumeration order; the first complete path wins. A failed attempt below a window is
// not undone: later windows are compared with the later names, and a path that never completes
// reports the last window that matched a name. cmp must be a TStrCmpCmd (or derived from it).
// The result is an error only when the enumeration or a comparison failed; found is null when nothing matched.
TRes SrchWnd(HWND& found, const TQueue<TStr>& names, TCommand& cmp);
TRes SrchWnd(HWND& found, const TQueue<TStr>& names);  // exact comparison

// The text of the search's trace line: ::SrchWnd('first','second') found 0x00012345
TStr SrchWndTrc(const TQueue<TStr>& names, HWND found);

// A window's text read by window messages (so other processes' windows answer too); empty when it
// has none or when it is longer than WND_TXT_MAX.
TStr WndTxt(HWND wnd);
constexpr uint32_t WND_TXT_MAX = 1u << 20;  // no name searched for is longer; guards the allocation
