// The entry, and ydsprv.exe as a process of its own (its 32-bit status read here, on the Windows side).
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/Entry.h"

namespace {
const DWORD RUN_TMOUT_MS = 60000;  // a run of a few short children on a loaded machine; a crash dialog stays
const std::string NO_PRMS = Cp1251("Параметры не заданы");
const std::string SPRV_PATH = yt::BinDir() + "\\ydsprv.exe", SPRV = "\"" + SPRV_PATH + "\"";

DWORD RunSprv(const std::string& args, const std::string& sprv = SPRV) {
  yt::TProc c;
  return c.Start(sprv + " " + args) ? c.Wait(RUN_TMOUT_MS) : 0xFFFFFFFE;
}
}  // namespace
// Argument 1 missing or a help request: 87 "Параметры не заданы" and the usage box.
TEST(Entry, MissingOrHelpFirstToken) {
  struct { const char* cmdLn; bool refused; } cases[] = {
      {"ydsprv.exe", true}, {"ydsprv.exe   ", true}, {"\"C:\\a b\\ydsprv.exe\"", true}, {"ydsprv.exe -?", true},
      {"ydsprv.exe /h", true}, {"ydsprv.exe /H x", true}, {"ydsprv.exe /? %s%n%d", true}, {"ydsprv.exe \"/H\"", true},
      {"ydsprv.exe -h", false}, {"ydsprv.exe /help", false}, {"ydsprv.exe app.exe -?", false},
      {"ydsprv.exe app.exe 100%", false}};
  for (const auto& c : cases) {
    TRes r = ChkPrms(c.cmdLn);
    EXPECT_TRUE(r.Code() == (c.refused ? 87u : 0u) && S(r.Cmnt()) == (c.refused ? NO_PRMS : "")) << c.cmdLn;
  }
  static TLines shown;
  auto show = [](const TStr& reason) { shown.push_back(S(reason)); };
  EXPECT_TRUE(RunEntry("ydsprv.exe /?", show) == 87 && RunEntry("ydsprv.exe -x:1 app.exe", show) == 87);
  EXPECT_EQ((TLines{NO_PRMS, ERR_PRM + "\"-x:1\""}), shown);
}
// A program path with a blank keeps its quotes, so p.exe (which the system would try first) is not started. A crash
// is an exit code like any other (Wine's crash dialog is off for the tests). A command line longer than a process may
// have, or a program not there: a launch error (206 on Windows, 87 under Wine), and no usage box.
TEST(Entry, ExitStatusAndEventLog) {
  yt::TTmpDir d;
  const std::string spaced = d("p q.exe"), x = " %YD_TST_LONG%";
  ASSERT_TRUE(CopyFileA(ChildPath("ch_app").c_str(), spaced.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(ChildPath("ch_exit").c_str(), d("p.exe").c_str(), FALSE));
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_LONG", std::string(9000, 'x').c_str()));
  ASSERT_TRUE(SetEnvironmentVariableA("YD_APP_ARGS", d("args.txt").c_str()));
  struct { std::string args; DWORD st; TLines evts; } rows[] = {
      {"\"" + spaced + "\" --port 80", 0, {START, EXITED + "0"}},
      {"-rc:0xC0000005 " + Child("crash"), 0, {START, EXITED + "3221225477"}},
      {Child("0") + x + x + x + x, yt::OnWine() ? 87u : 206u, {START, "<error>"}},
      {"C:\\no\\such\\dir\\cl_missing.exe", ERROR_PATH_NOT_FOUND, {START, "<error>"}}};
  for (const auto& row : rows) {  // only the first child writes the arguments it got
    const std::string what = row.args.substr(0, 60), log = d(std::to_string(&row - rows) + ".log");
    const DWORD st = RunSprv("-l:\"" + log + "\" " + row.args);
    EXPECT_TRUE(st == row.st || (row.st == ERROR_PATH_NOT_FOUND && st == ERROR_FILE_NOT_FOUND)) << st << " " << what;
    TLines ev = EvtLines(log);
    if (ev.size() == 2 && ev[1].rfind(START_ERR, 0) == 0) ev[1] = "<error>";
    EXPECT_EQ(row.evts, ev) << what;
  }
  EXPECT_EQ("\"" + spaced + "\" --port 80\r\n", yt::ReadAll(d("args.txt")));
  SetEnvironmentVariableA("YD_TST_LONG", nullptr);
  SetEnvironmentVariableA("YD_APP_ARGS", nullptr);
}
// Under the test display: the box shows the reason and the usage, waits, and its button ends the run with 87.
TEST(Entry, ParameterErrorShowsUsageBox) {
  YT_NEEDS_DESKTOP();
  YT_NEEDS_CP1251();  // the box's text is read back in ANSI and compared with the cp1251 bytes
  yt::TProc c;
  HWND box = nullptr;
  char txt[4096] = {};
  ASSERT_TRUE(c.Start(SPRV + " -x:1 " + Child("0")));
  yt::WaitFor([&] {  // a dialog of that process, once it has its text: the static control 0xFFFF, as under Wine
    DWORD pid = 0;
    for (HWND w = nullptr; !box && (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;)
      box = GetWindowThreadProcessId(w, &pid) && pid == c.pi.dwProcessId ? w : nullptr;
    return box && GetDlgItemTextA(box, 0xFFFF, txt, sizeof txt) > 0;
  }, 30000);
  ASSERT_TRUE(box && *txt) << "no usage box";
  EXPECT_EQ(ERR_PRM + "\"-x:1\"\r\n" + UsageHelp(), txt);
  EXPECT_EQ(0xFFFFFFFFu, c.Wait(0));  // its countdown runs for hours
  PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0, 0);
  EXPECT_EQ(87u, c.Wait(RUN_TMOUT_MS));
}
// Wine takes the display from the Unix environment: the run goes through the Unix env program, cl_run reads the
// status on the Windows side (on Windows: a station without WSF_VISIBLE).
TEST(Entry, ParameterErrorWithoutDisplayDoesNotHang) {
  if (!yt::OnWine()) GTEST_SKIP() << "Wine only: a run without a display is made through Wine's Unix side";
  yt::TTmpDir d;
  yt::TProc c;
  ASSERT_TRUE(yt::WriteAll(d("cmd.txt"), SPRV));  // with a parameter error: the user's guide's examples
  ASSERT_TRUE(c.Start("Z:\\usr\\bin\\env -u DISPLAY wine \"" + ChildPath("cl_run") + "\" \"" + d("cmd.txt") + "\" \"" +
                      d("st.txt") + "\""));
  EXPECT_TRUE(yt::WaitFor([&] { return yt::Exists(d("st.txt")); }, RUN_TMOUT_MS + 10000));
  EXPECT_EQ("87", yt::ReadAll(d("st.txt")));
}
// Cyrillic names throughout, ydsprv.exe's own included (Wine maps them only with a glibc ru_RU.UTF-8 locale).
TEST(Entry, CyrillicPaths) {
  YT_NEEDS_CP1251();  // the names go through the ANSI calls
  yt::TTmpDir d;
  const std::string dir = d(Cp1251("Программы\\")), ivan = Cp1251("Иван.exe"), log = Cp1251("события.log");
  const std::string hello = Cp1251(" Привет");
  const std::string args = "-l:" + dir + log + " " + dir + ivan + hello;
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  ASSERT_TRUE(CopyFileA(ChildPath("ch_app").c_str(), (dir + ivan).c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(SPRV_PATH.c_str(), (dir + "ydsprv.exe").c_str(), FALSE));
  ASSERT_TRUE(yt::WriteAll(dir + "ydsprv.wli", "[Evts]\r\nA_A=\r\nSP.=\r\n"));
  ASSERT_TRUE(SetEnvironmentVariableA("YD_APP_ARGS", d("args.txt").c_str()));
  EXPECT_EQ(0u, RunSprv(args, "\"" + dir + "ydsprv.exe\""));
  SetEnvironmentVariableA("YD_APP_ARGS", nullptr);
  EXPECT_EQ(dir + ivan + hello + "\r\n", yt::ReadAll(d("args.txt")));
  EXPECT_EQ((TLines{START, EXITED + "0"}), EvtLines(dir + log));
  const std::string tr = yt::ReadAll(dir + "ydsprv.log");  // lines "<type> <stamp> Pid=.. Tid=.. <text>"
  EXPECT_NE(tr.npos, tr.find("ChkPrms(\"\"" + dir + "ydsprv.exe\" " + args + "\")")) << tr;
  EXPECT_NE(tr.npos, tr.find("WTProcess::Crt(cmdln='" + dir + ivan + hello)) << tr;
  for (const std::string& f : TLines{"ydsprv.exe", "ydsprv.wli", "ydsprv.log", ivan, log})
    DeleteFileA((dir + f).c_str());
  RemoveDirectoryA(dir.c_str());
}
// Resource type 24 (RT_MANIFEST), id 1: the manifest the loader reads for a program. Paths go through MAX_PATH
// buffers and a UTF-8 code page would garble the code page 1251 texts: it asks for neither.
TEST(Resource, ManifestIsWellFormedAndAsksForNothingMore) {
  HMODULE h = LoadLibraryExA(SPRV_PATH.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(h) << GetLastError();
  HRSRC r = FindResourceA(h, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  const char* p = r ? static_cast<const char*>(LockResource(LoadResource(h, r))) : nullptr;
  const std::string m = p ? std::string(p, SizeofResource(h, r)) : "<none>";
  FreeLibrary(h);
  ASSERT_EQ(0, m.compare(0, 19, "<?xml version=\"1.0\"")) << m.substr(0, 80);
  auto count = [&](const std::string& part, size_t n = 0) {
    for (size_t at = m.find(part); at != m.npos; at = m.find(part, at + 1)) ++n;
    return n;
  };
  // One root, closed at the end: a manifest the loader refuses stops the program on Windows.
  EXPECT_TRUE(count("<assembly ") == 1 && count("</assembly>") == 1) << m;
  EXPECT_EQ(m.find("</assembly>") + 11, m.find_last_not_of(std::string(" \t\r\n\0", 5)) + 1) << m;
  EXPECT_EQ(1u, count("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
  EXPECT_EQ(1u, count(std::string("version=\"") + YD_VERSION + ".0\""));
  EXPECT_EQ(4u, count("<supportedOS Id=\"{"));  // Windows 7, 8, 8.1 and 10/11
  EXPECT_EQ(1u, count(">true</dpiAware>"));
  for (const char* never : {"longPathAware", "activeCodePage", "requireAdministrator", "highestAvailable"})
    EXPECT_EQ(0u, count(never)) << never;
}
TEST(Resource, HeaderFlagsForRemoteDesktopAndAddressLayout) {
  const std::string img = yt::ReadAll(SPRV_PATH);
  const bool dos = img.size() > sizeof(IMAGE_DOS_HEADER);
  const size_t at = dos ? reinterpret_cast<const IMAGE_DOS_HEADER*>(img.data())->e_lfanew : img.size();
  ASSERT_LT(at + sizeof(IMAGE_NT_HEADERS64), img.size());
  const IMAGE_NT_HEADERS64* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(img.data() + at);
  const WORD want = IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE | IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                    IMAGE_DLLCHARACTERISTICS_NX_COMPAT | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA;
  EXPECT_TRUE(nt->Signature == IMAGE_NT_SIGNATURE && nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI);
  EXPECT_EQ(want, nt->OptionalHeader.DllCharacteristics & want) << std::hex << nt->OptionalHeader.DllCharacteristics;
}
