#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Lib/Path.h"

namespace {

std::string Str(const TStr& s) { return std::string(s.Str(), s.Len()); }

std::string Expand(const char* word, bool* any = nullptr) {
  TStr s(word);
  bool r = ExpMacros(s);
  if (any) *any = r;
  return Str(s);
}

std::string SysDirectory() {
  char buf[MAX_PATH + 1];
  UINT n = GetSystemDirectoryA(buf, sizeof buf);
  return std::string(buf, n);
}

// A shell folder value read directly, for comparison; empty when it is missing.
std::string RegValue(HKEY root, const char* name) {
  HKEY k;
  if (RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0, KEY_READ,
                    &k) != ERROR_SUCCESS)
    return "";
  char buf[1024];
  DWORD sz = sizeof buf - 1;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &sz);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return "";
  buf[sz] = '\0';
  return buf;
}

bool KeyIsOpen(HKEY k) {
  DWORD subKeys = 0;
  return RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
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
    SetEnvironmentVariableA("YD_A", nullptr);
    SetEnvironmentVariableA("YD_PCT", nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
  }
};

}  // namespace

TEST_F(PathEnv, EnvironmentVariables) {
  struct {
    const char* word;
    const char* want;
    bool any;
  } cases[] = {
      {"%YD_A%%YD_A%", "xyxy", true},
      {"%YD_NOPE%\\%YD_A%", "%YD_NOPE%\\xy", true},
      {"%yd_a%", "xy", true},                // the platform ignores the case of names
      {"50%", "50%", false},                 // a lone percent sign stays
      {"%YD_A", "%YD_A", false},
      {"a%YD_A%b%", "axyb%", true},
      {"%%", "%%", false},
      {"%YD_NOPE%", "%YD_NOPE%", false},
      {"%YD_PCT%", "%YD_A%", true},          // an inserted value is not scanned again
      {"%YD_NOPE%YD_A%", "%YD_NOPE%YD_A%", false},  // the closing percent of an unknown name opens nothing
      {"", "", false},
      {"plain", "plain", false},
  };
  for (const auto& c : cases) {
    bool any = false;
    EXPECT_EQ(Expand(c.word, &any), c.want) << c.word;
    EXPECT_EQ(any, c.any) << c.word;
  }
}

TEST_F(PathEnv, EmptyVariableIsReplacedByNothing) {
  ASSERT_TRUE(SetEnvironmentVariableA("YD_EMPTY", ""));
  char probe[4];
  SetLastError(0);
  bool platformKeepsEmpty = GetEnvironmentVariableA("YD_EMPTY", probe, sizeof probe) == 0 && GetLastError() == 0;
  bool any = false;
  std::string r = Expand("<%YD_EMPTY%>", &any);
  SetEnvironmentVariableA("YD_EMPTY", nullptr);
  if (platformKeepsEmpty) {
    EXPECT_EQ(r, "<>");
    EXPECT_TRUE(any);
  } else {
    EXPECT_EQ(r, "<%YD_EMPTY%>");
  }
}

TEST_F(PathEnv, FolderMacrosInAnyCase) {
  std::string sys = SysDirectory();
  ASSERT_FALSE(sys.empty());
  bool any = false;
  EXPECT_EQ(Expand("%SystemDirectory%\\x.dll", &any), sys + "\\x.dll");
  EXPECT_TRUE(any);
  EXPECT_EQ(Expand("%systemdirectory%"), sys);
  EXPECT_EQ(Expand("%SYSTEMDIRECTORY%;%SystemDirectory%"), sys + ";" + sys);
  EXPECT_EQ(Expand("%startpath%"), Str(StartPath()));
  EXPECT_EQ(Expand("%STARTPATH%a.exe"), Str(StartPath()) + "a.exe");
  // %UserStartup% is the per-user value "Templates", %CmmnStartup% the common "Common Startup".
  EXPECT_EQ(Expand("%UserStartup%"), RegValue(HKEY_CURRENT_USER, "Templates"));
  EXPECT_EQ(Expand("%userstartup%"), Str(ShellFolder(12)));
  EXPECT_EQ(Expand("%CmmnStartup%"), RegValue(HKEY_LOCAL_MACHINE, "Common Startup"));
}

TEST_F(PathEnv, FolderMacrosBeforeEnvironment) {
  // A variable named like a folder macro loses: the folder macros are expanded first.
  SetEnvironmentVariableA("StartPath", "ENV");
  std::string r = Expand("%StartPath%|%YD_A%");
  SetEnvironmentVariableA("StartPath", nullptr);
  EXPECT_EQ(r, Str(StartPath()) + "|xy");
}

TEST(Path, OwnPathAndStartPath) {
  char buf[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  ASSERT_GT(n, 0u);
  TStr own = OwnPath();
  EXPECT_EQ(own.Cmp(buf, CMP_NOCASE).Val(), 0) << own.Str() << " vs " << buf;
  std::string sp = Str(StartPath());
  ASSERT_FALSE(sp.empty());
  EXPECT_EQ(sp.back(), '\\');
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, sp.c_str(), (int)sp.size(), buf, (int)sp.size()),
            CSTR_EQUAL);
  EXPECT_EQ(std::string(buf + sp.size()).find('\\'), std::string::npos);
}

TEST(Path, SplitPath) {
  struct {
    const char* path;
    const char* drive;
    const char* dir;
    const char* name;
    const char* ext;
  } cases[] = {
      {"C:\\dir\\sub\\file.txt", "C:", "\\dir\\sub\\", "file", ".txt"},
      {"file", "", "", "file", ""},
      {"C:file.tar.gz", "C:", "", "file.tar", ".gz"},
      {"\\\\server\\share\\a.b\\c", "", "\\\\server\\share\\a.b\\", "c", ""},
      {"dir/x.y", "", "dir/", "x", ".y"},
      {"C:\\dir\\", "C:", "\\dir\\", "", ""},
      {"C:", "C:", "", "", ""},
      {".profile", "", "", "", ".profile"},
      {"a.", "", "", "a", "."},
      {"", "", "", "", ""},
  };
  for (const auto& c : cases) {
    TStr drive("junk"), dir("junk"), name("junk"), ext("junk");
    SplitPath(c.path, &drive, &dir, &name, &ext);
    EXPECT_EQ(Str(drive), c.drive) << c.path;
    EXPECT_EQ(Str(dir), c.dir) << c.path;
    EXPECT_EQ(Str(name), c.name) << c.path;
    EXPECT_EQ(Str(ext), c.ext) << c.path;
  }
  TStr name;
  SplitPath("C:\\a\\b.c", nullptr, nullptr, &name, nullptr);
  EXPECT_EQ(Str(name), "b");
  SplitPath(nullptr, nullptr, nullptr, &name, nullptr);
  EXPECT_TRUE(name.Empty());
}

TEST(Path, ShellFolder) {
  for (int idx : {-1, 13, 14, 15, 20, 1000}) {
    uint32_t err = 0;
    EXPECT_TRUE(ShellFolder(idx, &err).Empty()) << idx;
    EXPECT_EQ(err, 87u) << idx;
  }
  struct {
    int idx;
    HKEY root;
    const char* name;
  } known[] = {{0, HKEY_CURRENT_USER, "AppData"},      {5, HKEY_CURRENT_USER, "Personal"},
               {11, HKEY_CURRENT_USER, "StartUp"},     {12, HKEY_CURRENT_USER, "Templates"},
               {16, HKEY_LOCAL_MACHINE, "Common Desktop"}, {19, HKEY_LOCAL_MACHINE, "Common Startup"}};
  for (const auto& k : known) {
    std::string want = RegValue(k.root, k.name);
    uint32_t err = 12345;
    std::string got = Str(ShellFolder(k.idx, &err));
    EXPECT_EQ(got, want) << k.name;
    EXPECT_EQ(err == 0, !want.empty()) << k.name << " err=" << err;
  }
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, "AppData").empty());  // the platform does keep the values
}

TEST_F(PathEnv, OpenPathBareRootPushesNothing) {
  TStack<TRegKey> keys;
  HKEY h = nullptr;
  EXPECT_EQ(OpenPath(h, "HKEY_CURRENT_USER", KEY_READ, keys), 0u);
  EXPECT_EQ(h, HKEY_CURRENT_USER);
  EXPECT_EQ(keys.Cnt(), 0u);
  h = nullptr;
  EXPECT_EQ(OpenPath(h, "HKEY_LOCAL_MACHINE\\Software", KEY_READ, keys), 0u);
  EXPECT_EQ(keys.Cnt(), 1u);
  EXPECT_EQ(h, keys.Last()->Item->Handle());
}

TEST_F(PathEnv, OpenPathMissingMiddleWithReadAccess) {
  TStack<TRegKey> keys;
  HKEY h = nullptr;
  EXPECT_EQ(OpenPath(h, "HKEY_CURRENT_USER\\Software\\YdPathTest\\Missing\\Leaf", KEY_READ, keys), 2u);
  EXPECT_EQ(keys.Cnt(), 0u);
  EXPECT_EQ(h, nullptr);  // the caller's value, not a closed key
  HKEY probe;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
  // Root names match exactly and only as the first component.
  EXPECT_NE(OpenPath(h, "hkey_current_user\\Software", KEY_READ, keys), 0u);
  EXPECT_EQ(keys.Cnt(), 0u);
}

TEST_F(PathEnv, OpenPathCreatesAndWalksRelative) {
  TStack<TRegKey> keys;
  HKEY h = nullptr;
  ASSERT_EQ(OpenPath(h, "HKEY_CURRENT_USER\\Software\\YdPathTest\\A\\B", KEY_READ | KEY_WRITE, keys), 0u);
  EXPECT_EQ(keys.Cnt(), 4u);
  EXPECT_EQ(h, keys.Last()->Item->Handle());
  EXPECT_EQ(RegSetValueExA(h, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);

  // Without a root name the walk starts at the caller's handle; empty components name no key.
  HKEY base = keys.First()->Next->Item->Handle();  // ...\YdPathTest
  TStack<TRegKey> rel;
  HKEY h2 = base;
  ASSERT_EQ(OpenPath(h2, "A\\\\B\\", KEY_READ, rel), 0u);
  EXPECT_EQ(rel.Cnt(), 2u);
  char buf[8];
  DWORD sz = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(h2, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &sz), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "1");
}

TEST_F(PathEnv, KeyStackClosesInReverseOrder) {
  static std::vector<HKEY> closed;
  closed.clear();
  struct TRecKey : TRegKey {
    using TRegKey::TRegKey;
    ~TRecKey() override { closed.push_back(Handle()); }
  };
  TStack<TRegKey> keys;
  std::vector<HKEY> opened;
  for (const char* sub : {"Software", "Software\\Microsoft", "Software\\Microsoft\\Windows"}) {
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sub, 0, KEY_READ, &k), ERROR_SUCCESS);
    opened.push_back(k);
    keys.Add(new TRecKey(k));
  }
  keys.Clr();
  ASSERT_EQ(closed.size(), 3u);
  EXPECT_EQ(closed[0], opened[2]);
  EXPECT_EQ(closed[2], opened[0]);

  // A new walk empties the stack first, closing what it held.
  HKEY h = nullptr;
  ASSERT_EQ(OpenPath(h, "HKEY_CURRENT_USER\\Software\\Microsoft", KEY_READ, keys), 0u);
  HKEY old = h;
  ASSERT_TRUE(KeyIsOpen(old));
  ASSERT_EQ(OpenPath(h, "HKEY_CURRENT_USER\\Software", KEY_READ, keys), 0u);
  EXPECT_EQ(keys.Cnt(), 1u);
  keys.Clr();
  EXPECT_FALSE(KeyIsOpen(h));
}
