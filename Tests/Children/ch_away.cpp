// Child for the supervisor's tests: ch_away <marker file>
// First run (no marker yet): makes the marker, renames its own program file to "<program>.away" and ends
// with 5, so that the next launch finds no program until someone renames it back. Later runs end with 0.
#include <windows.h>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 87;
  if (GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES) return 0;
  HANDLE h = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 3;
  CloseHandle(h);
  char self[MAX_PATH], away[MAX_PATH + 8];
  if (!GetModuleFileNameA(nullptr, self, MAX_PATH)) return 2;
  std::snprintf(away, sizeof away, "%s.away", self);
  return MoveFileA(self, away) ? 5 : 4;
}
