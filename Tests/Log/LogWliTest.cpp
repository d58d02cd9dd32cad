// The trace log: its parameter file (INI reader, keys, the older line format, bad input), file names,
// the writer thread of TAsyncLog, its timers and the re-reads while it runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>

#include "Log/LogFile.h"
#include "Log/LogIni.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

const std::string kDflt = "0 60 100 60 11 dd.MM.yyyy HH:mm:ss.ii|";

// Parameters of a short-lived trace log: text only.
std::string Wli(const std::string& prms, const std::string& evts = "...=\r\n") {
  return "[Prms]\r\nTmFrmt=\r\nPID=off\r\nTID=off\r\n" + prms + "[Evts]\r\n" + evts;
}

bool ThreadEnded(uint32_t id) {
  HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
  bool ended = !h || WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  if (h) CloseHandle(h);
  return ended;
}

// A trace log over <dir>t.wli, which holds the given bytes and is read once (Res), and <dir>t.log.
struct TWli {
  TTmpDir D;
  std::string W = D("t.wli"), F = D("t.log");
  TAsyncLog L;
  uint32_t Res;
  explicit TWli(const std::string& wli) : L(W.c_str(), F.c_str()) {
    WriteAll(W, wli);
    Res = L.LoadPrms();
  }
  // "<StrtMd> <FlshSec> <FlshLns> <PrmsRd> <PID><TID> <TmFrmt>|<entries>"
  std::string Sum() {
    const TLogPrms& p = L.Prms();
    char s[160];
    snprintf(s, sizeof s, "%u %u %u %u %d%d %s|%u", p.StrtMd(), p.FlshSec(), p.FlshLns(), L.PrmsRd(), p.PidOn(),
             p.TidOn(), p.TmFrmt().Str(), p.TpCnt());
    return s;
  }
};

}  // namespace

// Keys of [Prms] and the INI rules: section names trimmed and in any case, a repeated section joins the
// first, keys in any case but not trimmed, values split at the first "=", CR, LF or both end lines.
TEST(LogPrmsLdr2, Keys) {
  const std::pair<const char*, std::string> cases[] = {
      {"", kDflt + "0"},
      {"FlshLns=5\r\n[ prms ]\r\nPID=on\r\nTID\r\nStrtMd=new\r\nFlshSec = 30\r\n",
       "2 60 100 60 10 dd.MM.yyyy HH:mm:ss.ii|0"},
      {"[Prms]\r\nPID=Off\nTID=ON\rTmFrmt=\r\nStrtMd=OvrWrt\r\nPrmsRd=0\r\n[Evts]x\r\nSTT=\r\n[]\r\nFlshLns=6\r\n",
       "1 60 100 60 01 |0"},
      {"[Prms]\r\nPID=1\r\n[Evts]\r\nA=\r\n[PRMS]\r\nStrtMd=NEW \r\nFlshSec= 30\r\nFlshLns=7x\r\n",
       "0 30 7 60 01 dd.MM.yyyy HH:mm:ss.ii|1"},
      {"[Prms]\r\nFlshSec=abc\r\nFlshLns=0\r\nprmsrd=7\r\nTMFRMT=H=m\r\n[Evts]\r\nSTT=\r\nstt=\r\nSTT=\r\n",
       "0 0 0 7 11 H=m|2"},
  };
  for (auto& c : cases) {
    TWli t(c.first);
    EXPECT_EQ(t.Res, 0u);
    EXPECT_EQ(t.Sum(), c.second) << c.first;
    EXPECT_STREQ(t.L.Prms().FileNm().Str(), t.F.c_str());  // never from the file
  }
  TWli t("[Prms]\r\nPrmsRd=9\r\n[Evts]\r\nSTT=\r\n");
  WriteAll(t.W, "[Prms]\r\n");
  EXPECT_EQ(t.L.LoadPrms(), 0u);
  EXPECT_EQ(t.Sum(), "0 60 100 9 11 dd.MM.yyyy HH:mm:ss.ii|0");  // a re-read starts from the defaults but PrmsRd
}

TEST(LogPrmsLdr, LineFormat) {
  TWli t("+STT\r\n  + W P.\r\n!imm\r\n# comment\r\n+AB\r\n+SOC");
  TLogPrmsLdr ldr(t.L);
  EXPECT_EQ(ldr.Load(), 0u);
  const TLogPrms& p = t.L.Prms();
  EXPECT_EQ(p.FlshLns(), 1u);
  EXPECT_EQ(p.TpCnt(), 4u);
  EXPECT_TRUE(p.Match("STT", "x") && p.Match("WP.", "x") && p.Match("SOC", "x"));
  EXPECT_FALSE(p.Match("AB", "x"));  // "AB" took the line end with it
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
  SetFilePointerEx(h, sz, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_FILE_TOO_LARGE));
  static const char raw[] = "[Prms]\0\0FlshSec=5\0[Evts]\r\n\0ABC=\0\0\0";
  EXPECT_EQ(TWli(std::string(raw, sizeof raw - 1)).Sum(), "0 5 100 60 11 dd.MM.yyyy HH:mm:ss.ii|1");  // NUL: line end
  std::string u16 = "\xff\xfe";
  for (char c : std::string("[Prms]\r\nFlshSec=5\r\n[Evts]\r\n...=\r\n")) u16 += std::string(1, c) + '\0';
  EXPECT_EQ(TWli(u16).Sum(), kDflt + "0");  // short lines that name nothing known: the defaults
  std::mt19937 rnd(12345);
  std::string garbage(200000, 0);
  for (char& c : garbage) c = char(rnd());
  EXPECT_EQ(TWli(garbage).Res, 0u);
  TWli hg("[Prms]\r\nX=" + std::string(2000000, 'a') + "\r\nFlshLns=3\r\n[Evts]\r\n" + std::string(100000, 'b') +
          "=\r\nABC=" + std::string(100000, 'c') + "\r\n");
  EXPECT_EQ(hg.Sum(), "0 60 3 60 11 dd.MM.yyyy HH:mm:ss.ii|2");
  EXPECT_FALSE(hg.L.Prms().Match("ABC", "x"));
  std::string many = "[Evts]\r\n";
  for (int i = 0; i < 5000; ++i) many += "E" + std::to_string(i) + "=\r\n";
  TWli m(many);
  EXPECT_EQ(m.L.Prms().TpCnt(), 5000u);
  EXPECT_TRUE(m.L.Prms().Match("E4999", "x") && !m.L.Prms().Match("X", "x"));
}

TEST(LogBadInput, OpenReadsTheFileAndInvalidPatternsNeverMatch) {
  TWli t("[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\nStrtMd=OVRWRT\r\n[Evts]\r\n(=\r\n*AB=\r\nABC=(\r\n[=\r\nGOOD=\r\n");
  WriteAll(t.F, "old\r\n");
  ASSERT_EQ(t.L.Open(), 0u);
  for (const char* tp : {"(", "*AB", "ABC", "[", "X"}) t.L.Write(tp, "text (");
  t.L.Write("GOOD", "ok");
  t.L.Close();
  EXPECT_EQ(ReadAll(t.F), "GOOD ok\r\n");
}

TEST(LogWli, NamesFromTheExecutable) {
  char exe[MAX_PATH + 1];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string stem(exe);
  stem = stem.substr(0, stem.rfind('.'));
  TAsyncLog l;
  EXPECT_EQ(std::string(l.PrmsFileNm().Str()) + "|" + l.Prms().FileNm().Str(), stem + ".wli|" + stem + ".log");
  EXPECT_EQ(l.SetPrmsRd(0), 87u);
}

TEST(LogAsync, QueuedBeforeOpenWrittenAfterCloseNever) {
  TWli t(Wli(""));
  t.L.Write("ABC", "before open");
  ASSERT_EQ(t.L.Open(), 0u);
  EXPECT_EQ(t.L.Open(), 0u);  // already open
  uint32_t first = t.L.ThrdId();
  t.L.Write("ABC", "while open");
  EXPECT_EQ(t.L.Close(), 0u);
  EXPECT_TRUE(ThreadEnded(first));
  for (int i = 0; i < 150; ++i) t.L.Write("ABC", "after close");  // due, but no writer to tell
  Sleep(300);
  EXPECT_EQ(t.L.Close(), 1u);
  EXPECT_EQ(ReadAll(t.F), "ABC before open\r\nABC while open\r\n");
}

TEST(LogAsync, WriterWritesWhenDueAndCloseWritesTheRest) {
  TWli t(Wli("FlshSec=3600\r\nFlshLns=5\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  for (int i = 0; i < 6; ++i) t.L.Write("ABC", "line %d", i);
  EXPECT_TRUE(WaitFor([&] { return Lines(ReadAll(t.F)).size() == 6; }));
  for (int i = 0; i < 3; ++i) t.L.Write("ABC", "rest %d", i);
  Sleep(200);
  EXPECT_EQ(t.L.QueueCnt(), 3u);  // not due: callers never write the file
  t.L.Close();
  EXPECT_EQ(Lines(ReadAll(t.F)).size(), 9u);
}

TEST(LogAsync, ReReadWhileRunningChangesFilterAndTimers) {
  TWli t(Wli("PrmsRd=1\r\nFlshSec=3600\r\n", "AAA=\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  t.L.Write("AAA", "one");
  t.L.Write("BBB", "one");
  uint32_t loads = t.L.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return t.L.LoadCnt() >= loads + 2; }));  // re-read every second
  EXPECT_FALSE(Exists(t.F));
  WriteAll(t.W, Wli("PrmsRd=3600\r\nFlshSec=1\r\n", "BBB=\r\n"));
  // No further line is written: only the restarted write-out timer can bring the queue to the file,
  // and the new filter decides what goes.
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "BBB one\r\n"; }));
  loads = t.L.LoadCnt();
  Sleep(2500);
  EXPECT_EQ(t.L.LoadCnt(), loads);  // the re-read timer runs with the new period
  t.L.Close();
}

TEST(LogAsync, DestroyingARunningLogStopsItsWriter) {
  TWli t(Wli("FlshSec=3600\r\n"));
  auto* l = new TAsyncLog(t.W.c_str(), t.F.c_str());
  ASSERT_EQ(l->Open(), 0u);
  uint32_t id = l->ThrdId();
  for (int i = 0; i < 50; ++i) l->Write("ABC", "line %d", i);
  delete l;  // without Close()
  EXPECT_TRUE(ThreadEnded(id));
  EXPECT_EQ(Lines(ReadAll(t.F)).size(), 50u);
  for (int i = 0; i < 20; ++i) {  // destroyed while the writer is starting: never a thread on a dead object
    l = new TAsyncLog(t.W.c_str(), t.F.c_str());
    l->Open();
    id = l->ThrdId();
    delete l;
    EXPECT_TRUE(ThreadEnded(id));
  }
}

// A parameter file deleted while the program runs leaves the defaults (nothing traced) until it comes back.
TEST(LogBadInput, ParameterFileDeletedWhileRunning) {
  TWli t(Wli("PrmsRd=1\r\nFlshSec=0\r\n"));
  ASSERT_EQ(t.L.Open(), 0u);
  t.L.Write("ABC", "one");
  ASSERT_TRUE(WaitFor([&] { return Exists(t.F); }));
  ASSERT_TRUE(DeleteFileA(t.W.c_str()));
  uint32_t loads = t.L.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return t.L.LoadCnt() >= loads + 2; }));  // re-read every second, file gone
  for (int i = 0; i < 101; ++i) t.L.Write("ABC", "two");  // more than the default 100 lines: due, discarded
  ASSERT_TRUE(WaitFor([&] { return t.L.QueueCnt() == 0; }));
  WriteAll(t.W, Wli("FlshSec=0\r\n"));  // the period stayed at one second
  loads = t.L.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return t.L.LoadCnt() >= loads + 2; }));
  t.L.Write("ABC", "three");
  EXPECT_TRUE(WaitFor([&] { return ReadAll(t.F) == "ABC one\r\nABC three\r\n"; }));
  t.L.Close();
}

// One key given several times: the last line wins, in [Prms] (any case of the key) and in [Evts].
TEST(LogPrmsLdr2, LastKeyWins) {
  const std::pair<std::string, std::string> cases[] = {
      {"[Prms]\r\nFlshSec=1\r\nflshsec=2\r\nFLSHSEC=3\r\n", "0 3 100 60 11 dd.MM.yyyy HH:mm:ss.ii|0"},
      {"[Prms]\r\nFlshLns=4\r\n[Evts]\r\nA=\r\n[prms]\r\nFlshLns=5\r\nPID=on\r\nPID=x\r\n",
       "0 60 5 60 01 dd.MM.yyyy HH:mm:ss.ii|1"},
  };
  for (auto& c : cases) EXPECT_EQ(TWli(c.first).Sum(), c.second) << c.first;
  TWli t("[Evts]\r\nSTT=one\r\nABC=\r\nSTT=two\r\nstt=three\r\n");
  const TLogPrms& p = t.L.Prms();
  EXPECT_EQ(p.TpCnt(), 3u);
  EXPECT_TRUE(p.Match("STT", "two") && !p.Match("STT", "one") && p.Match("stt", "three"));
}

// Editors put a UTF-8 byte-order mark in front of the first section; both formats read past it.
TEST(LogPrmsLdr2, ByteOrderMarkIsSkipped) {
  const std::string bom = "\xef\xbb\xbf";
  TWli t(bom + Wli(""));
  ASSERT_EQ(t.L.Open(), 0u);
  t.L.Write("ABC", "traced");
  t.L.Close();
  EXPECT_EQ(ReadAll(t.F), "ABC traced\r\n");
  TWli lf(bom + "+STT\r\n");
  TLogPrmsLdr ldr(lf.L);
  EXPECT_EQ(ldr.Load(), 0u);
  EXPECT_TRUE(lf.L.Prms().Match("STT", "x"));
  EXPECT_EQ(TWli("\xef\xbb[Evts]\r\n...=\r\n").L.Prms().TpCnt(), 0u);  // a part of a mark is text
}

// A generated parameter file of 400 000 keys: a sorted insert per key took minutes.
TEST(LogPrmsLdr2, LargeFileLoadsFast) {
  constexpr uint32_t kKeys = 400000;
  // The whole load, file read included: about a second with the tests two at a time on a busy 2-core
  // machine, far less on an idle one; a sorted insert per key took 15 s here.
  constexpr double kMaxSec = 3.0;
  std::string wli = "[Prms]\r\n";
  wli.reserve(kKeys * 16);
  for (uint32_t i = 0; i < kKeys; ++i) {
    uint32_t k = (i * 2654435761u) % kKeys;  // keys out of order
    wli += "Key" + std::to_string(k) + "=" + std::to_string(i) + "\r\n";
    if (i == kKeys / 2) wli += "FlshLns=7\r\n[Evts]\r\nABC=\r\n[Prms]\r\n";
  }
  wli += "flshlns=8\r\n";
  TWli t(wli);
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&a);
  EXPECT_EQ(t.L.LoadPrms(), 0u);
  QueryPerformanceCounter(&b);
  double sec = double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
  EXPECT_LT(sec, kMaxSec);
  EXPECT_EQ(t.Sum(), "0 60 8 60 11 dd.MM.yyyy HH:mm:ss.ii|1");
  printf("%u keys loaded in %.3f s\n", kKeys, sec);
}

namespace {

// A writer thread that takes longer than a sleep loop of 200 ms would wait to get its message queue.
struct TSlowWriterLog : TAsyncLog {
  TSlowWriterLog(const char* w, const char* f) : TAsyncLog(w, f) {}
  void WriterStarting() override { Sleep(kSlowStartMs); }
  static constexpr DWORD kSlowStartMs = 700;
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

// Keys stand in lstrcmpiA's order (hyphens, apostrophes, Cyrillic, case) and each is found by Val().
TEST(LogIni, KeyOrderIsThatOfLstrcmpi) {
  const char* keys[] = {"co-op", "coop", "Co'op", "b", "B", "a1", "A10", "a2", "_x", "-x", "~", "\xc0\xc1\xc2",
                        "\xe0\xe1\xe2", "\xb8\xe6", "\xe5\xe6", "\xa8", "z z", "zz", "9", "10", "\xff", "a\xad" "b", "ab",
                        "Key1", "key10", "KEY2", "key", "x9y", "X10", "0", "00", "Z", "aZ", "AZ0", "Prms", "PID"};
  std::string txt = "[S]\r\n";
  for (const char* k : keys) txt += std::string(k) + "=" + k + "\r\n";
  TLogIni ini;
  ini.Parse(txt.data(), uint32_t(txt.size()));
  const TLogIniSection* s = ini.Sctn("s");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->Cnt(), sizeof keys / sizeof *keys);
  for (uint32_t i = 1; i < s->Cnt(); ++i)
    EXPECT_LE(lstrcmpiA(s->Get(i - 1)->Key.Str(), s->Get(i)->Key.Str()), 0) << s->Get(i)->Key.Str();
  for (const char* k : keys) {
    const TLogIniVal* v = s->Val(k);
    ASSERT_NE(v, nullptr) << k;
    EXPECT_EQ(lstrcmpiA(v->Key.Str(), k), 0) << k;
  }
}
