// Seeded random command lines through the parser: each ends in success or in code 87 with a message.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "sprv/CmdLn.h"
#include "sprv/Entry.h"
#include "sprv/ProcessMngr.h"

namespace {

const char* const PIECES[] = {
    "-", "/", ":", "\"", " ", "  ", "\t", ",", "%", "%PATH%", "%SystemDirectory%", "%StartPath%", "%NOPE%",
    "a", "A", "attempts", "g", "gdi", "h", "H", "?", "handles", "hung", "l", "log", "m", "mem", "memory", "p",
    "pause", "s", "stop", "rc", "r", "run", "time", "x", "0", "1", "5", "15", "-1", "4294967296", "99999999999",
    "0x", "0xC0000005", "k", "K", "M", "mb", "G", "s", "ms", "h", "min", "\xec\xf1", "\xf7", "\xec\xe8\xed",
    "\xf1", "\xc7\xe0", ".", "\\", "app.exe", "\xff", "\x01",
};

std::string RandomLine(std::mt19937& rnd) {
  std::string s = "ydsprv.exe";
  int toks = 1 + static_cast<int>(rnd() % 6);
  for (int t = 0; t < toks; ++t) {
    s += ' ';
    // Mostly named parameters, so that the scan goes past the first token.
    if (rnd() % 4) s += (rnd() % 2) ? "-" : "/";
    int n = 1 + static_cast<int>(rnd() % 6);
    for (int i = 0; i < n; ++i) s += PIECES[rnd() % (sizeof PIECES / sizeof PIECES[0])];
  }
  return s;
}

}  // namespace

TEST(CmdLnFuzz, RandomLinesEndInSuccessOr87) {
  // "Ошибка в параметре "
  const std::string errPrm = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";
  std::mt19937 rnd(20261206);
  int refused = 0;
  for (int i = 0; i < 10000; ++i) {
    std::string ln = RandomLine(rnd);
    TProcessMngr pm;
    TCmdLnToPmPrsr p(&pm);
    TRes r = p.Prs(ln.c_str());
    if (r.Code() == 0) {
      ASSERT_TRUE(r.IsOk()) << ln;
      continue;
    }
    ++refused;
    ASSERT_EQ(r.Code(), 87u) << ln;
    ASSERT_TRUE(r.IsErr()) << ln;
    std::string c = r.Cmnt().Str() ? r.Cmnt().Str() : "";
    ASSERT_NE(c.find(errPrm), std::string::npos) << ln;
  }
  // The generator produces both outcomes in good numbers.
  EXPECT_GT(refused, 1000);
  EXPECT_LT(refused, 9900);
}
