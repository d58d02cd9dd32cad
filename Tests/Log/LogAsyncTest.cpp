// The trace log: TWliLog file names, TAsyncLog's writer thread, timers and parameter re-reads.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Log/LogFile.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

// Parameters of a short-lived trace log: text only.
std::string Wli(const std::string& prms, const std::string& evts = "...=\r\n") {
  return "[Prms]\r\nTmFrmt=\r\nPID=off\r\nTID=off\r\n" + prms + "[Evts]\r\n" + evts;
}

bool ThreadEnded(uint32_t id) {
  HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
  if (!h) return true;
  bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  CloseHandle(h);
  return ended;
}

// A trace log over <dir>t.wli (holding wli) and <dir>t.log.
struct TAsync {
  TTmpDir D;
  std::string W = D("t.wli"), F = D("t.log");
  TAsyncLog L;
  explicit TAsync(const std::string& wli) : L(W.c_str(), F.c_str()) { WriteAll(W, wli); }
};

}  // namespace

TEST(LogWli, NamesFromTheExecutableAndPrmsRd) {
  char exe[MAX_PATH + 1];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string stem(exe);
  stem = stem.substr(0, stem.rfind('.'));
  TAsyncLog l;
  EXPECT_EQ(std::string(l.PrmsFileNm().Str()), stem + ".wli");
  EXPECT_EQ(std::string(l.Prms().FileNm().Str()), stem + ".log");
  EXPECT_EQ(l.ThrdId(), 0xFFFFFFFFu);
  EXPECT_EQ(l.PrmsRd(), 60u);
  EXPECT_EQ(l.SetPrmsRd(0), 87u);
  EXPECT_FALSE(l.PrmsTm().IsSet());  // set by the first accepted period
}

TEST(LogAsync, QueuedBeforeOpenWrittenAfterCloseNever) {
  TAsync t(Wli(""));
  t.L.Write("ABC", "before open");
  ASSERT_EQ(t.L.Open(), 0u);
  EXPECT_EQ(t.L.Open(), 0u);  // already open
  uint32_t first = t.L.ThrdId();
  t.L.Write("ABC", "while open");
  EXPECT_EQ(t.L.Close(), 0u);
  EXPECT_TRUE(ThreadEnded(first));
  EXPECT_EQ(t.L.Prms().TpCnt(), 0u);  // the writer left the defaults behind
  for (int i = 0; i < 150; ++i) t.L.Write("ABC", "after close");  // due, but no writer to tell
  Sleep(300);
  EXPECT_EQ(t.L.Close(), 1u);
  EXPECT_EQ(ReadAll(t.F), "ABC before open\r\nABC while open\r\n");
}

TEST(LogAsync, WriterWritesWhenDueAndCloseWritesTheRest) {
  TAsync t(Wli("FlshSec=3600\r\nFlshLns=5\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  for (int i = 0; i < 6; ++i) t.L.Write("ABC", "line %d", i);
  EXPECT_TRUE(WaitFor([&] { return Lines(ReadAll(t.F)).size() == 6; }));
  for (int i = 0; i < 3; ++i) t.L.Write("ABC", "rest %d", i);
  Sleep(200);
  EXPECT_EQ(t.L.QueueCnt(), 3u);  // not due: callers never write the file
  t.L.Close();
  EXPECT_EQ(Lines(ReadAll(t.F)).size(), 9u);
  uint32_t first = t.L.ThrdId();
  ASSERT_EQ(t.L.Open(), 0u);
  EXPECT_NE(t.L.ThrdId(), first);  // each opening starts a writer of its own
  t.L.Write("ABC", "reopened");
  t.L.Close();
  EXPECT_EQ(Lines(ReadAll(t.F)).back(), "ABC reopened");
}

TEST(LogAsync, ReReadChangesTheFilterWhileRunning) {
  TAsync t(Wli("PrmsRd=1\r\nFlshSec=0\r\n", "AAA=\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  t.L.Write("AAA", "one");
  t.L.Write("BBB", "one");
  ASSERT_TRUE(WaitFor([&] { return ReadAll(t.F) == "AAA one\r\n"; }));
  WriteAll(t.W, Wli("PrmsRd=1\r\nFlshSec=0\r\n", "BBB=\r\n"));
  uint32_t loads = t.L.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return t.L.LoadCnt() >= loads + 2; }));
  t.L.Write("AAA", "two");
  t.L.Write("BBB", "two");
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "AAA one\r\nBBB two\r\n"; }));
  t.L.Close();
}

TEST(LogAsync, FlshSecChangeRestartsTheWriteOutTimer) {
  TAsync t(Wli("PrmsRd=1\r\nFlshSec=3600\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  t.L.Write("ABC", "waiting");
  Sleep(1500);
  EXPECT_FALSE(Exists(t.F));
  WriteAll(t.W, Wli("PrmsRd=1\r\nFlshSec=1\r\n"));
  // No further line is written: only the restarted write-out timer can bring it to the file.
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "ABC waiting\r\n"; }));
  t.L.Close();
}

TEST(LogAsync, PrmsRdChangeRestartsTheReReadTimer) {
  TAsync t(Wli("PrmsRd=1\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  uint32_t loads = t.L.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return t.L.LoadCnt() >= loads + 2; }));  // re-read every second
  WriteAll(t.W, Wli("PrmsRd=3600\r\n"));
  ASSERT_TRUE(WaitFor([&] { return t.L.PrmsRd() == 3600; }));
  Sleep(200);
  loads = t.L.LoadCnt();
  Sleep(2500);
  EXPECT_EQ(t.L.LoadCnt(), loads);
  t.L.Close();
}

TEST(LogAsync, DestroyingARunningLogStopsItsWriter) {
  TAsync t(Wli("FlshSec=3600\r\n"));
  auto* l = new TAsyncLog(t.W.c_str(), t.F.c_str());
  ASSERT_EQ(l->Open(), 0u);
  uint32_t id = l->ThrdId();
  for (int i = 0; i < 50; ++i) l->Write("ABC", "line %d", i);
  delete l;  // without Close()
  EXPECT_TRUE(ThreadEnded(id));
  EXPECT_EQ(Lines(ReadAll(t.F)).size(), 50u);
  // Destroyed again and again while the writer is busy starting: never a thread on a dead object.
  for (int i = 0; i < 20; ++i) {
    l = new TAsyncLog(t.W.c_str(), t.F.c_str());
    l->Open();
    id = l->ThrdId();
    delete l;
    EXPECT_TRUE(ThreadEnded(id));
  }
}
