// Status codes that several parts of the program hand each other, and the fixed check identifiers that
// texts quote beside a module path ("[file,n]", "'file' line n"). A check identifier names one check for
// good: it is no position in the sources and stays the same when code moves.
#pragma once
#include <cstdint>

// System error codes, so that every one of them has the system's message text.
enum : uint32_t {
  RC_LMT_EXCEEDED = 13,  // a limit of the child was exceeded or a hang was seen (ERROR_INVALID_DATA)
  RC_FOREIGN_PRM = 50,   // a parameter parser does not know the name: the next one is asked (ERROR_NOT_SUPPORTED)
  RC_BAD_PRM = 87,       // a parameter or its value is refused (ERROR_INVALID_PARAMETER)
  // An unexpected exception, a child that had to be stopped, a window that is not the expected one
  // (ERROR_INTERNAL_ERROR).
  RC_INTERNAL = 1359,
};

// Module paths the texts name.
constexpr const char* SRC_MAIN = "Src/sprv/main";
constexpr const char* SRC_BSTR = "Src/Lib/BStr";
constexpr const char* SRC_THRD = "Src/Lib/Thrd";
constexpr const char* SRC_GEN = "Src/Gen/ydgen";
constexpr const char* SRC_GEN_INC = "Inc/ydgen";
constexpr const char* SRC_MSGBOX = "Src/GUI/MsgBoxAC";
constexpr const char* SRC_SRCHWND = "Src/GUI/SrchWnd";

// Check identifiers, by module.
enum : unsigned {
  // Src/sprv/main: the step of the entry that failed.
  CHK_MAIN_PRMS = 30,   // parameters given at all
  CHK_MAIN_PARSE = 33,  // command-line parsing
  CHK_MAIN_RUN = 34,    // the supervision run
  // Src/Lib/BStr: strings, and the heap routines below them.
  CHK_BSTR_ALLOC = 52,    // heap allocation failed
  CHK_BSTR_REALLOC = 59,  // heap reallocation failed
  CHK_BSTR_DEL = 70,      // range removal outside the string
  CHK_BSTR_GROW = 164,    // a grown text would pass 32 bits
  CHK_BSTR_SET = 170,     // a text set from outside is longer than 32 bits
  CHK_BSTR_INS = 185,     // insertion position past the end
  // Src/Lib/Thrd: threads.
  CHK_THRD_RUNNING = 127,  // a thread object destroyed while its thread runs
  CHK_THRD_RESTART = 140,  // a thread object started a second time
  CHK_THRD_NO_CMD = 232,   // a command thread without its command
  // Src/Gen/ydgen and Inc/ydgen: containers.
  CHK_GEN_ARR_CNT = 441,     // array created with no elements
  CHK_GEN_NULL_ITEM = 1140,  // null item given to AddSorted
  CHK_GEN_INS = 1189,        // list insertion index above the count
  CHK_GEN_GROW = 1231,       // list storage could not be grown
  CHK_GEN_GET_INC = 1259,    // Inc/ydgen: item index of a log list, array index
  CHK_GEN_GET = 1277,        // list item index not below the count
  // Src/GUI/MsgBoxAC: the self-closing box.
  CHK_MSGBOX_NO_THRD = 45,      // the countdown thread did not start
  CHK_MSGBOX_THRD_WAIT = 53,    // waiting for a countdown thread handed over failed
  CHK_MSGBOX_NO_STOP = 55,      // the countdown thread was not told to stop
  CHK_MSGBOX_NO_END = 57,       // the countdown thread did not end in time
  CHK_MSGBOX_HANDED = 65,       // a countdown thread still running was handed to the thread pool
  CHK_MSGBOX_LEFT = 71,         // ... and could not be handed over
  CHK_MSGBOX_NOT_BOX = 101,     // the window found is not the box
  CHK_MSGBOX_PRESS = 113,       // the countdown pressed the default button
  CHK_MSGBOX_SRCH = 123,        // the window search failed
  CHK_MSGBOX_NO_STATION = 191,  // the window station is invisible: the box is not shown
  CHK_MSGBOX_STATION = 196,     // the window station flags could not be read
  CHK_MSGBOX_NO_BOX = 211,      // MessageBoxW failed
  // Src/GUI/SrchWnd: the window search.
  CHK_SRCHWND_CP1251 = 19,     // a name not convertible from code page 1251
  CHK_SRCHWND_CMP = 97,        // the comparison given is not a text comparison
  CHK_SRCHWND_NO_NAMES = 103,  // empty name path
};
