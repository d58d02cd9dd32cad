// Line layout, filter list, parameters and the plain file log (the event log).
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <thread>

#include "Log/Log.h"
#include "Log/LogFile.h"
#include "Log/LogLine.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

// The supervisor's event log set-up; tmFrmt "" leaves the bare text.
void EventPrms(TLogPrms& p, const std::string& file, const char* tmFrmt = "dd.MM.yyyy HH:mm:ss") {
  p.SetFileNm(file.c_str());
  p.SetTmFrmt(tmFrmt);
  p.SetPidOn(false);
  p.SetTidOn(false);
  p.SetTpOn(false);
  p.AddTp("...", "");
}

}  // namespace

TEST(LogRender, Layouts) {
  const struct {
    const char* fmt;
    bool pid, tid, tp;
    uint32_t pidV, tidV;
    const char *tpV, *txt, *want;
  } cases[] = {
      {"dd.MM.yyyy HH:mm:ss.ii", true, true, true, 0x1a2c, 0x0f10, "STT", "Go",
       "STT 05.12.2026 18:42:49.123 Pid=0x1a2c Tid=0x0f10 Go\r\n"},
      {"dd.MM.yyyy HH:mm:ss", false, false, false, 1, 1, "STT", "Go", "05.12.2026 18:42:49 Go\r\n"},
      {"", true, true, false, 5, 0xabcdef, "STT", "Go", "Pid=0x0005 Tid=0xabcdef Go\r\n"},
      {"yyyyMMdd-HHmmssii", false, true, true, 1, 0x0a3c, "STT", "Go", "STT 20261205-184249123 Tid=0x0a3c Go\r\n"},
      {"", false, false, true, 1, 1, "STT", "", "STT \r\n"},  // an empty text keeps its blank
      {"", false, false, true, 1, 1, "", "Go", "Go\r\n"},     // an empty type code does not
  };
  const SYSTEMTIME st = {2026, 12, 0, 5, 18, 42, 49, 123};
  for (const auto& c : cases)
    EXPECT_STREQ(TLogLine(c.tpV, c.txt, TBTm(st), c.pidV, c.tidV).Render(TStr(c.fmt), c.pid, c.tid, c.tp).Str(),
                 c.want);
}

TEST(LogPrms, DefaultsAndFilter) {
  TLogPrms p;
  p.SetFileNm("x.log");
  p.SetStrtMd(2);
  p.SetTmFrmt("");
  EXPECT_FALSE(p.Match("STT", "x"));  // an empty list lets nothing through
  EXPECT_TRUE(p.AddTp("ABC", "one"));
  EXPECT_TRUE(p.AddTp("abc", ""));
  EXPECT_FALSE(p.AddTp("ABC", "two"));  // equal type pattern: the first entry stays
  EXPECT_TRUE(p.Match("ABC", "the one") && !p.Match("ABC", "the two"));
  p.SetDflts();
  EXPECT_EQ(std::string(p.TmFrmt().Str()) + "|" + p.FileNm().Str() + "|" + std::to_string(p.TpCnt()),
            "dd.MM.yyyy HH:mm:ss.ii|x.log|0");  // the file name is not a default
  const char* cases[][5] = {  // type and text pattern, a line's type code and text, "1" when it passes
      {"...", "", "STT", "any", "1"}, {"...", "", "AB", "any", ""},       {"STT", "^thread", "STT", "a thread", ""},
      {"STT", "", "stt", "x", ""},    {"UB\xb7", "", "UB\xb7", "x", "1"},
  };
  for (auto& c : cases) {
    TLogPrms f;
    f.AddTp(c[0], c[1]);
    EXPECT_EQ(f.Match(c[2], c[3]), *c[4] == '1') << c[0] << " / " << c[1] << " on " << c[2];
  }
}

TEST(LogCore, MutexNamePerProcessAndWaitCodes) {
  TLog l;
  char want[64];
  snprintf(want, sizeof want, "YD_Log_%llu_%lu", (unsigned long long)(uintptr_t)&l, GetCurrentProcessId());
  EXPECT_STREQ(l.MutexNm().Str(), want);  // the same address in another process gives another name
  ASSERT_EQ(l.Lock(1000), 0u);  // another thread's Write() gives up after its wait and drops the line
  std::thread([&] { EXPECT_EQ(l.Write("ABC", "dropped"), 1460u); }).join();
  EXPECT_EQ(l.QueueCnt(), 0u);
  l.Unlock();
  EXPECT_EQ(l.Write("ABC", "kept"), 0u);
  EXPECT_EQ(l.QueueCnt(), 1u);
}

TEST(LogCore, LayoutsThroughTheFile) {
  TTmpDir d;
  TLog ev, tr;
  EventPrms(ev.Prms(), d("ev.log"));
  ASSERT_EQ(ev.Open(), 0u);
  EXPECT_EQ(ev.Write("---", "%s", "\xc7\xe0\xef\xf3\xf1\xea."), 0u);  // "Start."
  // "Exit: code "
  EXPECT_EQ(ev.Write("---", "%s%u", "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: \xea\xee\xe4 ", 0u), 0u);
  EXPECT_EQ(ev.Write("---", "%s", "100% done %s %n"), 0u);
  EXPECT_FALSE(Exists(d("ev.log")));  // an event line waits for the next due write-out
  EXPECT_EQ(ev.Close(), 0u);
  const std::string tm = "\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d";
  EXPECT_TRUE(std::regex_match(ReadAll(d("ev.log")),
                               std::regex(tm + " \xc7\xe0\xef\xf3\xf1\xea\\.\r\n" + tm +
                                          " \xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: \xea\xee\xe4 0\r\n" + tm +
                                          " 100% done %s %n\r\n")))
      << ReadAll(d("ev.log"));
  tr.Prms().SetFileNm(d("t.log").c_str());  // the defaults: type code, milliseconds, process and thread ids
  tr.Prms().AddTp("...", "");
  ASSERT_EQ(tr.Open(), 0u);
  tr.Write("STT", "Create thread");
  tr.Close();
  char ids[64];
  snprintf(ids, sizeof ids, " Pid=%#06lx Tid=%#06lx Create thread\r\n", GetCurrentProcessId(), GetCurrentThreadId());
  std::string all = ReadAll(d("t.log"));
  EXPECT_TRUE(std::regex_match(all, std::regex("STT " + tm + "\\.\\d{3}" + ids))) << all;
}

TEST(LogCore, LongTextsAreFormattedWhole) {
  TTmpDir d;
  TLog l;
  EventPrms(l.Prms(), d("long.log"), "");
  ASSERT_EQ(l.Open(), 0u);
  std::string want;
  for (size_t n : {63, 64, 65, 128, 200000}) {  // around the first buffer and its doublings
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
    EventPrms(l.Prms(), f, "");
    l.Prms().SetStrtMd(md);
    ASSERT_EQ(l.Open(), 0u);
    EXPECT_EQ(l.Open(), 1u);
    EXPECT_EQ(Exists(f), md != LOG_OVRWRT);  // overwriting deletes the file at opening
    if (md == LOG_NEW) names[names[0].empty() ? 0 : 1] = l.CurFileNm().Str();
    l.Write("---", "mode %u", md);
    EXPECT_EQ(l.Close(), 0u);
    if (md == LOG_APPEND) { EXPECT_EQ(ReadAll(f), "old\r\nmode 0\r\n"); }
    Sleep(5);
  }
  EXPECT_EQ(ReadAll(f), "mode 1\r\n");
  EXPECT_TRUE(std::regex_match(names[0], std::regex(".*\\\\ev20\\d{6}-\\d{9}\\.log"))) << names[0];
  EXPECT_EQ(names[0].substr(0, d.Dir().size()), d.Dir());
  EXPECT_NE(names[0], names[1]);  // each opening names a new file
  EXPECT_EQ(ReadAll(names[0]) + ReadAll(names[1]), "mode 2\r\nmode 2\r\n");
}

TEST(LogCore, WritesOutWhenDueAndKeepsLinesWhileTheFileIsLocked) {
  TTmpDir d;
  std::string f = d("due.log");
  TLog l;
  EventPrms(l.Prms(), f, "");
  l.Prms().SetFlshLns(3);
  ASSERT_EQ(l.Open(), 0u);
  for (int i = 0; i < 3; ++i) l.Write("---", "line %d", i);
  EXPECT_FALSE(Exists(f));
  l.Write("---", "line 3");  // more than three queued: due, written out in the caller's thread
  EXPECT_EQ(ReadAll(f), "line 0\r\nline 1\r\nline 2\r\nline 3\r\n");
  l.Prms().SetFlshSec(0);
  Sleep(20);
  l.Write("---", "line 4");  // more than 0 s since the last write-out
  EXPECT_EQ(Lines(ReadAll(f)).size(), 5u);
  HANDLE lock = CreateFileA(f.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(l.Write("---", "locked %d", i), 0u);
  EXPECT_EQ(l.Flush(), uint32_t(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(l.PendCnt(), 3u);
  CloseHandle(lock);
  l.Write("---", "after");
  EXPECT_EQ(l.Flush(), 0u);
  EXPECT_EQ(ReadAll(f), "line 0\r\nline 1\r\nline 2\r\nline 3\r\nline 4\r\nlocked 0\r\nlocked 1\r\nlocked 2\r\n"
                        "after\r\n");
}

// Opened 30 s before the tick counter wraps, FlshSec 60: the lines stay queued for 60 s across the wrap and
// are written out by the first write after that.
TEST(LogCore, WriteOutFallsDueAcrossTheTickWrap) {
  TTmpDir d;
  std::string f = d("wrap.log");
  yt::TTicksAt ticks(0xFFFFFFFFu - 29999);
  TLog l;
  EventPrms(l.Prms(), f, "");
  ASSERT_EQ(l.Open(), 0u);
  struct { uint32_t now; const char* file; } steps[] = {
      {0xFFFFFFFFu - 29999, ""}, {0xFFFFFFFFu, ""}, {0, ""}, {30000, ""}, {30001, "0\r\n1\r\n2\r\n3\r\n4\r\n"}};
  int i = 0;
  for (const auto& s : steps) {
    ticks.Set(s.now);
    l.Write("---", "%d", i++);
    EXPECT_EQ(ReadAll(f), s.file) << s.now;
  }
}

TEST(LogExpect, WritesTheExpectationLine) {
  TTmpDir d;
  TWliLog* l = dynamic_cast<TWliLog*>(&Log());
  ASSERT_NE(l, nullptr);
  l->SetPrmsFileNm(d("p.wli").c_str());
  l->Prms().SetFileNm(d("p.log").c_str());
  WriteAll(d("p.wli"), "[Prms]\r\nTmFrmt=\r\nPID=off\r\nTID=off\r\n[Evts]\r\n\\.\\.!=\r\n");
  ASSERT_EQ(Log().Open(), 0u);
  LogExpect("x>0", "Src/GUI/MsgBoxAC", 42);
  LOG_EXPECT(1 == 2);
  Log().Close();
  std::vector<std::string> lines = Lines(ReadAll(d("p.log")));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "..! 'x>0' in \"Src/GUI/MsgBoxAC\" line 42");
  EXPECT_EQ(lines[1].substr(0, 17), "..! '1 == 2' in \"");
}
