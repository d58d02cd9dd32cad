// The launch parameters, one by one, and the readers of durations and sizes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sprv/CmdLn.h"
#include "sprv/Prms.h"
#include "sprv/ProcessMngr.h"

namespace {

std::string S(const TStr& s) { return s.Str() ? s.Str() : ""; }

// "Недопустимое значение объема памяти. "
const std::string MSG_MEM =
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xe7\xed\xe0\xf7\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xec\xe0 "
    "\xef\xe0\xec\xff\xf2\xe8. ";
// "Синтаксическая ошибка. "
const std::string MSG_SYNTAX = "\xd1\xe8\xed\xf2\xe0\xea\xf1\xe8\xf7\xe5\xf1\xea\xe0\xff \xee\xf8\xe8\xe1\xea\xe0. ";
// "Ошибка в параметре "
const std::string ERR_PRM = "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 ";

const std::string MSGS[] = {
    "",
    // 1 "Недопустимое число попыток перезапуска"
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xf7\xe8\xf1\xeb\xee \xef\xee\xef\xfb\xf2\xee\xea "
    "\xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xe0",
    // 2 "Недопустимое максимальное число объектов GDI"
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 \xf7\xe8\xf1\xeb\xee "
    "\xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI",
    // 3 "Недопустимое максимальное число дескрипторов"
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 \xf7\xe8\xf1\xeb\xee "
    "\xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2",
    // 4 "Не задано имя файла для протокола"
    "\xcd\xe5 \xe7\xe0\xe4\xe0\xed\xee \xe8\xec\xff \xf4\xe0\xe9\xeb\xe0 \xe4\xeb\xff \xef\xf0\xee\xf2\xee\xea\xee\xeb\xe0",
    // 5 "Недопустимое время паузы"
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xe2\xf0\xe5\xec\xff \xef\xe0\xf3\xe7\xfb",
    // 6 "Недопустимое максимальное время работы"
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xee\xe5 \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 \xe2\xf0\xe5\xec\xff "
    "\xf0\xe0\xe1\xee\xf2\xfb",
    // 7 "Ошибка в значении параметра HUNG"
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xe7\xed\xe0\xf7\xe5\xed\xe8\xe8 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe0 HUNG",
    // 8 "Ошибка в значении параметра TIME"
    "\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xe7\xed\xe0\xf7\xe5\xed\xe8\xe8 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe0 TIME",
    // 9 "Параметр RC задан повторно"
    "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 RC \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee",
    // 10 "Параметр HUNG задан повторно"
    "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 HUNG \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee",
    // 11 "Параметр TIME задан повторно"
    "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 TIME \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee",
    // 12 "Недопустимый код возврата"
    "\xcd\xe5\xe4\xee\xef\xf3\xf1\xf2\xe8\xec\xfb\xe9 \xea\xee\xe4 \xe2\xee\xe7\xe2\xf0\xe0\xf2\xe0",
    // 13 "Параметр задан повторно"
    "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee",
};
enum { OK, M_ATT, M_GDI, M_HND, M_LOG, M_PAUSE, M_RUN, M_HUNG, M_TIME, M_RC_REP, M_HUNG_REP, M_TIME_REP, M_RC, M_REP };

std::vector<uint32_t> Codes(const TProcessMngr& pm) {
  std::vector<uint32_t> v;
  for (TQueueCIter<uint32_t> it(pm.RetCodes()); !it.End(); it.Next()) v.push_back(*it.Cur());
  return v;
}

TRes Parse(TProcessMngr& pm, const std::string& prms) {
  TCmdLnToPmPrsr p(&pm);
  return p.Prs(("ydsprv.exe " + prms + " app.exe").c_str());
}

}  // namespace

TEST(StrToMs, Table) {
  struct {
    const char* txt;
    uint32_t ms;
  } cases[] = {
      {"15s", 15000},        {"15S", 15},           {"1m", 60000},         {"1M", 1},
      {"1min", 60000},       {"250ms", 250},        {"2h", 7200000},       {"2\xf7", 7200000},  // 2ч
      {"3\xec\xe8\xed", 180000},  /* 3мин */          {"5\xf1", 5000},  /* 5с */ {"7\xec\xf1", 7},  /* 7мс */
      {"4\xec", 240000},     /* 4м */               {"10", 10},            {"10x", 10},
      {"x10", 0},            {"-5s", 0},            {"0s", 0},             {" 5s", 0},
      {"1.5h", 1},           {"10sec", 10000},      {"10minutes", 600000}, {"10hours", 36000000},
      {"10H", 10},           {"", 0},               {"1193h", 4294800000u},
      {"4294967295", 4294967295u}, {"4294967s", 4294967000u},
      // Beyond 32 bits: read as 0 (the parsers refuse them).
      {"1194h", 0},          {"4294967296", 0},     {"4294968s", 0},       {"71583m", 0},
      {"99999999999999999999ms", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToMs(TStr(c.txt)), c.ms) << c.txt;
  uint32_t ms = 7;
  EXPECT_FALSE(StrToMsChk(TStr("1194h"), ms));
  EXPECT_TRUE(StrToMsChk(TStr("x"), ms));
  EXPECT_EQ(ms, 0u);
}

TEST(StrToSz, Table) {
  struct {
    const char* txt;
    uint32_t bytes;
    const std::string* msg;
  } cases[] = {
      {"10M", 10485760, nullptr},   {"10m", 10485760, nullptr},   {"10mb", 10485760, nullptr},
      {"10Mb", 10485760, nullptr},  {"512k", 524288, nullptr},    {"512KB", 524288, nullptr},
      {"1G", 1073741824, nullptr},  {"3G", 3221225472u, nullptr}, {"3gb", 3221225472u, nullptr},
      {"10", 10, nullptr},          {"4294967295", 4294967295u, nullptr}, {"4095M", 4293918720u, nullptr},
      {"10X", 0, &MSG_SYNTAX},      {"10KBx", 0, &MSG_SYNTAX},    {"10K5", 0, &MSG_SYNTAX},
      {"10 M", 0, &MSG_SYNTAX},     {"0M", 0, &MSG_MEM},          {"M", 0, &MSG_MEM},
      {"+10M", 0, &MSG_MEM},        {"", 0, &MSG_MEM},            {"000", 0, &MSG_MEM},
      {"4G", 0, &MSG_MEM},          {"4096M", 0, &MSG_MEM},       {"4194304K", 0, &MSG_MEM},
      {"4294967296", 0, &MSG_MEM},  {"99999999999999999999", 0, &MSG_MEM},
  };
  for (const auto& c : cases) {
    uint32_t b = 0;
    TRes r = StrToSz(TStr(c.txt), b);
    if (!c.msg) {
      EXPECT_TRUE(r.IsOk()) << c.txt << ": " << S(r.Cmnt());
      EXPECT_EQ(b, c.bytes) << c.txt;
    } else {
      EXPECT_EQ(r.Code(), 87u) << c.txt;
      EXPECT_TRUE(r.IsErr()) << c.txt;
      EXPECT_EQ(S(r.Cmnt()), *c.msg) << c.txt;
    }
  }
}

// Every parameter through the dispatcher: the stored setting, or the refusal with its message
// followed by the dispatcher's text.
TEST(Prms, ValuesAndMessages) {
  struct {
    const char* prm;
    int msg;
    uint32_t (*get)(const TProcessMngr&);
    uint32_t val;
  } cases[] = {
      {"-a:5x", OK, [](const TProcessMngr& p) { return p.AttemptsLmt(); }, 5},
      {"-a:-1", OK, [](const TProcessMngr& p) { return p.AttemptsLmt(); }, 4294967295u},
      {"-a:+7", OK, [](const TProcessMngr& p) { return p.AttemptsLmt(); }, 7},
      {"-a:0", M_ATT, nullptr, 0},
      {"-a", M_ATT, nullptr, 0},
      {"-a:x", M_ATT, nullptr, 0},
      {"-a:2147483648", M_ATT, nullptr, 0},  // beyond a 32-bit integer
      {"-a:-2147483649", M_ATT, nullptr, 0},
      {"-a:2147483647", OK, [](const TProcessMngr& p) { return p.AttemptsLmt(); }, 2147483647u},
      {"-g:100", OK, [](const TProcessMngr& p) { return p.GdiObjsLmt(); }, 100},
      {"-GDI:100", OK, [](const TProcessMngr& p) { return p.GdiObjsLmt(); }, 100},
      {"-g:0", M_GDI, nullptr, 0},
      {"-handles:50", OK, [](const TProcessMngr& p) { return p.HandlesLmt(); }, 50},
      {"-handles", M_HND, nullptr, 0},
      {"-m:10M", OK, [](const TProcessMngr& p) { return p.MemLmt(); }, 10485760},
      {"-MEMORY:1k", OK, [](const TProcessMngr& p) { return p.MemLmt(); }, 1024},
      {"-Mem:3", OK, [](const TProcessMngr& p) { return p.MemLmt(); }, 3},
      {"-p:15s", OK, [](const TProcessMngr& p) { return p.Pause(); }, 15000},
      {"-PAUSE:1h", OK, [](const TProcessMngr& p) { return p.Pause(); }, 3600000},
      {"-p:0", M_PAUSE, nullptr, 0},
      {"-p:abc", M_PAUSE, nullptr, 0},
      {"-p:5000h", M_PAUSE, nullptr, 0},
      {"-s:0", OK, [](const TProcessMngr& p) { return p.StopTm(); }, 0},
      {"-stop:1m", OK, [](const TProcessMngr& p) { return p.StopTm(); }, 60000},
      {"-s:x", M_RUN, nullptr, 0},
      {"-s", M_RUN, nullptr, 0},
      {"-s:5000h", M_RUN, nullptr, 0},
      {"-r:1h", OK, [](const TProcessMngr& p) { return p.RunTmLmt(); }, 3600000},
      {"-run:0", M_RUN, nullptr, 0},
      {"-time:30", OK, [](const TProcessMngr& p) { return p.ChkIntrvl(); }, 30000},
      {"-TIME:4294967", OK, [](const TProcessMngr& p) { return p.ChkIntrvl(); }, 4294967000u},
      {"-time", M_TIME, nullptr, 0},
      {"-time:4294968", M_TIME, nullptr, 0},
      {"-hung", OK, [](const TProcessMngr& p) { return p.HungLmt(); }, 1},
      {"-HUNG:3", OK, [](const TProcessMngr& p) { return p.HungLmt(); }, 3},
      {"-hung:0", M_HUNG, nullptr, 0},
      {"-hung:x", M_HUNG, nullptr, 0},
      {"-l", M_LOG, nullptr, 0},
      {"-l:", M_LOG, nullptr, 0},
      {"-rc:1,x", M_RC, nullptr, 0},
      {"-rc:1,,2", M_RC, nullptr, 0},
      {"-rc:0x", M_RC, nullptr, 0},
      {"-rc:0x100000000", M_RC, nullptr, 0},
      {"-rc:4294967296", M_RC, nullptr, 0},
      {"-rc:-", M_RC, nullptr, 0},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.prm);
    if (c.msg == OK) {
      EXPECT_TRUE(r.IsOk()) << c.prm << ": " << S(r.Cmnt());
      EXPECT_EQ(c.get(pm), c.val) << c.prm;
    } else {
      EXPECT_EQ(r.Code(), 87u) << c.prm;
      EXPECT_EQ(S(r.Cmnt()), MSGS[c.msg] + ERR_PRM + "\"" + c.prm + "\"") << c.prm;
      EXPECT_TRUE(pm.CmdLn().Empty()) << c.prm;
    }
  }
}

TEST(Prms, MemoryMessagesEndInFullStopAndBlank) {
  TProcessMngr pm;
  TRes r = Parse(pm, "-m:10X");
  EXPECT_EQ(S(r.Cmnt()), MSG_SYNTAX + ERR_PRM + "\"-m:10X\"");
  TProcessMngr pm2;
  r = Parse(pm2, "-m:abc");
  EXPECT_EQ(S(r.Cmnt()), MSG_MEM + ERR_PRM + "\"-m:abc\"");
  EXPECT_EQ(pm2.MemLmt(), 0u);
}

TEST(Prms, RepetitionMessages) {
  struct {
    const char* prms;
    int msg;
  } cases[] = {
      {"-g:1 -gdi:2", M_REP},  {"-handles:1 -Handles:2", M_REP}, {"-l:a -log:b", M_REP},
      {"-m:1 -memory:2", M_REP}, {"-p:1 -p:2", M_REP},          {"-s:1 -s:2", M_REP},
      {"-r:1 -run:2", M_REP},  {"-rc:1 -RC:2", M_RC_REP},         {"-hung -hung:2", M_HUNG_REP},
      {"-time:1 -time:2", M_TIME_REP},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.prms);
    std::string second = std::string(c.prms).substr(std::string(c.prms).find(' ') + 1);
    EXPECT_EQ(S(r.Cmnt()), MSGS[c.msg] + ERR_PRM + "\"" + second + "\"") << c.prms;
  }
}

TEST(Prms, HungAndLog) {
  TProcessMngr pm;
  EXPECT_FALSE(pm.HungChk());
  ASSERT_TRUE(Parse(pm, "-hung -l:C:\\ev.log").IsOk());
  EXPECT_TRUE(pm.HungChk());
  EXPECT_EQ(pm.HungLmt(), 1u);
  EXPECT_STREQ(pm.LogFile().Str(), "C:\\ev.log");
}

TEST(Prms, ReturnCodes) {
  struct {
    const char* prm;
    std::vector<uint32_t> codes;
  } cases[] = {
      {"", {0, 1223, 1152}},
      {"-rc:", {}},
      {"-rc:0,1", {0, 1}},
      {"-rc:5,5", {5, 5}},
      {"-rc:0xC0000005,0x10", {0xC0000005u, 16}},
      {"-rc:\"1, 2 ,\t3\"", {1, 2, 3}},
      {"-rc:4294967295,-1", {4294967295u, 4294967295u}},
      {"-rc:-1073741819", {0xC0000005u}},
  };
  for (const auto& c : cases) {
    TProcessMngr pm;
    TRes r = Parse(pm, c.prm);
    EXPECT_TRUE(r.IsOk()) << c.prm << ": " << S(r.Cmnt());
    EXPECT_EQ(Codes(pm), c.codes) << c.prm;
  }
}

TEST(Prms, ForeignNamesAnswer50AndLeaveTarget) {
  TProcessMngr pm;
  TAttemptsLmtPrmPrsr a(&pm);
  TRes r = a.Prs(TStr("x"), TStr("3"));
  EXPECT_EQ(r.Code(), 50u);
  EXPECT_TRUE(S(r.Cmnt()).empty());
  EXPECT_FALSE(a.IsGvn());
  EXPECT_EQ(pm.AttemptsLmt(), 0xFFFFFFFFu);
  TCmdLnHlpPrmPrsr h;
  EXPECT_EQ(h.Prs(TStr("help"), TStr()).Code(), 50u);
  EXPECT_EQ(h.Prs(TStr("h"), TStr()).Code(), 0u);
  EXPECT_EQ(h.Prs(TStr("h"), TStr()).Code(), 0u);
  TCmdPrmPrsr cmd(&pm);
  EXPECT_EQ(cmd.Prs(TStr("a"), TStr("x")).Code(), 50u);
  EXPECT_EQ(cmd.Prs(TStr(), TStr("app.exe")).Code(), 0u);
  cmd.AddArg(TStr("1"));
  EXPECT_STREQ(pm.CmdLn().Str(), "app.exe 1");
}
