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
  std::string dir(sys, GetSystemDirectoryA(sys, sizeof sys)), start = Str(StartPath()), big(5000, 'v');
  EXPECT_EQ(OwnPath().Cmp((start + "test_Lib.exe").c_str(), CMP_NOCASE).Val(), 0) << start;
  SetEnvironmentVariableA("YD_A", "xy");
  SetEnvironmentVariableA("YD_PCT", "%YD_A%");
  SetEnvironmentVariableA("YD_BIG", big.c_str());  // longer than the first buffer the value is read into
  SetEnvironmentVariableA("StartPath", "ENV");     // the folder macros come first
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
  for (const char* v : {"YD_A", "YD_PCT", "YD_BIG", "StartPath"}) SetEnvironmentVariableA(v, nullptr);
}

// A folder, a missing name and a name no file can have are answers, not failures: no trace line. A failed walk
// leaves the caller's handle, not a closed key.
TEST(Path, IsFileOpenPathAndShellFolder) {
  std::string own = Str(OwnPath()), dir = Str(StartPath()), key = "HKEY_CURRENT_USER\\Software\\YdPathTest";
  yt::TTraceTap tap({"..!"});
  for (const std::string& p : {dir, dir + "no\\such.exe", dir + "a<b>|"}) EXPECT_FALSE(IsFile(p.c_str())) << p;
  EXPECT_TRUE(IsFile(own.c_str()) && tap.Text().empty());
  TStack<TRegKey> keys, rel;
  HKEY h = nullptr;
  EXPECT_TRUE(OpenPath(h, "HKEY_CURRENT_USER", KEY_READ, keys) == 0 && h == HKEY_CURRENT_USER && !keys.Cnt());
  h = nullptr;
  EXPECT_TRUE(OpenPath(h, (key + "\\Missing\\Leaf").c_str(), KEY_READ, keys) == 2 && !keys.Cnt() && !h);
  EXPECT_NE(OpenPath(h, "hkey_current_user\\Software", KEY_READ, keys), 0u);  // root names match exactly
  ASSERT_EQ(OpenPath(h, (key + "\\A\\B").c_str(), KEY_READ | KEY_WRITE, keys), 0u);  // creates what is missing
  HKEY h2 = keys.First()->Next->Item->Handle();  // without a root name the walk starts at the caller's handle
  EXPECT_TRUE(keys.Cnt() == 4 && OpenPath(h2, "A\\\\B\\", KEY_READ, rel) == 0 && rel.Cnt() == 2);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\YdPathTest");
  uint32_t err = 0;
  for (int idx : {-1, 13, 20}) EXPECT_TRUE(ShellFolder(idx, &err).Empty() && err == 87) << idx;
  EXPECT_TRUE(Str(ShellFolder(0, &err)) == ShellValue(HKEY_CURRENT_USER, "AppData") && err == 0);
}

}  // namespace
