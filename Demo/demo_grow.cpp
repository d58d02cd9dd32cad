// Demo child: demo_grow <counter file>
// Counts its runs in the counter file. The first two runs keep growing their working set (a leak the
// supervisor's memory limit ends); the third run does a little work and ends with exit code 0.
#include <windows.h>
#include <cstdio>
#include <cstdlib>

namespace {

const int LEAKY_RUNS = 2;
const size_t STEP = 4u << 20;       // bytes added per step
const DWORD STEP_MS = 250;          // slow enough for the supervisor's checks to see it grow
const size_t CEILING = 512u << 20;  // the leak stops here even when nobody watches

int Runs(const char* file) {
  int n = 0;
  if (FILE* f = std::fopen(file, "r")) {
    if (std::fscanf(f, "%d", &n) != 1) n = 0;
    std::fclose(f);
  }
  if (FILE* f = std::fopen(file, "w")) {
    std::fprintf(f, "%d\n", n + 1);
    std::fclose(f);
  }
  return n + 1;
}

void Grow(size_t total) {
  for (size_t done = 0; done < total; done += STEP) {
    char* p = static_cast<char*>(VirtualAlloc(nullptr, STEP, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!p) return;
    for (size_t i = 0; i < STEP; i += 4096) p[i] = 1;
    Sleep(STEP_MS);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: demo_grow <counter file>\n");
    return 2;
  }
  int run = Runs(argv[1]);
  std::printf("demo_grow: run %d\n", run);
  std::fflush(stdout);
  if (run <= LEAKY_RUNS) {
    Grow(CEILING);
    Sleep(INFINITE);
  }
  Grow(STEP * 2);
  Sleep(1000);
  return 0;
}
