// Paths: macro expansion, path splitting, files and the registry key walk.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Lib/Path.h"
#include "TestUtil.h"

namespace {

std::string Str(const TStr& s) { return std::string(s.Str(), s.Len()); }

// A shell folder value read directly, for comparison.
std::string RegValue(HKEY root, const char* name) {
  char buf[1024] = {};
  DWORD sz = sizeof buf - 1;
  RegGetValueA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name, RRF_RT_REG_SZ,
               nullptr, buf, &sz);
  return buf;
}

TEST(Path, MacroExpansion) {
  char sys[MAX_PATH + 1];
  std::string dir(sys, GetSystemDirectoryA(sys, sizeof sys)), start = Str(StartPath()), big(5000, 'v');
  ASSERT_EQ(start.back(), '\\');
  EXPECT_EQ(OwnPath().Cmp((start + "test_Lib.exe").c_str(), CMP_NOCASE).Val(), 0) << start;
  SetEnvironmentVariableA("YD_A", "xy");
  SetEnvironmentVariableA("YD_PCT", "%YD_A%");
  SetEnvironmentVariableA("YD_BIG", big.c_str());  // longer than the first buffer the value is read into
  SetEnvironmentVariableA("StartPath", "ENV");     // the folder macros come first
  struct { const char* word; std::string want; bool any; } cases[] = {
      {"%YD_A%%YD_A%", "xyxy", true}, {"%YD_NOPE%\\%yd_a%", "%YD_NOPE%\\xy", true}, {"50%", "50%", false},
      {"a%YD_A%b%", "axyb%", true}, {"%%", "%%", false}, {"%YD_PCT%", "%YD_A%", true},  // values are not scanned again
      {"%YD_NOPE%YD_A%", "%YD_NOPE%YD_A%", false}, {"<%YD_BIG%>", "<" + big + ">", true},
      {"%SystemDirectory%;%systemdirectory%", dir + ";" + dir, true}, {"%STARTPATH%a|%YD_A%", start + "a|xy", true},
      // %UserStartup% is the per-user value "Templates", %CmmnStartup% the common "Common Startup".
      {"%UserStartup%", RegValue(HKEY_CURRENT_USER, "Templates"), true},
      {"%CmmnStartup%", RegValue(HKEY_LOCAL_MACHINE, "Common Startup"), true},
  };
  for (const auto& c : cases) {
    TStr s(c.word);
    EXPECT_EQ(ExpMacros(s), c.any) << c.word;
    EXPECT_EQ(Str(s), c.want) << c.word;
  }
  for (const char* v : {"YD_A", "YD_PCT", "YD_BIG", "StartPath"}) SetEnvironmentVariableA(v, nullptr);
}

// Only an existing file is one; a folder, a missing name and a name no file can have are answers, not
// failures: no trace line.
TEST(Path, SplitPathAndIsFile) {
  struct { const char* path; const char* want; } cases[] = {
      {"C:\\dir\\sub\\file.txt", "C:|\\dir\\sub\\|file|.txt"}, {"C:file.tar.gz", "C:||file.tar|.gz"},
      {"\\\\server\\share\\a.b\\c", "|\\\\server\\share\\a.b\\|c|"}, {".profile", "|||.profile"}, {nullptr, "|||"}};
  for (const auto& c : cases) {
    TStr drive("junk"), dir("junk"), name("junk"), ext("junk");
    SplitPath(c.path, &drive, &dir, &name, &ext);
    EXPECT_EQ(Str(drive) + "|" + Str(dir) + "|" + Str(name) + "|" + Str(ext), c.want);
  }
  std::string own = Str(OwnPath()), dir = Str(StartPath());
  yt::TTraceTap tap({"..!"});
  struct { std::string path; bool file; } files[] = {{own, true}, {dir, false}, {dir + "no\\such.exe", false}, {dir + "a<b>|", false}};
  for (const auto& c : files) EXPECT_EQ(c.file, IsFile(c.path.c_str())) << c.path;
  EXPECT_EQ("", tap.Text());
}

TEST(Path, OpenPathAndShellFolder) {
  const char kKey[] = "HKEY_CURRENT_USER\\Software\\YdPathTest";
  TStack<TRegKey> keys;
  HKEY h = nullptr;
  EXPECT_TRUE(OpenPath(h, "HKEY_CURRENT_USER", KEY_READ, keys) == 0 && h == HKEY_CURRENT_USER && !keys.Cnt());
  h = nullptr;
  EXPECT_EQ(OpenPath(h, (std::string(kKey) + "\\Missing\\Leaf").c_str(), KEY_READ, keys), 2u);
  EXPECT_TRUE(!keys.Cnt() && !h);  // the caller's value, not a closed key
  EXPECT_NE(OpenPath(h, "hkey_current_user\\Software", KEY_READ, keys), 0u);  // root names match exactly
  ASSERT_EQ(OpenPath(h, (std::string(kKey) + "\\A\\B").c_str(), KEY_READ | KEY_WRITE, keys), 0u);  // creates
  EXPECT_EQ(keys.Cnt(), 4u);
  // Without a root name the walk starts at the caller's handle; empty components name no key.
  TStack<TRegKey> rel;
  HKEY h2 = keys.First()->Next->Item->Handle();
  ASSERT_EQ(OpenPath(h2, "A\\\\B\\", KEY_READ, rel), 0u);
  EXPECT_EQ(rel.Cnt(), 2u);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\YdPathTest");
  for (int idx : {-1, 13, 20}) {
    uint32_t err = 0;
    EXPECT_TRUE(ShellFolder(idx, &err).Empty() && err == 87) << idx;
  }
  uint32_t err = 1;
  EXPECT_EQ(Str(ShellFolder(0, &err)), RegValue(HKEY_CURRENT_USER, "AppData"));
  EXPECT_EQ(err, 0u);
}

}  // namespace
