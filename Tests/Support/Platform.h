// Where a test program runs: Wine or Windows, its own folder and the programs beside it, whether a desktop
// can show windows, and the code page and language the Russian texts need. Tests that depend on one of these
// ask here and either assert what each platform does or skip with the reason.
#pragma once
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace yt {

bool OnWine();  // Wine's ntdll exports wine_get_version; Windows' does not

// The folder holding ydsprv.exe (no final backslash): the test program's own folder in the test kit, its
// parent in the build folder (Tests\test_X.exe beside ydsprv.exe). The child programs are in its "children".
const std::string& BinDir();

// A desktop a user can see, where top-level windows can be made; otherwise why not (a service's or a
// scheduled task's invisible window station, or Wine without a display).
bool HasDesktop(std::string* why = nullptr);

}  // namespace yt

// Skips the current test, saying what it needs, when no visible desktop is there.
#define YT_NEEDS_DESKTOP()                                         \
  do {                                                             \
    std::string yt_why;                                            \
    if (!yt::HasDesktop(&yt_why)) GTEST_SKIP() << yt_why;          \
  } while (0)

// The tests of Russian texts in single bytes need the ANSI code page 1251, which follows the system's
// "language for non-Unicode programs" on Windows (1252 on most non-Russian systems).
#define YT_NEEDS_CP1251()                                                                                  \
  do {                                                                                                     \
    if (GetACP() != 1251)                                                                                  \
      GTEST_SKIP() << "needs the ANSI code page 1251 (language for non-Unicode programs: Russian), this "  \
                      "system has "                                                                        \
                   << GetACP();                                                                            \
  } while (0)
