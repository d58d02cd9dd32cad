#include <windows.h>

#include <cstdio>

#include "GUI/SrchWnd.h"
#include "GuiTestUtil.h"

namespace {

class SrchWndTest : public GuiTest {};

HWND Find(std::initializer_list<const char*> names, TRes* res = nullptr) {
  TQueue<TStr> q;
  GuiNames(q, names);
  HWND found = reinterpret_cast<HWND>(1);
  TRes r = SrchWnd(found, q);
  if (res) *res = r;
  return found;
}

// The first of the given windows in EnumWindows order.
HWND FirstOf(HWND a, HWND b) {
  struct Ctx { HWND a, b, first; } ctx{a, b, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        Ctx& c = *reinterpret_cast<Ctx*>(p);
        if (w != c.a && w != c.b) return TRUE;
        c.first = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  return ctx.first;
}

TEST_F(SrchWndTest, NamesMatchExactlyAndCaseSensitively) {
  HWND wnd = nullptr;
  WndHost host([&] { wnd = GuiMkWnd("ydTst Setup"); });
  ASSERT_TRUE(wnd);
  struct Case { const char* name; bool found; } cases[] = {
      {"ydTst Setup", true}, {"ydTst setup", false}, {"ydTst Setup ", false}, {"ydTst Setu", false},
      {"YDTST SETUP", false}};
  for (const Case& c : cases) {
    TRes r;
    EXPECT_EQ(Find({c.name}, &r), c.found ? wnd : nullptr) << c.name;
    EXPECT_FALSE(r.IsErr()) << c.name << ": " << r.Code();
  }
  char line[128];
  snprintf(line, sizeof(line), "UWE ::SrchWnd('ydTst Setup') found %#010x", (unsigned)(uintptr_t)wnd);
  EXPECT_EQ(m_Trc->Count(line), 1);
  EXPECT_EQ(m_Trc->Count("UWE ::SrchWnd('ydTst setup') found 0000000000"), 1);
}

TEST_F(SrchWndTest, ControlInsideDialogIsReturnedNotTheDialog) {
  HWND dlg = nullptr, panel = nullptr, inner = nullptr, other = nullptr;
  WndHost host([&] {
    dlg = GuiMkWnd("ydTst Dlg");
    other = GuiMkWnd("Other text", dlg);
    panel = GuiMkWnd("Panel", dlg);
    inner = GuiMkWnd("Inner text", panel);
  });
  EXPECT_EQ(Find({"ydTst Dlg", "Inner text"}), inner);  // any depth below the dialog
  EXPECT_EQ(Find({"ydTst Dlg", "Panel", "Inner text"}), inner);
  EXPECT_EQ(Find({"ydTst Dlg", "Other text"}), other);
  EXPECT_EQ(Find({"ydTst Dlg"}), dlg);
  // Not a top-level window: the first name is only compared with top-level windows.
  EXPECT_EQ(Find({"Inner text"}), nullptr);
}

TEST_F(SrchWndTest, TwinCaptionsGiveThePartialMatchOfTheFirst) {
  HWND full = nullptr, payload = nullptr, twin = nullptr, late = nullptr;
  WndHost host([&] {
    full = GuiMkWnd("ydTst Twin");
    payload = GuiMkWnd("ydTst Payload", full);
    twin = GuiMkWnd("ydTst Twin");  // without the text inside, before the full one in the enumeration
    SetWindowPos(twin, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  });
  ASSERT_EQ(FirstOf(full, twin), twin);
  TRes r;
  // The windows after the twin are compared with the second name: the full window's caption is not it.
  EXPECT_EQ(Find({"ydTst Twin", "ydTst Payload"}, &r), twin);
  EXPECT_FALSE(r.IsErr());

  // A later top-level window whose own text is the second name completes the path.
  WndHost host2([&] {
    late = GuiMkWnd("ydTst Payload");
    SetWindowPos(late, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  });
  ASSERT_EQ(FirstOf(twin, late), twin);
  EXPECT_EQ(Find({"ydTst Twin", "ydTst Payload"}), late);
  (void)payload;
}

TEST_F(SrchWndTest, EmptyTextsNeverMatch) {
  HWND child = nullptr;
  WndHost host([&] {
    HWND blank = GuiMkWnd("");
    child = GuiMkWnd("ydTst Orphan", blank);
  });
  ASSERT_TRUE(child);
  EXPECT_EQ(Find({""}), nullptr);
  EXPECT_EQ(Find({"", "ydTst Orphan"}), nullptr);
  EXPECT_EQ(Find({"ydTst Orphan"}), nullptr);
}

TEST_F(SrchWndTest, EmptyPathFindsNothing) {
  TRes r;
  EXPECT_EQ(Find({}, &r), nullptr);
  EXPECT_FALSE(r.IsErr());
  EXPECT_EQ(m_Trc->Count("..! '_wnd_nms.Cnt()==0' in \"Src/GUI/SrchWnd\" line 103"), 1);
  EXPECT_EQ(m_Trc->Count("UWE ::SrchWnd() found 0000000000"), 1);
}

// Replacing the comparison: a command derived from the exact one.
class TNoCaseCmp : public TStrCmpCmd {
 public:
  TRes Exec() override {
    m_Eq = m_WndTxt && m_Name && lstrcmpiA(m_WndTxt->Str(), m_Name->Str()) == 0;
    return TRes();
  }
};

// A comparison that fails: the exception reaches the caller past the system's enumeration.
class TThrowingCmp : public TStrCmpCmd {
 public:
  TRes Exec() override { throw EInvalidArgument("Tests/GUI/SrchWndTest", __LINE__, "compare"); }
};

TEST_F(SrchWndTest, ComparisonCanBeReplaced) {
  HWND wnd = nullptr, ctl = nullptr;
  WndHost host([&] {
    wnd = GuiMkWnd("ydTst Setup");
    ctl = GuiMkWnd("Next >", wnd);
  });
  TQueue<TStr> q;
  GuiNames(q, {"YDTST SETUP", "NEXT >"});
  TNoCaseCmp cmp;
  HWND found = nullptr;
  EXPECT_FALSE(SrchWnd(found, q, cmp).IsErr());
  EXPECT_EQ(found, ctl);

  TThrowingCmp throwing;
  EXPECT_THROW(SrchWnd(found, q, throwing), EInvalidArgument);

  TCommand notACmp;
  EXPECT_THROW(SrchWnd(found, q, notACmp), EInvalidArgument);
}

}  // namespace

namespace {

TEST(SrchWndTrc, NamesQuotedAndHandleInEightDigits) {
  struct Case { std::initializer_list<const char*> names; uintptr_t found; const char* txt; } cases[] = {
      {{"A", "B"}, 0x12345, "::SrchWnd('A','B') found 0x00012345"},
      {{"Only"}, 0, "::SrchWnd('Only') found 0000000000"},
      {{}, 0, "::SrchWnd() found 0000000000"},
      {{"100%s", "%n"}, 0xdeadbeef, "::SrchWnd('100%s','%n') found 0xdeadbeef"},  // names are text, not format
  };
  for (const Case& c : cases) {
    TQueue<TStr> q;
    GuiNames(q, c.names);
    EXPECT_STREQ(SrchWndTrc(q, reinterpret_cast<HWND>(c.found)).Str(), c.txt);
  }
}

}  // namespace
