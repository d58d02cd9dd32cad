// Where a test program runs (Wine or Windows, its folder, a desktop, the code page): tests ask here, then skip or
// assert what each platform does.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace yt {
inline bool OnWine() {  // Wine's ntdll exports wine_get_version; Windows' does not
  static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

// The folder holding ydsprv.exe (no final backslash): the test program's own in the test kit, its parent in the
// build folder. The child programs are in its "children".
inline const std::string& BinDir() {
  static const std::string dir = [] {
    char exe[MAX_PATH + 1] = {};
    if (!GetModuleFileNameA(nullptr, exe, MAX_PATH)) fprintf(stderr, "GetModuleFileNameA: %lu\n", GetLastError());
    auto parent = [](const std::string& p) { return p.substr(0, p.find_last_of("\\/")); };
    for (const std::string& d : {parent(exe), parent(parent(exe))}) {
      DWORD a = GetFileAttributesA((d + "\\ydsprv.exe").c_str());
      if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) return d;
    }
    fprintf(stderr, "no ydsprv.exe beside %s or in its parent folder\n", exe);
    return parent(exe);
  }();
  return dir;
}

// A desktop a user can see, where top-level windows can be made; otherwise why not (a service's or a scheduled
// task's invisible window station, or Wine without a display).
inline bool HasDesktop(std::string* why = nullptr) {
  static const std::string reason = []() -> std::string {
    USEROBJECTFLAGS f = {};
    DWORD n = 0;
    HWINSTA ws = GetProcessWindowStation();
    if (!GetUserObjectInformationA(ws, UOI_FLAGS, &f, sizeof f, &n) || !(f.dwFlags & WSF_VISIBLE))
      return "needs a desktop: the window station is not visible (" + std::to_string(GetLastError()) + ")";
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!w) return "needs a desktop: no window can be made (" + std::to_string(GetLastError()) + ", DISPLAY?)";
    return DestroyWindow(w), "";
  }();
  if (why) *why = reason;
  return reason.empty();
}

}  // namespace yt

#define YT_NEEDS_DESKTOP()                                \
  do {                                                    \
    std::string yt_why;                                   \
    if (!yt::HasDesktop(&yt_why)) GTEST_SKIP() << yt_why; \
  } while (0)
// Russian texts in single bytes need the ANSI code page 1251: the system's "language for non-Unicode programs".
#define YT_NEEDS_CP1251()                                                                   \
  do {                                                                                      \
    if (GetACP() != 1251) GTEST_SKIP() << "needs the ANSI code page 1251, not " << GetACP(); \
  } while (0)
