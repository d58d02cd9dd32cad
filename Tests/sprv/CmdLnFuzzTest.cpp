// Seeded random command lines through the parser: each ends in success or in code 87 with a message.
#include <gtest/gtest.h>
#include <random>
#include "ProcessTestUtil.h"

using namespace sprvtest;

TEST(CmdLnFuzz, RandomLinesEndInSuccessOr87) {
  static const char* const PIECES[] = {
      "-", "/", ":", "\"", " ", "  ", "\t", ",", "%", "%PATH%", "%SystemDirectory%", "%StartPath%", "%NOPE%",
      "a", "A", "attempts", "g", "gdi", "h", "H", "?", "handles", "hung", "l", "log", "m", "mem", "memory", "p",
      "pause", "s", "stop", "rc", "r", "run", "time", "x", "0", "1", "5", "15", "-1", "4294967296", "99999999999",
      "0x", "0xC0000005", "k", "K", "M", "mb", "G", "ms", "min", "\xec\xf1", "\xf7", "\xec\xe8\xed", "\xf1",
      "\xc7\xe0", ".", "\\", "app.exe", "\xff", "\x01",
  };
  std::mt19937 rnd(20261206);
  int refused = 0;
  for (int i = 0; i < 10000; ++i) {
    std::string ln = "ydsprv.exe";
    for (int t = 0, toks = 1 + rnd() % 6; t < toks; ++t) {
      ln += (rnd() % 4) ? ((rnd() % 2) ? " -" : " /") : " ";  // mostly named parameters, so the scan goes on
      for (int n = 1 + rnd() % 6; n > 0; --n) ln += PIECES[rnd() % (sizeof PIECES / sizeof PIECES[0])];
    }
    TProcessMngr pm;
    TRes r = Parse(pm, ln);
    refused += r.Code() != 0;
    ASSERT_EQ(r.Code() != 0, r.IsErr()) << ln;
    ASSERT_TRUE(r.Code() == 0 || (r.Code() == 87 && S(r.Cmnt()).find(ERR_PRM) != std::string::npos)) << ln;
  }
  EXPECT_TRUE(refused > 1000 && refused < 9900) << refused;  // the generator produces both outcomes in good numbers
}
