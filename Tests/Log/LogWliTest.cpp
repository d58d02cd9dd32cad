// The trace log: its parameter file, its file names, the writer thread of TAsyncLog, its timers and re-reads.
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

// A trace log over <dir>t.wli, which holds the given bytes and is read once (Res), and <dir>t.log.
template <class L = TAsyncLog>
struct TWli {
  TTmpDir D;
  std::string W = D("t.wli"), F = D("t.log");
  L Log{W.c_str(), F.c_str()};
  uint32_t Res;
  explicit TWli(const std::string& wli) {
    WriteAll(W, wli);
    Res = Log.LoadPrms();
  }
  std::string Sum() {  // "<FlshSec> <FlshLns> <PrmsRd> <PID> <entries>"
    const TLogPrms& p = Log.Prms();
    return std::to_string(p.FlshSec()) + " " + std::to_string(p.FlshLns()) + " " + std::to_string(Log.PrmsRd()) + " " +
           std::to_string(p.PidOn()) + " " + std::to_string(p.TpCnt());
  }
  bool Reads(uint32_t n) {  // waits for n more reads of the file
    uint32_t from = P::Loads(Log);
    return WaitFor([&] { return P::Loads(Log) >= from + n; });
  }
};

}  // namespace

// Files no one wrote by hand: gone, locked, too large, NULs, UTF-16, byte-order marks, garbage, huge lines.
TEST(LogBadInput, MissingLockedHugeNulUtf16GarbageManyEntries) {
  TTmpDir d;
  TLogIni ini;
  EXPECT_EQ(ini.Read(d("missing.wli").c_str()), uint32_t(ERROR_FILE_NOT_FOUND));
  WriteAll(d("big.wli"), "");
  HANDLE h = CreateFileA(d("big.wli").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_SHARING_VIOLATION));
  LARGE_INTEGER sz;
  sz.QuadPart = LOG_INI_MAX + 1;
  EXPECT_TRUE(SetFilePointerEx(h, sz, nullptr, FILE_BEGIN) && SetEndOfFile(h) && CloseHandle(h));
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_FILE_TOO_LARGE));
  std::mt19937 rnd(12345);
  std::string garbage(200000, 0), huge = "[Prms]\r\nX=" + std::string(2000000, 'a') + "\r\nFlshLns=3\r\n[Evts]\r\n";
  for (char& c : garbage) c = char(rnd());
  for (int i = 0; i < 5000; ++i) huge += "E" + std::to_string(i) + "=\r\n";
  const std::pair<std::string, std::string> rows[] = {  // NUL ends a line, the last of equal keys wins
      {std::string("[Prms]\0FlshSec=1\0flshsec=2\0[Evts]\0A=\0[prms]\0FLSHSEC=3\0PrmsRd=7\0PID=on\0PID=x\0", 76), "3 100 7 0 1"},
      {std::string("\xff\xfe[\0P\0r\0m\0s\0]\0\r\0\n\0F\0l\0s\0h\0L\0n\0s\0=\0\x38\0", 36), "60 100 60 1 0"},
      {"\xef\xbb\xbf[Prms]\r\nFlshLns=8\r\n", "60 8 60 1 0"}, {"\xef\xbb[Prms]\r\nFlshLns=8\r\n", "60 100 60 1 0"},
      {huge + std::string(100000, 'b') + "=\r\n", "60 3 60 1 5001"}, {garbage, ""}};
  for (auto& r : rows) {
    TWli<> t(r.first);
    EXPECT_EQ(t.Res, 0u);
    if (!r.second.empty()) EXPECT_EQ(t.Sum(), r.second) << r.first.substr(0, 40);
  }
}

// 400 000 keys out of order: a sorted insert per key took 15 s here. Keys stand in lstrcmpiA's order
// (hyphens, apostrophes, Cyrillic, case), and each is found again.
TEST(LogPrmsLdr2, LargeFileLoadsFast) {
  constexpr DWORD kMaxMs = 3000;  // about a second with the tests two at a time on a busy 2-core machine
  const char* keys[] = {"co-op", "coop", "Co'op", "b", "B", "a1", "A10", "a2", "_x", "-x", "~", "\xc0\xc1\xc2", "\xe0\xe1\xe2",
                        "\xb8\xe6", "\xe5\xe6", "\xa8", "z z", "zz", "9", "10", "\xff", "a\xad" "b", "ab", "Key1", "key10"};
  std::string wli = "[Prms]\r\n";
  for (const char* k : keys) wli += std::string(k) + "=\r\n";
  for (uint32_t i = 0; i < 400000; ++i) wli += "Key" + std::to_string((i * 2654435761u) % 400000) + "=\r\n";
  wli += "flshlns=8\r\n[Evts]\r\nABC=\r\n";
  TWli<> t(wli);
  DWORD start = GetTickCount();
  EXPECT_EQ(t.Log.LoadPrms(), 0u);
  EXPECT_LT(GetTickCount() - start, kMaxMs);
  EXPECT_EQ(t.Sum(), "60 8 60 1 1");
  TLogIni ini;
  ini.Parse(wli.data(), uint32_t(wli.size()));
  const TLogIniSection* s = ini.Sctn("prms");
  ASSERT_NE(s, nullptr);
  for (uint32_t i = 1; i < s->Cnt(); ++i) EXPECT_LE(lstrcmpiA(s->Get(i - 1)->Key.Str(), s->Get(i)->Key.Str()), 0) << i;
  for (const char* k : keys) EXPECT_TRUE(s->Val(k) && lstrcmpiA(s->Val(k)->Key.Str(), k) == 0) << k;
}

TEST(LogWli, NamesFromTheExecutable) {
  char exe[MAX_PATH + 1];
  std::string stem(exe, GetModuleFileNameA(nullptr, exe, sizeof exe));
  TAsyncLog l;
  stem.resize(stem.rfind('.'));
  EXPECT_EQ(std::string(l.PrmsFileNm().Str()) + "|" + l.Prms().FileNm().Str(), stem + ".wli|" + stem + ".log");
}

namespace {

// A writer thread that takes longer than a sleep loop of 200 ms would wait to get its message queue.
struct TSlowWriterLog : TAsyncLog {
  static constexpr DWORD kSlowStartMs = 700;
  using TAsyncLog::TAsyncLog;
  void WriterStarting() override { Sleep(kSlowStartMs); }
};

}  // namespace

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
  EXPECT_EQ(P::Loads(t.Log), 2u);   // here and at Open()
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
  ASSERT_TRUE(DeleteFileA(t.W.c_str()));
  ASSERT_TRUE(t.Reads(2));
  for (int i = 0; i < 101; ++i) t.Log.Write("AAA", "two");  // more than the default 100 lines: due, discarded
  ASSERT_TRUE(WaitFor([&] { return P::Queued(t.Log) == 0; }));
  WriteAll(t.W, Wli("PrmsRd=3600\r\nFlshSec=1\r\n", "BBB=\r\n"));
  t.Log.Write("AAA", "three");
  t.Log.Write("BBB", "three");
  // Only the restarted write-out timer can bring the queue to the file, and the new filter decides what goes.
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "AAA one\r\nBBB three\r\n"; }));
  uint32_t loads = P::Loads(t.Log);
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
