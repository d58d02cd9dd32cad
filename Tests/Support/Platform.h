// Where a test program runs (Wine or Windows, its folder, a desktop, the code page), for skips and expectations.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>

namespace yt {
inline bool OnWine() {  // Wine's ntdll exports wine_get_version; Windows' does not
  static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

// The folder of ydsprv.exe and "children": the test program's own in the test kit, its parent in the build folder.
inline const std::string& BinDir() {
  static const std::string dir = [] {
    char exe[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string d(exe, std::string(exe).find_last_of('\\'));
    if (GetFileAttributesA((d + "\\ydsprv.exe").c_str()) == INVALID_FILE_ATTRIBUTES) d.resize(d.rfind('\\'));
    return d;
  }();
  return dir;
}

// Why no window can be made here (empty when one can): an invisible window station, or Wine without a display.
inline const std::string& NoDesktop() {
  static const std::string why = []() -> std::string {
    USEROBJECTFLAGS f = {};
    HWINSTA ws = GetProcessWindowStation();
    if (!GetUserObjectInformationA(ws, UOI_FLAGS, &f, sizeof f, nullptr) || !(f.dwFlags & WSF_VISIBLE))
      return "needs a desktop: the window station is not visible (" + std::to_string(GetLastError()) + ")";
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!w) return "needs a desktop: no window can be made (" + std::to_string(GetLastError()) + ", DISPLAY?)";
    DestroyWindow(w);
    return "";
  }();
  return why;
}
}  // namespace yt

#define YT_NEEDS_DESKTOP() \
  do { if (!yt::NoDesktop().empty()) GTEST_SKIP() << yt::NoDesktop(); } while (0)
// Russian texts in single bytes need the ANSI code page 1251: the system's "language for non-Unicode programs".
#define YT_NEEDS_CP1251() \
  do { if (GetACP() != 1251) GTEST_SKIP() << "needs the ANSI code page 1251, not " << GetACP(); } while (0)
