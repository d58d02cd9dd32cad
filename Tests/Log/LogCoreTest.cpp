// One process's logs: the event log's mutex and tick wrap, the trace log's parameter file, writer and timers.
#include <random>
#include <regex>
#include <thread>

#include "Log/LogIni.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {
const std::string kStamp = "\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d";
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

// Parameter files no one wrote by hand: gone, locked, too large, garbage, huge lines, thousands of entries.
TEST(LogBadInput, MissingLockedHugeNulUtf16GarbageManyEntries) {
  TTmpDir d;
  TLogIni ini;
  EXPECT_EQ(ini.Read(d("missing.wli").c_str()), uint32_t(ERROR_FILE_NOT_FOUND));
  THandle big(CreateFileA(d("big.wli").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_SHARING_VIOLATION));
  LARGE_INTEGER sz = {{LOG_INI_MAX + 1, 0}};
  EXPECT_TRUE(SetFilePointerEx(big.Get(), sz, nullptr, FILE_BEGIN) && SetEndOfFile(big.Get()) && big.Close() == 0);
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_FILE_TOO_LARGE));
  std::mt19937 rnd(12345);  // random bytes, NULs among them, a line of 2 MB, thousands of entries
  std::string wli(200000, 0);
  for (char& c : wli) c = char(rnd());
  wli += "\r\n[Prms]\r\nX=" + std::string(2000000, 'a') + "\r\nFlshLns=3\r\n[Evts]\r\n" + std::string(100000, 'b') +
         "=\r\n";
  for (int i = 0; i < 5000; ++i) wli += "E" + std::to_string(i) + "=\r\n";
  TWli<> t(wli);
  EXPECT_EQ(t.Log.LoadPrms(), 0u);
  EXPECT_TRUE(t.Log.Prms().FlshLns() == 3 && t.Log.Prms().TpCnt() >= 5001 && t.Log.Prms().Match("E4999", "x"));
}

// Keys stand in lstrcmpiA's order (hyphens, apostrophes, Cyrillic, case) and each is found by Val().
TEST(LogIni, KeyOrderIsThatOfLstrcmpi) {
  const char* keys[] = {"co-op", "coop", "Co'op", "b", "B", "a1", "A10", "a2", "_x", "-x", "~", "\xc0\xc1\xc2",
                        "\xe0\xe1\xe2", "\xb8\xe6", "\xe5\xe6", "\xa8", "z z", "zz", "9", "10", "\xff", "a\xad" "b",
                        "ab", "Key1", "key10", "KEY2", "key", "x9y", "X10", "0", "00", "Z", "aZ", "AZ0", "Prms", "PID"};
  std::string txt = "[S]\r\n";
  for (const char* k : keys) txt += std::string(k) + "=" + k + "\r\n";
  TLogIni ini;
  ini.Parse(txt.data(), uint32_t(txt.size()));
  const TLogIniSection* s = ini.Sctn("s");
  ASSERT_TRUE(s && s->Cnt() == sizeof keys / sizeof *keys);
  for (uint32_t i = 1; i < s->Cnt(); ++i)
    EXPECT_LE(lstrcmpiA(s->Get(i - 1)->Key.Str(), s->Get(i)->Key.Str()), 0) << s->Get(i)->Key.Str();
  for (const char* k : keys) EXPECT_TRUE(s->Val(k) && lstrcmpiA(s->Val(k)->Key.Str(), k) == 0) << k;
}

// 400000 keys out of order load in about a second on a 2-core machine; a sorted insert per key took 15 s.
TEST(LogPrmsLdr2, LargeFileLoadsFast) {
  constexpr uint32_t kKeys = 400000;
  std::string wli = "[Prms]\r\n";
  for (uint32_t i = 0; i < kKeys; ++i) {
    wli += "Key" + std::to_string((i * 2654435761u) % kKeys) + "=" + std::to_string(i) + "\r\n";
    if (i == kKeys / 2) wli += "FlshLns=7\r\n[Evts]\r\nABC=\r\n[Prms]\r\n";
  }
  TWli<> t(wli + "flshlns=8\r\n");  // the last of equal keys counts
  DWORD t0 = GetTickCount();
  EXPECT_EQ(t.Log.LoadPrms(), 0u);
  EXPECT_LT(GetTickCount() - t0, 5000u);  // a third of the old 15 s, with room for a loaded machine
  EXPECT_TRUE(t.Log.Prms().FlshLns() == 8 && t.Log.Prms().Match("ABC", "x"));
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

// Re-reads change the filter and the timers; a deleted file leaves the defaults (the period kept) till it is back.
TEST(LogAsync, ReReadWhileRunningChangesFilterAndTimers) {
  TWli<> t(Wli("PrmsRd=1\r\nFlshSec=0\r\n", "AAA=\r\n"));
  ASSERT_EQ(t.Log.Open(), 0u);
  for (const char* tp : {"AAA", "BBB"}) t.Log.Write(tp, "one");
  ASSERT_TRUE(WaitFor([&] { return ReadAll(t.F) == "AAA one\r\n"; }));
  uint32_t loads = P::Loads(t.Log);  // every second, the file gone
  ASSERT_TRUE(DeleteFileA(t.W.c_str()) && WaitFor([&] { return P::Loads(t.Log) >= loads + 2; }));
  for (int i = 0; i < 101; ++i) t.Log.Write("AAA", "two");  // more than the default 100 lines: due, discarded
  ASSERT_TRUE(WaitFor([&] { return P::Queued(t.Log) == 0; }));
  EXPECT_TRUE(WriteAll(t.W, Wli("PrmsRd=3600\r\nFlshSec=1\r\n", "BBB=\r\n")));
  for (const char* tp : {"AAA", "BBB"}) t.Log.Write(tp, "three");
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

TEST(LogCore, MutexNamePerProcessAndWaitCodes) {
  TLog l;
  std::string want = "YD_Log_" + std::to_string(uintptr_t(&l)) + "_" + std::to_string(GetCurrentProcessId());
  // The same address in another process gives another name.
  THandle m(OpenMutexA(SYNCHRONIZE, FALSE, want.c_str()));
  EXPECT_FALSE(m.IsNone());
  TLogLock lk(l, 1000);  // another thread's Write() gives up after its wait and drops the line
  std::thread([&] { EXPECT_TRUE(l.Write("ABC", "dropped") == 1460u && P::Queued(l) == 0); }).join();
}

// Opened 30 s before the tick counter wraps, FlshSec 60: the lines wait 60 s across the wrap, then go out.
TEST(LogCore, WriteOutFallsDueAcrossTheTickWrap) {
  TTmpDir d;
  TTicksAt ticks(0xFFFFFFFFu - 29999);
  TBare l(d("wrap.log"));
  l.Prms().SetFlshLns(100);
  const struct { uint32_t now; const char* file; } steps[] = {
      {0xFFFFFFFFu - 29999, ""}, {0xFFFFFFFFu, ""}, {0, ""}, {30000, ""}, {30001, "0\r\n1\r\n2\r\n3\r\n4\r\n"}};
  for (const auto& s : steps) {
    ticks.Set(s.now);
    l.Write("---", "%d", int(&s - steps));
    EXPECT_EQ(ReadAll(d("wrap.log")), s.file) << s.now;
  }
}

// The trace log, named after the executable, writing every line of every type at once: the work on its own file
// and writer must not come back to it as lines (each write-out would feed the next one for ever).
TEST(LogExpect, WritesTheExpectationLine) {
  TTmpDir d;
  TWliLog& l = dynamic_cast<TWliLog&>(Log());
  char exe[MAX_PATH + 1];
  std::string stem(exe, GetModuleFileNameA(nullptr, exe, sizeof exe) - 4);  // without ".exe"
  EXPECT_EQ(std::string(l.PrmsFileNm().Str()) + "|" + l.Prms().FileNm().Str(), stem + ".wli|" + stem + ".log");
  TTraceTap drop({});  // lines of earlier tests go
  l.SetPrmsFileNm(d("p.wli").c_str());
  l.Prms().SetFileNm(d("p.log").c_str());
  EXPECT_TRUE(WriteAll(d("p.wli"), "[Prms]\r\nFlshLns=0\r\n[Evts]\r\n...=\r\n"));
  ASSERT_EQ(l.Open(), 0u);
  LogExpect("x>0", "Src/GUI/MsgBoxAC", 42);
  LogExpect("1 == 2", "Src/Lib/Thrd", 232);
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(d("p.log"))).size() >= 2; }));
  Sleep(300);
  l.Close();
  char ids[64];
  snprintf(ids, sizeof ids, "\\.\\d{3} Pid=%#06lx Tid=0x[0-9a-f]{4,} ", GetCurrentProcessId());
  const std::string head = "\\.\\.! " + kStamp + ids + "'";  // type, time, process and thread
  // The expectations alone: the writer's thread, handles and mutex are the log's own work, not lines of it.
  const std::string want = head + "x>0' in \"Src/GUI/MsgBoxAC\" line 42\r\n" + head + "1 == 2' in \"Src/Lib/Thrd\" line 232\r\n";
  EXPECT_TRUE(std::regex_match(ReadAll(d("p.log")), std::regex(want))) << ReadAll(d("p.log"));
}
