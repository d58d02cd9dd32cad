// Child for the benchmark: ch_stamp <file> <ms to live>
// Writes the performance-counter value at its start and right before its end, one per line.
#include <windows.h>
#include <cstdio>
#include <cstdlib>

static void Stamp(FILE* f) {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  std::fprintf(f, "%lld\n", (long long)c.QuadPart);
  std::fflush(f);
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  FILE* f = std::fopen(argv[1], "w");
  if (!f) return 3;
  Stamp(f);
  long ms = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (ms > 0) Sleep((DWORD)ms);
  Stamp(f);
  std::fclose(f);
  return 0;
}
