// Small regular-expression matcher: a compiler to a compact node program and a backtracking matcher.
// All working state lives in a per-call context, so different threads may compile and match at the same
// time. ReExec(prog, text) stores the match positions in the program itself: one program object is used by
// one thread at a time; the TReMatch form leaves the program untouched and may share it between threads.
#pragma once
#include <cstdint>

enum : int { RE_NSUB = 10 };      // slot 0 the whole match, slots 1..9 the groups
enum : uint8_t { RE_MAGIC = 156 };  // first byte of every program

// One heap block (free it with std::free): the fields, then the program of ProgLen bytes.
struct TReProg {
  const char* StartP[RE_NSUB];  // group starts in the text of the last successful ReExec
  const char* EndP[RE_NSUB];    // group ends, same slots
  char Start;                   // first-character hint, 0 when there is none
  char Anch;                    // 1 when the pattern begins at the start of the text
  const char* Must;             // literal every match contains (points into Prog), or null
  int32_t MustLen;
  const char* Bol;              // the text of the last ReExec, for ReMatchStart
  uint32_t ProgLen;             // bytes of Prog, so that no link can lead outside it
  char Prog[1];                 // RE_MAGIC, then the nodes
};

struct TReMatch {
  const char* StartP[RE_NSUB];
  const char* EndP[RE_NSUB];
};

TReProg* ReComp(const char* pattern);             // null on error
int ReExec(TReProg* prog, const char* text);      // 1 match, 0 none
int ReExec(const TReProg* prog, const char* text, TReMatch& m);
// Offset of the match start in the text of the last ReExec on prog; -1 when that found nothing.
int ReMatchStart(const TReProg* prog);

// Receives every error text of compiling and matching; null (messages dropped) unless a user sets it.
extern void (*ReErrHook)(const char* msg);
