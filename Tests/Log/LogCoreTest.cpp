// Filter, layouts, open modes and write-outs of the plain file log (the event log), and the trace log's own work.
#include <regex>
#include <thread>

#include "LogTestUtil.h"

using namespace logtest;

TEST(LogPrms, DefaultsAndFilter) {
  TLogPrms p;
  p.SetFileNm("x.log");
  EXPECT_FALSE(p.Match("STT", "x"));  // an empty list lets nothing through
  EXPECT_TRUE(p.AddTp("ABC", "one") && p.AddTp("abc", "") && !p.AddTp("ABC", "two"));  // the first entry stays
  EXPECT_TRUE(p.Match("ABC", "the one") && !p.Match("ABC", "the two"));
  p.SetDflts();
  EXPECT_EQ(std::string(p.FileNm().Str()) + "|" + std::to_string(p.TpCnt()), "x.log|0");
  const char* rows[][5] = {  // type and text pattern, a line's type code and text, "1" when it passes
      {"...", "", "STT", "any", "1"}, {"...", "", "AB", "any", ""}, {"STT", "^thread", "STT", "a thread", ""},
      {"STT", "", "stt", "x", ""},    {"UB\xb7", "", "UB\xb7", "x", "1"}};
  for (auto& r : rows) {
    TLogPrms f;
    f.AddTp(r[0], r[1]);
    EXPECT_EQ(f.Match(r[2], r[3]), *r[4] == '1') << r[0] << " / " << r[1] << " on " << r[2];
  }
}

TEST(LogCore, MutexNamePerProcessAndWaitCodes) {
  TLog l;
  char want[64];
  snprintf(want, sizeof want, "YD_Log_%llu_%lu", (unsigned long long)(uintptr_t)&l, GetCurrentProcessId());
  EXPECT_STREQ(P::MutexNm(l).Str(), want);  // the same address in another process gives another name
  {
    TLogLock lk(l, 1000);  // another thread's Write() gives up after its wait and drops the line
    std::thread([&] { EXPECT_EQ(l.Write("ABC", "dropped"), 1460u); }).join();
  }
  EXPECT_EQ(l.Write("ABC", "kept"), 0u);
  EXPECT_EQ(P::Queued(l), 1u);
}

TEST(LogCore, LayoutsThroughTheFile) {
  TTmpDir d;
  TLog ev, tr;
  EventPrms(ev.Prms(), d("ev.log"), "dd.MM.yyyy HH:mm:ss");
  ASSERT_EQ(ev.Open(), 0u);
  EXPECT_EQ(ev.Write("---", "%s", "\xc7\xe0\xef\xf3\xf1\xea."), 0u);  // "Запуск."
  EXPECT_EQ(ev.Write("---", "%s", "100% done %s %n"), 0u);  // outside text is no format
  EXPECT_FALSE(Exists(d("ev.log")));  // an event line waits for the next due write-out
  EXPECT_EQ(ev.Close(), 0u);
  const std::string tm = "\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d";
  EXPECT_TRUE(std::regex_match(ReadAll(d("ev.log")), std::regex(tm + " \xc7\xe0\xef\xf3\xf1\xea\\.\r\n" + tm + " 100% done %s %n\r\n")))
      << ReadAll(d("ev.log"));
  tr.Prms().SetFileNm(d("t.log").c_str());  // the defaults: type code, milliseconds, process and thread ids
  tr.Prms().AddTp("...", "");
  ASSERT_EQ(tr.Open(), 0u);
  tr.Write("STT", "Create thread");
  tr.Close();
  char ids[64];
  snprintf(ids, sizeof ids, " Pid=%#06lx Tid=%#06lx Create thread\r\n", GetCurrentProcessId(), GetCurrentThreadId());
  EXPECT_TRUE(std::regex_match(ReadAll(d("t.log")), std::regex("STT " + tm + "\\.\\d{3}" + ids))) << ReadAll(d("t.log"));
}

TEST(LogCore, LongTextsAreFormattedWhole) {
  TTmpDir d;
  TLog l;
  EventPrms(l.Prms(), d("long.log"));
  ASSERT_EQ(l.Open(), 0u);
  std::string want;
  for (size_t n : {65, 200000}) {
    std::string s = std::string(n - 1, 'x') + "E";
    l.Write("ABC", "%s|%u", s.c_str(), unsigned(n));
    want += s + "|" + std::to_string(n) + "\r\n";
  }
  l.Close();
  EXPECT_TRUE(ReadAll(d("long.log")) == want);
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

TEST(LogCore, WritesOutWhenDueAndKeepsLinesWhileTheFileIsLocked) {
  TTmpDir d;
  std::string f = d("due.log");
  TLog l;
  EventPrms(l.Prms(), f);
  l.Prms().SetFlshLns(3);
  ASSERT_EQ(l.Open(), 0u);
  for (int i = 0; i < 3; ++i) l.Write("---", "line %d", i);
  EXPECT_FALSE(Exists(f));
  l.Write("---", "line 3");  // more than three queued: due, written out in the caller's thread
  EXPECT_EQ(Lines(ReadAll(f)).size(), 4u);
  HANDLE lock = CreateFileA(f.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(l.Write("---", "locked %d", i), 0u);
  EXPECT_EQ(l.Flush(), uint32_t(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(P::Pend(l), 3u);
  CloseHandle(lock);
  l.Write("---", "after");
  EXPECT_EQ(l.Flush(), 0u);
  EXPECT_EQ(ReadAll(f), "line 0\r\nline 1\r\nline 2\r\nline 3\r\nlocked 0\r\nlocked 1\r\nlocked 2\r\nafter\r\n");
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

// The trace log writes out at every line and lets every type through: the closes of its own file and its own
// writer's work must not come back to it as lines (each write-out would then feed the next one for ever).
TEST(LogExpect, WritesTheExpectationLine) {
  TTmpDir d;
  TWliLog* l = dynamic_cast<TWliLog*>(&Log());
  ASSERT_NE(l, nullptr);
  {
    TLogLock lk(*l, 1000);  // lines of earlier tests go: an empty filter passes none
    l->Prms().SetDflts();
    l->Flush();
  }
  l->SetPrmsFileNm(d("p.wli").c_str());
  l->Prms().SetFileNm(d("p.log").c_str());
  WriteAll(d("p.wli"), "[Prms]\r\nTmFrmt=\r\nPID=off\r\nTID=off\r\nFlshLns=0\r\n[Evts]\r\n...=\r\n");
  ASSERT_EQ(Log().Open(), 0u);
  LogExpect("x>0", "Src/GUI/MsgBoxAC", 42);
  LOG_EXPECT(1 == 2);
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(d("p.log"))).size() >= 3; }));
  Sleep(300);
  Log().Close();
  std::vector<std::string> lines = Lines(ReadAll(d("p.log")));
  ASSERT_EQ(lines.size(), 3u) << ReadAll(d("p.log"));
  EXPECT_EQ(lines[0].substr(0, 27), "ST. Thread routine begin(th");  // the writer's start, as every thread's
  EXPECT_EQ(lines[1], "..! 'x>0' in \"Src/GUI/MsgBoxAC\" line 42");
  EXPECT_EQ(lines[2].substr(0, 17), "..! '1 == 2' in \"");
}
