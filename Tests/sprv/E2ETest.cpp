// ydsprv.exe run as a process of its own; the 32-bit exit status is read here, on the Windows side.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProcessTestUtil.h"
#include "sprv/Entry.h"

using namespace sprvtest;

namespace {

const DWORD RUN_TMOUT_MS = 60000;   // a run of a few short children on a loaded machine
const DWORD BOX_TMOUT_MS = 30000;   // until the usage box shows up
const char* const CAPTION = "Ruriruriv";
// "Ошибка в параметре "
const std::string ERR_PRM = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";

std::string Sprv() { return std::string("\"") + YD_BIN_DIR "\\ydsprv.exe\""; }

struct TChild {
  PROCESS_INFORMATION pi = {};
  DWORD err = 0;
  ~TChild() {
    if (pi.hProcess) {
      if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
  }
  bool Start(const std::string& cmdLn, const std::string* env = nullptr) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::vector<char> buf(cmdLn.begin(), cmdLn.end());
    buf.push_back(0);
    if (CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0,
                       env ? const_cast<char*>(env->data()) : nullptr, nullptr, &si, &pi))
      return true;
    err = GetLastError();
    return false;
  }
  // The exit status, or 0xFFFFFFFF when the process is still running after ms.
  DWORD Wait(DWORD ms) {
    if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
};

DWORD RunSprv(const std::string& args, const std::string* env = nullptr) {
  TChild c;
  if (!c.Start(Sprv() + " " + args, env)) return 0xFFFFFFFE;
  return c.Wait(RUN_TMOUT_MS);
}

struct TFound {
  DWORD pid;
  HWND box;
};

BOOL CALLBACK FindBox(HWND w, LPARAM lp) {
  TFound* f = reinterpret_cast<TFound*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char t[64] = {};
  GetWindowTextA(w, t, sizeof t);
  if (pid == f->pid && strncmp(t, CAPTION, strlen(CAPTION)) == 0) {
    f->box = w;
    return FALSE;
  }
  return TRUE;
}

struct TCtl {
  const char* cls;
  HWND found;
  std::string txt;
};

BOOL CALLBACK FindCtl(HWND w, LPARAM lp) {
  TCtl* c = reinterpret_cast<TCtl*>(lp);
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, c->cls) != 0) return TRUE;
  LRESULT n = SendMessageA(w, WM_GETTEXTLENGTH, 0, 0);
  std::string t(static_cast<size_t>(n) + 1, '\0');
  SendMessageA(w, WM_GETTEXT, t.size(), reinterpret_cast<LPARAM>(&t[0]));
  t.resize(static_cast<size_t>(n));
  if (!t.empty() || !c->found) {
    c->found = w;
    c->txt = t;
  }
  return t.empty();
}

}  // namespace

TEST(E2E, ExpectedExitCodesGiveZero) {
  EXPECT_EQ(RunSprv(Child("ch_exit") + " 0"), 0u);
  EXPECT_EQ(RunSprv(Child("ch_exit") + " 1223"), 0u);
  EXPECT_EQ(RunSprv("-rc:0xC0000005 " + Child("ch_exit") + " 0xC0000005"), 0u);
}

TEST(E2E, AttemptsUsedUpGive800401F7) {
  std::string log = TmpFile("e2e_att");
  EXPECT_EQ(RunSprv("-a:2 -l:\"" + log + "\" " + Child("ch_exit") + " 5"), 0x800401F7u);
  std::vector<std::string> ev = EvtLines(log);
  std::vector<std::string> want = {START, std::string(EXITED) + "5", START, std::string(EXITED) + "5",
                                   std::string(ATTEMPTS) + "2/2."};
  EXPECT_EQ(ev, want);
  DeleteFileA(log.c_str());
}

TEST(E2E, EventLogOfARealRun) {
  std::string log = TmpFile("e2e_ev");
  EXPECT_EQ(RunSprv("-l:" + log + " -p:100ms " + Child("ch_exit") + " 0"), 0u);
  std::vector<std::string> ev = EvtLines(log);
  std::vector<std::string> want = {START, std::string(EXITED) + "0"};
  EXPECT_EQ(ev, want);
  DeleteFileA(log.c_str());
}

TEST(E2E, MissingProgramGivesItsCodeAndNoBox) {
  TChild c;
  ASSERT_TRUE(c.Start(Sprv() + " C:\\no\\such\\dir\\cl_missing.exe"));
  DWORD st = c.Wait(RUN_TMOUT_MS);  // a box would keep it open
  EXPECT_TRUE(st == ERROR_FILE_NOT_FOUND || st == ERROR_PATH_NOT_FOUND) << st;
}

TEST(E2E, ParameterErrorShowsUsageBox) {
  TChild c;
  ASSERT_TRUE(c.Start(Sprv() + " -x:1 " + Child("ch_exit") + " 0"));
  TFound f = {c.pi.dwProcessId, nullptr};
  for (DWORD t0 = GetTickCount(); !f.box && GetTickCount() - t0 < BOX_TMOUT_MS; Sleep(100))
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
  ASSERT_TRUE(f.box) << "no usage box";
  TCtl txt = {"Static", nullptr, ""};
  for (DWORD t0 = GetTickCount(); txt.txt.empty() && GetTickCount() - t0 < BOX_TMOUT_MS; Sleep(100))
    EnumChildWindows(f.box, FindCtl, reinterpret_cast<LPARAM>(&txt));
  EXPECT_EQ(txt.txt, ERR_PRM + "\"-x:1\"\r\n" + UsageHelp());
  // The box is still waiting: its countdown runs for hours.
  EXPECT_EQ(c.Wait(0), 0xFFFFFFFFu);
  TCtl btn = {"Button", nullptr, ""};
  EnumChildWindows(f.box, FindCtl, reinterpret_cast<LPARAM>(&btn));
  ASSERT_TRUE(btn.found);
  PostMessageA(btn.found, BM_CLICK, 0, 0);
  EXPECT_EQ(c.Wait(RUN_TMOUT_MS), 87u);
}

// Wine takes the display from the Unix environment, which a Windows parent cannot change for its child; so
// the run goes through the Unix env program, and cl_status reads the 32-bit status on the Windows side.
std::string RunSprvWithoutDisplay(const std::string& args) {
  std::string res = TmpFile("nodisp");
  std::string cmd = "Z:\\usr\\bin\\env -u DISPLAY wine " YD_BIN_DIR "\\children\\cl_status.exe " + res + " " +
                    YD_BIN_DIR "\\ydsprv.exe " + args;
  TChild c;
  if (!c.Start(cmd)) return "not started: " + std::to_string(c.err);
  std::string st;
  for (DWORD t0 = GetTickCount(); st.empty() && GetTickCount() - t0 < RUN_TMOUT_MS + 10000; Sleep(100))
    st = ReadFile(res);
  DeleteFileA(res.c_str());
  return st;
}

TEST(E2E, ParameterErrorWithoutDisplayDoesNotHang) {
  EXPECT_EQ(RunSprvWithoutDisplay(""), "87");
  EXPECT_EQ(RunSprvWithoutDisplay("-a:0 " + Child("ch_exit") + " 0"), "87");
}

TEST(E2E, ChildCommandLineBeyondTheSystemLimitIsALaunchError) {
  // The macros make the child's command line longer than the 32767 characters a process may have.
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_LONG", std::string(9000, 'x').c_str()));
  std::string log = TmpFile("e2e_long");
  DWORD st = RunSprv("-l:" + log + " " + Child("ch_exit") + " 0 %YD_TST_LONG% %YD_TST_LONG% %YD_TST_LONG% %YD_TST_LONG%");
  SetEnvironmentVariableA("YD_TST_LONG", nullptr);
  EXPECT_NE(st, 0u);
  EXPECT_NE(st, 1359u);
  EXPECT_LT(st, 0x10000u) << std::hex << st;  // a system error code (206 on Windows, 87 under Wine)
  std::vector<std::string> ev = EvtLines(log);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0], START);
  EXPECT_EQ(ev[1].rfind(START_ERR, 0), 0u) << ev[1];
  DeleteFileA(log.c_str());

  // Our own command line beyond the limit: the system refuses to start the program at all.
  TChild c;
  EXPECT_FALSE(c.Start(Sprv() + " " + Child("ch_exit") + " 0 " + std::string(40000, 'y')));
  EXPECT_NE(c.err, 0u);
}
