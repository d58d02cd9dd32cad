// Paths: macro expansion, own path, path splitting, shell folders and the registry key walk.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Lib/Path.h"
#include "TestUtil.h"

namespace {

std::string Str(const TStr& s) { return std::string(s.Str(), s.Len()); }

// A shell folder value read directly, for comparison; empty when it is missing.
std::string RegValue(HKEY root, const char* name) {
  char buf[1024] = {};
  DWORD sz = sizeof buf - 1;
  RegGetValueA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name, RRF_RT_REG_SZ,
               nullptr, buf, &sz);
  return buf;
}

bool KeyIsOpen(HKEY k) {
  return RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS;
}

const char kTestKey[] = "Software\\YdPathTest";

class PathEnv : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("YD_A", "xy");
    SetEnvironmentVariableA("YD_PCT", "%YD_A%");
    SetEnvironmentVariableA("YD_NOPE", nullptr);
  }
  void TearDown() override {
    for (const char* v : {"YD_A", "YD_PCT", "StartPath"}) SetEnvironmentVariableA(v, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
  }
};

}  // namespace

TEST_F(PathEnv, MacroExpansion) {
  char sysBuf[MAX_PATH + 1];
  std::string sys(sysBuf, GetSystemDirectoryA(sysBuf, sizeof sysBuf));
  std::string start = Str(StartPath());
  // A variable named like a folder macro loses: the folder macros are expanded first.
  SetEnvironmentVariableA("StartPath", "ENV");
  struct { const char* word; std::string want; bool any; } cases[] = {
      {"%YD_A%%YD_A%", "xyxy", true},
      {"%YD_NOPE%\\%YD_A%", "%YD_NOPE%\\xy", true},
      {"%yd_a%", "xy", true},  // the platform ignores the case of names
      {"50%", "50%", false},   // a lone percent sign stays
      {"a%YD_A%b%", "axyb%", true},
      {"%%", "%%", false},
      {"%YD_PCT%", "%YD_A%", true},                 // an inserted value is not scanned again
      {"%YD_NOPE%YD_A%", "%YD_NOPE%YD_A%", false},  // the closing percent of an unknown name opens nothing
      {"%SystemDirectory%;%systemdirectory%\\x.dll", sys + ";" + sys + "\\x.dll", true},
      {"%STARTPATH%a.exe|%YD_A%", start + "a.exe|xy", true},
      // %UserStartup% is the per-user value "Templates", %CmmnStartup% the common "Common Startup".
      {"%UserStartup%", RegValue(HKEY_CURRENT_USER, "Templates"), true},
      {"%CmmnStartup%", RegValue(HKEY_LOCAL_MACHINE, "Common Startup"), true},
  };
  for (const auto& c : cases) {
    TStr s(c.word);
    EXPECT_EQ(ExpMacros(s), c.any) << c.word;
    EXPECT_EQ(Str(s), c.want) << c.word;
  }
}

TEST(Path, OwnPathSplitPathAndShellFolders) {
  char buf[MAX_PATH + 1];
  ASSERT_GT(GetModuleFileNameA(nullptr, buf, sizeof buf), 0u);
  EXPECT_EQ(OwnPath().Cmp(buf, CMP_NOCASE).Val(), 0) << buf;
  std::string sp = Str(StartPath());
  ASSERT_FALSE(sp.empty());
  EXPECT_EQ(sp.back(), '\\');
  EXPECT_EQ(std::string(buf + sp.size()).find('\\'), std::string::npos);

  struct { const char* path; const char* want; } cases[] = {
      {"C:\\dir\\sub\\file.txt", "C:|\\dir\\sub\\|file|.txt"}, {"C:file.tar.gz", "C:||file.tar|.gz"},
      {"\\\\server\\share\\a.b\\c", "|\\\\server\\share\\a.b\\|c|"}, {"dir/x.y", "|dir/|x|.y"},
      {".profile", "|||.profile"}, {"", "|||"}, {nullptr, "|||"},
  };
  for (const auto& c : cases) {
    TStr drive("junk"), dir("junk"), name("junk"), ext("junk");
    SplitPath(c.path, &drive, &dir, &name, &ext);
    EXPECT_EQ(Str(drive) + "|" + Str(dir) + "|" + Str(name) + "|" + Str(ext), c.want);
  }
  TStr name("junk");
  SplitPath("C:\\a\\b.c", nullptr, nullptr, &name, nullptr);
  EXPECT_STREQ(name.Str(), "b");

  for (int idx : {-1, 13, 20}) {
    uint32_t err = 0;
    EXPECT_TRUE(ShellFolder(idx, &err).Empty()) << idx;
    EXPECT_EQ(err, 87u) << idx;
  }
  uint32_t err = 12345;
  EXPECT_EQ(Str(ShellFolder(0, &err)), RegValue(HKEY_CURRENT_USER, "AppData"));
  EXPECT_EQ(err, 0u);
}

// Only an existing file is one; a folder, a missing name and a name no file can have answer false without
// a trace line, as they are answers, not failures.
TEST(Path, IsFile) {
  char own[MAX_PATH + 1];
  ASSERT_GT(GetModuleFileNameA(nullptr, own, sizeof own), 0u);
  std::string dir = Str(StartPath());
  yt::TTraceTap tap({"..!"});
  struct { std::string path; bool file; } cases[] = {
      {own, true}, {dir.substr(0, dir.size() - 1), false}, {dir, false}, {dir + "no such.exe", false},
      {dir + "no\\such\\x.exe", false}, {dir + "a<b>|", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.file, IsFile(c.path.c_str())) << c.path;
  EXPECT_EQ("", tap.Text());
}

TEST_F(PathEnv, OpenPath) {
  TStack<TRegKey> keys;
  HKEY h = nullptr;
  EXPECT_EQ(OpenPath(h, "HKEY_CURRENT_USER", KEY_READ, keys), 0u);
  EXPECT_EQ(h, HKEY_CURRENT_USER);
  EXPECT_EQ(keys.Cnt(), 0u);  // a bare root pushes nothing
  h = nullptr;
  EXPECT_EQ(OpenPath(h, "HKEY_CURRENT_USER\\Software\\YdPathTest\\Missing\\Leaf", KEY_READ, keys), 2u);
  EXPECT_EQ(keys.Cnt(), 0u);
  EXPECT_EQ(h, nullptr);  // the caller's value, not a closed key
  HKEY probe;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
  // Root names match exactly and only as the first component.
  EXPECT_NE(OpenPath(h, "hkey_current_user\\Software", KEY_READ, keys), 0u);
  EXPECT_EQ(keys.Cnt(), 0u);

  ASSERT_EQ(OpenPath(h, "HKEY_CURRENT_USER\\Software\\YdPathTest\\A\\B", KEY_READ | KEY_WRITE, keys), 0u);
  EXPECT_EQ(keys.Cnt(), 4u);
  EXPECT_EQ(h, keys.Last()->Item->Handle());
  EXPECT_EQ(RegSetValueExA(h, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);

  // Without a root name the walk starts at the caller's handle; empty components name no key.
  TStack<TRegKey> rel;
  HKEY h2 = keys.First()->Next->Item->Handle();  // ...\YdPathTest
  ASSERT_EQ(OpenPath(h2, "A\\\\B\\", KEY_READ, rel), 0u);
  EXPECT_EQ(rel.Cnt(), 2u);
  char buf[8];
  DWORD sz = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(h2, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &sz), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "1");

  // A new walk empties the stack first, closing what it held.
  ASSERT_EQ(OpenPath(h, "HKEY_CURRENT_USER\\Software", KEY_READ, keys), 0u);
  EXPECT_EQ(keys.Cnt(), 1u);
  ASSERT_TRUE(KeyIsOpen(h));
  keys.Clr();
  EXPECT_FALSE(KeyIsOpen(h));
}
