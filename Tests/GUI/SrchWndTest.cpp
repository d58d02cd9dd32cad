#include <windows.h>

#include <cstdio>

#include "GUI/SrchWnd.h"
#include "GuiTestUtil.h"

namespace {

void Names(TQueue<TStr>& q, std::initializer_list<const char*> names) {
  for (const char* n : names) q.Add(new TStr(n));
}

HWND Find(std::initializer_list<const char*> names, DWORD pid = 0) {
  TQueue<TStr> q;
  Names(q, names);
  HWND found = reinterpret_cast<HWND>(1);
  TStrCmpCmd exact;
  TRes r = SrchWnd(found, q, exact, pid);
  EXPECT_FALSE(r.IsErr()) << r.Code();
  return found;
}

class SrchWndTest : public GuiTest {};

TEST_F(SrchWndTest, NamesMatchExactlyAndCaseSensitively) {
  HWND wnd = GuiMkWnd("ydTst Setup");
  for (const char* miss : {"ydTst setup", "ydTst Setup ", "ydTst Setu"})
    EXPECT_EQ(Find({miss}), nullptr) << miss;
  EXPECT_EQ(Find({"ydTst Setup"}), wnd);
  char line[128];
  snprintf(line, sizeof(line), "UWE ::SrchWnd('ydTst Setup') found %#010x", (unsigned)(uintptr_t)wnd);
  EXPECT_EQ(m_Trc->Count(line), 1);
  EXPECT_EQ(m_Trc->Count("UWE ::SrchWnd('ydTst setup') found 0000000000"), 1);
}

TEST_F(SrchWndTest, ControlInsideDialogIsReturnedNotTheDialog) {
  HWND dlg = GuiMkWnd("ydTst Dlg");
  HWND other = GuiMkWnd("Other text", dlg);
  HWND inner = GuiMkWnd("Inner text", GuiMkWnd("Panel", dlg));
  EXPECT_EQ(Find({"ydTst Dlg", "Inner text"}), inner);  // any depth below the dialog
  EXPECT_EQ(Find({"ydTst Dlg", "Other text"}), other);
  EXPECT_EQ(Find({"ydTst Dlg"}), dlg);
  EXPECT_EQ(Find({"Inner text"}), nullptr);  // the first name is only compared with top-level windows
}

TEST_F(SrchWndTest, TwinCaptionsGiveThePartialMatchOfTheFirst) {
  HWND full = GuiMkWnd("ydTst Twin");
  GuiMkWnd("ydTst Payload", full);
  HWND twin = GuiMkWnd("ydTst Twin");  // without the text inside, first in the enumeration
  SetWindowPos(twin, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The windows after the twin are compared with the second name: the full window's caption is not it.
  EXPECT_EQ(Find({"ydTst Twin", "ydTst Payload"}), twin);
  // A later top-level window whose own text is the second name completes the path.
  HWND late = GuiMkWnd("ydTst Payload");
  SetWindowPos(late, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(Find({"ydTst Twin", "ydTst Payload"}), late);
}

TEST_F(SrchWndTest, EmptyTextsAndEmptyPathNeverMatch) {
  GuiMkWnd("ydTst Orphan", GuiMkWnd(""));
  EXPECT_EQ(Find({""}), nullptr);
  EXPECT_EQ(Find({"", "ydTst Orphan"}), nullptr);
  EXPECT_EQ(Find({"ydTst Orphan"}), nullptr);
  EXPECT_EQ(Find({}), nullptr);
  EXPECT_EQ(m_Trc->Count("..! '_wnd_nms.Cnt()==0' in \"Src/GUI/SrchWnd\" line 103"), 1);
  EXPECT_EQ(m_Trc->Count("UWE ::SrchWnd() found 0000000000"), 1);
}

// Names are texts of code page 1251 and window texts are read in their wide form, so a window made in the wide
// form is found by its Russian name; with a process id only that process's windows count.
TEST_F(SrchWndTest, RussianNamesAndOnlyTheGivenProcess) {
  HWND wnd = CreateWindowExW(0, L"STATIC", L"ydTst \u041e\u043a\u043d\u043e", WS_POPUP | WS_VISIBLE, 10, 10, 200, 60,
                             nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(wnd);
  const char* name = "ydTst \xce\xea\xed\xee";  // "ydTst Окно"
  EXPECT_EQ(Find({name}), wnd);
  EXPECT_EQ(Find({name}, GetCurrentProcessId()), wnd);
  EXPECT_EQ(Find({name}, GetCurrentProcessId() + 4), nullptr);  // process ids are multiples of 4: not this one
  EXPECT_EQ(Find({"ydTst \xee\xea\xed\xee"}), nullptr);          // "ydTst окно": still case-sensitive
}

// A replaced comparison is the one used; what it throws reaches the caller past the system's enumeration.
struct TThrowingCmp : TStrCmpCmd {
  TRes Exec() override { throw EInvalidArgument("Tests/GUI/SrchWndTest", __LINE__, "compare"); }
};

TEST_F(SrchWndTest, ReplacedComparisonThrowsThrough) {
  GuiMkWnd("ydTst Setup");
  TThrowingCmp throwing;
  TCommand notACmp;
  for (TCommand* cmp : {static_cast<TCommand*>(&throwing), &notACmp}) {
    TQueue<TStr> q;
    Names(q, {"ydTst Setup"});
    HWND found;
    EXPECT_THROW(SrchWnd(found, q, *cmp), EInvalidArgument);
  }
}

TEST(SrchWndTrc, NamesQuotedAndHandleInEightDigits) {
  struct Case { std::initializer_list<const char*> names; uintptr_t found; const char* txt; } cases[] = {
      {{"A", "B"}, 0x12345, "::SrchWnd('A','B') found 0x00012345"},
      {{}, 0, "::SrchWnd() found 0000000000"},
      {{"100%s", "%n"}, 0x1deadbeef, "::SrchWnd('100%s','%n') found 0xdeadbeef"},  // text, not a format
  };
  for (const Case& c : cases) {
    TQueue<TStr> q;
    Names(q, c.names);
    EXPECT_STREQ(SrchWndTrc(q, reinterpret_cast<HWND>(c.found)).Str(), c.txt);
  }
}

}  // namespace
