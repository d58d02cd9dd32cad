#include <windows.h>

#include "GUI/SrchWnd.h"
#include "Platform.h"

// A replaced comparison is the one used; what it throws reaches the caller past the system's enumeration.
TEST(SrchWndTest, ReplacedComparisonThrowsThrough) {
  YT_NEEDS_DESKTOP();
  struct TThrowingCmp : TStrCmpCmd {
    TRes Exec() override { throw EInvalidArgument("Tests/GUI/SrchWndTest", 1, "compare"); }
  } throwing;
  TCommand notACmp;
  HWND w = CreateWindowExA(0, "STATIC", "ydTst Setup", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
  TQueue<TStr> q;
  q.Add(new TStr("ydTst Setup"));
  HWND found;
  for (TCommand* cmp : {static_cast<TCommand*>(&throwing), &notACmp})
    EXPECT_THROW(SrchWnd(found, q, *cmp), EInvalidArgument);
  DestroyWindow(w);
}
