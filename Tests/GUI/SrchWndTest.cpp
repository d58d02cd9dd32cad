#include <windows.h>

#include "GUI/SrchWnd.h"
#include "GuiTestUtil.h"

namespace {

class SrchWndTest : public GuiTest {};

// Depth-first, exact and case-sensitive (Russian names too, compared as wide texts), only the given process;
// a path that does not complete reports its last partial match; empty texts and empty paths match nothing.
TEST_F(SrchWndTest, PathsOfWindowTexts) {
  HWND setup = GuiMkWnd("ydTst Setup"), dlg = GuiMkWnd("ydTst Dlg"), other = GuiMkWnd("Other text", dlg);
  HWND inner = GuiMkWnd("Inner text", GuiMkWnd("Panel", dlg)), full = GuiMkWnd("ydTst Twin");
  GuiMkWnd("ydTst Payload", full);
  GuiMkWnd("ydTst Orphan", GuiMkWnd(""));
  HWND twin = GuiMkWnd("ydTst Twin");  // without the text inside, first in the enumeration
  SetWindowPos(twin, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HWND ru = CreateWindowExW(0, L"STATIC", L"ydTst \u041e\u043a\u043d\u043e", WS_POPUP | WS_VISIBLE, 10, 10, 200, 60,
                            nullptr, nullptr, nullptr, nullptr);
  const DWORD me = GetCurrentProcessId();
  struct Row { std::vector<const char*> names; DWORD pid; HWND want; } rows[] = {
      {{"ydTst Setup"}, 0, setup}, {{"ydTst setup"}, 0, nullptr}, {{"ydTst Setup "}, 0, nullptr},
      {{"ydTst Dlg", "Inner text"}, 0, inner}, {{"ydTst Dlg", "Other text"}, 0, other}, {{"ydTst Dlg"}, 0, dlg},
      {{"Inner text"}, 0, nullptr},  // the first name is only compared with top-level windows
      {{"ydTst Twin", "ydTst Payload"}, 0, twin},  // the windows after the twin are compared with the second name
      {{""}, 0, nullptr}, {{"", "ydTst Orphan"}, 0, nullptr}, {{"ydTst Orphan"}, 0, nullptr}, {{}, 0, nullptr},
      {{"ydTst \xce\xea\xed\xee"}, me, ru}, {{"ydTst \xce\xea\xed\xee"}, me + 4, nullptr},  // "ydTst Окно"
      {{"ydTst \xee\xea\xed\xee"}, 0, nullptr}};
  for (const Row& r : rows) {
    TQueue<TStr> q;
    for (const char* n : r.names) q.Add(new TStr(n));
    HWND found = setup;
    TStrCmpCmd exact;
    EXPECT_FALSE(SrchWnd(found, q, exact, r.pid).IsErr());
    EXPECT_EQ(found, r.want) << (r.names.empty() ? "" : r.names[0]);
  }
  EXPECT_EQ(m_Trc.Count("..! '_wnd_nms.Cnt()==0' in \"Src/GUI/SrchWnd\" line 103"), 1);
}

// A replaced comparison is the one used; what it throws reaches the caller past the system's enumeration.
TEST_F(SrchWndTest, ReplacedComparisonThrowsThrough) {
  struct TThrowingCmp : TStrCmpCmd {
    TRes Exec() override { throw EInvalidArgument("Tests/GUI/SrchWndTest", 1, "compare"); }
  } throwing;
  TCommand notACmp;
  GuiMkWnd("ydTst Setup");
  TQueue<TStr> q;
  q.Add(new TStr("ydTst Setup"));
  HWND found;
  for (TCommand* cmp : {static_cast<TCommand*>(&throwing), &notACmp})
    EXPECT_THROW(SrchWnd(found, q, *cmp), EInvalidArgument);
}

}  // namespace
