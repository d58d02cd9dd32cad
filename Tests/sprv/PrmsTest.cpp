// The launch parameters one by one (sizes through m), and the reader of durations.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "sprv/Prms.h"

using namespace sprvtest;

namespace {
const std::string BAD = "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 ";  // "Недопустимое "
const std::string BAD_MAX = BAD + "\xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 ";  // "максимальное "
const std::string BAD_VAL = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xe7\xed\xe0\xf7\xe5\xed\xe8\xe8 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe0 ";  // "Ошибка в значении параметра "
const std::string PRM = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 ", AGAIN = "\xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";  // "Параметр ", "задан повторно"
const std::string MSGS[] = {
    "",
    BAD + "\xf7\xe8\xf1\xeb\xee \xef\xee\xef\xfb\xf2\xee\xea \xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xe0",  // число попыток перезапуска
    BAD_MAX + "\xf7\xe8\xf1\xeb\xee \xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI",  // число объектов GDI
    BAD_MAX + "\xf7\xe8\xf1\xeb\xee \xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2",  // число дескрипторов
    "\xcd\xe5 \xe7\xe0\xe4\xe0\xed\xee \xe8\xec\xff \xf4\xe0\xe9\xeb\xe0 \xe4\xeb\xff \xef\xf0\xee\xf2\xee\xea\xee\xeb\xe0",  // Не задано имя файла для протокола
    BAD + "\xe2\xf0\xe5\xec\xff \xef\xe0\xf3\xe7\xfb",  // время паузы
    BAD_MAX + "\xe2\xf0\xe5\xec\xff \xf0\xe0\xe1\xee\xf2\xfb",  // время работы
    BAD_VAL + "HUNG", BAD_VAL + "TIME", PRM + "RC " + AGAIN, PRM + "HUNG " + AGAIN, PRM + "TIME " + AGAIN,
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xfb\xe9 \xea\xee\xe4 \xe2\xee\xe7\xe2\xf0\xe0\xf2\xe0",  // Недопустимый код возврата
    PRM + AGAIN,
    BAD + "\xe7\xed\xe0\xf7\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xec\xe0 \xef\xe0\xec\xff\xf2\xe8. ",  // значение объема памяти.
    "\xd1\xe8\xed\xf2\xe0\xea\xf1\xe8\xf7\xe5\xf1\xea\xe0\xff \xee\xf8\xe8\xe1\xea\xe0. ",  // Синтаксическая ошибка.
};
enum { OK, ATT, GDI_, HND, LOG, PAUSE, RUN, HUNG_, TIME, RC_REP, HUNG_REP, TIME_REP, RC, REP, MEMV, SYNTAX };
}  // namespace

TEST(Prms, StrToMs) {
  struct { const char* txt; uint32_t ms; } cases[] = {
      {"15s", 15000},  {"15S", 15},         {"1m", 60000},       {"1M", 1},         {"1min", 60000},
      {"250ms", 250},  {"2h", 7200000},     {"2\xf7", 7200000},  /* 2ч */           {"3\xec\xe8\xed", 180000},  // 3мин
      {"5\xf1", 5000}, /* 5с */             {"7\xec\xf1", 7},    /* 7мс */          {"4\xec", 240000},  // 4м
      {"10", 10},      {"10x", 10},         {"x10", 0},          {"-5s", 0},        {" 5s", 0},
      {"1.5h", 1},     {"10sec", 10000},    {"10hours", 36000000}, {"", 0},         {"1193h", 4294800000u},
      {"4294967295", 4294967295u},          {"4294967s", 4294967000u},
      // Beyond 32 bits: read as 0 (the parsers refuse them).
      {"1194h", 0},    {"4294967296", 0},   {"4294968s", 0},     {"71583m", 0},     {"99999999999999999999ms", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.ms, StrToMs(TStr(c.txt))) << c.txt;
}

// Every parameter through the dispatcher: the stored setting, or its message followed by the dispatcher's.
TEST(Prms, ValuesAndMessages) {
  typedef uint32_t (*TGet)(const TProcessMngr&);
  TGet att = [](const TProcessMngr& p) { return p.AttemptsLmt(); }, mem = [](const TProcessMngr& p) { return p.MemLmt(); };
  TGet stop = [](const TProcessMngr& p) { return p.StopTm(); }, chk = [](const TProcessMngr& p) { return p.ChkIntrvl(); };
  TGet hung = [](const TProcessMngr& p) { return p.HungChk() ? p.HungLmt() : 0u; };
  TGet hnd = [](const TProcessMngr& p) { return p.HandlesLmt(); };
  struct { const char* prm; int msg; TGet get; uint32_t val; } cases[] = {
      // Name forms and case; -h, -H and -? are help wherever they stand and are taken again each time.
      {"/A:3", OK, att, 3}, {"-attempts:3", OK, att, 3}, {"-ATTEMPTS:2", OK, att, 2}, {"/handles:7", OK, hnd, 7},
      {"-HANDLES:7", OK, hnd, 7}, {"-H:100", OK, hnd, 0}, {"-h", OK, att, ~0u}, {"-? -? /?", OK, att, ~0u},
      {"-a:5x", OK, att, 5}, {"-a:-1", OK, att, ~0u}, {"-a:+7", OK, att, 7}, {"-a:2147483647", OK, att, 2147483647u},
      {"-a:0", ATT}, {"-a", ATT}, {"-a:2147483648", ATT}, {"-a:-2147483649", ATT},
      {"-GDI:100", OK, [](const TProcessMngr& p) { return p.GdiObjsLmt(); }, 100}, {"-g:0", GDI_},
      {"-handles:50", OK, hnd, 50}, {"-handles", HND},
      {"-MEMORY:1k", OK, mem, 1024}, {"-Mem:3", OK, mem, 3}, {"-m:10mb", OK, mem, 10485760}, {"-m:10Mb", OK, mem, 10485760},
      {"-m:512k", OK, mem, 524288}, {"-m:512KB", OK, mem, 524288}, {"-m:3gb", OK, mem, 3221225472u},
      {"-m:4294967295", OK, mem, 4294967295u}, {"-m:4095M", OK, mem, 4293918720u}, {"-m:10X", SYNTAX},
      {"-m:10KBx", SYNTAX}, {"-m:10K5", SYNTAX}, {"-m:abc", MEMV}, {"-m:0M", MEMV}, {"-m:M", MEMV}, {"-m:+10M", MEMV},
      {"-m:", MEMV}, {"-m:4G", MEMV}, {"-m:4096M", MEMV}, {"-m:4194304K", MEMV}, {"-m:4294967296", MEMV},
      {"-m:99999999999999999999", MEMV},
      {"-PAUSE:1h", OK, [](const TProcessMngr& p) { return p.Pause(); }, 3600000}, {"-p:0", PAUSE}, {"-p:5000h", PAUSE},
      {"-s:0", OK, stop, 0}, {"-stop:1m", OK, stop, 60000}, {"-s:x", RUN}, {"-s:5000h", RUN},
      {"-r:1h", OK, [](const TProcessMngr& p) { return p.RunTmLmt(); }, 3600000}, {"-run:0", RUN},
      {"-time:30", OK, chk, 30000}, {"-TIME:4294967", OK, chk, 4294967000u}, {"-time", TIME}, {"-time:4294968", TIME},
      {"-hung", OK, hung, 1}, {"-HUNG:3", OK, hung, 3}, {"-hung:0", HUNG_}, {"-hung:x", HUNG_}, {"-l", LOG}, {"-l:", LOG},
      {"-rc:1,x", RC}, {"-rc:1,,2", RC}, {"-rc:0x", RC}, {"-rc:0x100000000", RC}, {"-rc:4294967296", RC},
      {"-rc:-", RC}, {"-rc:1,", RC},
      // A second time under any of its names; the token quoted is the repeated one.
      {"-g:1 -gdi:2", REP}, {"-handles:1 -Handles:2", REP}, {"-l:a -log:b", REP}, {"-m:1 -memory:2", REP},
      {"-p:1 -p:2", REP}, {"-s:1 -s:2", REP}, {"-r:1 -run:2", REP}, {"-rc:1 -RC:2", RC_REP},
      {"-hung -hung:2", HUNG_REP}, {"-time:1 -time:2", TIME_REP},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, std::string("ydsprv.exe ") + c.prm + " app.exe");
    EXPECT_EQ(c.msg == OK ? 0u : 87u, r.Code()) << c.prm;
    std::string tok = std::string(c.prm).substr(std::string(c.prm).rfind(' ') + 1);
    EXPECT_EQ(c.msg == OK ? "" : MSGS[c.msg] + ERR_PRM + "\"" + tok + "\"", S(r.Cmnt())) << c.prm;
    if (c.get) {
      EXPECT_EQ(c.val, c.get(pm)) << c.prm;
    }
    EXPECT_EQ(c.msg == OK ? "app.exe" : "", S(pm.CmdLn())) << c.prm;
  }
}
