// Paths: macro expansion, files and the registry key walk.
#include <gtest/gtest.h>
#include "Lib/Path.h"
#include "TestUtil.h"

namespace {
std::string Str(const TStr& s) { return std::string(s.Str(), s.Len()); }

std::string ShellValue(HKEY root, const char* name) {  // read directly, for comparison
  char buf[1024] = {};
  DWORD sz = sizeof buf - 1;
  RegGetValueA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name, RRF_RT_REG_SZ,
               nullptr, buf, &sz);
  return buf;
}

TEST(Path, MacroExpansion) {
  char sys[MAX_PATH + 1];
  const std::string dir(sys, GetSystemDirectoryA(sys, sizeof sys));
  const std::string start = Str(StartPath());
  const std::string big(5000, 'v');
  // A value longer than the first buffer it is read into; a variable named like a folder macro, which wins.
  const char* vars[][2] = {{"YD_A", "xy"}, {"YD_PCT", "%YD_A%"}, {"YD_BIG", big.c_str()}, {"StartPath", "ENV"}};
  for (auto& v : vars) SetEnvironmentVariableA(v[0], v[1]);
  struct { const char* word; std::string want; bool any; } cases[] = {
      {"%YD_A%%YD_A%", "xyxy", true}, {"%YD_NOPE%\\%yd_a%", "%YD_NOPE%\\xy", true}, {"50%", "50%", false},
      {"%%", "%%", false}, {"%YD_PCT%", "%YD_A%", true}, {"%YD_NOPE%YD_A%", "%YD_NOPE%YD_A%", false},
      {"<%YD_BIG%>", "<" + big + ">", true}, {"%SystemDirectory%;%systemdirectory%", dir + ";" + dir, true},
      {"%STARTPATH%a", start + "a", true}, {"%UserStartup%", ShellValue(HKEY_CURRENT_USER, "Templates"), true},
      {"%CmmnStartup%", ShellValue(HKEY_LOCAL_MACHINE, "Common Startup"), true}};
  for (const auto& c : cases) {
    TStr s(c.word);
    EXPECT_EQ(ExpMacros(s), c.any) << c.word;
    EXPECT_EQ(Str(s), c.want) << c.word;
  }
  for (auto& v : vars) SetEnvironmentVariableA(v[0], nullptr);
}

// Folders, missing and impossible names are answers, not failures (no trace line); a failed walk keeps the handle.
TEST(Path, IsFileAndOpenPath) {
  const std::string dir = Str(StartPath());
  yt::TTraceTap tap({"..!"});
  for (const std::string& p : {dir, dir + "no\\such.exe", dir + "a<b>|"}) EXPECT_FALSE(IsFile(p.c_str())) << p;
  EXPECT_TRUE(IsFile(Str(OwnPath()).c_str()) && tap.Text().empty());
  TStack<TRegKey> keys;
  HKEY h = nullptr;
  EXPECT_TRUE(OpenPath(h, "HKEY_CURRENT_USER", KEY_READ, keys) == 0 && h == HKEY_CURRENT_USER && !keys.Cnt());
  h = nullptr;
  EXPECT_TRUE(OpenPath(h, "HKEY_CURRENT_USER\\Software\\YdNoSuchKey\\Leaf", KEY_READ, keys) == 2 && !keys.Cnt() && !h);
}
}  // namespace
