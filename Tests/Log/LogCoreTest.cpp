// The plain file log (the event log): its mutex, write-outs across the tick wrap; the trace log's own work never
// feeds the trace log.
#include <regex>
#include <thread>

#include "LogTestUtil.h"

using namespace logtest;

const std::string kStamp = "\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d";

TEST(LogCore, MutexNamePerProcessAndWaitCodes) {
  TLog l;
  char want[64];
  snprintf(want, sizeof want, "YD_Log_%llu_%lu", (unsigned long long)(uintptr_t)&l, GetCurrentProcessId());
  EXPECT_STREQ(P::MutexNm(l).Str(), want);  // the same address in another process gives another name
  TLogLock lk(l, 1000);  // another thread's Write() gives up after its wait and drops the line
  std::thread([&] { EXPECT_TRUE(l.Write("ABC", "dropped") == 1460u && P::Queued(l) == 0); }).join();
}

// Opened 30 s before the tick counter wraps, FlshSec 60: the lines stay queued for 60 s across the wrap and
// are written out by the first write after that.
TEST(LogCore, WriteOutFallsDueAcrossTheTickWrap) {
  TTmpDir d;
  TTicksAt ticks(0xFFFFFFFFu - 29999);
  TLog l;
  EventPrms(l.Prms(), d("wrap.log"));
  ASSERT_EQ(l.Open(), 0u);
  const struct { uint32_t now; const char* file; } steps[] = {
      {0xFFFFFFFFu - 29999, ""}, {0xFFFFFFFFu, ""}, {0, ""}, {30000, ""}, {30001, "0\r\n1\r\n2\r\n3\r\n4\r\n"}};
  for (const auto& s : steps) {
    ticks.Set(s.now);
    l.Write("---", "%d", int(&s - steps));
    EXPECT_EQ(ReadAll(d("wrap.log")), s.file) << s.now;
  }
}

// The trace log with its names from the executable, in its default layout, writing out at every line and
// letting every type through: the work on its own file and writer must not come back to it as lines (each
// write-out would feed the next one for ever).
TEST(LogExpect, WritesTheExpectationLine) {
  TTmpDir d;
  TWliLog& l = dynamic_cast<TWliLog&>(Log());
  char exe[MAX_PATH + 1];
  std::string stem(exe, GetModuleFileNameA(nullptr, exe, sizeof exe) - 4);  // without ".exe"
  EXPECT_EQ(std::string(l.PrmsFileNm().Str()) + "|" + l.Prms().FileNm().Str(), stem + ".wli|" + stem + ".log");
  {
    TLogLock lk(l, 1000);  // lines of earlier tests go: an empty filter passes none
    l.Prms().SetDflts();
    l.Flush();
  }
  l.SetPrmsFileNm(d("p.wli").c_str());
  l.Prms().SetFileNm(d("p.log").c_str());
  EXPECT_TRUE(WriteAll(d("p.wli"), "[Prms]\r\nFlshLns=0\r\n[Evts]\r\n...=\r\n"));
  ASSERT_EQ(l.Open(), 0u);
  LogExpect("x>0", "Src/GUI/MsgBoxAC", 42);
  LOG_EXPECT(1 == 2);
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(d("p.log"))).size() >= 3; }));
  Sleep(300);
  l.Close();
  char ids[64];
  snprintf(ids, sizeof ids, "\\.\\d{3} Pid=%#06lx Tid=0x[0-9a-f]{4,} ", GetCurrentProcessId());
  const std::string head = "\\.\\.! " + kStamp + ids + "'";  // type, time, process and thread
  EXPECT_TRUE(std::regex_match(ReadAll(d("p.log")), std::regex("ST\\. " + kStamp + ids + "Thread routine begin.*\r\n" + head +
                                                               "x>0' in \"Src/GUI/MsgBoxAC\" line 42\r\n" + head + "1 == 2' in .*\r\n")))
      << ReadAll(d("p.log"));  // the writer's start, as every thread's, then the expectations
}
