// Splitting of the command line and the dispatch of its tokens, through TCmdLnToPmPrsr::Prs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sprv/CmdLn.h"
#include "sprv/ProcessMngr.h"

namespace {

// "Ошибка в параметре "
const std::string ERR_PRM = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";
// "Параметр задан повторно"
const std::string MSG_REPEATED = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";
// "Недопустимое число попыток перезапуска"
const std::string MSG_ATTEMPTS =
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xf7\xe8\xf1\xeb\xee \xef\xee\xef\xfb\xf2\xee\xea "
    "\xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xe0";

std::string S(const TStr& s) { return s.Str() ? s.Str() : ""; }

std::string PrmErr(const std::string& tok) { return ERR_PRM + "\"" + tok + "\""; }

std::vector<uint32_t> Codes(const TProcessMngr& pm) {
  std::vector<uint32_t> v;
  for (TQueueCIter<uint32_t> it(pm.RetCodes()); !it.End(); it.Next()) v.push_back(*it.Cur());
  return v;
}

TRes Parse(TProcessMngr& pm, const char* cmdLn) {
  TCmdLnToPmPrsr p(&pm);
  return p.Prs(cmdLn);
}

const std::vector<uint32_t> DFLT_CODES = {0, 1223, 1152};

}  // namespace

TEST(CmdLnArg, SplitsOnBlanksOutsideQuotes) {
  struct {
    const char* cmdLn;
    uint32_t idx;
    const char* tok;
  } cases[] = {
      {"prog.exe -a:1 app.exe", 0, "prog.exe"},
      {"prog.exe -a:1 app.exe", 1, "-a:1"},
      {"prog.exe -a:1 app.exe", 2, "app.exe"},
      {"prog.exe -a:1 app.exe", 3, ""},
      {"prog.exe   -a:1    app.exe", 2, "app.exe"},       // a run of blanks is one separator
      {"prog.exe a\tb c", 1, "a\tb"},                      // a tab does not separate
      {"prog.exe \"a b\" c", 1, "a b"},                    // enclosing quotes are removed
      {"prog.exe \"a b\" c", 2, "c"},
      {"prog.exe -l:\"a b\" c", 1, "-l:\"a b\""},          // quotes inside the token stay
      {"prog.exe \"a\"b\" c", 1, "\"a\"b\" c"},            // unclosed third quote: runs to the end
      {"prog.exe \"open c d", 1, "\"open c d"},            // unclosed quote takes the rest
      {"prog.exe \"open c d", 2, ""},
      {"prog.exe \"\" x", 1, ""},                          // an empty pair gives an empty token
      {"prog.exe \"", 1, "\""},                            // a lone quote is not a pair
      {"prog.exe a\\\"b c", 1, "a\\\"b c"},                // a backslash protects nothing
      {"\"C:\\Program Files\\y.exe\" -a:2", 0, "C:\\Program Files\\y.exe"},
      {"prog.exe   ", 1, ""},
      {"", 0, ""},
      {nullptr, 0, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(S(CmdLnArg(c.cmdLn, c.idx)), c.tok)
        << (c.cmdLn ? c.cmdLn : "(null)") << " #" << c.idx;
}

TEST(CmdLnArg, OwnCommandLineTokenZeroIsProgram) {
  std::string t0 = S(CmdLnArg(0u));
  EXPECT_NE(t0.find("test_sprv"), std::string::npos) << t0;
}

TEST(CmdLnPrs, FillsSettingsAndChildCommandLine) {
  TProcessMngr pm;
  TRes r = Parse(pm, "ydsprv.exe -m:10M -p:15s app.exe -m:5");
  ASSERT_TRUE(r.IsOk()) << r.Cmnt().Str();
  EXPECT_EQ(r.Code(), 0u);
  EXPECT_STREQ(pm.CmdLn().Str(), "app.exe -m:5");  // parameters after the program belong to the child
  EXPECT_EQ(pm.MemLmt(), 10485760u);
  EXPECT_EQ(pm.Pause(), 15000u);
  EXPECT_EQ(Codes(pm), DFLT_CODES);
}

TEST(CmdLnPrs, NameFormsAndPrefixes) {
  struct {
    const char* cmdLn;
    uint32_t attempts;
    uint32_t handles;
  } cases[] = {
      {"y /A:3 x", 3, 0},          {"y -attempts:3 x", 3, 0}, {"y -Attempts:2 x", 2, 0},
      {"y -ATTEMPTS:2 x", 2, 0},   {"y -a:3 x", 3, 0},        {"y /handles:7 x", 0xFFFFFFFF, 7},
      {"y -HANDLES:7 x", 0xFFFFFFFF, 7},
      {"y -H:100 x", 0xFFFFFFFF, 0},  // help, not the handles limit
      {"y -h x", 0xFFFFFFFF, 0},      {"y -? -? x", 0xFFFFFFFF, 0},  // help is taken again each time
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.cmdLn);
    EXPECT_TRUE(r.IsOk()) << c.cmdLn << ": " << r.Cmnt().Str();
    EXPECT_EQ(pm.AttemptsLmt(), c.attempts) << c.cmdLn;
    EXPECT_EQ(pm.HandlesLmt(), c.handles) << c.cmdLn;
    EXPECT_STREQ(pm.CmdLn().Str(), "x") << c.cmdLn;
  }
}

TEST(CmdLnPrs, RefusedTokensAndConcatenatedMessages) {
  struct {
    const char* cmdLn;
    std::string cmnt;
  } cases[] = {
      {"y -x:1 app.exe", PrmErr("-x:1")},
      {"y -att:2 app.exe", PrmErr("-att:2")},  // shortenings other than the listed forms
      {"y -me:2 app.exe", PrmErr("-me:2")},
      {"y -a:0 app.exe", MSG_ATTEMPTS + PrmErr("-a:0")},
      {"y -a:3 -a:4 app.exe", MSG_REPEATED + PrmErr("-a:4")},
      {"y /A:3 -attempts:4 app.exe", MSG_REPEATED + PrmErr("-attempts:4")},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.cmdLn);
    EXPECT_TRUE(r.IsErr()) << c.cmdLn;
    EXPECT_EQ(r.Code(), 87u) << c.cmdLn;
    EXPECT_EQ(S(r.Cmnt()), c.cmnt) << c.cmdLn;
    EXPECT_TRUE(pm.CmdLn().Empty()) << c.cmdLn;
  }
}

TEST(CmdLnPrs, ScanStopsAtFirstFailureAndDefaultsStillAdded) {
  TProcessMngr pm;
  TRes r = Parse(pm, "y -p:2s -x:1 -m:10M -rc:5 app.exe");
  EXPECT_EQ(r.Code(), 87u);
  EXPECT_EQ(S(r.Cmnt()), PrmErr("-x:1"));
  EXPECT_EQ(pm.Pause(), 2000u);  // set before the failing token
  EXPECT_EQ(pm.MemLmt(), 0u);    // after it: not read
  EXPECT_TRUE(pm.CmdLn().Empty());
  EXPECT_EQ(Codes(pm), DFLT_CODES);

  TProcessMngr pm2;
  r = Parse(pm2, "y -rc:7 -a:0 app.exe");
  EXPECT_EQ(r.Code(), 87u);
  EXPECT_EQ(Codes(pm2), std::vector<uint32_t>{7});  // rc given before the failure: no defaults
}

TEST(CmdLnPrs, EmptyCommandLineAndEmptyToken) {
  TProcessMngr pm;
  EXPECT_TRUE(Parse(pm, "y").IsOk());
  EXPECT_TRUE(pm.CmdLn().Empty());
  EXPECT_EQ(Codes(pm), DFLT_CODES);

  TProcessMngr pm2;  // an empty pair of quotes ends the scan
  EXPECT_TRUE(Parse(pm2, "y -a:2 \"\" -x:1 app.exe").IsOk());
  EXPECT_EQ(pm2.AttemptsLmt(), 2u);
  EXPECT_TRUE(pm2.CmdLn().Empty());
}

TEST(CmdLnPrs, ChildCommandLineForms) {
  struct {
    const char* cmdLn;
    const char* child;
  } cases[] = {
      {"y -:app.exe a", "app.exe a"},
      {"y app.exe  a   b", "app.exe a b"},
      {"y app.exe a\tb", "app.exe a\tb"},
      // Arguments with a blank keep their quotes, so the child receives them as written.
      {"y \"C:\\Program Files\\P\\p.exe\" \"a b\" c", "\"C:\\Program Files\\P\\p.exe\" \"a b\" c"},
      {"y app.exe -l:\"a b\"", "app.exe -l:\"a b\""},
      {"y app.exe \"unclosed x", "app.exe \"unclosed x"},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.cmdLn);
    EXPECT_TRUE(r.IsOk()) << c.cmdLn;
    EXPECT_STREQ(pm.CmdLn().Str(), c.child) << c.cmdLn;
  }
}

TEST(CmdLnPrs, QuotedLogValue) {
  TProcessMngr pm;
  ASSERT_TRUE(Parse(pm, "y -l:\"C:\\my logs\\ev.log\" app.exe").IsOk());
  EXPECT_STREQ(pm.LogFile().Str(), "C:\\my logs\\ev.log");
}

TEST(CmdLnPrs, MacrosExpandedBeforeParsing) {
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_DIR", "C:\\logs"));
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_MEM", "20M"));
  char sys[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(sys, sizeof sys), 0u);
  TProcessMngr pm;
  TRes r = Parse(pm, "y -l:%YD_TST_DIR%\\ev.log -m:%YD_TST_MEM% %SystemDirectory%\\notepad.exe %YD_TST_DIR%");
  ASSERT_TRUE(r.IsOk()) << r.Cmnt().Str();
  EXPECT_STREQ(pm.LogFile().Str(), "C:\\logs\\ev.log");
  EXPECT_EQ(pm.MemLmt(), 20u << 20);
  EXPECT_EQ(std::string(pm.CmdLn().Str()), std::string(sys) + "\\notepad.exe C:\\logs");

  TProcessMngr pm2;  // the refused token is quoted as expanded
  r = Parse(pm2, "y -zz:%YD_TST_MEM% app.exe");
  EXPECT_EQ(S(r.Cmnt()), PrmErr("-zz:20M"));
  SetEnvironmentVariableA("YD_TST_DIR", nullptr);
  SetEnvironmentVariableA("YD_TST_MEM", nullptr);
}

TEST(CmdLnPrs, BaseParsers) {
  TCmdLnPrsrA a;
  EXPECT_EQ(a.Prs().Code(), 50u);
  TCmdLnPrmPrsr p;
  TRes r = p.Prs(TStr("a"), TStr("1"));
  EXPECT_EQ(r.Code(), 1359u);
  EXPECT_TRUE(r.IsErr());
  EXPECT_FALSE(p.IsGvn());
}
