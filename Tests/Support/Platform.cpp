#include "Platform.h"

#include <windows.h>

#include <cstdio>

namespace yt {

bool OnWine() {
  static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

namespace {

std::string Parent(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool FileThere(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FindBinDir() {
  char exe[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (!n || n >= MAX_PATH) fprintf(stderr, "GetModuleFileNameA failed: %lu\n", GetLastError());
  std::string own = Parent(exe);
  for (const std::string& dir : {own, Parent(own)})
    if (FileThere(dir + "\\ydsprv.exe")) return dir;
  fprintf(stderr, "no ydsprv.exe beside %s or in its parent folder\n", exe);
  return own;
}

}  // namespace

const std::string& BinDir() {
  static const std::string dir = FindBinDir();
  return dir;
}

bool HasDesktop(std::string* why) {
  static std::string reason = [] {
    USEROBJECTFLAGS f = {};
    DWORD n = 0;
    if (!GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &f, sizeof f, &n))
      return "needs a desktop: the window station cannot be read (" + std::to_string(GetLastError()) + ")";
    if (!(f.dwFlags & WSF_VISIBLE)) return std::string("needs a desktop: the window station is not visible");
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!w)
      return "needs a desktop: no top-level window can be made (" + std::to_string(GetLastError()) +
             (OnWine() ? "; is DISPLAY set?)" : ")");
    DestroyWindow(w);
    return std::string();
  }();
  if (why) *why = reason;
  return reason.empty();
}

}  // namespace yt
