// What Windows tools read from ydsprv.exe: the version resource through the version API, the embedded
// application manifest, and the PE header flags. Runs on the built ydsprv.exe through the real calls under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Platform.h"
#include "TestUtil.h"

namespace {

const std::string SPRV = yt::BinDir() + "\\ydsprv.exe";

// The version resource's strings, by name, from the Russian/1251 block ydsprv.exe carries.
class TVerInfo {
 public:
  explicit TVerInfo(const std::string& path) {
    DWORD ignored = 0;
    DWORD n = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!n) return;
    m_Data.resize(n);
    if (!GetFileVersionInfoA(path.c_str(), 0, n, m_Data.data())) m_Data.clear();
  }
  bool Ok() const { return !m_Data.empty(); }
  const VS_FIXEDFILEINFO* Fixed() {
    void* p = nullptr;
    UINT len = 0;
    return VerQueryValueA(m_Data.data(), "\\", &p, &len) && len >= sizeof(VS_FIXEDFILEINFO)
               ? static_cast<const VS_FIXEDFILEINFO*>(p) : nullptr;
  }
  std::vector<DWORD> Translations() {
    void* p = nullptr;
    UINT len = 0;
    std::vector<DWORD> t;
    if (VerQueryValueA(m_Data.data(), "\\VarFileInfo\\Translation", &p, &len))
      t.assign(static_cast<DWORD*>(p), static_cast<DWORD*>(p) + len / sizeof(DWORD));
    return t;
  }
  std::string Str(const char* name) {
    std::string q = std::string("\\StringFileInfo\\041904E3\\") + name;
    char* p = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(m_Data.data(), q.c_str(), reinterpret_cast<void**>(&p), &len) || !len) return "<none>";
    return std::string(p, strnlen(p, len));
  }

 private:
  std::vector<char> m_Data;
};

// Resource type 24 (RT_MANIFEST), id 1: the manifest the loader reads for a program.
std::string Manifest(const std::string& path) {
  HMODULE m = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!m) return "<not loaded: " + std::to_string(GetLastError()) + ">";
  std::string text = "<none>";
  if (HRSRC r = FindResourceA(m, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)))
    if (HGLOBAL g = LoadResource(m, r))
      if (const char* p = static_cast<const char*>(LockResource(g))) text.assign(p, SizeofResource(m, r));
  FreeLibrary(m);
  return text;
}

size_t Count(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + 1)) ++n;
  return n;
}

// Tags open and close in order, comments and the declaration skipped; the first fault, or "" and the root's name.
std::string TagFault(const std::string& x, std::string& root) {
  std::vector<std::string> open;
  for (size_t at = x.find('<'); at != std::string::npos; at = x.find('<', at + 1)) {
    if (x.compare(at, 4, "<!--") == 0) {
      at = x.find("-->", at);
      if (at == std::string::npos) return "comment not closed";
      continue;
    }
    size_t end = x.find('>', at);
    if (end == std::string::npos) return "tag not closed";
    std::string tag = x.substr(at + 1, end - at - 1);
    if (tag[0] == '?') continue;
    bool closing = tag[0] == '/', selfClosed = tag.back() == '/';
    std::string name = tag.substr(closing ? 1 : 0, tag.find_first_of(" \t\r\n/", 1) - (closing ? 1 : 0));
    if (closing) {
      if (open.empty() || open.back() != name) return "</" + name + "> without its opening";
      open.pop_back();
    } else if (!selfClosed) {
      if (open.empty() && !root.empty()) return "second root <" + name + ">";
      if (open.empty()) root = name;
      open.push_back(name);
    }
  }
  return open.empty() ? "" : "<" + open.back() + "> not closed";
}

TEST(Resource, VersionFromTheVersionFile) {
  TVerInfo v(SPRV);
  ASSERT_TRUE(v.Ok()) << "GetFileVersionInfoA failed: " << GetLastError();
  const VS_FIXEDFILEINFO* f = v.Fixed();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->dwSignature, 0xFEEF04BDu);
  const DWORD ms = (YD_VERSION_MAJOR << 16) | YD_VERSION_MINOR, ls = YD_VERSION_PATCH << 16;
  EXPECT_EQ(f->dwFileVersionMS, ms);
  EXPECT_EQ(f->dwFileVersionLS, ls);
  EXPECT_EQ(f->dwProductVersionMS, ms);
  EXPECT_EQ(f->dwProductVersionLS, ls);
  EXPECT_EQ(f->dwFileType, DWORD(VFT_APP));
  EXPECT_EQ(v.Translations(), std::vector<DWORD>{MAKELONG(0x0419, 1251)});
  const struct {
    const char* name;
    std::string want;
  } strs[] = {
      {"FileVersion", YD_VERSION},
      {"ProductVersion", YD_VERSION},
      {"ProductName", "ydsprv"},
      {"OriginalFilename", "ydsprv.exe"},
      {"CompanyName", "ydsprv authors"},
      {"LegalCopyright", "Copyright (c) 2026 ydsprv authors. MIT License."},
      // "Наблюдение за программой и её перезапуск", read back in code page 1251
      {"FileDescription", "\xcd\xe0\xe1\xeb\xfe\xe4\xe5\xed\xe8\xe5 \xe7\xe0 \xef\xf0\xee\xe3\xf0\xe0\xec\xec\xee\xe9 "
                          "\xe8 \xe5\xb8 \xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea"},
  };
  for (const auto& s : strs) EXPECT_EQ(v.Str(s.name), s.want) << s.name;
}

TEST(Resource, ManifestIsWellFormedAndAsksForNothingMore) {
  std::string m = Manifest(SPRV);
  ASSERT_EQ(m.compare(0, 19, "<?xml version=\"1.0\""), 0) << m.substr(0, 80);
  std::string root;
  EXPECT_EQ(TagFault(m, root), "");
  EXPECT_EQ(root, "assembly");
  EXPECT_EQ(Count(m, "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"), 1u);
  EXPECT_EQ(Count(m, "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), 1u);
  EXPECT_EQ(Count(m, "<supportedOS "), 4u) << "Windows 7, 8, 8.1 and 10/11 (one id for both)";
  for (const char* os : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                         "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
    EXPECT_EQ(Count(m, std::string("<supportedOS Id=\"") + os + "\"/>"), 1u) << os;
  EXPECT_EQ(Count(m, "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"), 1u);
  std::string version = std::string("version=\"") + YD_VERSION + ".0\"";
  EXPECT_EQ(Count(m, version), 1u) << version;
  // Paths go through MAX_PATH buffers; a UTF-8 code page would garble the code page 1251 texts.
  for (const char* never : {"longPathAware", "activeCodePage", "requireAdministrator", "highestAvailable"})
    EXPECT_EQ(Count(m, never), 0u) << never;
}

TEST(Resource, HeaderFlagsForRemoteDesktopAndAddressLayout) {
  std::string img = yt::ReadAll(SPRV);
  ASSERT_GT(img.size(), sizeof(IMAGE_DOS_HEADER));
  LONG at = reinterpret_cast<const IMAGE_DOS_HEADER*>(img.data())->e_lfanew;
  ASSERT_LT(size_t(at) + sizeof(IMAGE_NT_HEADERS64), img.size());
  const IMAGE_NT_HEADERS64* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(img.data() + at);
  ASSERT_EQ(nt->Signature, DWORD(IMAGE_NT_SIGNATURE));
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  const WORD want = IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE | IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                    IMAGE_DLLCHARACTERISTICS_NX_COMPAT | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA;
  EXPECT_EQ(nt->OptionalHeader.DllCharacteristics & want, want) << std::hex << nt->OptionalHeader.DllCharacteristics;
}

}  // namespace
