// The entry's own steps, run in this process: parameter check, usage text, outcome and exit status.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Log/Log.h"
#include "ProcessTestUtil.h"
#include "sprv/Entry.h"

namespace {

std::string S(const TStr& s) { return s.Str() ? s.Str() : ""; }

// "Параметры не заданы"
const std::string NO_PRMS = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0\xfb \xed\xe5 \xe7\xe0\xe4\xe0\xed\xfb";
// "Ошибка в параметре "
const std::string ERR_PRM = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";

int g_Shown = 0;
std::string g_Reason;
void Capture(const TStr& reason) {
  ++g_Shown;
  g_Reason = S(reason);
}

uint32_t Fnv1a(const std::string& s) {
  uint32_t h = 0x811c9dc5u;
  for (unsigned char c : s) h = (h ^ c) * 0x01000193u;
  return h;
}

}  // namespace

TEST(ChkPrms, MissingOrHelpFirstToken) {
  struct {
    const char* cmdLn;
    bool refused;
  } cases[] = {
      {"ydsprv.exe", true},          {"ydsprv.exe   ", true},     {"\"C:\\a b\\ydsprv.exe\"", true},
      {"ydsprv.exe -?", true},       {"ydsprv.exe /?", true},     {"ydsprv.exe /h", true},
      {"ydsprv.exe /H x", true},     {"ydsprv.exe \"/H\"", true}, {"ydsprv.exe -h", false},
      {"ydsprv.exe -H", false},      {"ydsprv.exe /help", false}, {"ydsprv.exe app.exe", false},
      {"ydsprv.exe app.exe -?", false},
  };
  for (const auto& c : cases) {
    TRes r = ChkPrms(c.cmdLn);
    if (c.refused) {
      EXPECT_EQ(r.Code(), 87u) << c.cmdLn;
      EXPECT_TRUE(r.IsErr()) << c.cmdLn;
      EXPECT_EQ(S(r.Cmnt()), NO_PRMS) << c.cmdLn;
    } else {
      EXPECT_EQ(r.Code(), 0u) << c.cmdLn;
      EXPECT_TRUE(S(r.Cmnt()).empty()) << c.cmdLn;
    }
  }
}

TEST(Usage, TextByteForByte) {
  std::string h = UsageHelp();
  EXPECT_EQ(h.size(), 1022u);
  EXPECT_EQ(Fnv1a(h), 0xbe36920bu);  // the whole text as the help defines it, in code page 1251
  EXPECT_EQ(h.substr(0, 9), "\xc7\xe0\xef\xf3\xf1\xea:\r\n");  // "Запуск:"
  // The l[og] line alone ends in a bare line feed; the text has no final line break.
  size_t lg = h.find("l[og] ");
  ASSERT_NE(lg, std::string::npos);
  size_t nl = h.find('\n', lg);
  EXPECT_NE(h[nl - 1], '\r');
  EXPECT_EQ(h[nl + 1], 'm');
  size_t bare = 0;
  for (size_t i = 0; i < h.size(); ++i)
    if (h[i] == '\n' && (i == 0 || h[i - 1] != '\r')) ++bare;
  EXPECT_EQ(bare, 1u);
  EXPECT_NE(h.back(), '\n');
  EXPECT_NE(h.find("ydsprv.exe \"C:\\Program Files\\Program\\program.exe\"\r\n"), std::string::npos);
  EXPECT_NE(h.find("ydsprv.exe -m:10M -p:15s -s:1m -r:1h \"%ProgramFiles%\\Program\\program.exe\"\r\n"),
            std::string::npos);

  EXPECT_EQ(S(UsageTxt(TStr())), h);
  EXPECT_EQ(S(UsageTxt(TStr("why"))), "why\r\n" + h);
}

TEST(RunEntry, ParameterErrorsShowUsageWithReason) {
  struct {
    const char* cmdLn;
    std::string reason;
  } cases[] = {
      {"ydsprv.exe", NO_PRMS},
      {"ydsprv.exe /?", NO_PRMS},
      {"ydsprv.exe -x:1 app.exe", ERR_PRM + "\"-x:1\""},
  };
  for (const auto& c : cases) {
    g_Shown = 0;
    TRes out;
    EXPECT_EQ(RunEntry(c.cmdLn, Capture, &out), 87u) << c.cmdLn;
    EXPECT_EQ(g_Shown, 1) << c.cmdLn;
    EXPECT_EQ(g_Reason, c.reason) << c.cmdLn;
    EXPECT_EQ(S(out.Cmnt()), c.reason) << c.cmdLn;
  }
}

TEST(RunEntry, LaunchFailureGivesItsCodeWithoutBox) {
  g_Shown = 0;
  TRes out;
  uint32_t st = RunEntry("ydsprv.exe C:\\no\\such\\cl_missing.exe", Capture, &out);
  EXPECT_TRUE(st == 2u || st == 3u) << st;  // file or path not found
  EXPECT_EQ(g_Shown, 0);
  EXPECT_TRUE(out.IsErr());
}

TEST(ChkPrms, TraceLineIsWrittenLiterally) {
  std::string file = sprvtest::TmpFile("a_a");
  TLog& l = Log();
  l.Lock(LOG_WAIT_WRITE);
  l.Prms().SetDflts();
  l.Flush();
  l.Prms().SetTmFrmt("");
  l.Prms().SetPidOn(false);
  l.Prms().SetTidOn(false);
  l.Prms().AddTp("A_A", "");
  l.SetCurFileNm(file.c_str());
  l.Unlock();

  ChkPrms("ydsprv.exe /? %s%n%d");
  ChkPrms("ydsprv.exe app.exe 100%");

  l.Lock(LOG_WAIT_WRITE);
  l.Flush();
  l.Prms().SetDflts();
  l.SetCurFileNm("");
  l.Unlock();
  std::string all = sprvtest::ReadFile(file);
  DeleteFileA(file.c_str());
  EXPECT_NE(all.find("ChkPrms(\"ydsprv.exe /? %s%n%d\") returned (cmnt=\"" + NO_PRMS + "\")"), std::string::npos)
      << all;
  EXPECT_NE(all.find("ChkPrms(\"ydsprv.exe app.exe 100%\") returned (cmnt=\"\")"), std::string::npos) << all;
}

TEST(RunEntry, LaunchRefusedByTheSystemShowsNoUsage) {
  // A child command line beyond the system's limit: the launch fails (87 under Wine, 206 on Windows),
  // which is no parameter error.
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_LONG", std::string(9000, 'x').c_str()));
  g_Shown = 0;
  TRes out;
  uint32_t st = RunEntry("ydsprv.exe cl_none.exe %YD_TST_LONG% %YD_TST_LONG% %YD_TST_LONG% %YD_TST_LONG%", Capture, &out);
  SetEnvironmentVariableA("YD_TST_LONG", nullptr);
  EXPECT_NE(st, 0u);
  EXPECT_TRUE(out.IsErr());
  EXPECT_EQ(g_Shown, 0);
}
