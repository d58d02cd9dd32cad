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

TBTm Tm(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s, uint16_t ms) {
  SYSTEMTIME st = {};
  st.wYear = y;
  st.wMonth = mo;
  st.wDay = d;
  st.wHour = h;
  st.wMinute = mi;
  st.wSecond = s;
  st.wMilliseconds = ms;
  return TBTm(st);
}

// The supervisor's event log set-up.
void EventPrms(TLogPrms& p, const std::string& file) {
  p.SetFileNm(file.c_str());
  p.SetTmFrmt("dd.MM.yyyy HH:mm:ss");
  p.SetPidOn(false);
  p.SetTidOn(false);
  p.SetTpOn(false);
  p.AddTp("...", "");
}

struct RenderCase {
  const char* fmt;
  bool pid, tid, tp;
  uint32_t pidV, tidV;
  const char* want;
};

}  // namespace

TEST(LogRender, Layouts) {
  const RenderCase cases[] = {
      {"dd.MM.yyyy HH:mm:ss.ii", true, true, true, 0x1a2c, 0x0f10,
       "STT 05.12.2026 18:42:49.123 Pid=0x1a2c Tid=0x0f10 Create thread\r\n"},
      {"dd.MM.yyyy HH:mm:ss", false, false, false, 1, 1, "05.12.2026 18:42:49 Create thread\r\n"},
      {"", false, false, false, 1, 1, "Create thread\r\n"},
      {"", true, false, false, 5, 1, "Pid=0x0005 Create thread\r\n"},
      {"", true, true, false, 74565, 0xabcdef, "Pid=0x12345 Tid=0xabcdef Create thread\r\n"},
      {"", false, false, true, 1, 1, "STT Create thread\r\n"},
      {"yyyyMMdd-HHmmssii", false, true, true, 1, 0x0a3c, "STT 20261205-184249123 Tid=0x0a3c Create thread\r\n"},
  };
  for (const RenderCase& c : cases) {
    TLogLine l("STT", "Create thread", Tm(2026, 12, 5, 18, 42, 49, 123), c.pidV, c.tidV);
    EXPECT_STREQ(l.Render(TStr(c.fmt), c.pid, c.tid, c.tp).Str(), c.want) << c.fmt;
  }
}

TEST(LogRender, EmptyTextAndCodesKeepTheirBlanks) {
  TLogLine l("WP.", "", Tm(2026, 1, 2, 3, 4, 5, 6), 1, 2);
  EXPECT_STREQ(l.Render(TStr(""), false, false, true).Str(), "WP. \r\n");
  TLogLine e("", "x", Tm(2026, 1, 2, 3, 4, 5, 6), 1, 2);
  EXPECT_STREQ(e.Render(TStr(""), false, false, true).Str(), "x\r\n");
}

TEST(LogPrms, Defaults) {
  TLogPrms p;
  p.SetFileNm("x.log");
  p.SetPidOn(false);
  p.SetStrtMd(2);
  p.SetFlshSec(1);
  p.SetFlshLns(2);
  p.SetTmFrmt("");
  p.AddTp("ABC", "");
  p.SetDflts();
  EXPECT_STREQ(p.TmFrmt().Str(), "dd.MM.yyyy HH:mm:ss.ii");
  EXPECT_TRUE(p.PidOn());
  EXPECT_TRUE(p.TidOn());
  EXPECT_TRUE(p.TpOn());
  EXPECT_EQ(p.StrtMd(), 0u);
  EXPECT_EQ(p.FlshSec(), 60u);
  EXPECT_EQ(p.FlshLns(), 100u);
  EXPECT_EQ(p.TpCnt(), 0u);
  EXPECT_STREQ(p.FileNm().Str(), "x.log");  // the file name is not a default
}

TEST(LogPrms, AddTpIsCaseSensitiveAndUnique) {
  TLogPrms p;
  EXPECT_TRUE(p.AddTp("ABC", "one"));
  EXPECT_TRUE(p.AddTp("abc", ""));
  EXPECT_FALSE(p.AddTp("ABC", "two"));
  EXPECT_EQ(p.TpCnt(), 2u);
  EXPECT_TRUE(p.Match("ABC", "the one"));
  EXPECT_FALSE(p.Match("ABC", "the two"));  // the first entry was kept
}

TEST(LogPrms, Match) {
  struct {
    const char* tp;
    const char* txt;
    const char* lineTp;
    const char* lineTxt;
    bool want;
  } cases[] = {
      {"...", "", "STT", "anything", true},
      {"...", "", "AB", "anything", false},  // fewer than three characters
      {"...", "", "WP.", "", true},
      {"ST", "", "XSTY", "x", true},          // found anywhere in the type code
      {"^ST", "", "XSTY", "x", false},
      {"STT", "thread", "STT", "Create thread", true},
      {"STT", "^thread", "STT", "Create thread", false},
      {"STT", "", "stt", "x", false},
      {"(", "", "(", "x", false},             // a pattern that does not compile never matches
      {"STT", "[", "STT", "[", false},
      {"UB\xb7", "", "UB\xb7", "x", true},
  };
  for (const auto& c : cases) {
    TLogPrms p;
    p.AddTp(c.tp, c.txt);
    EXPECT_EQ(p.Match(c.lineTp, c.lineTxt), c.want) << c.tp << " / " << c.txt << " on " << c.lineTp;
  }
  TLogPrms none;
  EXPECT_FALSE(none.Match("STT", "x"));
}

TEST(LogCore, MutexNameAndWaitCodes) {
  TLog l;
  char want[48];
  snprintf(want, sizeof want, "YD_Log_%llu", (unsigned long long)(uintptr_t)&l);
  EXPECT_STREQ(l.MutexNm().Str(), want);
  HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, want);
  ASSERT_NE(m, nullptr);
  CloseHandle(m);
  // Another thread holds the mutex: Write() gives up after its wait and drops the line.
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread t([&] {
    EXPECT_EQ(l.Lock(1000), 0u);
    SetEvent(held);
    WaitForSingleObject(done, 20000);
    l.Unlock();
  });
  WaitForSingleObject(held, 20000);
  EXPECT_EQ(l.Write("ABC", "dropped"), 1460u);
  EXPECT_EQ(l.QueueCnt(), 0u);
  SetEvent(done);
  t.join();
  EXPECT_EQ(l.Write("ABC", "kept"), 0u);
  EXPECT_EQ(l.QueueCnt(), 1u);
  CloseHandle(held);
  CloseHandle(done);
}

TEST(LogCore, OpenCloseResults) {
  TTmpDir d;
  TLog l;
  EXPECT_EQ(l.Close(), 1u);      // never opened
  EXPECT_EQ(l.Open(), 87u);      // no file name
  EXPECT_FALSE(l.IsOpn());
  l.Prms().SetFileNm(d("a.log").c_str());
  l.Prms().SetStrtMd(3);
  EXPECT_EQ(l.Open(), 87u);
  EXPECT_FALSE(l.IsOpn());
  l.Prms().SetStrtMd(LOG_APPEND);
  EXPECT_EQ(l.Open(), 0u);
  EXPECT_STREQ(l.CurFileNm().Str(), d("a.log").c_str());
  EXPECT_EQ(l.Open(), 1u);
  EXPECT_TRUE(l.IsOpn());
  EXPECT_EQ(l.Close(), 0u);
  EXPECT_FALSE(l.IsOpn());
  EXPECT_TRUE(l.CurFileNm().Empty());
  EXPECT_FALSE(Exists(d("a.log")));  // nothing matched: no file
}

TEST(LogCore, EventLogLayoutByteForByte) {
  TTmpDir d;
  std::string f = d("ev.log");
  {
    TLog l;
    EventPrms(l.Prms(), f);
    ASSERT_EQ(l.Open(), 0u);
    // Start. / Exit: code  (cp1251)
    EXPECT_EQ(l.Write("---", "%s", "\xc7\xe0\xef\xf3\xf1\xea."), 0u);
    EXPECT_EQ(l.Write("---", "%s%u", "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: \xea\xee\xe4 ", 0u), 0u);
    EXPECT_EQ(l.Write("---", "%s", "100% done %s %n"), 0u);
    EXPECT_EQ(l.Write("--", "%s", "too short a type code"), 0u);
    EXPECT_FALSE(Exists(f));  // an event line waits for the next due write-out
    EXPECT_EQ(l.Close(), 0u);
  }
  std::vector<std::string> lines = Lines(ReadAll(f));
  ASSERT_EQ(lines.size(), 3u) << ReadAll(f);
  std::regex stamp("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d (.*)$");
  const char* texts[] = {"\xc7\xe0\xef\xf3\xf1\xea.", "\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: \xea\xee\xe4 0",
                         "100% done %s %n"};
  for (size_t i = 0; i < 3; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, stamp)) << lines[i];
    EXPECT_EQ(m[1].str(), texts[i]);
  }
  std::string all = ReadAll(f);
  EXPECT_EQ(all.substr(all.size() - 2), "\r\n");
  EXPECT_EQ(Count(all, "\r\n"), 3u);
}

TEST(LogCore, DefaultLayoutThroughTheFile) {
  TTmpDir d;
  std::string f = d("t.log");
  TLog l;
  l.Prms().SetFileNm(f.c_str());
  l.Prms().AddTp("...", "");
  ASSERT_EQ(l.Open(), 0u);
  l.Write("STT", "Create thread");
  l.Close();
  std::string want = " Pid=" + Hex(GetCurrentProcessId()) + " Tid=" + Hex(GetCurrentThreadId()) + " Create thread";
  std::regex re("^STT \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}(.*)\r\n$");
  std::smatch m;
  std::string all = ReadAll(f);
  ASSERT_TRUE(std::regex_match(all, m, re)) << all;
  EXPECT_EQ(m[1].str(), want);
}

TEST(LogCore, LongTextsAreFormattedWhole) {
  TTmpDir d;
  TLog l;
  l.Prms().SetFileNm(d("long.log").c_str());
  l.Prms().SetTmFrmt("");
  l.Prms().SetPidOn(false);
  l.Prms().SetTidOn(false);
  l.Prms().AddTp("...", "");
  ASSERT_EQ(l.Open(), 0u);
  for (size_t n : {63u, 64u, 65u, 127u, 128u, 200000u}) {
    std::string s(n, 'x');
    s[n - 1] = 'E';
    l.Write("ABC", "%s|%u", s.c_str(), unsigned(n));
  }
  l.Close();
  std::vector<std::string> lines = Lines(ReadAll(d("long.log")));
  ASSERT_EQ(lines.size(), 6u);
  size_t i = 0;
  for (size_t n : {63u, 64u, 65u, 127u, 128u, 200000u}) {
    std::string s(n, 'x');
    s[n - 1] = 'E';
    EXPECT_EQ(lines[i++], "ABC " + s + "|" + std::to_string(n));
  }
}

TEST(LogCore, DueRuleWritesOutInTheCallersThread) {
  TTmpDir d;
  std::string f = d("due.log");
  TLog l;
  EventPrms(l.Prms(), f);
  l.Prms().SetFlshLns(3);
  ASSERT_EQ(l.Open(), 0u);
  for (int i = 0; i < 3; ++i) l.Write("---", "line %d", i);
  EXPECT_FALSE(Exists(f));
  l.Write("---", "line %d", 3);  // more than three queued: due
  EXPECT_EQ(Lines(ReadAll(f)).size(), 4u);
  EXPECT_EQ(l.QueueCnt(), 0u);
  l.Prms().SetFlshSec(0);
  Sleep(20);
  l.Write("---", "line %d", 4);  // more than 0 s since the last write-out
  EXPECT_EQ(Lines(ReadAll(f)).size(), 5u);
  l.Close();
}

TEST(LogCore, StartModes) {
  TTmpDir d;
  std::string f = d("ev.log");
  WriteAll(f, "old\r\n");
  {
    TLog l;
    EventPrms(l.Prms(), f);
    l.Prms().SetTmFrmt("");
    ASSERT_EQ(l.Open(), 0u);
    l.Write("---", "appended");
    l.Close();
  }
  EXPECT_EQ(ReadAll(f), "old\r\nappended\r\n");
  {
    TLog l;
    EventPrms(l.Prms(), f);
    l.Prms().SetTmFrmt("");
    l.Prms().SetStrtMd(LOG_OVRWRT);
    ASSERT_EQ(l.Open(), 0u);
    EXPECT_FALSE(Exists(f));  // deleted at opening
    l.Write("---", "fresh");
    l.Close();
  }
  EXPECT_EQ(ReadAll(f), "fresh\r\n");
  {
    TLog l;
    EventPrms(l.Prms(), f);
    l.Prms().SetTmFrmt("");
    l.Prms().SetStrtMd(LOG_NEW);
    SYSTEMTIME st;
    GetLocalTime(&st);
    ASSERT_EQ(l.Open(), 0u);
    std::string cur = l.CurFileNm().Str();
    l.Write("---", "first");
    l.Close();
    Sleep(5);
    ASSERT_EQ(l.Open(), 0u);  // each opening names a new file
    std::string cur2 = l.CurFileNm().Str();
    l.Write("---", "second");
    l.Close();
    std::smatch m;
    std::regex re("^(.*)\\\\ev(\\d{4})(\\d\\d)(\\d\\d)-(\\d{6})(\\d{3})\\.log$");
    ASSERT_TRUE(std::regex_match(cur, m, re)) << cur;
    EXPECT_EQ(m[1].str() + "\\", d.Dir());
    EXPECT_EQ(std::stoi(m[2].str()), st.wYear);
    EXPECT_NE(cur, cur2);
    EXPECT_EQ(ReadAll(cur), "first\r\n");
    EXPECT_EQ(ReadAll(cur2), "second\r\n");
  }
  EXPECT_EQ(ReadAll(f), "fresh\r\n");
}

TEST(LogCore, LockedFileKeepsLinesUntilReleased) {
  TTmpDir d;
  std::string f = d("locked.log");
  TLog l;
  EventPrms(l.Prms(), f);
  l.Prms().SetTmFrmt("");
  l.Prms().SetFlshLns(0);  // every line is due at once
  ASSERT_EQ(l.Open(), 0u);
  l.Write("---", "before");
  HANDLE lock = CreateFileA(f.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(l.Write("---", "while locked %d", i), 0u);
  EXPECT_EQ(l.PendCnt() + l.QueueCnt(), 3u);
  CloseHandle(lock);
  EXPECT_EQ(ReadAll(f), "before\r\n");
  l.Write("---", "after");
  EXPECT_EQ(ReadAll(f), "before\r\nwhile locked 0\r\nwhile locked 1\r\nwhile locked 2\r\nafter\r\n");
  EXPECT_EQ(l.PendCnt(), 0u);
  l.Close();
}

TEST(LogCore, UncreatableFileKeepsLines) {
  TTmpDir d;
  TLog l;
  EventPrms(l.Prms(), d("no\\such\\dir\\x.log"));
  ASSERT_EQ(l.Open(), 0u);
  l.Write("---", "kept");
  EXPECT_EQ(l.Flush(), uint32_t(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(l.PendCnt(), 1u);
  l.Close();
}

TEST(LogCore, DestroyingAnOpenLogWritesTheQueue) {
  TTmpDir d;
  std::string f = d("d.log");
  {
    TLog l;
    EventPrms(l.Prms(), f);
    l.Prms().SetTmFrmt("");
    ASSERT_EQ(l.Open(), 0u);
    l.Write("---", "last words");
  }
  EXPECT_EQ(ReadAll(f), "last words\r\n");
  {
    TLog l;  // never opened: its lines go unwritten
    EventPrms(l.Prms(), f);
    l.Write("---", "unwritten");
  }
  EXPECT_EQ(ReadAll(f), "last words\r\n");
}

TEST(LogCore, ManyThreadsWriteEveryLineOnce) {
  TTmpDir d;
  std::string f = d("mt.log");
  TLog l;
  EventPrms(l.Prms(), f);
  l.Prms().SetTmFrmt("");
  l.Prms().SetFlshLns(7);
  ASSERT_EQ(l.Open(), 0u);
  const int kThreads = 4, kLines = 500;
  std::vector<std::thread> ts;
  for (int t = 0; t < kThreads; ++t)
    ts.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) l.Write("---", "T%d %d", t, i);
    });
  for (auto& t : ts) t.join();
  l.Close();
  std::vector<std::string> lines = Lines(ReadAll(f));
  ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& s : lines) {
    int t = -1, i = -1;
    ASSERT_EQ(sscanf(s.c_str(), "T%d %d", &t, &i), 2) << s;
    ASSERT_EQ(i, next[t]++) << s;  // each writer's order is kept
  }
}

TEST(LogExpect, WritesTheExpectationLine) {
  TTmpDir d;
  EXPECT_EQ(&Log(), &Log());
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
