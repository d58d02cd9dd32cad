// Splitting of the command line and the dispatch of its tokens.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/CmdLn.h"

using namespace sprvtest;

TEST(CmdLn, TokenSplitting) {
  struct { const char* cmdLn; uint32_t idx; const char* tok; } cases[] = {
      {"prog.exe -a:1 app.exe", 1, "-a:1"}, {"prog.exe -a:1 app.exe", 3, ""},
      {"prog.exe   -a:1    app.exe", 2, "app.exe"},  // a run of blanks is one separator
      {"prog.exe a\tb c", 1, "a\tb"},                 // a tab does not separate
      {"prog.exe \"a b\" c", 1, "a b"}, {"prog.exe \"a b\" c", 2, "c"},  // enclosing quotes are removed
      {"prog.exe -l:\"a b\" c", 1, "-l:\"a b\""},     // quotes inside the token stay
      {"prog.exe \"a\"b\" c", 1, "\"a\"b\" c"},       // unclosed third quote: runs to the end
      {"prog.exe \"open c d", 1, "\"open c d"}, {"prog.exe \"open c d", 2, ""},
      {"prog.exe \"\" x", 1, ""},                     // an empty pair gives an empty token
      {"prog.exe \"", 1, "\""},                       // a lone quote is not a pair
      {"prog.exe a\\\"b c", 1, "a\\\"b c"},           // a backslash protects nothing
      {"\"C:\\Program Files\\y.exe\" -a:2", 0, "C:\\Program Files\\y.exe"}, {"", 0, ""}, {nullptr, 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tok, S(CmdLnArg(c.cmdLn, c.idx))) << (c.cmdLn ? c.cmdLn : "(null)");
  // An empty pair of quotes is a token; blanks after the last token are none.
  struct { const char* cmdLn; uint32_t idx; bool is; } there[] = {
      {"prog.exe \"\" x", 1, true}, {"prog.exe a \"\"", 2, true}, {"prog.exe a ", 2, false}, {"prog.exe a", 2, false},
      {"prog.exe", 0, true}, {"", 0, false},
  };
  for (const auto& c : there) {
    TStr tok("stale");
    EXPECT_EQ(c.is, CmdLnTok(c.cmdLn, c.idx, tok)) << c.cmdLn << " " << c.idx;
    EXPECT_EQ(S(CmdLnArg(c.cmdLn, c.idx)), S(tok)) << c.cmdLn << " " << c.idx;
  }
  EXPECT_NE(std::string::npos, S(CmdLnArg(0u)).find("test_sprv"));  // the process's own command line
}

// Everything from the program on belongs to the child, parameters included; an empty token ends the scan
// before the child's command line and is an argument ("") within it. The program's word goes in quotes only
// when it names a file as a whole; otherwise it is a command line of its own.
// A refused token: "Ошибка в параметре" with it as expanded; the scan stops there and the default codes are
// added unless rc came before it. rc: decimal or hexadecimal 32-bit codes, negative ones as their 32 bits.
TEST(CmdLn, ChildLineAndRefusedTokens) {
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_DIR", "C:\\logs"));
  char sys[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(sys, sizeof sys), 0u);
  yt::TTmpDir d;
  const std::string prog = d("p q.exe");  // a file with a blank in its name
  ASSERT_TRUE(yt::WriteAll(prog, "MZ"));
  struct {
    std::string cmdLn;
    const char* bad = nullptr;
    std::string child = "";
    uint32_t mem = 0, pause = 0;
    const char* log = "";
    std::vector<uint32_t> codes = DFLT;
  } cases[] = {
      {"y -x:1 app.exe", "-x:1"}, {"y -att:2 app.exe", "-att:2"}, {"y -me:2 app.exe", "-me:2"},  // no shortenings
      {"y -p:2s -x:1 -m:10M -rc:5 app.exe", "-x:1", "", 0, 2000}, {"y -rc:7 -p:1s -x:1 -p:5s app.exe", "-x:1", "", 0, 1000, "", {7}},
      {"y -zz:%YD_TST_DIR% app.exe", "-zz:C:\\logs"}, {"y"}, {"y -a:2 \"\" -x:1 app.exe"},
      {"y -rc: x", 0, "x", 0, 0, "", {}}, {"y -rc:5,5 x", 0, "x", 0, 0, "", {5, 5}},
      {"y -rc:0xC0000005,0x10 x", 0, "x", 0, 0, "", {0xC0000005u, 16}}, {"y -rc:\"1, 2 ,\t3\" x", 0, "x", 0, 0, "", {1, 2, 3}},
      {"y -rc:4294967295,-1 x", 0, "x", 0, 0, "", {~0u, ~0u}}, {"y -rc:-1073741819 x", 0, "x", 0, 0, "", {0xC0000005u}},
      {"y -m:10M app.exe -m:5", nullptr, "app.exe -m:5", 10485760}, {"y -:app.exe a", nullptr, "app.exe a"},
      {"y app.exe  a   b", nullptr, "app.exe a b"}, {"y app.exe a\tb", nullptr, "app.exe a\tb"},
      // Arguments with a blank keep their quotes, so the child receives them as written.
      {"y \"" + prog + "\" \"a b\" c", nullptr, "\"" + prog + "\" \"a b\" c"},
      {"y \"C:\\Program Files\\P\\p.exe\" \"a b\"", nullptr, "C:\\Program Files\\P\\p.exe \"a b\""},  // no such file
      {"y \"app.exe --port 80\"", nullptr, "app.exe --port 80"},
      {"y \"" + prog + " --port 80\"", nullptr, prog + " --port 80"},
      {"y \"" + d("p q") + "\" x", nullptr, "\"" + d("p q") + "\" x"},  // the system adds .exe to it
      {"y app.exe --name \"\" --port 80", nullptr, "app.exe --name \"\" --port 80"},
      {"y app.exe \"\"  \"\" \"\"", nullptr, "app.exe \"\" \"\" \"\""}, {"y -:app.exe \"\"", nullptr, "app.exe \"\""},
      {"y app.exe \"unclosed x", nullptr, "app.exe \"unclosed x"},
      {"y -l:\"C:\\my logs\\ev.log\" app.exe -l:\"a b\"", nullptr, "app.exe -l:\"a b\"", 0, 0, "C:\\my logs\\ev.log"},
      {"y -l:%YD_TST_DIR%\\ev.log %SystemDirectory%\\notepad.exe %YD_TST_DIR%", nullptr,
       std::string(sys) + "\\notepad.exe C:\\logs", 0, 0, "C:\\logs\\ev.log"},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.cmdLn);
    EXPECT_EQ(c.bad ? 87u : 0u, r.Code()) << c.cmdLn;
    EXPECT_EQ(c.bad ? ERR_PRM + "\"" + c.bad + "\"" : "", S(r.Cmnt())) << c.cmdLn;
    EXPECT_EQ(c.child, S(pm.CmdLn())) << c.cmdLn;
    EXPECT_EQ(c.mem, pm.MemLmt()) << c.cmdLn;
    EXPECT_EQ(c.pause, pm.Pause()) << c.cmdLn;
    EXPECT_EQ(c.log, S(pm.LogFile())) << c.cmdLn;
    EXPECT_EQ(c.codes, Codes(pm)) << c.cmdLn;
  }
  SetEnvironmentVariableA("YD_TST_DIR", nullptr);
}
