#include <windows.h>

#include <cstring>
#include <string>

#include "GUI/MsgBoxAC.h"
#include "GuiTestUtil.h"
#include "sprv/Entry.h"

namespace {

using Strs = std::vector<std::string>;
constexpr DWORD kThrdEndBoundMs = 1500;  // the countdown notices a closed box within 250 ms; loaded machine
constexpr DWORD kChildExitMs = 60000;
constexpr DWORD kAppearMs = 15000;  // another process's window shows up within a second or two, even when loaded
constexpr DWORD kSettleMs = 300;    // the other window is painted and, for "hung", has stopped answering
constexpr DWORD kUserMs = 5000;     // well past the 1 s time-outs: the watch presses only when the countdown did not
constexpr DWORD kNoBoxMs = 1500;    // a box that was to be skipped would have shown up by then
constexpr DWORD kAtOnceMs = 1000;   // no box and no countdown: the call returns in well under this
const char kHungChildFlag[] = "--yd-gui-hung-child";
const char kHungChildRan[] = "YD_GuiTest_HungChildRan";  // set by the child when its box call has returned
const char kAcpChildFlag[] = "--yd-gui-acp-child";       // followed by the file the child writes its code page to

// A window's text as the system keeps it; another process's window is not asked.
std::wstring WTxt(HWND w) {
  wchar_t t[4096] = L"";
  GetWindowTextW(w, t, 4096);
  return t;
}

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

// A top-level window of this process whose thread never answers (ahead of the box) does not hold up the
// countdown: its text query gives up, the box counts down and closes at its time-out. Run in a process of
// its own, which the hung window's thread would otherwise outlive the test in.
TEST_F(MsgBoxACTest, HungWindowOfThisProcessDoesNotHoldTheCountdown) {
  HANDLE ran = CreateEventA(nullptr, TRUE, FALSE, kHungChildRan);
  ASSERT_TRUE(ran);
  yt::TProc child;
  ASSERT_TRUE(child.Start(yt::SelfCmd("--gtest_filter=MsgBoxACChild.* " + std::string(kHungChildFlag))));
  EXPECT_EQ(child.Wait(kChildExitMs), 0u);                // it ended, its test passed and main returned
  EXPECT_EQ(WaitForSingleObject(ran, 0), WAIT_OBJECT_0);  // and it did run
  CloseHandle(ran);
}

// The child's test, registered only in a process started by the test above (the parent holds the desktop).
class HungChild : public testing::Test {
  void TestBody() override {
    TraceTap trc;
    // Never active: the box's activation would otherwise send the hung thread WM_ACTIVATEAPP and wait for it
    // for good, which is not what is tested here (the supervisor has no window of its own besides the box).
    std::thread([] {
      HWND w = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, "STATIC", "ydTst Hung forever", WS_POPUP, 10, 10,
                               200, 60, nullptr, nullptr, nullptr, nullptr);
      ShowWindow(w, SW_SHOWNOACTIVATE);
      Sleep(INFINITE);
    }).detach();
    while (!FindWindowA("STATIC", "ydTst Hung forever")) Sleep(10);  // made; its thread never answers nor ends
    BoxWatch watch(IDOK, kUserMs);  // a countdown held up leaves the box to the user
    DWORD t0 = GetTickCount();
    int res = MsgBoxAC(nullptr, "Not held up.", "ydTst Not held up", MB_OK, 1);
    DWORD took = GetTickCount() - t0;
    watch.Join();
    EXPECT_EQ(res, IDCANCEL);
    EXPECT_EQ(watch.Brackets(), Strs{"[1]"});
    EXPECT_LT(took, kUserMs);
    EXPECT_EQ(MsgBoxACLeft(), 0u);
    EXPECT_GE(trc.Count("UWE ::SrchWnd passed over 1 window(s) that did not answer within 1000 ms"), 1);
    EXPECT_EQ(trc.Count("..!"), 0);
    HANDLE ran = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHungChildRan);
    if (ran) SetEvent(ran), CloseHandle(ran);
  }
};

const bool kHungChildRegistered =
    strstr(GetCommandLineA(), kHungChildFlag) &&
    (testing::RegisterTest("MsgBoxACChild", "HungWindowOfThisProcess", nullptr, nullptr, __FILE__, __LINE__,
                           []() -> testing::Test* { return new HungChild; }),
     true);

// The first top-level window of process pid whose caption is cap, within kAppearMs.
HWND OthersWnd(DWORD pid, const char* cap) {
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < kAppearMs; Sleep(50))
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, nullptr, cap)) != nullptr;) {
      DWORD p = 0;
      GetWindowThreadProcessId(w, &p);
      if (p == pid) return w;
    }
  return nullptr;
}

// Top-level windows of another process ahead of the box, with its caption: one that never answers, and another
// supervisor's box with the same texts. Neither is taken for the box: the box counts down and closes at its
// time-out, and the other box is not pressed.
TEST_F(MsgBoxACTest, OtherProcessWindowsAreLeftAlone) {
  const char cap[] = "ydTst Other process", txt[] = "Same texts.";
  for (const char* mode : {"hung", "box"}) {
    SCOPED_TRACE(mode);
    TraceTap trc;
    yt::TProc other;
    ASSERT_TRUE(other.Start((yt::BinDir() + "\\children\\ch_exit.exe top ") + mode + " \"" + cap + "\" \"" + txt + "\""));
    HWND theirs = OthersWnd(other.pi.dwProcessId, cap);
    ASSERT_TRUE(theirs);
    Sleep(kSettleMs);
    BoxWatch watch(IDOK, kUserMs);  // a countdown held up, or spent on the other box, leaves this one to the user
    EXPECT_EQ(MsgBoxAC(nullptr, txt, cap, MB_OK, 1), IDCANCEL);
    watch.Join();
    EXPECT_EQ(watch.Brackets(), Strs{"[1]"});
    char now[64] = "";
    GetWindowTextA(theirs, now, sizeof now);  // another process's caption is read without asking its thread
    EXPECT_STREQ(now, cap);
    EXPECT_EQ(WaitForSingleObject(other.pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // its box still open
    EXPECT_EQ(trc.Count("UB\xb7 btn_id=2,"), 1);
  }
}

bool g_StationVis = true;
uint32_t g_StationErr = 0;
bool GivenStation(uint32_t& err) { return err = g_StationErr, g_StationVis; }

// Puts a given answer in place of the system's for one test.
struct TStationSeam {
  TStationSeam(bool vis, uint32_t err) : Prev(SetStationVisFn(GivenStation)) { g_StationVis = vis, g_StationErr = err; }
  ~TStationSeam() { SetStationVisFn(Prev); }
  TStationVisFn Prev;
};

// Where the window station is not visible (a service, a task run without a user) nobody could answer the box:
// it is not shown, the call returns at once and the trace says why; the usage box then ends the run with 87 at
// once. A station whose flags cannot be read still gets the box. Wine's station is visible, so these run on given
// answers; the system's answer is checked first.
TEST_F(MsgBoxACTest, NoBoxWhereNobodyCanSeeIt) {
  uint32_t err = 1;
  EXPECT_TRUE(StationVisible(err));
  EXPECT_EQ(err, 0u);
  const char skipped[] = "UB\xb7 window station not visible, nobody could answer: the box is not shown [";
  struct Row { bool vis; uint32_t err; int res; const char* trc; } rows[] = {
      {false, 0, 0, skipped},
      {false, ERROR_ACCESS_DENIED, 0, skipped},
      {true, ERROR_ACCESS_DENIED, IDCANCEL, "UB\xb7 window station flags not read: rc=5, the box is shown ["},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.vis << " " << r.err);
    TraceTap trc;
    TStationSeam seam(r.vis, r.err);
    BoxWatch watch(IDOK, kUserMs, false, kNoBoxMs);  // a box shown after all waits for a user
    DWORD t0 = GetTickCount();
    int res = MsgBoxAC(nullptr, "Anyone there?", "ydTst Station", MB_OK, r.res ? 1 : 60000);
    DWORD took = GetTickCount() - t0;
    watch.Join();
    EXPECT_EQ(res, r.res);
    EXPECT_EQ(trc.Count(r.trc, "[Src/GUI/MsgBoxAC,"), 1);
    if (!r.res) {
      EXPECT_FALSE(watch.Box);
      EXPECT_LT(took, kAtOnceMs);
      EXPECT_EQ(trc.Count("UWE"), 0);  // no countdown was started
    }
  }
  TStationSeam seam(false, 0);
  BoxWatch watch(IDOK, kUserMs, false, kNoBoxMs);
  DWORD t0 = GetTickCount();
  EXPECT_EQ(RunEntry("ydsprv.exe", ShowUsage), 87u);
  EXPECT_LT(GetTickCount() - t0, kAtOnceMs);
  watch.Join();
  EXPECT_FALSE(watch.Box);
}

// Where the ANSI code page is 1252 (Wine with an English locale) the usage box still shows its Russian text,
// code page 1251, and its countdown still finds it by that text: read back here with GetWindowTextW.
TEST_F(MsgBoxACTest, UsageBoxLegibleOnCodePage1252) {
  // Wine takes the code page from the Unix locale, which a Windows parent cannot set for its child: the runs go
  // through the Unix env program. On Windows the box runs with the system's own code page, whichever it is.
  const std::string en = yt::OnWine() ? "Z:\\usr\\bin\\env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine " : "";
  if (yt::OnWine()) {
    yt::TTmpDir tmp;
    yt::TProc acp;
    ASSERT_TRUE(acp.Start(en + yt::SelfCmd("--gtest_filter=MsgBoxACChild.* " + std::string(kAcpChildFlag) + " " + tmp("acp"))));
    std::string cp;
    yt::WaitFor([&] { return !(cp = yt::ReadAll(tmp("acp"))).empty(); }, kChildExitMs);
    ASSERT_EQ(cp, "1252");  // the environment took
  }

  yt::TProc sprv;
  ASSERT_TRUE(sprv.Start(en + "\"" + yt::BinDir() + "\\ydsprv.exe\" -yd1252:1"));
  // Only this run's box has the parameter in its reason, which reads the same in any code page.
  const std::wstring prm = L"\"-yd1252:1\"";
  HWND box = nullptr;
  std::wstring shown, cap;
  for (DWORD t0 = GetTickCount(); !box && GetTickCount() - t0 < kChildExitMs; Sleep(100))
    for (HWND w = nullptr; !box && (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;)
      for (HWND c = nullptr; !box && (c = FindWindowExW(w, c, L"Static", nullptr)) != nullptr;)
        if ((shown = WTxt(c)).find(prm) != std::wstring::npos) box = w;
  ASSERT_TRUE(box) << "no usage box";
  // "Ошибка в параметре " and the parameter, then the usage text.
  const std::wstring reason =
      L"\u041e\u0448\u0438\u0431\u043a\u0430 \u0432 \u043f\u0430\u0440\u0430\u043c\u0435\u0442\u0440\u0435 " + prm + L"\r\n";
  std::wstring usage(2048, L'\0');
  usage.resize(MultiByteToWideChar(1251, 0, UsageHelp(), -1, &usage[0], static_cast<int>(usage.size())) - 1);
  EXPECT_EQ(shown.substr(0, reason.size()), reason);
  EXPECT_TRUE(shown == reason + usage) << shown.size();
  yt::WaitFor([&] { return (cap = WTxt(box)).find(L" [16:") != std::wstring::npos; });
  EXPECT_EQ(cap.substr(0, 15), L"Ruriruriv [16:4");  // the countdown found the box by its Russian text
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_TRUE(h);
  PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0, 0);
  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(h, kChildExitMs), WAIT_OBJECT_0);
  GetExitCodeProcess(h, &code);
  CloseHandle(h);
  EXPECT_EQ(code, 87u);
}

// The child's test under the other locale: it reports the ANSI code page it runs with.
class AcpChild : public testing::Test {
  void TestBody() override {
    const char* out = strstr(GetCommandLineA(), kAcpChildFlag) + strlen(kAcpChildFlag) + 1;
    ASSERT_TRUE(yt::WriteAll(out, std::to_string(GetACP())));
  }
};

const bool kAcpChildRegistered =
    strstr(GetCommandLineA(), kAcpChildFlag) &&
    (testing::RegisterTest("MsgBoxACChild", "CodePage", nullptr, nullptr, __FILE__, __LINE__,
                           []() -> testing::Test* { return new AcpChild; }),
     true);

}  // namespace
