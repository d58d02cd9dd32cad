#include "Lib/Path.h"

#include <psapi.h>

#include <cstring>

#include "Lib/Trace.h"
#include "ydcodes.h"
#include "ydgen.h"

namespace {

// Index 13-15 are unused: the per-user names end at 12, the common ones start at 16.
const char* const kUserFolders[] = {"AppData", "DeskTop",   "Favorites", "Fonts",      "NetHood",
                                    "Personal", "PrintHood", "Programs",  "Recent",     "SendTo",
                                    "Start Menu", "StartUp", "Templates"};
const char* const kCmmnFolders[] = {"Common Desktop", "Common Programs", "Common Start Menu",
                                    "Common Startup"};
const int kCmmnFirst = 16;
const char kShellFoldersKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const int kUserStartupIdx = 12;  // the per-user folder behind %UserStartup% is the one under "Templates"
const int kCmmnStartupIdx = 19;
const DWORD kShellValueMax = 260;  // shell folder values are paths of at most MAX_PATH characters
const DWORD kPathMax = 32768;      // the longest path the system accepts, with its NUL
const DWORD kEnvValMax = 32768;    // the longest environment value, with its NUL
const DWORD kEnvValFirst = 256;    // most values are short

struct TRoot {
  const char* Name;
  HKEY Key;
};
const TRoot kRoots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                        {"HKEY_USERS", HKEY_USERS}};

// The text a string-filling system call writes into a buffer of cap bytes. fill makes the call and returns
// what it returned: the text's length when it fitted, else the size it wants or a full buffer that may
// have been cut short; 0 is a failure when it leaves a last error, an empty text otherwise. The buffer
// grows until the text fits or it holds max bytes. 0 or the system error code (text then empty).
template <class F>
uint32_t ReadSysTxt(TStr& txt, F fill, DWORD max, DWORD first = MAX_PATH + 1) {
  txt.Clr();
  TCharBuf buf(first);
  for (;;) {
    DWORD cap = static_cast<DWORD>(buf.Cap() < max ? buf.Cap() : max);
    SetLastError(0);
    DWORD n = fill(buf.Chars(), cap);
    if (n == 0) return GetLastError();
    // A full buffer may hold a text cut short, except at the largest size, where no longer text can be.
    if (n < cap - 1 || (cap >= max && n < cap)) {
      txt.Set(buf.Chars(), n);
      return 0;
    }
    if (cap >= max) return ERROR_INSUFFICIENT_BUFFER;
    buf.Alloc(n >= cap ? n + 1 : 2 * static_cast<size_t>(cap));
  }
}

// The system folder, looked up once per process; a failed lookup is tried again next time.
const TStr& SysDir() {
  static TStr dir;
  static bool known = false;
  if (!known) {
    uint32_t err = ReadSysTxt(dir, [](char* b, DWORD cap) { return GetSystemDirectoryA(b, cap); }, kPathMax);
    if (err == 0 && !dir.Empty())
      known = true;
    else
      Trace("..!", "GetSystemDirectoryA failed: rc=%u.", static_cast<unsigned>(err));
  }
  return dir;
}

// Replaces every occurrence of a folder macro (any letter case). The folder is looked up only when the
// text holds the macro, since each lookup walks the registry or reads the module path; a failed lookup
// traces itself and the macro becomes an empty text.
uint32_t RplFolder(TStr& s, const char* macro, TStr (*lookup)()) {
  const TCmpFlags flags = RPL_ALL | CMP_NOCASE;
  if (s.Find(macro, 0, flags) < 0) return 0;
  return s.Rpl(macro, lookup().Str(), 0, flags);
}

TStr TracedShellFolder(int idx) {
  uint32_t err = 0;
  TStr dir = ShellFolder(idx, &err);
  if (err) Trace("..!", "Shell folder %d not read: rc=%u.", idx, static_cast<unsigned>(err));
  return dir;
}
TStr CmmnStartup() { return TracedShellFolder(kCmmnStartupIdx); }
TStr UserStartup() { return TracedShellFolder(kUserStartupIdx); }

// The value of an environment variable; false when the environment does not know the name.
bool EnvVar(const char* name, TStr& val) {
  auto fill = [name](char* b, DWORD cap) { return GetEnvironmentVariableA(name, b, cap); };
  return ReadSysTxt(val, fill, kEnvValMax, kEnvValFirst) == 0;
}

bool ExpEnv(TStr& s) {
  bool any = false;
  uint32_t pos = 0;
  for (;;) {
    int open = s.Find("%", pos);
    if (open < 0) break;
    int close = s.Find("%", static_cast<uint32_t>(open) + 1);
    if (close < 0) break;
    uint32_t nameLen = static_cast<uint32_t>(close - open - 1);
    TStr val;
    bool known = false;
    if (nameLen > 0) {
      TStr name(s.Str() + open + 1, nameLen);
      known = EnvVar(name.Str(), val);
    }
    if (!known) {
      pos = static_cast<uint32_t>(close) + 1;
      continue;
    }
    s.Del(static_cast<uint32_t>(open), nameLen + 2);
    if (!val.Empty()) s.Ins(val.Str(), static_cast<uint32_t>(open));
    pos = static_cast<uint32_t>(open) + val.Len();
    any = true;
  }
  return any;
}

}  // namespace

bool ExpMacros(TStr& s) {
  uint32_t n = RplFolder(s, "%SystemDirectory%", [] { return SysDir(); });
  n += RplFolder(s, "%CmmnStartup%", CmmnStartup);
  n += RplFolder(s, "%UserStartup%", UserStartup);
  n += RplFolder(s, "%StartPath%", StartPath);
  bool env = ExpEnv(s);
  return n > 0 || env;
}

uint32_t ReadOwnPath(TStr& path) {
  auto fill = [](char* b, DWORD cap) { return GetModuleFileNameExA(GetCurrentProcess(), nullptr, b, cap); };
  return ReadSysTxt(path, fill, kPathMax);
}

TStr OwnPath() {
  TStr path;
  uint32_t rc = ReadOwnPath(path);
  if (rc) Trace("..!", "GetModuleFileNameExA failed: rc=%u.", static_cast<unsigned>(rc));
  return path;
}

TStr StartPath() {
  TStr path = OwnPath();
  TStr drive, dir;
  SplitPath(path.Str(), &drive, &dir, nullptr, nullptr);
  drive.Add(dir);
  if (drive.Empty() || drive[drive.Len() - 1] != '\\') drive.Add("\\");
  return drive;
}

bool IsFile(const char* path) {
  DWORD attrs = GetFileAttributesA(path);
  if (attrs != INVALID_FILE_ATTRIBUTES) return !(attrs & FILE_ATTRIBUTE_DIRECTORY);
  DWORD err = GetLastError();
  if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND && err != ERROR_INVALID_NAME)
    Trace("..!", "GetFileAttributesA('%s') failed: rc=%u.", path, static_cast<unsigned>(err));
  return false;
}

void SplitPath(const char* path, TStr* drive, TStr* dir, TStr* name, TStr* ext) {
  if (!path) path = "";
  const char* p = path;
  if (p[0] != '\0' && p[1] == ':') p += 2;
  const char* lastSep = nullptr;
  const char* lastDot = nullptr;
  for (const char* c = p; *c; ++c) {
    if (*c == '\\' || *c == '/') lastSep = c;
    else if (*c == '.') lastDot = c;
  }
  const char* base = lastSep ? lastSep + 1 : p;
  if (lastDot && lastDot < base) lastDot = nullptr;
  const char* end = p + strlen(p);
  const char* extStart = lastDot ? lastDot : end;
  // A count of 0 would copy the whole text: empty parts are cleared instead.
  auto part = [](TStr* out, const char* from, const char* to) {
    if (!out) return;
    if (to > from) out->Set(from, static_cast<uint32_t>(to - from));
    else out->Clr();
  };
  part(drive, path, p);
  part(dir, p, base);
  part(name, base, extStart);
  part(ext, extStart, end);
}

TStr ShellFolder(int idx, uint32_t* err) {
  const char* root;
  const char* value;
  if (idx >= 0 && idx < static_cast<int>(sizeof kUserFolders / sizeof kUserFolders[0])) {
    root = "HKEY_CURRENT_USER";
    value = kUserFolders[idx];
  } else if (idx >= kCmmnFirst &&
             idx < kCmmnFirst + static_cast<int>(sizeof kCmmnFolders / sizeof kCmmnFolders[0])) {
    root = "HKEY_LOCAL_MACHINE";
    value = kCmmnFolders[idx - kCmmnFirst];
  } else {
    if (err) *err = RC_BAD_PRM;
    return TStr();
  }
  TStr path(root);
  path.Add(kShellFoldersKey);
  TStack<TRegKey> keys;
  HKEY h = nullptr;
  uint32_t rc = OpenPath(h, path.Str(), KEY_READ, keys);
  char buf[kShellValueMax + 1];
  DWORD type = 0;
  DWORD sz = kShellValueMax;
  if (rc == 0) rc = RegQueryValueExA(h, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &sz);
  if (rc == 0 && type != REG_SZ && type != REG_EXPAND_SZ) rc = ERROR_INVALID_DATA;
  if (err) *err = rc;
  if (rc != 0) return TStr();
  buf[sz] = '\0';  // stored strings need not end with a NUL
  return TStr(buf);
}

TRegKey::~TRegKey() {
  uint32_t rc = Close();
  if (rc) Trace("..!", "RegCloseKey failed: rc=%u.", static_cast<unsigned>(rc));
}

uint32_t TRegKey::Close() {
  if (!m_H) return 0;
  uint32_t rc = static_cast<uint32_t>(RegCloseKey(m_H));
  m_H = nullptr;
  return rc;
}

uint32_t OpenPath(HKEY& h, const char* path, REGSAM access, TStack<TRegKey>& keys) {
  keys.Clr();
  if (!path) return RC_BAD_PRM;
  const HKEY callers = h;
  const char* p = path;
  bool first = true;
  for (;;) {
    const char* sep = strchr(p, '\\');
    size_t len = sep ? static_cast<size_t>(sep - p) : strlen(p);
    // Empty components (a leading, doubled or trailing backslash) name no key.
    if (len > 0) {
      TStr comp(p, static_cast<uint32_t>(len));
      bool isRoot = false;
      if (first) {
        for (const TRoot& r : kRoots) {
          if (strcmp(comp.Str(), r.Name) == 0) {
            h = r.Key;
            isRoot = true;
            break;
          }
        }
      }
      if (!isRoot) {
        HKEY k = nullptr;
        LONG rc = RegOpenKeyExA(h, comp.Str(), 0, access, &k);
        if (rc != ERROR_SUCCESS && (access & KEY_CREATE_SUB_KEY))
          rc = RegCreateKeyExA(h, comp.Str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &k, nullptr);
        if (rc != ERROR_SUCCESS) {
          keys.Clr();
          h = callers;
          return static_cast<uint32_t>(rc);
        }
        keys.Add(new TRegKey(k));
        h = k;
      }
    }
    first = false;
    if (!sep) break;
    p = sep + 1;
  }
  return 0;
}
