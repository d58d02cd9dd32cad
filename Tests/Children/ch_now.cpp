// Child for the supervisor's tests and benchmark: ends at once with exit code 5, or with the code given.
#include <windows.h>
#include <cstdlib>

int main(int argc, char** argv) { ExitProcess(argc > 1 ? (UINT)std::strtoul(argv[1], nullptr, 0) : 5u); }
