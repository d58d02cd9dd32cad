// Layouts, open modes and write-outs of the plain file log (the event log), and the trace log's own work.
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
  std::thread([&] { EXPECT_EQ(l.Write("ABC", "dropped"), 1460u); }).join();
  EXPECT_EQ(P::Queued(l), 0u);
}

TEST(LogCore, LayoutsThroughTheFile) {
  TTmpDir d;
  TLog ev;
  EventPrms(ev.Prms(), d("ev.log"), "dd.MM.yyyy HH:mm:ss");
  ASSERT_EQ(ev.Open(), 0u);
  EXPECT_EQ(ev.Write("---", "%s", "\xc7\xe0\xef\xf3\xf1\xea."), 0u);  // "Запуск."
  EXPECT_EQ(ev.Write("---", "%s|%u", std::string(200000, '%').c_str(), 7u), 0u);  // far beyond the first buffer
  EXPECT_FALSE(Exists(d("ev.log")));  // an event line waits for the next due write-out
  EXPECT_EQ(ev.Close(), 0u);
  std::vector<std::string> lines = Lines(ReadAll(d("ev.log")));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + " \xc7\xe0\xef\xf3\xf1\xea\\.")));
  EXPECT_EQ(lines[1].substr(19), " " + std::string(200000, '%') + "|7");
}

TEST(LogCore, OpenCloseAndStartModes) {
  TTmpDir d;
  std::string f = d("ev.log"), names[2];
  TLog bad;
  EXPECT_EQ(bad.Close(), 1u);  // never opened
  EXPECT_EQ(bad.Open(), 87u);  // no file name
  bad.Prms().SetFileNm(f.c_str());
  bad.Prms().SetStrtMd(3);
  EXPECT_EQ(bad.Open(), 87u);
  WriteAll(f, "old\r\n");
  for (uint32_t md : {LOG_APPEND, LOG_OVRWRT, LOG_NEW, LOG_NEW}) {
    TLog l;
    EventPrms(l.Prms(), f);
    l.Prms().SetStrtMd(md);
    ASSERT_EQ(l.Open(), 0u);
    EXPECT_EQ(l.Open(), 1u);
    EXPECT_EQ(Exists(f), md != LOG_OVRWRT);  // overwriting deletes the file at opening
    if (md == LOG_NEW) names[names[0].empty() ? 0 : 1] = l.CurFileNm().Str();
    l.Write("---", "mode %u", md);
    EXPECT_EQ(l.Close(), 0u);
    if (md == LOG_APPEND) EXPECT_EQ(ReadAll(f), "old\r\nmode 0\r\n");
    Sleep(5);
  }
  EXPECT_EQ(ReadAll(f), "mode 1\r\n");
  EXPECT_TRUE(std::regex_match(names[0], std::regex(".*\\\\ev20\\d{6}-\\d{9}\\.log"))) << names[0];
  EXPECT_NE(names[0], names[1]);  // each opening names a new file
  EXPECT_EQ(ReadAll(names[0]) + ReadAll(names[1]), "mode 2\r\nmode 2\r\n");
}

// Opened 30 s before the tick counter wraps, FlshSec 60: the lines stay queued for 60 s across the wrap and
// are written out by the first write after that.
TEST(LogCore, WriteOutFallsDueAcrossTheTickWrap) {
  TTmpDir d;
  yt::TTicksAt ticks(0xFFFFFFFFu - 29999);
  TLog l;
  EventPrms(l.Prms(), d("wrap.log"));
  ASSERT_EQ(l.Open(), 0u);
  const struct { uint32_t now; const char* file; } steps[] = {
      {0xFFFFFFFFu - 29999, ""}, {0xFFFFFFFFu, ""}, {0, ""}, {30000, ""}, {30001, "0\r\n1\r\n2\r\n3\r\n4\r\n"}};
  int i = 0;
  for (const auto& s : steps) {
    ticks.Set(s.now);
    l.Write("---", "%d", i++);
    EXPECT_EQ(ReadAll(d("wrap.log")), s.file) << s.now;
  }
}

// The trace log in its default layout, writing out at every line and letting every type through: the work on
// its own file and writer must not come back to it as lines (each write-out would feed the next one for ever).
TEST(LogExpect, WritesTheExpectationLine) {
  TTmpDir d;
  TWliLog& l = dynamic_cast<TWliLog&>(Log());
  {
    TLogLock lk(l, 1000);  // lines of earlier tests go: an empty filter passes none
    l.Prms().SetDflts();
    l.Flush();
  }
  l.SetPrmsFileNm(d("p.wli").c_str());
  l.Prms().SetFileNm(d("p.log").c_str());
  WriteAll(d("p.wli"), "[Prms]\r\nFlshLns=0\r\n[Evts]\r\n...=\r\n");
  ASSERT_EQ(l.Open(), 0u);
  LogExpect("x>0", "Src/GUI/MsgBoxAC", 42);
  LOG_EXPECT(1 == 2);
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(d("p.log"))).size() >= 3; }));
  Sleep(300);
  l.Close();
  char ids[32];
  snprintf(ids, sizeof ids, "\\.\\d{3} Pid=%#06lx Tid=", GetCurrentProcessId());
  const std::string head = "\\.\\.! " + kStamp + ids + "0x[0-9a-f]{4,} '";  // type, time, process and thread
  EXPECT_TRUE(std::regex_match(ReadAll(d("p.log")), std::regex("ST\\. " + kStamp + ids + "0x[0-9a-f]{4,} Thread routine begin.*\r\n" +
                                                               head + "x>0' in \"Src/GUI/MsgBoxAC\" line 42\r\n" + head + "1 == 2' in .*\r\n")))
      << ReadAll(d("p.log"));  // the writer's start, as every thread's, then the expectations
}
