// The trace log: its parameter file, the writer thread of TAsyncLog, its timers and re-reads.
#include <random>

#include "Log/LogIni.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

std::string Wli(const std::string& prms, const std::string& evts = "...=\r\n") {
  return "[Prms]\r\nTmFrmt=\r\nPID=off\r\nTID=off\r\n" + prms + "[Evts]\r\n" + evts;
}

bool Ended(uint32_t id) {
  THandle h(OpenThread(SYNCHRONIZE, FALSE, id));
  return h.IsNone() || WaitForSingleObject(h.Get(), 0) == WAIT_OBJECT_0;
}

// A writer thread that takes longer than a sleep loop of 200 ms would wait to get its message queue.
struct TSlowWriterLog : TAsyncLog {
  static constexpr DWORD kSlowStartMs = 700;
  using TAsyncLog::TAsyncLog;
  void WriterStarting() override { Sleep(kSlowStartMs); }
};

// A trace log over <dir>t.wli, which holds the given bytes, and <dir>t.log.
template <class L = TAsyncLog>
struct TWli {
  TTmpDir D;
  std::string W = D("t.wli"), F = D("t.log");
  L Log{W.c_str(), F.c_str()};
  explicit TWli(const std::string& wli) { EXPECT_TRUE(WriteAll(W, wli)); }
};

}  // namespace

// Files no one wrote by hand: gone, locked, too large, garbage, UTF-16, NULs, huge lines, thousands of entries.
TEST(LogBadInput, MissingLockedHugeNulUtf16GarbageManyEntries) {
  TTmpDir d;
  TLogIni ini;
  EXPECT_EQ(ini.Read(d("missing.wli").c_str()), uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(WriteAll(d("big.wli"), ""));
  HANDLE h = CreateFileA(d("big.wli").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_SHARING_VIOLATION));
  LARGE_INTEGER sz;
  sz.QuadPart = LOG_INI_MAX + 1;
  EXPECT_TRUE(SetFilePointerEx(h, sz, nullptr, FILE_BEGIN) && SetEndOfFile(h) && CloseHandle(h));
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_FILE_TOO_LARGE));
  std::mt19937 rnd(12345);
  std::string garbage(200000, 0), u16 = "\xff\xfe";
  std::string huge = std::string("[Prms]\0X=", 9) + std::string(2000000, 'a') + "\r\nFlshLns=3\r\n[Evts]\r\n";
  for (char& c : garbage) c = char(rnd());
  for (char c : std::string("[Prms]\r\nFlshLns=8\r\n")) u16 += std::string(1, c) + '\0';  // short lines that name nothing
  for (int i = 0; i < 5000; ++i) huge += "E" + std::to_string(i) + "=\r\n";
  TWli<> g(garbage), u(u16), m(huge + std::string(100000, 'b') + "=\r\n");  // a NUL ends a line
  EXPECT_TRUE(g.Log.LoadPrms() == 0 && u.Log.LoadPrms() == 0 && u.Log.Prms().FlshLns() == 100 && m.Log.LoadPrms() == 0);
  EXPECT_TRUE(m.Log.Prms().FlshLns() == 3 && m.Log.Prms().TpCnt() == 5001 && m.Log.Prms().Match("E4999", "x"));
}

// Open() waits for a slow writer and reads the parameter file once; lines queued before it are written, those
// after Close() never; callers never write the file: the writer does when a line makes it due, Close() the rest.
TEST(LogAsync, QueuedBeforeOpenWrittenAfterCloseNever) {
  TWli<TSlowWriterLog> t(Wli("FlshSec=3600\r\nFlshLns=3\r\n", "ABC=\r\n(=\r\n*AB=\r\nX=(\r\n"));
  t.Log.Write("ABC", "before open");
  for (const char* tp : {"(", "*AB", "X"}) t.Log.Write(tp, "text (");  // patterns that do not compile never match
  DWORD start = GetTickCount();
  ASSERT_EQ(t.Log.Open(), 0u);
  EXPECT_GE(GetTickCount() - start, TSlowWriterLog::kSlowStartMs - 50);
  EXPECT_EQ(t.Log.Open(), 0u);  // already open
  t.Log.Write("ABC", "due");
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "ABC before open\r\nABC due\r\n"; }));
  t.Log.Write("ABC", "rest");
  Sleep(200);
  EXPECT_EQ(P::Queued(t.Log), 1u);  // not due
  EXPECT_EQ(P::Loads(t.Log), 1u);   // at Open() alone
  uint32_t writer = P::ThrdId(t.Log);
  EXPECT_EQ(t.Log.Close(), 0u);
  EXPECT_TRUE(Ended(writer));
  for (int i = 0; i < 150; ++i) t.Log.Write("ABC", "after close");  // due, but no writer to tell
  Sleep(300);
  EXPECT_EQ(t.Log.Close(), 1u);
  EXPECT_EQ(ReadAll(t.F), "ABC before open\r\nABC due\r\nABC rest\r\n");
}

// Re-reads every second change the filter and the timers; a file deleted meanwhile leaves the defaults (nothing
// traced, the period kept) until it comes back.
TEST(LogAsync, ReReadWhileRunningChangesFilterAndTimers) {
  TWli<> t(Wli("PrmsRd=1\r\nFlshSec=0\r\n", "AAA=\r\n"));
  ASSERT_EQ(t.Log.Open(), 0u);
  t.Log.Write("AAA", "one");
  t.Log.Write("BBB", "one");
  ASSERT_TRUE(WaitFor([&] { return ReadAll(t.F) == "AAA one\r\n"; }));
  uint32_t loads = P::Loads(t.Log);  // every second, the file gone
  ASSERT_TRUE(DeleteFileA(t.W.c_str()) && WaitFor([&] { return P::Loads(t.Log) >= loads + 2; }));
  for (int i = 0; i < 101; ++i) t.Log.Write("AAA", "two");  // more than the default 100 lines: due, discarded
  ASSERT_TRUE(WaitFor([&] { return P::Queued(t.Log) == 0; }));
  EXPECT_TRUE(WriteAll(t.W, Wli("PrmsRd=3600\r\nFlshSec=1\r\n", "BBB=\r\n")));
  t.Log.Write("AAA", "three");
  t.Log.Write("BBB", "three");
  // Only the restarted write-out timer can bring the queue to the file, and the new filter decides what goes.
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "AAA one\r\nBBB three\r\n"; }));
  loads = P::Loads(t.Log);
  Sleep(2500);
  EXPECT_EQ(P::Loads(t.Log), loads);  // the re-read timer runs with the new period
}

TEST(LogAsync, DestroyingARunningLogStopsItsWriter) {
  TWli<> t(Wli("FlshSec=3600\r\n"));
  for (int i = 0; i < 20; ++i) {  // never a thread left on a dead object, never a line lost
    std::unique_ptr<TAsyncLog> l(new TAsyncLog(t.W.c_str(), t.F.c_str()));
    ASSERT_EQ(l->Open(), 0u);
    uint32_t id = P::ThrdId(*l);
    l->Write("ABC", "line %d", i);
    l.reset();  // without Close()
    EXPECT_TRUE(Ended(id));
  }
  EXPECT_EQ(Lines(ReadAll(t.F)).size(), 20u);
}
