// Path macros, the program's own path, path splitting and the registry key walker.
#pragma once
#include <windows.h>

#include "Lib/BStr.h"
#include "ydgen.h"

// Expands "%SystemDirectory%", "%CmmnStartup%", "%UserStartup%", "%StartPath%" (any letter case)
// and then environment variables written as %name%; true when anything was replaced.
bool ExpMacros(TStr& s);
TStr OwnPath();    // full path of the running executable; a failure is traced and gives an empty text
uint32_t ReadOwnPath(TStr& path);  // the same untraced: 0, or the code of the failure
TStr StartPath();  // drive and directory of OwnPath(), ending with a backslash
// True when the path names an existing file, not a folder. A look-up that fails for another reason than a
// missing file or folder, or a name no file can have, is traced and answers false.
bool IsFile(const char* path);
// Any out-string may be null. The directory keeps its trailing separator, the extension its dot.
void SplitPath(const char* path, TStr* drive, TStr* dir, TStr* name, TStr* ext);
// Shell folder value by index: 0-12 per-user names, 16-19 common names; empty text on failure,
// *err (when given) then holds the registry error code, RC_BAD_PRM for an unknown index.
TStr ShellFolder(int idx, uint32_t* err = nullptr);

// An open registry key, closed when the object goes.
class TRegKey : public TYdBsMem {
 public:
  explicit TRegKey(HKEY h = nullptr) : m_H(h) {}
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  ~TRegKey() override;

 private:
  uint32_t Close();  // 0 or the registry error code
  HKEY m_H;
};

// Opens a backslash-separated key path below a root name ("HKEY_CURRENT_USER\...") or below the
// handle the caller puts in h. The stack is emptied first and owns every key opened; on success h
// is the last of them, on failure the stack is empty, h is back to the caller's value and the
// registry error code is returned. With KEY_CREATE_SUB_KEY in access, missing keys are created.
uint32_t OpenPath(HKEY& h, const char* path, REGSAM access, TStack<TRegKey>& keys);
