// The command line: splitting, the child's line, refused tokens, the limits of values, and random lines.
#include <gtest/gtest.h>
#include <random>
#include "ProcessTestUtil.h"
#include "sprv/CmdLn.h"
#include "ydgen.h"

// Blanks outside quotes separate; enclosing quotes go; an unclosed one runs to the end; a backslash protects nothing.
// From the program on all is the child's; an empty token ends the scan before it and is an argument ("") within it;
// the program's word keeps its quotes only when it names a file. A refused token (as expanded; values beyond 32 bits
// too) ends the scan with "Ошибка в параметре"; the default codes come unless rc came first.
TEST(CmdLn, ChildLineAndRefusedTokens) {
  char sys[MAX_PATH] = {};
  yt::TTmpDir d;
  const std::string prog = d("p q.exe"), qprog = "\"" + prog + "\"";
  ASSERT_TRUE(SetEnvironmentVariableA("YD_TST_DIR", "C:\\logs") && GetSystemDirectoryA(sys, sizeof sys));
  ASSERT_TRUE(yt::WriteAll(prog, "MZ"));
  struct { std::string cmdLn; const char* bad = nullptr; std::string child = ""; uint32_t mem = 0, pause = 0;
           const char* log = ""; std::vector<uint32_t> codes = DFLT; } cases[] = {
      {"y -x:1 app.exe", "-x:1"}, {"y -att:2 app.exe", "-att:2"}, {"y -zz:%YD_TST_DIR% app.exe", "-zz:C:\\logs"},
      {"y -rc:7 -p:1s -x:1 -p:5s app.exe", "-x:1", "", 0, 1000, "", {7}}, {"y"}, {"y -a:2 \"\" -x:1 app.exe"},
      {"y -p:1 -p:2 x", "-p:2", "", 0, 1}, {"y -m:4G x", "-m:4G"}, {"y -m:4096M x", "-m:4096M"},
      {"y -a:2147483648 x", "-a:2147483648"}, {"y -p:4294968s x", "-p:4294968s"}, {"y -p:1194h x", "-p:1194h"},
      {"y -time:4294968 x", "-time:4294968"}, {"y -rc:0x100000000 x", "-rc:0x100000000"},
      {"y -m:4095M -p:1193h x", nullptr, "x", 4293918720u, 4294800000u},
      {"y -p:3\xec\xe8\xed x", nullptr, "x", 0, 180000},  // мин
      {"y -rc: x", 0, "x", 0, 0, "", {}}, {"y -rc:\"0xC0000005, -1 ,5\" x", 0, "x", 0, 0, "", {0xC0000005u, ~0u, 5}},
      {"y -m:10M app.exe -m:5", nullptr, "app.exe -m:5", 10485760}, {"y -:app.exe a", nullptr, "app.exe a"},
      {"y app.exe  a   b", nullptr, "app.exe a b"}, {"y " + qprog + " \"a b\" c", nullptr, qprog + " \"a b\" c"},
      {"y \"C:\\Program Files\\P\\p.exe\" \"a b\"", nullptr, "C:\\Program Files\\P\\p.exe \"a b\""},  // no such file
      {"y \"app.exe --port 80\"", nullptr, "app.exe --port 80"}, {"y \"" + prog + " a\"", nullptr, prog + " a"},
      {"y \"" + d("p q") + "\" x", nullptr, "\"" + d("p q") + "\" x"},  // the system adds .exe to it
      {"y app.exe \"\"  \"\" --port", nullptr, "app.exe \"\" \"\" --port"},
      {"y app.exe \"unclosed x", nullptr, "app.exe \"unclosed x"}, {"y a.exe b\tc", nullptr, "a.exe b\tc"},
      {"y a.exe \"b\"c\" d", nullptr, "a.exe \"b\"c\" d"}, {"y a.exe b\\\"c d", nullptr, "a.exe b\\\"c d"},
      {"y -l:\"C:\\my logs\\ev.log\" app.exe -l:\"a b\"", nullptr, "app.exe -l:\"a b\"", 0, 0, "C:\\my logs\\ev.log"},
      {"y -l:%YD_TST_DIR%\\ev.log %SystemDirectory%\\notepad.exe %YD_TST_DIR%", nullptr,
       std::string(sys) + "\\notepad.exe C:\\logs", 0, 0, "C:\\logs\\ev.log"}};
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = TCmdLnToPmPrsr(&pm).Prs(c.cmdLn.c_str());
    const std::string cmnt = S(r.Cmnt()), tail = c.bad ? ERR_PRM + "\"" + c.bad + "\"" : "";
    const bool tailOk = cmnt.size() >= tail.size() && cmnt.compare(cmnt.size() - tail.size(), tail.size(), tail) == 0;
    EXPECT_TRUE(r.Code() == (c.bad ? 87u : 0u) && tailOk) << c.cmdLn << ": " << cmnt;
    EXPECT_TRUE(c.child == S(pm.CmdLn()) && c.mem == pm.MemLmt() && c.pause == pm.Pause()) << c.cmdLn;
    EXPECT_EQ(c.log, S(pm.LogFile())) << c.cmdLn;
    std::vector<uint32_t> codes;
    for (TQueueCIter<uint32_t> it(pm.RetCodes()); !it.End(); it.Next()) codes.push_back(*it.Cur());
    EXPECT_EQ(c.codes, codes) << c.cmdLn;
  }
  SetEnvironmentVariableA("YD_TST_DIR", nullptr);
}
// Seeded random command lines through the parser: each ends in success or in code 87 with a message.
TEST(CmdLnFuzz, RandomLinesEndInSuccessOr87) {
  static const char* const PIECES[] = {
      "-", "/", ":", "\"", " ", "  ", "\t", ",", "%", "%PATH%", "%SystemDirectory%", "%StartPath%", "%NOPE%", "a",
      "A", "attempts", "g", "gdi", "h", "H", "?", "handles", "hung", "l", "log", "m", "mem", "memory", "p", "pause",
      "s", "stop", "rc", "r", "run", "time", "x", "0", "1", "5", "15", "-1", "4294967296", "99999999999", "0x",
      "0xC0000005", "k", "K", "M", "mb", "G", "ms", "min", "\xec\xf1", "\xf7", "\xec\xe8\xed", "\xf1", "\xc7\xe0",
      ".", "\\", "app.exe", "\xff", "\x01"};
  std::mt19937 rnd(20261206);
  int refused = 0;
  for (int i = 0; i < 10000; ++i) {
    std::string ln = "ydsprv.exe";
    for (int t = 0, toks = 1 + rnd() % 6; t < toks; ++t) {
      ln += (rnd() % 4) ? ((rnd() % 2) ? " -" : " /") : " ";  // mostly named parameters, so the scan goes on
      for (int n = 1 + rnd() % 6; n > 0; --n) ln += PIECES[rnd() % (sizeof PIECES / sizeof PIECES[0])];
    }
    TProcessMngr pm;
    TRes r = TCmdLnToPmPrsr(&pm).Prs(ln.c_str());
    refused += r.Code() != 0;
    const bool refusal = r.IsErr() && r.Code() == 87 && S(r.Cmnt()).find(ERR_PRM) != std::string::npos;
    ASSERT_TRUE(r.Code() == 0 ? !r.IsErr() : refusal) << ln;
  }
  EXPECT_TRUE(refused > 1000 && refused < 9900) << refused;  // the generator produces both outcomes in good numbers
}
