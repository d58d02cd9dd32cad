// The trace log: its parameter file, its file names, the writer thread of TAsyncLog, its timers and re-reads.
#include <random>

#include "Log/LogIni.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

const std::string kDflt = "0 60 100 60 11 dd.MM.yyyy HH:mm:ss.ii|";

std::string Wli(const std::string& prms, const std::string& evts = "...=\r\n") {
  return "[Prms]\r\nTmFrmt=\r\nPID=off\r\nTID=off\r\n" + prms + "[Evts]\r\n" + evts;
}

bool Ended(uint32_t id) {
  HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
  bool ended = !h || WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  if (h) CloseHandle(h);
  return ended;
}

// A trace log over <dir>t.wli, which holds the given bytes and is read once (Res), and <dir>t.log.
struct TWli {
  TTmpDir D;
  std::string W = D("t.wli"), F = D("t.log");
  TAsyncLog L{W.c_str(), F.c_str()};
  uint32_t Res;
  explicit TWli(const std::string& wli) {
    WriteAll(W, wli);
    Res = L.LoadPrms();
  }
  std::string Sum() {  // "<StrtMd> <FlshSec> <FlshLns> <PrmsRd> <PID><TID> <TmFrmt>|<entries>"
    const TLogPrms& p = L.Prms();
    char s[160];
    snprintf(s, sizeof s, "%u %u %u %u %d%d %s|%u", p.StrtMd(), p.FlshSec(), p.FlshLns(), L.PrmsRd(), p.PidOn(),
             p.TidOn(), p.TmFrmt().Str(), p.TpCnt());
    return s;
  }
  bool Reads(uint32_t n) {  // waits for n more reads of the file
    uint32_t from = P::Loads(L);
    return WaitFor([&] { return P::Loads(L) >= from + n; });
  }
};

}  // namespace

// Section names trimmed and in any case, a repeated section joins the first, keys in any case but not trimmed,
// values split at the first "=", CR, LF or both end lines, the last of equal keys wins, a UTF-8 mark is skipped.
TEST(LogPrmsLdr2, Keys) {
  const std::pair<std::string, std::string> rows[] = {
      {"", kDflt + "0"},
      {"FlshLns=5\r\n[ prms ]\r\nPID=on\r\nTID\r\nStrtMd=new\r\nFlshSec = 30\r\n", "2 60 100 60 10 dd.MM.yyyy HH:mm:ss.ii|0"},
      {"[Prms]\r\nPID=Off\nTID=ON\rTmFrmt=\r\nStrtMd=OvrWrt\r\nPrmsRd=0\r\n[Evts]x\r\nSTT=\r\n[]\r\nFlshLns=6\r\n", "1 60 100 60 01 |0"},
      {"[Prms]\r\nFlshSec=abc\r\nFlshLns=7x\r\nprmsrd=7\r\nTMFRMT=H=m\r\n[Evts]\r\nSTT=\r\nstt=\r\nSTT=\r\n", "0 0 7 7 11 H=m|2"},
      {"[Prms]\r\nFlshSec=1\r\nflshsec=2\r\n[Evts]\r\nA=\r\n[prms]\r\nFLSHSEC=3\r\nPID=on\r\nPID=x\r\n", "0 3 100 60 01 dd.MM.yyyy HH:mm:ss.ii|1"},
      {"\xef\xbb\xbf[Prms]\r\nFlshLns=8\r\n", "0 60 8 60 11 dd.MM.yyyy HH:mm:ss.ii|0"},
      {"\xef\xbb[Prms]\r\nFlshLns=8\r\n", kDflt + "0"},  // a part of a mark is text
  };
  for (auto& r : rows) {
    TWli t(r.first);
    EXPECT_EQ(t.Res, 0u);
    EXPECT_EQ(t.Sum(), r.second) << r.first;
  }
  TWli t("[Evts]\r\nSTT=one\r\nABC=\r\nSTT=two\r\nstt=three\r\n[Prms]\r\nPrmsRd=9\r\n");
  EXPECT_TRUE(t.L.Prms().Match("STT", "two") && !t.L.Prms().Match("STT", "one") && t.L.Prms().Match("stt", "three"));
  WriteAll(t.W, "[Prms]\r\n");
  EXPECT_EQ(t.L.LoadPrms(), 0u);
  EXPECT_EQ(t.Sum(), "0 60 100 9 11 dd.MM.yyyy HH:mm:ss.ii|0");  // a re-read starts from the defaults but PrmsRd
}

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
  static const char raw[] = "[Prms]\0\0FlshSec=5\0[Evts]\r\n\0ABC=\0\0\0";
  EXPECT_EQ(TWli(std::string(raw, sizeof raw - 1)).Sum(), "0 5 100 60 11 dd.MM.yyyy HH:mm:ss.ii|1");  // NUL ends lines
  std::string u16 = "\xff\xfe";
  for (char c : std::string("[Prms]\r\nFlshSec=5\r\n[Evts]\r\n...=\r\n")) u16 += std::string(1, c) + '\0';
  EXPECT_EQ(TWli(u16).Sum(), kDflt + "0");  // short lines that name nothing known: the defaults
  std::mt19937 rnd(12345);
  std::string garbage(200000, 0);
  for (char& c : garbage) c = char(rnd());
  EXPECT_EQ(TWli(garbage).Res, 0u);
  std::string many = "[Prms]\r\nX=" + std::string(2000000, 'a') + "\r\n[Evts]\r\n" + std::string(100000, 'b') + "=\r\n";
  for (int i = 0; i < 5000; ++i) many += "E" + std::to_string(i) + "=\r\n";
  TWli m(many);
  EXPECT_EQ(m.L.Prms().TpCnt(), 5001u);
  EXPECT_TRUE(m.L.Prms().Match("E4999", "x") && !m.L.Prms().Match("X", "x"));
}

// A generated parameter file of 400 000 keys out of order: a sorted insert per key took 15 s here.
TEST(LogPrmsLdr2, LargeFileLoadsFast) {
  constexpr uint32_t kKeys = 400000;
  constexpr DWORD kMaxMs = 3000;  // about a second with the tests two at a time on a busy 2-core machine
  std::string wli = "[Prms]\r\n";
  for (uint32_t i = 0; i < kKeys; ++i) {
    wli += "Key" + std::to_string((i * 2654435761u) % kKeys) + "=" + std::to_string(i) + "\r\n";
    if (i == kKeys / 2) wli += "FlshLns=7\r\n[Evts]\r\nABC=\r\n[Prms]\r\n";
  }
  TWli t(wli + "flshlns=8\r\n");
  DWORD start = GetTickCount();
  EXPECT_EQ(t.L.LoadPrms(), 0u);
  EXPECT_LT(GetTickCount() - start, kMaxMs);
  EXPECT_EQ(t.Sum(), "0 60 8 60 11 dd.MM.yyyy HH:mm:ss.ii|1");
}

// Keys stand in lstrcmpiA's order (hyphens, apostrophes, Cyrillic, case) and each is found by Val().
TEST(LogIni, KeyOrderIsThatOfLstrcmpi) {
  const char* keys[] = {"co-op", "coop", "Co'op", "b", "B", "a1", "A10", "a2", "_x", "-x", "~", "\xc0\xc1\xc2", "\xe0\xe1\xe2",
                        "\xb8\xe6", "\xe5\xe6", "\xa8", "z z", "zz", "9", "10", "\xff", "a\xad" "b", "ab", "Key1", "key10",
                        "KEY2", "key", "x9y", "X10", "0", "00", "Z", "aZ", "AZ0", "Prms", "PID"};
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

TEST(LogWli, NamesFromTheExecutable) {
  char exe[MAX_PATH + 1];
  std::string stem(exe, GetModuleFileNameA(nullptr, exe, sizeof exe));
  stem = stem.substr(0, stem.rfind('.'));
  TAsyncLog l;
  EXPECT_EQ(std::string(l.PrmsFileNm().Str()) + "|" + l.Prms().FileNm().Str(), stem + ".wli|" + stem + ".log");
  EXPECT_EQ(l.SetPrmsRd(0), 87u);
}

// Lines queued before Open() are written, those after Close() never; Open() reads the parameter file once and
// callers never write the file: the writer does when a line makes it due, and Close() writes the rest.
TEST(LogAsync, QueuedBeforeOpenWrittenAfterCloseNever) {
  TWli t(Wli("FlshSec=3600\r\nFlshLns=3\r\n", "ABC=\r\n(=\r\n*AB=\r\nX=(\r\n"));
  t.L.Write("ABC", "before open");
  for (const char* tp : {"(", "*AB", "X"}) t.L.Write(tp, "text (");  // patterns that do not compile never match
  ASSERT_EQ(t.L.Open(), 0u);
  EXPECT_EQ(t.L.Open(), 0u);  // already open
  uint32_t writer = P::ThrdId(t.L);
  t.L.Write("ABC", "due");
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "ABC before open\r\nABC due\r\n"; }));
  t.L.Write("ABC", "rest");
  Sleep(200);
  EXPECT_EQ(P::Queued(t.L), 1u);  // not due
  EXPECT_EQ(P::Loads(t.L), 2u);   // here and at Open()
  EXPECT_EQ(t.L.Close(), 0u);
  EXPECT_TRUE(Ended(writer));
  for (int i = 0; i < 150; ++i) t.L.Write("ABC", "after close");  // due, but no writer to tell
  Sleep(300);
  EXPECT_EQ(t.L.Close(), 1u);
  EXPECT_EQ(ReadAll(t.F), "ABC before open\r\nABC due\r\nABC rest\r\n");
}

TEST(LogAsync, ReReadWhileRunningChangesFilterAndTimers) {
  TWli t(Wli("PrmsRd=1\r\nFlshSec=3600\r\n", "AAA=\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  t.L.Write("AAA", "one");
  t.L.Write("BBB", "one");
  ASSERT_TRUE(t.Reads(2));  // every second
  EXPECT_FALSE(Exists(t.F));
  WriteAll(t.W, Wli("PrmsRd=3600\r\nFlshSec=1\r\n", "BBB=\r\n"));
  // Only the restarted write-out timer can bring the queue to the file, and the new filter decides what goes.
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "BBB one\r\n"; }));
  uint32_t loads = P::Loads(t.L);
  Sleep(2500);
  EXPECT_EQ(P::Loads(t.L), loads);  // the re-read timer runs with the new period
  t.L.Close();
}

// A parameter file deleted while the program runs leaves the defaults (nothing traced) until it comes back.
TEST(LogBadInput, ParameterFileDeletedWhileRunning) {
  TWli t(Wli("PrmsRd=1\r\nFlshSec=0\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  t.L.Write("ABC", "one");
  ASSERT_TRUE(WaitFor([&] { return Exists(t.F); }));
  ASSERT_TRUE(DeleteFileA(t.W.c_str()));
  ASSERT_TRUE(t.Reads(2));
  for (int i = 0; i < 101; ++i) t.L.Write("ABC", "two");  // more than the default 100 lines: due, discarded
  ASSERT_TRUE(WaitFor([&] { return P::Queued(t.L) == 0; }));
  WriteAll(t.W, Wli("FlshSec=0\r\n"));  // the period stayed at one second
  ASSERT_TRUE(t.Reads(2));
  t.L.Write("ABC", "three");
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "ABC one\r\nABC three\r\n"; }));
  t.L.Close();
}

TEST(LogAsync, DestroyingARunningLogStopsItsWriter) {
  TWli t(Wli("FlshSec=3600\r\n"));
  for (int i = 0; i < 20; ++i) {  // never a thread left on a dead object
    std::unique_ptr<TAsyncLog> l(new TAsyncLog(t.W.c_str(), t.F.c_str()));
    ASSERT_EQ(l->Open(), 0u);
    uint32_t id = P::ThrdId(*l);
    l->Write("ABC", "line %d", i);
    l.reset();  // without Close()
    EXPECT_TRUE(Ended(id));
  }
  EXPECT_EQ(Lines(ReadAll(t.F)).size(), 20u);
}

namespace {

// A writer thread that takes longer than a sleep loop of 200 ms would wait to get its message queue.
struct TSlowWriterLog : TAsyncLog {
  static constexpr DWORD kSlowStartMs = 700;
  using TAsyncLog::TAsyncLog;
  void WriterStarting() override { Sleep(kSlowStartMs); }
};

}  // namespace

TEST(LogAsync, OpenWaitsForASlowWriterThread) {
  TWli t(Wli(""));
  TSlowWriterLog l(t.W.c_str(), t.F.c_str());
  DWORD start = GetTickCount();
  ASSERT_EQ(l.Open(), 0u);
  EXPECT_GE(GetTickCount() - start, TSlowWriterLog::kSlowStartMs - 50);  // it did wait for the queue
  l.Write("ABC", "written");
  EXPECT_EQ(l.Close(), 0u);
  EXPECT_EQ(ReadAll(t.F), "ABC written\r\n");
}
