// Message boxes with a countdown, on the desktop (Xvfb under Wine).
#include <windows.h>

#include <cstring>

#include "GUI/MsgBoxAC.h"
#include "Lib/Thrd.h"
#include "Platform.h"
#include "TestUtil.h"
#include "sprv/Entry.h"

namespace {

using Strs = std::vector<std::string>;

// Holds the desktop: a box's search visits every top-level window, so parallel test processes take turns.
class MsgBoxACTest : public testing::Test {
 protected:
  void SetUp() override {
    YT_NEEDS_DESKTOP();
    if (m_Desk.Crt(false, "YD_GuiTest_Desktop") == 0) m_Desk.Lock(kDeskMs);
  }
  static constexpr DWORD kDeskMs = 120000;  // other desktop tests may hold the desktop this long together
  TMutex m_Desk;  // released when the test is destroyed
};

// What a user watching from another thread saw of a box shown on this thread: its caption's countdowns ("[3]"), the
// call's time and the return after the press (pressId, not before afterMs or a countdown; a minute's watch at most).
struct TBoxRun {
  int Res = 0;
  HWND Box = nullptr;
  Strs Brackets;
  DWORD Took = 0, AfterPress = 0;
};
TBoxRun RunBox(const std::function<int()>& call, int pressId = 0, DWORD afterMs = 0, bool onCountdown = false,
               DWORD appearMs = 10000) {
  TBoxRun b;
  const DWORD tid = GetCurrentThreadId();
  DWORD pressed = 0;
  std::thread user([&] {
    for (DWORD t0 = GetTickCount(); !b.Box && GetTickCount() - t0 < appearMs; Sleep(20))
      for (HWND w = nullptr; !b.Box && (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;)
        if (GetWindowThreadProcessId(w, nullptr) == tid) b.Box = w;
    for (DWORD found = GetTickCount(); b.Box && GetTickCount() - found < 60000; Sleep(20)) {
      char cap[512] = "";
      GetWindowTextA(b.Box, cap, sizeof cap);
      if (!IsWindow(b.Box)) break;
      const char* br = strstr(cap, " [");
      if (br && cap[strlen(cap) - 1] == ']' && (b.Brackets.empty() || b.Brackets.back() != br + 1))
        b.Brackets.push_back(br + 1);
      if (!pressId || pressed || GetTickCount() - found < afterMs || (onCountdown && b.Brackets.empty())) continue;
      pressed = GetTickCount();
      PostMessageA(b.Box, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), 0);
    }
  });
  const DWORD t0 = GetTickCount();
  b.Res = call();
  b.Took = GetTickCount() - t0;
  user.join();
  b.AfterPress = t0 + b.Took - pressed;
  return b;
}

constexpr DWORD kThrdEndMs = 1500;  // the countdown notices a closed box within 250 ms; loaded machine
constexpr DWORD kChildMs = 60000;   // a child program, box included, ends within seconds
constexpr DWORD kAppearMs = 15000;  // another program's window shows up within a second or two
constexpr DWORD kSettleMs = 300;  // the other window is painted and, for "hung", has stopped answering
constexpr DWORD kUserMs = 5000;   // well past the 1 s time-outs: the user presses only when the countdown did not
constexpr DWORD kNoBoxMs = 1500;   // a box to be skipped would have shown up by then
constexpr DWORD kAtOnceMs = 1000;  // no box and no countdown: well under this
const std::string kChildFlag = "--yd-gui-child";  // for the code page child, followed by the output file
constexpr UINT kChildPassed = 42;  // gtest's own 0 would also mean that no test ran

// A test run only in a copy of this program started with the child flag (the parent holds the desktop meanwhile).
bool ChildTest(const char* name, std::function<void()> body) {
  struct T : testing::Test {
    explicit T(std::function<void()> b) : B(b) {}
    std::function<void()> B;
    void TestBody() override { B(); }
  };
  if (!strstr(GetCommandLineA(), kChildFlag.c_str())) return false;
  testing::RegisterTest("MsgBoxACChild", name, nullptr, nullptr, __FILE__, __LINE__,
                        [=]() -> testing::Test* { return new T(body); });
  return true;
}

DWORD PidOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
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

// Nobody answers: the caption counts down, then the default button is pressed; or the user answers first and the
// countdown ends with the box. An OK box closed by IDCANCEL returns IDOK on Windows (as for ESC), IDCANCEL on Wine,
// whose box has no such control (Windows' is not documented: only its id is compared). A caption is never a format.
TEST_F(MsgBoxACTest, CountdownAndTheButtonPressed) {
  const int okClosed = yt::OnWine() ? IDCANCEL : IDOK;
  const char* okPress = yt::OnWine() ? "btn_id=2,item=0000000000,res=0 " : "btn_id=2,item=";
  struct Row { const char* cap; UINT style; uint32_t sec; int user, res; Strs brackets; const char* press; } rows[] = {
      {"ydTst Countdown", MB_OK, 3, 0, okClosed, {"[3]", "[2]", "[1]"}, okPress},
      {"ydTst YesNo", MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, 1, 0, IDNO, {"[1]"}, "btn_id=7,item=0x"},
      {"ydTst Zero 100%s", MB_OK, 0, 0, okClosed, {}, "btn_id=2,item="},  // at once, caption untouched
      {"ydTst Long", MB_YESNO, 75, IDYES, IDYES, {"[1:15]"}, nullptr}};  // hours: the usage box below
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

// Windows ahead of the box with its caption: another process's that never answers, another supervisor's box with
// the same texts (neither is compared), and this process's without the box's text (found, refused by the caption
// check, and the box waits for the user). None is touched.
TEST_F(MsgBoxACTest, WindowsWithTheBoxCaptionAreLeftAlone) {
  const char cap[] = "ydTst Same caption", txt[] = "Same texts.";
  struct Row { const char* mode; DWORD userMs; int res; Strs brackets; int notBox; } rows[] = {
      {"hung", kUserMs, IDCANCEL, {"[1]"}, 0}, {"box", kUserMs, IDCANCEL, {"[1]"}, 0}, {"twin", 2500, IDOK, {}, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.mode);
    yt::TTraceTap trc;
    yt::TProc other;
    HWND theirs = nullptr;
    if (r.notBox) theirs = CreateWindowExA(WS_EX_TOPMOST, "STATIC", cap, WS_POPUP | WS_VISIBLE, 10, 10, 200, 60,
                                           nullptr, nullptr, nullptr, nullptr);
    const std::string top = yt::BinDir() + "\\children\\ch_exit.exe top " + r.mode + " \"" + cap + "\" \"" + txt + "\"";
    ASSERT_TRUE(theirs || other.Start(top));
    for (DWORD t0 = GetTickCount(); !theirs && GetTickCount() - t0 < kAppearMs; Sleep(50))
      while ((theirs = FindWindowExA(nullptr, theirs, nullptr, cap)) && PidOf(theirs) != other.pi.dwProcessId) {}
    ASSERT_TRUE(theirs);
    Sleep(kSettleMs);
    // A countdown held up, or spent on another window, leaves the box to the user.
    TBoxRun b = RunBox([&] { return MsgBoxAC(nullptr, txt, cap, MB_OK, 1); }, IDOK, r.userMs);
    EXPECT_TRUE(b.Res == r.res && b.Brackets == r.brackets && WTxt(theirs) == std::wstring(cap, cap + sizeof cap - 1));
    EXPECT_TRUE(r.notBox || WaitForSingleObject(other.pi.hProcess, 0) == WAIT_TIMEOUT);  // its box still open
    EXPECT_EQ(trc.Count("..! 'msg_box_dlg_cap!=cap' in \"Src/GUI/MsgBoxAC\" line 101"), r.notBox);
    EXPECT_EQ(trc.Count("UB\xb7 btn_id=2,"), 1 - r.notBox);
    if (r.notBox) DestroyWindow(theirs);
  }
}

// A top-level window of this process whose thread never answers (ahead of the box) does not hold up the countdown.
// Run in a process of its own, as the hung window's thread would outlive the test.
TEST_F(MsgBoxACTest, HungWindowOfThisProcessDoesNotHoldTheCountdown) {
  yt::TProc child;
  ASSERT_TRUE(child.Start(yt::SelfCmd("--gtest_filter=MsgBoxACChild.HungWindowOfThisProcess " + kChildFlag)));
  EXPECT_EQ(child.Wait(kChildMs), kChildPassed);
}

const bool kHungChild = ChildTest("HungWindowOfThisProcess", [] {
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
  if (!testing::Test::HasFailure()) ExitProcess(kChildPassed);
});

// Where the window station is not visible (a service, a task run without a user) nobody could answer: the box is
// not shown, the call says why at once, and a usage box ends the run with 87 at once. A station whose flags cannot
// be read still gets the box. Wine's station is visible: the rows run on given answers.
TEST_F(MsgBoxACTest, NoBoxWhereNobodyCanSeeIt) {
  struct Row { bool vis; uint32_t err; int res; const char* trc; };
  static const Row* s_Row;
  TStationVisFn sys = SetStationVisFn([](uint32_t& err) {
    err = s_Row->err;
    return s_Row->vis;
  });
  uint32_t err = 1;
  EXPECT_TRUE(sys(err) && err == 0);
  const char skipped[] = "UB\xb7 window station not visible, nobody could answer: the box is not shown [";
  const Row rows[] = {
      {false, 0, 0, skipped}, {false, ERROR_ACCESS_DENIED, 0, skipped},
      {true, ERROR_ACCESS_DENIED, IDCANCEL, "UB\xb7 window station flags not read: rc=5, the box is shown ["},
      {false, 0, 87, nullptr}};  // the usage box of a run
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.vis << " " << r.err);
    yt::TTraceTap trc;
    s_Row = &r;
    TBoxRun b = RunBox([&] {  // a box shown after all waits for a user
      return r.trc ? MsgBoxAC(nullptr, "Anyone there?", "ydTst Station", MB_OK, r.res ? 1 : 60000)
                   : static_cast<int>(RunEntry("ydsprv.exe", ShowUsage));
    }, IDOK, kUserMs, false, kNoBoxMs);
    EXPECT_TRUE(b.Res == r.res && !!b.Box == r.vis && (!r.trc || trc.Count(r.trc, "[Src/GUI/MsgBoxAC,") == 1));
    EXPECT_TRUE(r.vis || (b.Took < kAtOnceMs && trc.Count("UWE") == 0)) << b.Took;  // nor a countdown
  }
  SetStationVisFn(nullptr);
}

// Where the ANSI code page is 1252 the usage box still shows its Russian text (code page 1251) and its countdown
// still finds it by that text. Wine takes the code page from the Unix locale, which a Windows parent cannot set:
// there the runs go through the Unix env program; on Windows the box runs with the system's own code page.
TEST_F(MsgBoxACTest, UsageBoxLegibleOnCodePage1252) {
  const std::string en = yt::OnWine() ? "Z:\\usr\\bin\\env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine " : "";
  yt::TTmpDir tmp;
  yt::TProc acp, sprv;
  std::string cp = "1252";
  const std::string acpCmd = yt::SelfCmd("--gtest_filter=MsgBoxACChild.CodePage " + kChildFlag + " " + tmp("acp"));
  auto cpRead = [&] { return (cp = yt::ReadAll(tmp("acp"))) != ""; };
  ASSERT_TRUE(!yt::OnWine() || (acp.Start(en + acpCmd) && yt::WaitFor(cpRead, kChildMs)));
  ASSERT_EQ(cp, "1252");  // the environment took
  ASSERT_TRUE(sprv.Start(en + "\"" + yt::BinDir() + "\\ydsprv.exe\" -yd1252:1"));
  const std::wstring prm = L"\"-yd1252:1\"";  // only this run's box has it in its reason, in any code page
  HWND box = nullptr;
  std::wstring shown;
  for (DWORD t0 = GetTickCount(); !box && GetTickCount() - t0 < kChildMs; Sleep(100))
    for (HWND w = nullptr; !box && (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;)
      for (HWND c = nullptr; !box && (c = FindWindowExW(w, c, L"Static", nullptr)) != nullptr;)
        if ((shown = WTxt(c)).find(prm) != std::wstring::npos) box = w;
  ASSERT_TRUE(box) << "no usage box";
  std::wstring usage(2048, L'\0');
  usage.resize(MultiByteToWideChar(1251, 0, UsageHelp(), -1, &usage[0], static_cast<int>(usage.size())) - 1);
  // "Ошибка в параметре ", the parameter, then the usage text.
  const std::wstring reason =
      L"\u041e\u0448\u0438\u0431\u043a\u0430 \u0432 \u043f\u0430\u0440\u0430\u043c\u0435\u0442\u0440\u0435";
  EXPECT_EQ(shown, reason + L" " + prm + L"\r\n" + usage);
  std::wstring cap;
  yt::WaitFor([&] { return (cap = WTxt(box)).find(L" [16:") != std::wstring::npos; });
  EXPECT_EQ(cap.substr(0, 15), L"Ruriruriv [16:4");  // the countdown found the box by its Russian text
  DWORD code = 0;  // on Wine the process started is env's, not the box's
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, PidOf(box));
  ASSERT_TRUE(h);
  PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitForSingleObject(h, kChildMs) == WAIT_OBJECT_0 && GetExitCodeProcess(h, &code) && code == 87) << code;
  CloseHandle(h);
}

const bool kAcpChild = ChildTest("CodePage", [] {  // reports the ANSI code page it runs with
  const char* out = strstr(GetCommandLineA(), kChildFlag.c_str()) + kChildFlag.size() + 1;
  ASSERT_TRUE(yt::WriteAll(out, std::to_string(GetACP())));
});

}  // namespace
