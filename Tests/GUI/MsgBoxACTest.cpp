#include <windows.h>

#include <cstring>
#include <string>

#include "GUI/MsgBoxAC.h"
#include "GuiTestUtil.h"

namespace {

using Strs = std::vector<std::string>;
constexpr DWORD kThrdEndBoundMs = 1500;  // the countdown notices a closed box within 250 ms; loaded machine
constexpr DWORD kChildExitMs = 60000;
const char kHungChildFlag[] = "--yd-gui-hung-child";
const char kHungChildRan[] = "YD_GuiTest_HungChildRan";  // set by the child when its box call has returned

TEST(MsgBoxAutoCloser, DefaultButtonsAndCountdownTexts) {
  struct Btn { UINT style; uint32_t id; } btns[] = {  // icons, modality and other flags do not choose the button
      {MB_OK | MB_DEFBUTTON2, 0}, {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE}, {MB_RETRYCANCEL, IDRETRY},
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE}, {MB_YESNOCANCEL | MB_DEFBUTTON4, 0}, {7, 0},
      {MB_YESNO | MB_DEFBUTTON2 | MB_ICONERROR | MB_SYSTEMMODAL | MB_TOPMOST | MB_SETFOREGROUND, IDNO}};
  for (const Btn& b : btns) EXPECT_EQ(TMsgBoxAutoCloser::DfltBtn(b.style), b.id) << std::hex << b.style;
  struct Txt { uint32_t sec; const char* txt; } txts[] = {
      {59, "59"}, {60, "1:00"}, {3599, "59:59"}, {3600, "1:00:00"}, {0xFFFFFFFFu, "1193046:28:15"}};
  for (const Txt& t : txts) EXPECT_STREQ(TMsgBoxAutoCloser::CntDwnTxt(t.sec).Str(), t.txt) << t.sec;
}

TEST(MsgBoxAutoCloser, CallerQuittingTheSearchLeavesNoBox) {
  TMsgBoxAutoCloser cmd;
  cmd.Set("ydTst never shown", "ydTst No box", MB_OK);
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);  // the search looks at its own thread's queue
  TRes r = cmd.Exec();
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  EXPECT_EQ(r.Code(), static_cast<uint32_t>(ERROR_NOT_FOUND));
}

class MsgBoxACTest : public GuiTest {};

// Nobody answers: the caption counts down, then the table's default button is pressed. Or the user
// answers first: the caption shows the time left and the countdown thread ends quickly with the box.
// An OK box closed by IDCANCEL returns IDOK on Windows (as documented for ESC); Wine returns IDCANCEL and
// its box has no control with that id. Which control, if any, Windows' box has under IDCANCEL and what the
// dialog answers to the command are not documented: there only the button id of the press is compared.
TEST_F(MsgBoxACTest, CountdownAndTheButtonPressed) {
  const int okClosed = yt::OnWine() ? IDCANCEL : IDOK;
  const char* okPress = yt::OnWine() ? "btn_id=2,item=0000000000,res=0 " : "btn_id=2,item=";
  const char* okPressAtOnce = yt::OnWine() ? "btn_id=2,item=0000000000," : "btn_id=2,item=";
  struct Row { const char* cap; UINT style; uint32_t sec; int user, res; Strs brackets; const char* press; } rows[] = {
      {"ydTst Countdown", MB_OK, 3, 0, okClosed, {"[3]", "[2]", "[1]"}, okPress},
      {"ydTst YesNo", MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, 1, 0, IDNO, {"[1]"}, "btn_id=7,item=0x"},
      {"ydTst Zero", MB_OK, 0, 0, okClosed, {}, okPressAtOnce},  // at once, caption untouched
      {"ydTst Long", MB_YESNO, 75, IDYES, IDYES, {"[1:15]"}, nullptr},
      {"ydTst Longer", MB_OK, 60000, IDOK, IDOK, {"[16:40:00]"}, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.cap);
    TraceTap trc;
    uint32_t left = MsgBoxACLeft();
    BoxWatch watch(r.user, 300, true);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(MsgBoxAC(nullptr, "Nobody answers.", r.cap, r.style, r.sec), r.res);
    DWORD tRet = GetTickCount();
    watch.Join();
    ASSERT_TRUE(watch.Box);
    Strs seen = watch.Brackets();
    if (r.user) seen.resize(1);  // the first countdown only
    EXPECT_EQ(seen, r.brackets);
    EXPECT_EQ(MsgBoxACLeft(), left);
    EXPECT_EQ(trc.Count("UWE ::SrchWnd('" + std::string(r.cap) + "','Nobody answers.') found 0x"), 1);
    EXPECT_EQ(trc.Count("..!"), 0);
    if (r.user) {
      EXPECT_LT(tRet - watch.TmPressed, kThrdEndBoundMs);  // the box call waited for the thread to end
      EXPECT_EQ(trc.Count("UB\xb7"), 0);
    } else {
      EXPECT_GE(tRet - t0 + 500, r.sec * 1000);
      EXPECT_EQ(trc.Count(std::string("UB\xb7 ") + r.press, "[Src/GUI/MsgBoxAC,113]"), 1);
    }
  }
}

// A window with the box's caption but without its text, before the box in the enumeration: the
// search reports it, the caption check refuses it, and the box waits for the user.
TEST_F(MsgBoxACTest, PartialMatchLeavesTheBoxToTheUser) {
  const char cap[] = "ydTst Twin box";
  ASSERT_TRUE(GuiMkWnd(cap, nullptr, WS_EX_TOPMOST));
  BoxWatch watch(IDOK, 2500);  // well past the time-out
  EXPECT_EQ(MsgBoxAC(nullptr, "Only the user closes me.", cap, MB_OKCANCEL, 1), IDOK);
  watch.Join();
  EXPECT_EQ(watch.Caps, Strs{cap});
  EXPECT_EQ(m_Trc->Count("..! 'msg_box_dlg_cap!=cap' in \"Src/GUI/MsgBoxAC\" line 101"), 1);
  EXPECT_EQ(m_Trc->Count("UB\xb7"), 0);
}

// A top-level window whose thread never answers holds up the countdown thread in the search for
// good: the box call returns after its wait, hands the thread over, and the process still exits.
TEST_F(MsgBoxACTest, ProcessExitsWhileTheCountdownIsBlocked) {
  char exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, exe, sizeof(exe)), 0u);
  std::string cmd = std::string("\"") + exe + "\" --gtest_filter=MsgBoxACChild.* " + kHungChildFlag;
  STARTUPINFOA si = {sizeof si};
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
  EXPECT_EQ(code, 0u);                                     // its test passed and main returned
  EXPECT_EQ(WaitForSingleObject(ran, 0), WAIT_OBJECT_0);  // and it did run
  CloseHandle(ran);
}

// The child's test, registered only in a process started by the test above (the parent holds the desktop).
class HungChild : public testing::Test {
  void TestBody() override {
    TraceTap trc;
    std::thread([] { GuiMkWnd("ydTst Hung forever", nullptr, WS_EX_TOPMOST), Sleep(INFINITE); }).detach();
    while (!FindWindowA("STATIC", "ydTst Hung forever")) Sleep(10);  // made; its thread never answers nor ends
    BoxWatch watch(IDOK, 500);
    DWORD t0 = GetTickCount();
    int res = MsgBoxAC(nullptr, "Held up for good.", "ydTst Held up for good", MB_OK, 1);
    DWORD took = GetTickCount() - t0;
    watch.Join();
    EXPECT_EQ(res, IDOK);
    EXPECT_EQ(watch.Caps, Strs{"ydTst Held up for good"});  // the countdown never reached the box
    EXPECT_GE(took, 3000u);                                   // the full wait for the thread
    EXPECT_EQ(MsgBoxACLeft(), 1u);
    EXPECT_EQ(trc.Count("..! 'mbac_thrd.Wait(3000)' in \"Src/GUI/MsgBoxAC\" line 57"), 1);
    EXPECT_EQ(trc.Count("UB\xb7 countdown thread ", " handed over [Src/GUI/MsgBoxAC,"), 1);
    HANDLE ran = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHungChildRan);
    if (ran) SetEvent(ran), CloseHandle(ran);
  }
};

const bool kHungChildRegistered =
    strstr(GetCommandLineA(), kHungChildFlag) &&
    (testing::RegisterTest("MsgBoxACChild", "ExitsWhileTheCountdownIsBlocked", nullptr, nullptr, __FILE__, __LINE__,
                           []() -> testing::Test* { return new HungChild; }),
     true);

}  // namespace
