// The health checks with given measures: order, comments, severities. Under Wine the real handle and GDI
// counts always read 0, so with the real measures those two checks only take their pass path; these given
// measures are the only way their failure path runs here.
#include <gtest/gtest.h>
#include "ProcessTestUtil.h"
#include "Lib/BTm.h"
#include "sprv/Process.h"

using namespace sprvtest;

namespace {
// Measures given by the test instead of the platform's; counts how often some were asked.
struct TGivenMeasures : TMeasures {
  bool WsOk = true;
  uint64_t Ws = 0;
  uint32_t HandleCnt = 0, GdiCnt = 0;
  int WsAsked = 0, GdiAsked = 0, HungAsked = 0;
  bool WrkSet(const WTProcess&, uint64_t& bytes) override { return ++WsAsked, bytes = Ws, WsOk; }
  uint32_t Handles(const WTProcess&) override { return HandleCnt; }
  uint32_t GdiObjs(const WTProcess&) override { return ++GdiAsked, GdiCnt; }
  bool HungWnd(const WTProcess&) override { return ++HungAsked, true; }
};
}  // namespace

TEST(Checks, Table) {
  const uint32_t E = SVRT_ERR, OK = SVRT_OK, I = SVRT_INFO;
  struct { const char* name; uint32_t memLmt; bool wsOk; uint64_t ws; uint32_t hndLmt, hnd, gdiLmt, gdi; bool hungOn;
           uint32_t svrt; std::string cmnt; int gdiAsked, hungAsked; } rows[] = {
      {"AllAtLimit", 10485760, true, 10485760, 100, 100, 10, 10, false, OK, "", 1, 0},
      {"MemOneByteOver", 10485760, true, 10485761, 0, 0, 0, 0, false, E, MEM + "10485761/10485760). ", 0, 0},
      {"MemUnreadable", 1, false, 999999999, 0, 0, 0, 0, false, OK, "", 0, 0},
      // A working set of 4 GiB or more is over any 32-bit limit and shows its true size.
      {"Mem4GiB", 0xFFFFFFFFu, true, 1ull << 32, 0, 0, 0, 0, false, E, MEM + "4294967296/4294967295). ", 0, 0},
      {"HandlesOverSkipsHung", 0, true, 0, 5, 6, 0, 0, true, E, HANDLES + "6/5). ", 0, 0},
      {"GdiOver", 0, true, 0, 0, 0, 10, 11, false, E, GDI + "11/10). ", 1, 0},
      {"GdiOff", 0, true, 0, 0, 0, 0, 500, false, OK, "", 0, 0},
      {"MemErrorSkipsGdi", 1000, true, 2000, 0, 0, 10, 11, false, E, MEM + "2000/1000). ", 0, 0},
      {"HungFirstIsANote", 1000, true, 10, 0, 0, 0, 0, true, I, HUNG + "1/1)", 0, 1},
  };
  for (const auto& r : rows) {
    TGivenMeasures g;
    g.WsOk = r.wsOk, g.Ws = r.ws, g.HandleCnt = r.hnd, g.GdiCnt = r.gdi;
    TProcessMngr m;
    m.SetMeasures(&g), m.SetMemLmt(r.memLmt), m.SetHandlesLmt(r.hndLmt), m.SetGdiObjsLmt(r.gdiLmt);
    m.SetHung(r.hungOn, 1);
    WTProcess p;
    TRes res = m.Check(p);
    EXPECT_EQ(r.svrt, res.Svrt()) << r.name;
    EXPECT_EQ(r.svrt == OK ? 0u : 13u, res.Code()) << r.name;
    EXPECT_EQ(r.cmnt, S(res.Cmnt())) << r.name;
    EXPECT_EQ(r.gdiAsked, g.GdiAsked) << r.name;
    EXPECT_EQ(r.hungAsked, g.HungAsked) << r.name;
  }
}

TEST(Checks, RunTimeComesFirstAndEndsInParenthesis) {
  TGivenMeasures g;
  g.Ws = 5000;
  TProcessMngr m;
  m.SetMeasures(&g), m.SetMemLmt(1000), m.SetRunTmLmt(3000);
  m.SetStartTicks(GetTickCount() - 10000);
  WTProcess p;
  TRes res = m.Check(p);
  EXPECT_TRUE(res.IsErr());
  EXPECT_EQ(0, g.WsAsked);
  EXPECT_GE(NumBetween(S(res.Cmnt()), RUN_TM, "/3000)"), 10000) << S(res.Cmnt());
  m.SetStartTicks(GetTickCount());
  EXPECT_EQ(MEM + "5000/1000). ", S(m.Check(p).Cmnt()));
}

// A launch 1000 ms before the tick counter wraps, r:3s: the run time counts on across the wrap.
TEST(Checks, RunTimeAcrossTheTickWrap) {
  yt::TTicksAt ticks(0xFFFFFFFFu - 999);
  TProcessMngr m;
  m.SetRunTmLmt(3000);
  m.SetStartTicks(TickCnt());
  WTProcess p;
  struct { uint32_t now, runTm; std::string cmnt; } rows[] = {
      {0xFFFFFFFFu - 999, 0, ""}, {0xFFFFFFFFu, 999, ""}, {0, 1000, ""}, {2000, 3000, ""},
      {2001, 3001, RUN_TM + "3001/3000)"}, {0x7FFFFFFFu, 0x800003E7u, RUN_TM + "2147484647/3000)"}};
  for (const auto& r : rows) {
    ticks.Set(r.now);
    EXPECT_EQ(r.runTm, m.RunTm()) << r.now;
    EXPECT_EQ(r.cmnt, S(m.ChkRunTm(p).Cmnt())) << r.now;
  }
}
