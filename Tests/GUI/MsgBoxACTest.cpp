#include <windows.h>

#include <cstring>
#include <string>

#include "GUI/MsgBoxAC.h"
#include "GuiTestUtil.h"

namespace {

// Long enough for a loaded machine; the countdown thread ends within a quarter second of the box.
constexpr DWORD kThrdEndBoundMs = 1500;
constexpr DWORD kReapBoundMs = 30000;
constexpr DWORD kChildExitMs = 60000;
const char kHungChildFlag[] = "--yd-gui-hung-child";
const char kHungChildRan[] = "YD_GuiTest_HungChildRan";  // set by the child when its box call has returned

TEST(MsgBoxAutoCloser, DefaultButtonTable) {
  struct Case { UINT style; uint32_t id; } cases[] = {
      {MB_OK, IDCANCEL},
      {MB_OK | MB_DEFBUTTON2, 0},
      {MB_OKCANCEL, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_RETRYCANCEL, IDRETRY},
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE},
      {MB_YESNOCANCEL | MB_DEFBUTTON4, 0},
      {7, 0},
      // Icons, modality and the other flags do not choose the button.
      {MB_YESNO | MB_DEFBUTTON2 | MB_ICONERROR | MB_SYSTEMMODAL | MB_TOPMOST | MB_SETFOREGROUND, IDNO},
  };
  for (const Case& c : cases) EXPECT_EQ(TMsgBoxAutoCloser::DfltBtn(c.style), c.id) << std::hex << c.style;
}

TEST(MsgBoxAutoCloser, CountdownTexts) {
  struct Case { uint32_t sec; const char* txt; } cases[] = {
      {0, "0"},          {1, "1"},          {59, "59"},           {60, "1:00"},
      {75, "1:15"},      {3599, "59:59"},   {3600, "1:00:00"},    {3661, "1:01:01"},
      {60000, "16:40:00"}, {0xFFFFFFFFu, "1193046:28:15"},
  };
  for (const Case& c : cases) EXPECT_STREQ(TMsgBoxAutoCloser::CntDwnTxt(c.sec).Str(), c.txt) << c.sec;
}

TEST(Command, BaseHasNothingToRun) {
  TCommand cmd;
  TRes r = cmd.Exec();
  EXPECT_TRUE(r.IsErr());
  EXPECT_EQ(r.Code(), 1u);
  EXPECT_FALSE(cmd.Exec2().IsErr());
  EXPECT_FALSE(cmd.Exec3().IsErr());
  EXPECT_FALSE(cmd.Exec4().IsErr());
}

TEST(MsgBoxAutoCloser, NoBoxWhenTheCallerQuitsTheSearch) {
  TMsgBoxAutoCloser cmd;
  cmd.Set("ydTst never shown", "ydTst No box", MB_OK);
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);  // the search looks at its own thread's queue
  TRes r = cmd.Exec();
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  EXPECT_TRUE(r.IsErr());
  EXPECT_EQ(r.Code(), static_cast<uint32_t>(ERROR_NOT_FOUND));
}

class MsgBoxACTest : public GuiTest {};

TEST_F(MsgBoxACTest, CountsDownThenPressesTheDefaultButton) {
  const char cap[] = "ydTst Countdown";
  BoxWatch watch(GetCurrentThreadId(), {});
  DWORD t0 = GetTickCount();
  int res = MsgBoxAC(nullptr, "The box closes itself.", cap, MB_OK, 3);
  DWORD took = GetTickCount() - t0;
  watch.Join();
  EXPECT_EQ(res, IDCANCEL);  // MB_OK: the box's close command
  ASSERT_TRUE(watch.Box);
  std::vector<std::string> seen = GuiBrackets(watch.Caps);
  EXPECT_EQ(seen, (std::vector<std::string>{"[3]", "[2]", "[1]"}));
  EXPECT_GE(took, 2500u);
  EXPECT_EQ(m_Trc->Count("UB\xb7 btn_id=2,item=0000000000,res=0 [Src/GUI/MsgBoxAC,113]"), 1);
  EXPECT_EQ(m_Trc->CountPart("UWE", "::SrchWnd('ydTst Countdown','The box closes itself.') found 0x"), 1);
  EXPECT_EQ(m_Trc->CountPart("..!", ""), 0);
}

TEST_F(MsgBoxACTest, YesNoWithSecondDefaultAnswersNo) {
  BoxWatch watch(GetCurrentThreadId(), {});
  int res = MsgBoxAC(nullptr, "Nobody answers.", "ydTst YesNo", MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, 1);
  watch.Join();
  EXPECT_EQ(res, IDNO);
  EXPECT_EQ(GuiBrackets(watch.Caps), std::vector<std::string>{"[1]"});
  EXPECT_EQ(m_Trc->CountPart("UB\xb7", "btn_id=7,item=0x"), 1);  // the No button's own handle
}

TEST_F(MsgBoxACTest, ZeroTimeOutPressesAtOnceWithoutTouchingTheCaption) {
  const char cap[] = "ydTst Zero";
  BoxWatch watch(GetCurrentThreadId(), {});
  int res = MsgBoxAC(nullptr, "Gone at once.", cap, MB_OK, 0);
  watch.Join();
  EXPECT_EQ(res, IDCANCEL);
  for (const std::string& c : watch.Caps) EXPECT_EQ(c, cap);
}

// The user answers before the time is up; the countdown thread notices the box has gone.
struct LongCase { uint32_t sec; const char* first; UINT style; int press; };
void PrintTo(const LongCase& c, std::ostream* os) { *os << c.sec << " s"; }

class MsgBoxACLongTest : public MsgBoxACTest, public testing::WithParamInterface<LongCase> {};

TEST_P(MsgBoxACLongTest, ShowsTheTimeLeftAndReturnsTheUsersButton) {
  const LongCase& c = GetParam();
  uint32_t left = MsgBoxACLeft();
  BoxWatch::Plan plan;
  plan.PressId = c.press;
  plan.PressWhen = [](const std::string& cap) { return cap.back() == ']'; };
  plan.PressAfterMs = 300;
  BoxWatch watch(GetCurrentThreadId(), plan);
  int res = MsgBoxAC(nullptr, "Answer me.", "ydTst Long", c.style, c.sec);
  DWORD tRet = GetTickCount();
  watch.Join();
  EXPECT_EQ(res, c.press);
  ASSERT_TRUE(watch.Pressed);
  std::vector<std::string> seen = GuiBrackets(watch.Caps);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0], c.first);
  // The box call waited for its thread, which saw the box gone on its next tick.
  ASSERT_NE(watch.TmGone, 0u);
  RecordProperty("thread_end_ms", static_cast<int>(tRet - watch.TmGone));
  EXPECT_LT(tRet - watch.TmGone, kThrdEndBoundMs);
  EXPECT_EQ(MsgBoxACLeft(), left);
  EXPECT_EQ(m_Trc->CountPart("UB\xb7", ""), 0);  // nothing pressed by the countdown
  EXPECT_EQ(m_Trc->CountPart("..!", ""), 0);
}

INSTANTIATE_TEST_SUITE_P(Times, MsgBoxACLongTest,
                         testing::Values(LongCase{75, "[1:15]", MB_YESNO, IDYES},
                                         LongCase{60000, "[16:40:00]", MB_OK, IDOK}),
                         [](const testing::TestParamInfo<LongCase>& i) { return "s" + std::to_string(i.param.sec); });

// A window with the box's caption but without its text, before the box in the enumeration: the
// search reports it, the caption check refuses it, and the box waits for the user.
TEST_F(MsgBoxACTest, PartialMatchLeavesTheBoxToTheUser) {
  const char cap[] = "ydTst Twin box";
  WndHost decoy([&] { GuiMkWnd(cap, nullptr, WS_EX_TOPMOST); });
  BoxWatch::Plan plan;
  plan.PressId = IDOK;
  plan.PressAfterMs = 2500;  // well past the time-out
  BoxWatch watch(GetCurrentThreadId(), plan);
  int res = MsgBoxAC(nullptr, "Only the user closes me.", cap, MB_OKCANCEL, 1);
  watch.Join();
  EXPECT_EQ(res, IDOK);
  EXPECT_TRUE(watch.Pressed);
  for (const std::string& c : watch.Caps) EXPECT_EQ(c, cap);
  EXPECT_EQ(m_Trc->Count("..! 'msg_box_dlg_cap!=cap' in \"Src/GUI/MsgBoxAC\" line 101"), 1);
  EXPECT_EQ(m_Trc->CountPart("UB\xb7", ""), 0);
}

// A top-level window whose thread does not answer holds up the countdown thread in the search.
// The box call returns after its wait; the thread's objects are freed once the window answers.
TEST_F(MsgBoxACTest, WindowThatDoesNotAnswer) {
  uint32_t left = MsgBoxACLeft();
  WndHost hung([] { GuiMkWnd("ydTst Hung", nullptr, WS_EX_TOPMOST); }, true);
  BoxWatch::Plan plan;
  plan.PressId = IDOK;
  plan.PressAfterMs = 1500;
  BoxWatch watch(GetCurrentThreadId(), plan);
  DWORD t0 = GetTickCount();
  int res = MsgBoxAC(nullptr, "Held up.", "ydTst Held up", MB_OKCANCEL, 1);
  DWORD tRet = GetTickCount();
  watch.Join();
  EXPECT_EQ(res, IDOK);
  EXPECT_TRUE(watch.Pressed);  // the countdown never reached the box
  for (const std::string& c : watch.Caps) EXPECT_EQ(c, "ydTst Held up");
  EXPECT_GE(tRet - t0, 3000u);  // the full wait for the thread
  EXPECT_EQ(MsgBoxACLeft(), left + 1);
  EXPECT_EQ(m_Trc->Count("..! 'mbac_thrd.Wait(3000)' in \"Src/GUI/MsgBoxAC\" line 57"), 1);
  EXPECT_EQ(m_Trc->CountPart("UB\xb7", "handed over"), 1);

  hung.Answer();
  DWORD t1 = GetTickCount();
  while (MsgBoxACLeft() != left && GetTickCount() - t1 < kReapBoundMs) Sleep(50);
  EXPECT_EQ(MsgBoxACLeft(), left);
  EXPECT_EQ(m_Trc->CountPart("STC", "Closing thread handle"), 1);  // the thread object was destroyed
}

// The same in a process of its own that never lets the window answer: it must still exit.
TEST_F(MsgBoxACTest, ProcessExitsWhileTheCountdownIsBlocked) {
  char exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, exe, sizeof(exe)), 0u);
  std::string cmd = std::string("\"") + exe + "\" --gtest_filter=MsgBoxACChild.* " + kHungChildFlag;
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  HANDLE ran = CreateEventA(nullptr, TRUE, FALSE, kHungChildRan);
  ASSERT_TRUE(ran);
  ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  DWORD w = WaitForSingleObject(pi.hProcess, kChildExitMs);
  DWORD code = 12345;
  GetExitCodeProcess(pi.hProcess, &code);
  if (w != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(w, WAIT_OBJECT_0);
  EXPECT_EQ(code, 0u);  // its test passed and main returned
  EXPECT_EQ(WaitForSingleObject(ran, 0), WAIT_OBJECT_0);  // and it did run
  CloseHandle(ran);
}

// The child's test, registered only in a process started by the test above (the parent holds the desktop).
class HungChild : public testing::Test {
  void TestBody() override {
    new WndHost([] { GuiMkWnd("ydTst Hung forever", nullptr, WS_EX_TOPMOST); }, true);  // never answers or ends
    BoxWatch::Plan plan;
    plan.PressId = IDOK;
    plan.PressAfterMs = 500;
    BoxWatch watch(GetCurrentThreadId(), plan);
    int res = MsgBoxAC(nullptr, "Held up for good.", "ydTst Held up for good", MB_OK, 1);
    watch.Join();
    EXPECT_EQ(res, IDOK);
    EXPECT_EQ(MsgBoxACLeft(), 1u);
    HANDLE ran = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHungChildRan);
    if (ran) {
      SetEvent(ran);
      CloseHandle(ran);
    }
  }
};

const bool kHungChildRegistered =
    strstr(GetCommandLineA(), kHungChildFlag) &&
    (testing::RegisterTest("MsgBoxACChild", "ExitsWhileTheCountdownIsBlocked", nullptr, nullptr, __FILE__, __LINE__,
                           []() -> testing::Test* { return new HungChild; }),
     true);

}  // namespace
