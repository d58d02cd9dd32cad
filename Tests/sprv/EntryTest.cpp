// The entry: parameter check and usage text in this process, then ydsprv.exe run as a process of its own
// with its 32-bit exit status read here, on the Windows side.
#include <gtest/gtest.h>
#include <algorithm>
#include "Platform.h"
#include "ProcessTestUtil.h"
#include "sprv/Entry.h"

using namespace sprvtest;

namespace {

const DWORD RUN_TMOUT_MS = 60000;  // a run of a few short children on a loaded machine
const DWORD BOX_TMOUT_MS = 30000;  // until the usage box shows up
const DWORD CRASH_TMOUT_MS = 30000;  // two crashes and their reports; a crash dialog would keep it running
const std::string NO_PRMS = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0\xfb \xed\xe5 \xe7\xe0\xe4\xe0\xed\xfb";  // "Параметры не заданы"

std::string Sprv() { return "\"" + yt::BinDir() + "\\ydsprv.exe\""; }

std::vector<std::string> g_Shown;
void Capture(const TStr& reason) { g_Shown.push_back(S(reason)); }

using TChild = yt::TProc;

DWORD RunSprv(const std::string& args, DWORD ms = RUN_TMOUT_MS) {
  TChild c;
  return c.Start(Sprv() + " " + args) ? c.Wait(ms) : 0xFFFFFFFE;
}

// The raw command line that the child ch_app received, appended with CR LF to the file named by YD_APP_ARGS.
struct TArgsFile {
  TTmp File{"args"};
  TArgsFile() { SetEnvironmentVariableA("YD_APP_ARGS", File.Path.c_str()); }
  ~TArgsFile() { SetEnvironmentVariableA("YD_APP_ARGS", nullptr); }
  std::string Got() const {
    std::string got = yt::ReadAll(File.Path);
    return got.size() >= 2 && got.compare(got.size() - 2, 2, "\r\n") == 0 ? got.substr(0, got.size() - 2) : got;
  }
};

// The text of the box's first Static control that has one.
std::string StaticTxt(HWND box) {
  char t[4096] = {};
  for (HWND w = nullptr; !*t && (w = FindWindowExA(box, w, "Static", nullptr)) != nullptr;)
    SendMessageA(w, WM_GETTEXT, sizeof t, reinterpret_cast<LPARAM>(t));
  return t;
}

}  // namespace

// Argument 1 missing or a help request: 87 "Параметры не заданы" and the usage box with that reason. The trace
// line carries the command line literally.
TEST(Entry, MissingOrHelpFirstToken) {
  struct { const char* cmdLn; bool refused; } cases[] = {
      {"ydsprv.exe", true},    {"ydsprv.exe   ", true},  {"\"C:\\a b\\ydsprv.exe\"", true},
      {"ydsprv.exe -?", true}, {"ydsprv.exe /h", true},  {"ydsprv.exe /H x", true}, {"ydsprv.exe /? %s%n%d", true},
      {"ydsprv.exe \"/H\"", true}, {"ydsprv.exe -h", false}, {"ydsprv.exe /help", false},
      {"ydsprv.exe app.exe -?", false}, {"ydsprv.exe app.exe 100%", false},
  };
  TTraceCapture trace({"A_A"});
  size_t i = 0;
  for (const auto& c : cases) {
    TRes r = ChkPrms(c.cmdLn);
    std::string cmnt = c.refused ? NO_PRMS : "", tr = trace.Lines().at(i++);  // one line each
    EXPECT_EQ(c.refused ? 87u : 0u, r.Code()) << c.cmdLn;
    EXPECT_EQ(cmnt, S(r.Cmnt())) << c.cmdLn;
    EXPECT_NE(std::string::npos, tr.find("ChkPrms(\"" + std::string(c.cmdLn) + "\") returned (cmnt=\"" + cmnt + "\")")) << tr;
  }
  TRes out;
  EXPECT_EQ(87u, RunEntry("ydsprv.exe /?", Capture, &out));
  EXPECT_EQ(87u, RunEntry("ydsprv.exe -x:1 app.exe", Capture, &out));
  EXPECT_EQ((std::vector<std::string>{NO_PRMS, ERR_PRM + "\"-x:1\""}), g_Shown);
}

TEST(Entry, UsageText) {
  std::string h = UsageHelp();
  uint32_t fnv = 0x811c9dc5u;  // the whole text in code page 1251; the l[og] line alone ends in a bare LF
  for (unsigned char c : h) fnv = (fnv ^ c) * 0x01000193u;
  EXPECT_TRUE(h.size() == 1022 && fnv == 0xbe36920bu) << h.size() << " " << std::hex << fnv;
  EXPECT_EQ("\xc7\xe0\xef\xf3\xf1\xea:\r\n", h.substr(0, 9));  // "Запуск:"
  EXPECT_EQ(h, S(UsageTxt(TStr())));
  EXPECT_EQ("why\r\n" + h, S(UsageTxt(TStr("why"))));
}

TEST(Entry, ExitStatusAndEventLog) {
  TTmp log("e2e"), log2("e2e");
  std::string ex = Child("ch_exit");
  EXPECT_EQ(0u, RunSprv("-l:" + log.Path + " -p:100ms " + ex + " 1223"));
  EXPECT_EQ((std::vector<std::string>{START, EXITED + "1223"}), EvtLines(log.Path));
  EXPECT_EQ(0x800401F7u, RunSprv("-a:2 -l:\"" + log2.Path + "\" " + ex + " 5"));
  EXPECT_EQ((std::vector<std::string>{START, EXITED + "5", START, EXITED + "5", ATTEMPTS + "2/2."}),
            EvtLines(log2.Path));
  DWORD st = RunSprv("C:\\no\\such\\dir\\cl_missing.exe");  // a box would keep it running
  EXPECT_TRUE(st == ERROR_FILE_NOT_FOUND || st == ERROR_PATH_NOT_FOUND) << st;
}

// Under the test display: the box shows the reason and the usage, waits, and its button ends the run with 87.
TEST(Entry, ParameterErrorShowsUsageBox) {
  YT_NEEDS_DESKTOP();
  YT_NEEDS_CP1251();  // the box's text is read back in ANSI and compared with the cp1251 bytes
  TChild c;
  ASSERT_TRUE(c.Start(Sprv() + " -x:1 " + Child("ch_exit") + " 0"));
  HWND box = nullptr;
  std::string txt;
  for (DWORD t0 = GetTickCount(); txt.empty() && GetTickCount() - t0 < BOX_TMOUT_MS; Sleep(100))
    for (HWND w = GetTopWindow(nullptr); w && txt.empty(); w = GetWindow(w, GW_HWNDNEXT)) {
      DWORD pid = 0;
      char t[64] = {};
      GetWindowThreadProcessId(w, &pid);
      GetWindowTextA(w, t, sizeof t);
      if (pid == c.pi.dwProcessId && strncmp(t, "Ruriruriv", 9) == 0 && !(txt = StaticTxt(w)).empty()) box = w;
    }
  ASSERT_TRUE(box) << "no usage box";
  EXPECT_EQ(ERR_PRM + "\"-x:1\"\r\n" + UsageHelp(), txt);
  EXPECT_EQ(0xFFFFFFFFu, c.Wait(0));  // its countdown runs for hours
  HWND btn = FindWindowExA(box, nullptr, "Button", nullptr);
  ASSERT_TRUE(btn);
  PostMessageA(btn, BM_CLICK, 0, 0);
  EXPECT_EQ(87u, c.Wait(RUN_TMOUT_MS));
}

// Wine takes the display from the Unix environment, which a Windows parent cannot change for its child; so
// the run goes through the Unix env program, and cl_status reads the 32-bit status on the Windows side.
// Windows has no such switch: there a desktop nobody sees is a window station without WSF_VISIBLE.
TEST(Entry, ParameterErrorWithoutDisplayDoesNotHang) {
  if (!yt::OnWine()) GTEST_SKIP() << "Wine only: a run without a display is made through Wine's Unix side";
  const std::string bin = yt::BinDir();
  for (std::string args : {std::string(), "-a:0 " + Child("ch_exit") + " 0"}) {
    TTmp res("nodisp");
    TChild c;
    ASSERT_TRUE(c.Start("Z:\\usr\\bin\\env -u DISPLAY wine \"" + bin + "\\children\\cl_status.exe\" " + res.Path +
                        " \"" + bin + "\\ydsprv.exe\" " + args));
    std::string st;
    for (DWORD t0 = GetTickCount(); st.empty() && GetTickCount() - t0 < RUN_TMOUT_MS + 10000; Sleep(100))
      st = yt::ReadAll(res.Path);
    EXPECT_EQ("87", st) << args;
  }
}

// The macros make the child's command line longer than the 32767 characters a process may have: a launch
// error with a system code (206 on Windows, 87 under Wine), no usage box (it would keep the run going).
TEST(Entry, ChildCommandLineBeyondTheSystemLimit) {
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_LONG", std::string(9000, 'x').c_str()));
  TTmp log("e2e_long");
  std::string x4 = " %YD_TST_LONG% %YD_TST_LONG% %YD_TST_LONG% %YD_TST_LONG%";
  DWORD st = RunSprv("-l:" + log.Path + " " + Child("ch_exit") + " 0" + x4);
  SetEnvironmentVariableA("YD_TST_LONG", nullptr);
  EXPECT_EQ(yt::OnWine() ? 87u : 206u, st);
  std::vector<std::string> ev = EvtLines(log.Path);
  ASSERT_EQ(2u, ev.size());
  EXPECT_EQ(START, ev[0]);
  EXPECT_EQ(0u, ev[1].rfind(START_ERR, 0)) << ev[1];
}

// What the child receives: a whole command line written as one quoted word goes as written; a program path
// with a blank keeps its quotes, so p.exe, which the system would try first for the path without them, is
// not started (it records nothing); an empty argument reaches the child as "" with the words after it.
TEST(Entry, ChildReceivesItsCommandLine) {
  yt::TTmpDir d;
  const std::string args = yt::BinDir() + "\\children\\ch_app.exe", spaced = d("p q.exe");
  ASSERT_TRUE(CopyFileA(args.c_str(), spaced.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((yt::BinDir() + "\\children\\ch_now.exe").c_str(), d("p.exe").c_str(), FALSE));
  struct { std::string sprvArgs, got; } rows[] = {
      {"\"" + args + " --port 80\"", args + " --port 80"},
      {"\"" + spaced + "\" --port 80", "\"" + spaced + "\" --port 80"},
      {args + " --name \"\" --port 80", args + " --name \"\" --port 80"},
  };
  for (const auto& row : rows) {
    TArgsFile out;
    EXPECT_EQ(0u, RunSprv(row.sprvArgs)) << row.sprvArgs;
    EXPECT_EQ(row.got, out.Got()) << row.sprvArgs;
  }
}

// A crash is an exit code like any other: 0xC0000005 is relaunched while attempts remain, and ends the run
// when rc expects it. The test prefix has Wine's crash dialog switched off; with it on, the crashed child
// would wait for a click and the run would not end within the time-out.
TEST(Entry, CrashingChildIsRelaunched) {
  TTmp log("crash"), log2("crash");
  const std::string crash = EXITED + "3221225477";
  EXPECT_EQ(0x800401F7u, RunSprv("-a:2 -l:" + log.Path + " " + Child("ch_crash"), CRASH_TMOUT_MS));
  EXPECT_EQ((std::vector<std::string>{START, crash, START, crash, ATTEMPTS + "2/2."}), EvtLines(log.Path));
  EXPECT_EQ(0u, RunSprv("-rc:0xC0000005 -l:" + log2.Path + " " + Child("ch_crash"), CRASH_TMOUT_MS));
  EXPECT_EQ((std::vector<std::string>{START, crash}), EvtLines(log2.Path));
}

// Cyrillic names throughout: ydsprv.exe in the folder "Программы" with its parameter file (trace log beside
// it), the child "Иван.exe" with the argument "Привет", the event log "события.log". Wine maps such names
// only when glibc has a ru_RU.UTF-8 locale (the test command makes one in the build folder); without it
// every launch here fails with 2. On Windows the names go through the ANSI calls, so they need code page 1251.
TEST(Entry, CyrillicPaths) {
  YT_NEEDS_CP1251();
  yt::TTmpDir d;
  const std::string dir = d("\xcf\xf0\xee\xe3\xf0\xe0\xec\xec\xfb\\"), sprv = dir + "ydsprv.exe",
                    child = dir + "\xc8\xe2\xe0\xed.exe", hello = "\xcf\xf0\xe8\xe2\xe5\xf2",
                    log = dir + "\xf1\xee\xe1\xfb\xf2\xe8\xff.log";
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << GetLastError();
  ASSERT_TRUE(CopyFileA((yt::BinDir() + "\\ydsprv.exe").c_str(), sprv.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((yt::BinDir() + "\\children\\ch_app.exe").c_str(), child.c_str(), FALSE));
  ASSERT_TRUE(yt::WriteAll(dir + "ydsprv.wli", "[Evts]\r\nA_A=\r\nSP.=\r\n"));
  {
    TArgsFile out;
    TChild c;
    ASSERT_TRUE(c.Start("\"" + sprv + "\" -l:" + log + " " + child + " " + hello));
    EXPECT_EQ(0u, c.Wait(RUN_TMOUT_MS));
    EXPECT_EQ(child + " " + hello, out.Got());
  }
  EXPECT_EQ((std::vector<std::string>{START, EXITED + "0"}), EvtLines(log));
  std::string tr = yt::ReadAll(dir + "ydsprv.log");  // lines "<type> <stamp> Pid=.. Tid=.. <text>"
  auto traced = [&](const std::string& tp, const std::string& txt) {
    std::vector<std::string> ls = yt::Lines(tr);
    return std::count_if(ls.begin(), ls.end(), [&](const std::string& l) {
      return l.rfind(tp + " ", 0) == 0 && l.find(txt) != std::string::npos;
    });
  };
  EXPECT_EQ(1, traced("A_A", "ChkPrms(\"\"" + sprv + "\" -l:" + log + " " + child + " " + hello + "\")")) << tr;
  EXPECT_EQ(1, traced("SPT", "WTProcess::Crt(cmdln='" + child + " " + hello + "',flags=0)")) << tr;
  for (const char* f : {"ydsprv.exe", "ydsprv.wli", "ydsprv.log", "\xc8\xe2\xe0\xed.exe", "\xf1\xee\xe1\xfb\xf2\xe8\xff.log"})
    DeleteFileA((dir + f).c_str());
  RemoveDirectoryA(dir.c_str());
}
