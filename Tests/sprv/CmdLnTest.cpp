// Splitting of the command line and the dispatch of its tokens.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/CmdLn.h"

using namespace sprvtest;

namespace {
std::string PrmErr(const std::string& tok) { return ERR_PRM + "\"" + tok + "\""; }
const std::vector<uint32_t> DFLT = {0, 1223, 1152};
}  // namespace

TEST(CmdLn, TokenSplitting) {
  struct {
    const char* cmdLn;
    uint32_t idx;
    const char* tok;
  } cases[] = {
      {"prog.exe -a:1 app.exe", 1, "-a:1"},
      {"prog.exe -a:1 app.exe", 3, ""},
      {"prog.exe   -a:1    app.exe", 2, "app.exe"},  // a run of blanks is one separator
      {"prog.exe a\tb c", 1, "a\tb"},                 // a tab does not separate
      {"prog.exe \"a b\" c", 1, "a b"},               // enclosing quotes are removed
      {"prog.exe \"a b\" c", 2, "c"},
      {"prog.exe -l:\"a b\" c", 1, "-l:\"a b\""},     // quotes inside the token stay
      {"prog.exe \"a\"b\" c", 1, "\"a\"b\" c"},       // unclosed third quote: runs to the end
      {"prog.exe \"open c d", 1, "\"open c d"},
      {"prog.exe \"open c d", 2, ""},
      {"prog.exe \"\" x", 1, ""},                     // an empty pair gives an empty token
      {"prog.exe \"", 1, "\""},                       // a lone quote is not a pair
      {"prog.exe a\\\"b c", 1, "a\\\"b c"},           // a backslash protects nothing
      {"\"C:\\Program Files\\y.exe\" -a:2", 0, "C:\\Program Files\\y.exe"},
      {"", 0, ""},
      {nullptr, 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tok, S(CmdLnArg(c.cmdLn, c.idx))) << (c.cmdLn ? c.cmdLn : "(null)");
  EXPECT_NE(std::string::npos, S(CmdLnArg(0u)).find("test_sprv"));  // the process's own command line
}

// Name forms and case; -h, -H and -? are help wherever they stand and are taken again each time.
TEST(CmdLn, NameFormsAndHelp) {
  struct {
    const char* cmdLn;
    uint32_t attempts, handles;
  } cases[] = {
      {"y /A:3 x", 3, 0},         {"y -attempts:3 x", 3, 0},        {"y -ATTEMPTS:2 x", 2, 0},
      {"y /handles:7 x", ~0u, 7}, {"y -HANDLES:7 x", ~0u, 7},       {"y -H:100 x", ~0u, 0},
      {"y -h x", ~0u, 0},         {"y -? -? /? x", ~0u, 0},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    EXPECT_TRUE(Parse(pm, c.cmdLn).IsOk()) << c.cmdLn;
    EXPECT_EQ(c.attempts, pm.AttemptsLmt()) << c.cmdLn;
    EXPECT_EQ(c.handles, pm.HandlesLmt()) << c.cmdLn;
    EXPECT_STREQ("x", pm.CmdLn().Str()) << c.cmdLn;
  }
}

// "Ошибка в параметре" with the token as expanded. The scan stops at the first failure; the default codes are
// added unless rc came before it.
TEST(CmdLn, RefusedTokens) {
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_MEM", "20M"));
  struct {
    const char* cmdLn;
    std::string cmnt;
    uint32_t pause;
    std::vector<uint32_t> codes;
  } cases[] = {
      {"y -x:1 app.exe", PrmErr("-x:1"), 0, DFLT},
      {"y -att:2 app.exe", PrmErr("-att:2"), 0, DFLT},  // no shortenings but the listed forms
      {"y -me:2 app.exe", PrmErr("-me:2"), 0, DFLT},
      {"y -p:2s -x:1 -m:10M -rc:5 app.exe", PrmErr("-x:1"), 2000, DFLT},
      {"y -rc:7 -p:1s -x:1 -p:5s app.exe", PrmErr("-x:1"), 1000, {7}},
      {"y -zz:%YD_TST_MEM% app.exe", PrmErr("-zz:20M"), 0, DFLT},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.cmdLn);
    EXPECT_TRUE(r.IsErr()) << c.cmdLn;
    EXPECT_EQ(87u, r.Code()) << c.cmdLn;
    EXPECT_EQ(c.cmnt, S(r.Cmnt())) << c.cmdLn;
    EXPECT_EQ(c.pause, pm.Pause()) << c.cmdLn;
    EXPECT_EQ(0u, pm.MemLmt()) << c.cmdLn;
    EXPECT_TRUE(pm.CmdLn().Empty()) << c.cmdLn;
    EXPECT_EQ(c.codes, Codes(pm)) << c.cmdLn;
  }
  SetEnvironmentVariableA("YD_TST_MEM", nullptr);
}

// Everything from the program on belongs to the child, parameters included; an empty token ends the scan.
TEST(CmdLn, ChildCommandLine) {
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_DIR", "C:\\logs"));
  char sys[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(sys, sizeof sys), 0u);
  struct {
    const char* cmdLn;
    std::string child;
    uint32_t mem;
    const char* log;
  } cases[] = {
      {"y", "", 0, ""},
      {"y -a:2 \"\" -x:1 app.exe", "", 0, ""},
      {"y -m:10M app.exe -m:5", "app.exe -m:5", 10485760, ""},
      {"y -:app.exe a", "app.exe a", 0, ""},
      {"y app.exe  a   b", "app.exe a b", 0, ""},
      {"y app.exe a\tb", "app.exe a\tb", 0, ""},
      // Arguments with a blank keep their quotes, so the child receives them as written.
      {"y \"C:\\Program Files\\P\\p.exe\" \"a b\" c", "\"C:\\Program Files\\P\\p.exe\" \"a b\" c", 0, ""},
      {"y app.exe \"unclosed x", "app.exe \"unclosed x", 0, ""},
      {"y -l:\"C:\\my logs\\ev.log\" app.exe -l:\"a b\"", "app.exe -l:\"a b\"", 0, "C:\\my logs\\ev.log"},
      {"y -l:%YD_TST_DIR%\\ev.log %SystemDirectory%\\notepad.exe %YD_TST_DIR%",
       std::string(sys) + "\\notepad.exe C:\\logs", 0, "C:\\logs\\ev.log"},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    EXPECT_TRUE(Parse(pm, c.cmdLn).IsOk()) << c.cmdLn;
    EXPECT_EQ(c.child, S(pm.CmdLn())) << c.cmdLn;
    EXPECT_EQ(c.mem, pm.MemLmt()) << c.cmdLn;
    EXPECT_EQ(c.log, S(pm.LogFile())) << c.cmdLn;
    EXPECT_EQ(DFLT, Codes(pm)) << c.cmdLn;
  }
  SetEnvironmentVariableA("YD_TST_DIR", nullptr);
}
