// The trace log: TWliLog file names, TAsyncLog's writer thread, timers and parameter re-reads.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "Log/LogFile.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

// Parameters of a short-lived trace log: text only, quick re-reads and write-outs.
std::string Wli(const std::string& prms, const std::string& evts) {
  return "[Prms]\r\nTmFrmt=\r\nPID=off\r\nTID=off\r\n" + prms + "[Evts]\r\n" + evts;
}

bool ThreadEnded(uint32_t id) {
  HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
  if (!h) return true;
  bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  CloseHandle(h);
  return ended;
}

}  // namespace

TEST(LogWli, NamesFromTheExecutable) {
  char exe[MAX_PATH + 1];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string stem(exe);
  stem = stem.substr(0, stem.rfind('.'));
  TWliLog l;
  EXPECT_EQ(std::string(l.PrmsFileNm().Str()), stem + ".wli");
  EXPECT_EQ(std::string(l.Prms().FileNm().Str()), stem + ".log");
  EXPECT_EQ(l.PrmsRd(), 60u);
  TAsyncLog a;
  EXPECT_EQ(a.ThrdId(), 0xFFFFFFFFu);
  EXPECT_EQ(std::string(a.PrmsFileNm().Str()), stem + ".wli");
}

TEST(LogWli, SetPrmsRd) {
  TWliLog l("x.wli", "x.log");
  EXPECT_FALSE(l.PrmsTm().IsSet());
  EXPECT_EQ(l.SetPrmsRd(0), 87u);
  EXPECT_EQ(l.PrmsRd(), 60u);
  EXPECT_FALSE(l.PrmsTm().IsSet());
  EXPECT_EQ(l.SetPrmsRd(5), 0u);
  EXPECT_EQ(l.PrmsRd(), 5u);
  EXPECT_TRUE(l.PrmsTm().IsSet());
}

TEST(LogWli, OpenReadsTheParameterFile) {
  TTmpDir d;
  WriteAll(d("t.wli"), Wli("StrtMd=OVRWRT\r\n", "ABC=\r\n"));
  WriteAll(d("t.log"), "old\r\n");
  TWliLog l(d("t.wli").c_str(), d("t.log").c_str());
  ASSERT_EQ(l.Open(), 0u);
  EXPECT_EQ(l.Prms().StrtMd(), uint32_t(LOG_OVRWRT));
  EXPECT_FALSE(Exists(d("t.log")));
  l.Write("ABC", "kept");
  l.Write("XYZ", "filtered");
  l.Close();
  EXPECT_EQ(ReadAll(d("t.log")), "ABC kept\r\n");
}

TEST(LogAsync, QueuedBeforeOpenWrittenAfterCloseNever) {
  TTmpDir d;
  WriteAll(d("t.wli"), Wli("", "...=\r\n"));
  std::string f = d("t.log");
  {
    TAsyncLog l(d("t.wli").c_str(), f.c_str());
    l.Write("ABC", "before open");
    ASSERT_EQ(l.Open(), 0u);
    EXPECT_NE(l.ThrdId(), 0xFFFFFFFFu);
    EXPECT_EQ(l.Open(), 0u);  // already open
    l.Write("ABC", "while open");
    uint32_t id = l.ThrdId();
    EXPECT_EQ(l.Close(), 0u);
    EXPECT_TRUE(ThreadEnded(id));
    EXPECT_FALSE(l.ThrdRuns());
    EXPECT_EQ(l.Prms().TpCnt(), 0u);  // the writer left the defaults behind
    for (int i = 0; i < 150; ++i) l.Write("ABC", "after close");  // due, but no writer to tell
    Sleep(300);
    EXPECT_FALSE(l.IsOpn());
    EXPECT_EQ(l.Close(), 1u);
  }
  EXPECT_EQ(ReadAll(f), "ABC before open\r\nABC while open\r\n");
}

TEST(LogAsync, CloseWritesTheRestAndCallersNeverWriteTheFile) {
  TTmpDir d;
  WriteAll(d("t.wli"), Wli("FlshSec=3600\r\nFlshLns=100000\r\n", "...=\r\n"));
  std::string f = d("t.log");
  TAsyncLog l(d("t.wli").c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  for (int i = 0; i < 200; ++i) l.Write("ABC", "line %d", i);
  Sleep(200);
  EXPECT_FALSE(Exists(f));
  EXPECT_EQ(l.QueueCnt(), 200u);
  l.Close();
  EXPECT_EQ(Lines(ReadAll(f)).size(), 200u);
}

TEST(LogAsync, WriterWritesWhenDue) {
  TTmpDir d;
  WriteAll(d("t.wli"), Wli("FlshSec=3600\r\nFlshLns=5\r\n", "...=\r\n"));
  std::string f = d("t.log");
  TAsyncLog l(d("t.wli").c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  for (int i = 0; i < 6; ++i) l.Write("ABC", "line %d", i);
  EXPECT_TRUE(WaitFor([&] { return Lines(ReadAll(f)).size() == 6; }));
  l.Close();
}

TEST(LogAsync, ReReadChangesTheFilterWhileRunning) {
  TTmpDir d;
  std::string w = d("t.wli"), f = d("t.log");
  WriteAll(w, Wli("PrmsRd=1\r\nFlshSec=0\r\n", "AAA=\r\n"));
  TAsyncLog l(w.c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  l.Write("AAA", "one");
  l.Write("BBB", "one");
  ASSERT_TRUE(WaitFor([&] { return Count(ReadAll(f), "AAA one") == 1; }));
  WriteAll(w, Wli("PrmsRd=1\r\nFlshSec=0\r\n", "BBB=\r\n"));
  uint32_t loads = l.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return l.LoadCnt() >= loads + 2; }));
  l.Write("AAA", "two");
  l.Write("BBB", "two");
  ASSERT_TRUE(WaitFor([&] { return Count(ReadAll(f), "BBB two") == 1; }));
  l.Close();
  EXPECT_EQ(ReadAll(f), "AAA one\r\nBBB two\r\n");
}

TEST(LogAsync, FlshSecChangeRestartsTheWriteOutTimer) {
  TTmpDir d;
  std::string w = d("t.wli"), f = d("t.log");
  WriteAll(w, Wli("PrmsRd=1\r\nFlshSec=3600\r\n", "...=\r\n"));
  TAsyncLog l(w.c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  l.Write("ABC", "waiting");
  Sleep(1500);
  EXPECT_FALSE(Exists(f));
  WriteAll(w, Wli("PrmsRd=1\r\nFlshSec=1\r\n", "...=\r\n"));
  // No further line is written: only the restarted write-out timer can bring it to the file.
  EXPECT_TRUE(WaitFor([&] { return ReadAll(f) == "ABC waiting\r\n"; }));
  l.Close();
}

TEST(LogAsync, PrmsRdChangeRestartsTheReReadTimer) {
  TTmpDir d;
  std::string w = d("t.wli"), f = d("t.log");
  WriteAll(w, Wli("PrmsRd=1\r\n", "...=\r\n"));
  TAsyncLog l(w.c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  uint32_t loads = l.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return l.LoadCnt() >= loads + 2; }));  // re-read every second
  WriteAll(w, Wli("PrmsRd=3600\r\n", "...=\r\n"));
  ASSERT_TRUE(WaitFor([&] { return l.PrmsRd() == 3600; }));
  Sleep(200);
  loads = l.LoadCnt();
  Sleep(2500);
  EXPECT_EQ(l.LoadCnt(), loads);
  l.Close();
}

TEST(LogAsync, LockedFileLinesWaitAndCallersDoNotBlock) {
  TTmpDir d;
  std::string w = d("t.wli"), f = d("t.log");
  WriteAll(w, Wli("FlshSec=0\r\n", "...=\r\n"));
  WriteAll(f, "");
  HANDLE lock = CreateFileA(f.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  TAsyncLog l(w.c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) ASSERT_EQ(l.Write("ABC", "line %d", i), 0u);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(ms, 5000);
  EXPECT_TRUE(WaitFor([&] { return l.PendCnt() == 100; }));
  CloseHandle(lock);
  EXPECT_TRUE(WaitFor([&] { return Lines(ReadAll(f)).size() == 100; }));
  l.Close();
  std::vector<std::string> lines = Lines(ReadAll(f));
  ASSERT_EQ(lines.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(lines[i], "ABC line " + std::to_string(i));
}

TEST(LogAsync, EmptyFileNameKeepsLinesAndRuns) {
  TTmpDir d;
  WriteAll(d("t.wli"), Wli("FlshSec=0\r\n", "...=\r\n"));
  TAsyncLog l(d("t.wli").c_str(), "");
  EXPECT_EQ(l.Open(), 0u);  // the writer started and marked the log open
  l.Write("ABC", "nowhere");
  EXPECT_TRUE(WaitFor([&] { return l.PendCnt() == 1; }));
  l.Close();
}

TEST(LogAsync, DestroyingARunningLogStopsItsWriter) {
  TTmpDir d;
  std::string f = d("t.log");
  WriteAll(d("t.wli"), Wli("FlshSec=3600\r\n", "...=\r\n"));
  uint32_t id;
  {
    TAsyncLog* l = new TAsyncLog(d("t.wli").c_str(), f.c_str());
    ASSERT_EQ(l->Open(), 0u);
    id = l->ThrdId();
    EXPECT_TRUE(l->ThrdRuns());
    for (int i = 0; i < 50; ++i) l->Write("ABC", "line %d", i);
    delete l;  // without Close()
  }
  EXPECT_TRUE(ThreadEnded(id));
  EXPECT_EQ(Lines(ReadAll(f)).size(), 50u);
  // Destroyed again and again while the writer is busy starting: never a thread on a dead object.
  for (int i = 0; i < 20; ++i) {
    TAsyncLog* l = new TAsyncLog(d("t.wli").c_str(), f.c_str());
    l->Open();
    uint32_t tid = l->ThrdId();
    delete l;
    EXPECT_TRUE(ThreadEnded(tid));
  }
}

TEST(LogAsync, ReopenStartsANewWriter) {
  TTmpDir d;
  WriteAll(d("t.wli"), Wli("", "...=\r\n"));
  std::string f = d("t.log");
  TAsyncLog l(d("t.wli").c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  uint32_t first = l.ThrdId();
  l.Write("ABC", "one");
  l.Close();
  ASSERT_EQ(l.Open(), 0u);
  EXPECT_NE(l.ThrdId(), first);
  l.Write("ABC", "two");
  l.Close();
  EXPECT_EQ(ReadAll(f), "ABC one\r\nABC two\r\n");
}

TEST(LogAsync, ManyThreadsManyLines) {
  TTmpDir d;
  WriteAll(d("t.wli"), Wli("FlshLns=50\r\nFlshSec=0\r\n", "...=\r\n"));
  std::string f = d("t.log");
  TAsyncLog l(d("t.wli").c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  const int kThreads = 3, kLines = 2000;
  std::vector<std::thread> ts;
  for (int t = 0; t < kThreads; ++t)
    ts.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) ASSERT_EQ(l.Write("ABC", "T%d %d", t, i), 0u);
    });
  for (auto& t : ts) t.join();
  l.Close();
  std::vector<std::string> lines = Lines(ReadAll(f));
  ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& s : lines) {
    int t = -1, i = -1;
    ASSERT_EQ(sscanf(s.c_str(), "ABC T%d %d", &t, &i), 2) << s;
    ASSERT_EQ(i, next[t]++) << s;
  }
}
