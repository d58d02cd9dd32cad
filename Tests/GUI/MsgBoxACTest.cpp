#include <windows.h>

#include "GUI/MsgBoxAC.h"
#include "GuiTestUtil.h"
#include "sprv/Entry.h"

namespace {

constexpr DWORD kThrdEndMs = 1500;  // the countdown notices a closed box within 250 ms; loaded machine
constexpr DWORD kChildMs = 60000, kAppearMs = 15000;  // another program's window shows up within a second or two
constexpr DWORD kSettleMs = 300;  // the other window is painted and, for "hung", has stopped answering
constexpr DWORD kUserMs = 5000;   // well past the 1 s time-outs: the user presses only when the countdown did not
constexpr DWORD kNoBoxMs = 1500, kAtOnceMs = 1000;  // a box to be skipped would have shown up; no box: well under
const char kHungFlag[] = "--yd-gui-hung-child", kAcpFlag[] = "--yd-gui-acp-child";  // the latter: + output file
const char kHungChildRan[] = "YD_GuiTest_HungChildRan";  // set by the child when its box call has returned

// A test run only in a copy of this program started with flag (the parent holds the desktop meanwhile).
bool ChildTest(const char* flag, const char* name, std::function<void()> body) {
  struct T : testing::Test {
    std::function<void()> B;
    void TestBody() override { B(); }
  };
  return strstr(GetCommandLineA(), flag) &&
         (testing::RegisterTest("MsgBoxACChild", name, nullptr, nullptr, __FILE__, __LINE__,
                                [=]() -> testing::Test* { T* t = new T; return t->B = body, t; }), true);
}

std::wstring WTxt(HWND w) {  // as the system keeps it; another process's window is not asked
  wchar_t t[4096] = L"";
  GetWindowTextW(w, t, 4096);
  return t;
}

// The caller's WM_QUIT ends the search at once instead of after its 15 s.
TEST(MsgBoxAutoCloser, CallerQuittingTheSearchLeavesNoBox) {
  TMsgBoxAutoCloser cmd;
  cmd.Set("ydTst never shown", "ydTst No box", MB_OK);
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);  // the search looks at its own thread's queue
  DWORD t0 = GetTickCount();
  EXPECT_EQ(cmd.Exec().Code(), static_cast<uint32_t>(ERROR_NOT_FOUND));
  EXPECT_LT(GetTickCount() - t0, kAtOnceMs);
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

class MsgBoxACTest : public GuiTest {};

// Nobody answers: the caption counts down, then the table's default button is pressed. Or the user answers first:
// the countdown thread ends quickly with the box. An OK box closed by IDCANCEL returns IDOK on Windows (as for
// ESC); Wine returns IDCANCEL and its box has no such control. Windows' control is not documented: there only the
// button id is compared. A caption is text, never a format.
TEST_F(MsgBoxACTest, CountdownAndTheButtonPressed) {
  const int okClosed = yt::OnWine() ? IDCANCEL : IDOK;
  const char* okPress = yt::OnWine() ? "btn_id=2,item=0000000000,res=0 " : "btn_id=2,item=";
  struct Row { const char* cap; UINT style; uint32_t sec; int user, res; Strs brackets; const char* press; } rows[] = {
      {"ydTst Countdown", MB_OK, 3, 0, okClosed, {"[3]", "[2]", "[1]"}, okPress},
      {"ydTst YesNo", MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, 1, 0, IDNO, {"[1]"}, "btn_id=7,item=0x"},
      {"ydTst Zero 100%s", MB_OK, 0, 0, okClosed, {}, "btn_id=2,item="},  // at once, caption untouched
      {"ydTst Long", MB_YESNO, 75, IDYES, IDYES, {"[1:15]"}, nullptr},
      {"ydTst Longer", MB_OK, 60000, IDOK, IDOK, {"[16:40:00]"}, nullptr}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.cap);
    yt::TTraceTap trc;
    TBoxRun b = RunBox([&] { return MsgBoxAC(nullptr, "Nobody answers.", r.cap, r.style, r.sec); }, r.user, 300, true);
    if (r.user) b.Brackets.resize(1);  // the first countdown only
    EXPECT_TRUE(b.Res == r.res && b.Box && b.Brackets == r.brackets && TMsgBoxACProbe::Left() == 0) << b.Res;
    EXPECT_EQ(trc.Count("UWE ::SrchWnd('" + std::string(r.cap) + "','Nobody answers.') found 0x"), 1);
    EXPECT_TRUE(r.user ? b.AfterPress < kThrdEndMs : b.Took + 500 >= r.sec * 1000);  // the call waited for the thread
    EXPECT_EQ(r.press ? trc.Count(std::string("UB\xb7 ") + r.press, "[Src/GUI/MsgBoxAC,113]") : trc.Count("UB\xb7"),
              r.press ? 1 : 0);
    EXPECT_EQ(trc.Count("..!"), 0);
  }
}

// Windows ahead of the box with its caption: of another process one that never answers and another supervisor's
// box with the same texts (neither is even compared), and one of this process without the box's text (the search
// reports it, the caption check refuses it, and the box waits for the user). None is touched.
TEST_F(MsgBoxACTest, WindowsWithTheBoxCaptionAreLeftAlone) {
  const char cap[] = "ydTst Same caption", txt[] = "Same texts.";
  struct Row { const char* mode; DWORD userMs; int res; Strs brackets; int notBox; } rows[] = {
      {"hung", kUserMs, IDCANCEL, {"[1]"}, 0}, {"box", kUserMs, IDCANCEL, {"[1]"}, 0}, {"twin", 2500, IDOK, {}, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.mode);
    yt::TTraceTap trc;
    yt::TProc other;
    HWND theirs = r.notBox ? GuiMkWnd(cap, nullptr, WS_EX_TOPMOST) : nullptr;
    const std::string top = yt::BinDir() + "\\children\\ch_exit.exe top " + r.mode + " \"" + cap + "\" \"" + txt + "\"";
    ASSERT_TRUE(theirs || other.Start(top));
    for (DWORD t0 = GetTickCount(), p = 0; !theirs && GetTickCount() - t0 < kAppearMs; Sleep(50))
      while ((theirs = FindWindowExA(nullptr, theirs, nullptr, cap)) &&
             (GetWindowThreadProcessId(theirs, &p), p != other.pi.dwProcessId)) {}
    ASSERT_TRUE(theirs);
    Sleep(kSettleMs);
    // A countdown held up, or spent on another window, leaves the box to the user.
    TBoxRun b = RunBox([&] { return MsgBoxAC(nullptr, txt, cap, MB_OK, 1); }, IDOK, r.userMs);
    EXPECT_TRUE(b.Res == r.res && b.Brackets == r.brackets && WTxt(theirs) == std::wstring(cap, cap + sizeof cap - 1));
    EXPECT_TRUE(r.notBox || WaitForSingleObject(other.pi.hProcess, 0) == WAIT_TIMEOUT);  // its box still open
    EXPECT_EQ(trc.Count("..! 'msg_box_dlg_cap!=cap' in \"Src/GUI/MsgBoxAC\" line 101"), r.notBox);
    EXPECT_EQ(trc.Count("UB\xb7 btn_id=2,"), 1 - r.notBox);
  }
}

// A top-level window of this process whose thread never answers (ahead of the box) does not hold up the countdown.
// Run in a process of its own, which the hung window's thread would otherwise outlive the test in.
TEST_F(MsgBoxACTest, HungWindowOfThisProcessDoesNotHoldTheCountdown) {
  HANDLE ran = CreateEventA(nullptr, TRUE, FALSE, kHungChildRan);
  yt::TProc child;
  ASSERT_TRUE(ran && child.Start(yt::SelfCmd("--gtest_filter=MsgBoxACChild.* " + std::string(kHungFlag))));
  EXPECT_EQ(child.Wait(kChildMs), 0u);                    // it ended, its test passed and main returned
  EXPECT_EQ(WaitForSingleObject(ran, 0), WAIT_OBJECT_0);  // and it did run
  CloseHandle(ran);
}

const bool kHungChild = ChildTest(kHungFlag, "HungWindowOfThisProcess", [] {
  yt::TTraceTap trc;
  // Never active: the box's activation would otherwise send the hung thread WM_ACTIVATEAPP and wait for it for
  // good, which is not what is tested here (the supervisor has no window of its own besides the box).
  std::thread([] {
    ShowWindow(CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, "STATIC", "ydTst Hung forever", WS_POPUP, 10, 10, 200,
                               60, nullptr, nullptr, nullptr, nullptr), SW_SHOWNOACTIVATE);
    Sleep(INFINITE);
  }).detach();
  while (!FindWindowA("STATIC", "ydTst Hung forever")) Sleep(10);
  TBoxRun b = RunBox([] { return MsgBoxAC(nullptr, "Not held up.", "ydTst Not held up", MB_OK, 1); }, IDOK, kUserMs);
  EXPECT_TRUE(b.Res == IDCANCEL && b.Took < kUserMs && b.Brackets == Strs{"[1]"} && TMsgBoxACProbe::Left() == 0);
  EXPECT_GE(trc.Count("UWE ::SrchWnd passed over 1 window(s) that did not answer within 1000 ms"), 1);
  EXPECT_EQ(trc.Count("..!"), 0);
  HANDLE ran = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHungChildRan);
  if (ran) SetEvent(ran), CloseHandle(ran);
});

bool g_StationVis = true;
uint32_t g_StationErr = 0;

// Where the window station is not visible (a service, a task run without a user) nobody could answer the box: it
// is not shown and the call returns at once saying why; the usage box then ends the run with 87 at once. A station
// whose flags cannot be read still gets the box. Wine's station is visible: the rows run on given answers.
TEST_F(MsgBoxACTest, NoBoxWhereNobodyCanSeeIt) {
  TStationVisFn sys = SetStationVisFn([](uint32_t& err) { return err = g_StationErr, g_StationVis; });
  uint32_t err = 1;
  EXPECT_TRUE(sys(err) && err == 0);
  const char skipped[] = "UB\xb7 window station not visible, nobody could answer: the box is not shown [";
  struct Row { bool vis; uint32_t err; int res; const char* trc; } rows[] = {
      {false, 0, 0, skipped}, {false, ERROR_ACCESS_DENIED, 0, skipped},
      {true, ERROR_ACCESS_DENIED, IDCANCEL, "UB\xb7 window station flags not read: rc=5, the box is shown ["},
      {false, 0, 87, nullptr}};  // the usage box of a run
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.vis << " " << r.err);
    yt::TTraceTap trc;
    g_StationVis = r.vis, g_StationErr = r.err;
    TBoxRun b = RunBox([&] {  // a box shown after all waits for a user
      return r.trc ? MsgBoxAC(nullptr, "Anyone there?", "ydTst Station", MB_OK, r.res ? 1 : 60000)
                   : static_cast<int>(RunEntry("ydsprv.exe", ShowUsage));
    }, IDOK, kUserMs, false, kNoBoxMs);
    EXPECT_TRUE(b.Res == r.res && !!b.Box == r.vis && (!r.trc || trc.Count(r.trc, "[Src/GUI/MsgBoxAC,") == 1));
    EXPECT_TRUE(r.vis || (b.Took < kAtOnceMs && trc.Count("UWE") == 0)) << b.Took;  // nor a countdown
  }
  SetStationVisFn(nullptr);
}

// Where the ANSI code page is 1252 (Wine with an English locale) the usage box still shows its Russian text, code
// page 1251, and its countdown still finds it by that text: read back here with GetWindowTextW.
TEST_F(MsgBoxACTest, UsageBoxLegibleOnCodePage1252) {
  // Wine takes the code page from the Unix locale, which a Windows parent cannot set for its child: the runs go
  // through the Unix env program. On Windows the box runs with the system's own code page, whichever it is.
  const std::string en = yt::OnWine() ? "Z:\\usr\\bin\\env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine " : "";
  yt::TTmpDir tmp;
  yt::TProc acp, sprv;
  std::string cp = "1252";
  const std::string acpCmd = yt::SelfCmd("--gtest_filter=MsgBoxACChild.* " + std::string(kAcpFlag) + " " + tmp("acp"));
  if (yt::OnWine())
    ASSERT_TRUE(acp.Start(en + acpCmd) && yt::WaitFor([&] { return (cp = yt::ReadAll(tmp("acp"))) != ""; }, kChildMs));
  ASSERT_EQ(cp, "1252");  // the environment took
  ASSERT_TRUE(sprv.Start(en + "\"" + yt::BinDir() + "\\ydsprv.exe\" -yd1252:1"));
  const std::wstring prm = L"\"-yd1252:1\"";  // only this run's box has it in its reason, in any code page
  HWND box = nullptr;
  std::wstring shown, cap, usage(2048, L'\0');
  for (DWORD t0 = GetTickCount(); !box && GetTickCount() - t0 < kChildMs; Sleep(100))
    for (HWND w = nullptr; !box && (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;)
      for (HWND c = nullptr; !box && (c = FindWindowExW(w, c, L"Static", nullptr)) != nullptr;)
        if ((shown = WTxt(c)).find(prm) != std::wstring::npos) box = w;
  ASSERT_TRUE(box) << "no usage box";
  usage.resize(MultiByteToWideChar(1251, 0, UsageHelp(), -1, &usage[0], static_cast<int>(usage.size())) - 1);
  // "Ошибка в параметре ", the parameter, then the usage text.
  const std::wstring reason =
      L"\u041e\u0448\u0438\u0431\u043a\u0430 \u0432 \u043f\u0430\u0440\u0430\u043c\u0435\u0442\u0440\u0435";
  EXPECT_EQ(shown, reason + L" " + prm + L"\r\n" + usage);
  yt::WaitFor([&] { return (cap = WTxt(box)).find(L" [16:") != std::wstring::npos; });
  EXPECT_EQ(cap.substr(0, 15), L"Ruriruriv [16:4");  // the countdown found the box by its Russian text
  DWORD pid = 0, code = 0;  // on Wine the process started is env's, not the box's
  GetWindowThreadProcessId(box, &pid);
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_TRUE(h);
  PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitForSingleObject(h, kChildMs) == WAIT_OBJECT_0 && GetExitCodeProcess(h, &code) && code == 87) << code;
  CloseHandle(h);
}

const bool kAcpChild = ChildTest(kAcpFlag, "CodePage", [] {  // reports the ANSI code page it runs with
  ASSERT_TRUE(yt::WriteAll(strstr(GetCommandLineA(), kAcpFlag) + strlen(kAcpFlag) + 1, std::to_string(GetACP())));
});

}  // namespace
