// The parameter file: INI reading, the keys, the line format, and bad input.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <random>
#include <string>

#include "Log/LogFile.h"
#include "Log/LogIni.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

// A TWliLog whose parameter file holds the given bytes; Res is LoadPrms()'s result.
struct TLoaded {
  TTmpDir Dir;
  TWliLog Log;
  uint32_t Res;
  explicit TLoaded(const std::string& wli) : Log(Dir("t.wli").c_str(), Dir("t.log").c_str()) {
    WriteAll(Dir("t.wli"), wli);
    Res = Log.LoadPrms();
  }
  // "<StrtMd> <FlshSec> <FlshLns> <PrmsRd> <PID><TID> <TmFrmt>|<entries>"
  std::string Sum() {
    const TLogPrms& p = Log.Prms();
    char s[160];
    snprintf(s, sizeof s, "%u %u %u %u %d%d %s|%u", p.StrtMd(), p.FlshSec(), p.FlshLns(), Log.PrmsRd(), p.PidOn(),
             p.TidOn(), p.TmFrmt().Str(), p.TpCnt());
    return s;
  }
};

}  // namespace

TEST(LogIni, SectionsAndValues) {
  const std::string text =
      "before=1\r\n[ Prms ]\r\nTmFrmt=HH:mm\r\nFlshSec = 30\r\n\r\n\r\nNoEquals\na=b=c\r[Prms]x\r\n"
      "[]\r\nempty=1\r\n[prms]\r\nLater=yes\r\n";
  TLogIni ini;
  ini.Parse(text.data(), uint32_t(text.size()));
  EXPECT_EQ(ini.Cnt(), 2u);
  const char* cases[][3] = {
      {"PRMS", "tmfrmt", "HH:mm"}, {"Prms", "FlshSec", "<none>"}, {"Prms", "FlshSec ", " 30"},
      {"Prms", "NoEquals", ""},    {"Prms", "a", "b=c"},          {"Prms", "[Prms]x", ""},  // not a header
      {"Prms", "Later", "yes"},  // a repeated header joins the first section
      {"", "before", "1"},       // lines before the first header, and those of an empty header
      {"", "empty", "1"},
  };
  for (auto& c : cases) {
    const TLogIniSection* s = ini.Sctn(c[0]);
    const TLogIniVal* v = s ? s->Val(c[1]) : nullptr;
    EXPECT_STREQ(v ? v->Val.Str() : "<none>", c[2]) << c[0] << "/" << c[1];
  }
}

TEST(LogIni, ReadErrors) {
  TTmpDir d;
  TLogIni ini;
  EXPECT_EQ(ini.Read(d("missing.wli").c_str()), uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ini.Read(d("no\\dir\\x.wli").c_str()), uint32_t(ERROR_PATH_NOT_FOUND));
  WriteAll(d("big.wli"), "");
  HANDLE h = CreateFileA(d("big.wli").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_SHARING_VIOLATION));
  LARGE_INTEGER sz;
  sz.QuadPart = LOG_INI_MAX + 1;
  SetFilePointerEx(h, sz, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  EXPECT_EQ(ini.Read(d("big.wli").c_str()), uint32_t(ERROR_FILE_TOO_LARGE));
}

TEST(LogPrmsLdr2, Keys) {
  const char* cases[][2] = {
      {"", "0 60 100 60 11 dd.MM.yyyy HH:mm:ss.ii|0"},
      {"PID=on\r\nTID=\r\nStrtMd=new\r\nFlshSec = 30\r\n", "2 60 100 60 10 dd.MM.yyyy HH:mm:ss.ii|0"},
      {"PID=Off\r\nTID=ON\r\nTmFrmt=\r\nStrtMd=OvrWrt\r\nPrmsRd=0\r\n", "1 60 100 60 01 |0"},
      {"PID=1\r\nStrtMd=NEW \r\nFlshSec= 30\r\nFlshLns=7x\r\n", "0 30 7 60 01 dd.MM.yyyy HH:mm:ss.ii|0"},
      {"FlshSec=abc\r\nFlshLns=0\r\nprmsrd=7\r\nTMFRMT=HH\r\n[Evts]\r\nSTT=\r\nstt=\r\nSTT=\r\n", "0 0 0 7 11 HH|2"},
  };
  for (auto& c : cases) {
    TLoaded t(std::string("[Prms]\r\n") + c[0]);
    EXPECT_EQ(t.Res, 0u);
    EXPECT_EQ(t.Sum(), c[1]) << c[0];
    EXPECT_STREQ(t.Log.Prms().FileNm().Str(), t.Dir("t.log").c_str());  // never from the file
  }
}

TEST(LogPrmsLdr2, EvtsAndReReadFromTheDefaults) {
  TLoaded t("[Prms]\r\nFlshSec=5\r\nPrmsRd=9\r\n[Evts]\r\nSTT=\r\nWP.=Check\r\n");
  const TLogPrms& p = t.Log.Prms();
  EXPECT_TRUE(p.Match("STT", "x") && p.Match("WP.", "Check: 5"));
  EXPECT_FALSE(p.Match("WP.", "Launch") || p.Match("stt", "x"));
  WriteAll(t.Dir("t.wli"), "[Prms]\r\n");
  EXPECT_EQ(t.Log.LoadPrms(), 0u);
  EXPECT_EQ(t.Sum(), "0 60 100 9 11 dd.MM.yyyy HH:mm:ss.ii|0");  // PrmsRd is no default: it keeps its value
  WriteAll(t.Dir("t.wli"), "[Evts]\r\nABC=\r\n");
  EXPECT_EQ(t.Log.LoadPrms(), 0u);
  DeleteFileA(t.Dir("t.wli").c_str());
  EXPECT_EQ(t.Log.LoadPrms(), uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(p.TpCnt(), 0u);
}

TEST(LogPrmsLdr, LineFormat) {
  TLoaded t("+STT\r\n  + W P.\r\n!imm\r\n# comment\r\n+AB\r\n+SOC");
  EXPECT_EQ(t.Log.Prms().TpCnt(), 0u);  // the INI loader reads it, and finds nothing
  TLogPrmsLdr ldr(t.Log);
  EXPECT_EQ(ldr.Load(), 0u);
  const TLogPrms& p = t.Log.Prms();
  EXPECT_EQ(p.FlshLns(), 1u);
  EXPECT_TRUE(p.Match("STT", "x") && p.Match("WP.", "x") && p.Match("SOC", "x"));
  EXPECT_FALSE(p.Match("AB", "x"));  // "AB" took the line end with it
  EXPECT_EQ(p.TpCnt(), 4u);
  DeleteFileA(t.Dir("t.wli").c_str());
  EXPECT_EQ(ldr.Load(), uint32_t(ERROR_FILE_NOT_FOUND));
}

TEST(LogBadInput, NulUtf16GarbageHugeLinesManyEntries) {
  static const char raw[] = "[Prms]\0\0FlshSec=5\0[Evts]\r\n\0ABC=\0\0\0";
  TLoaded nul(std::string(raw, sizeof raw - 1));  // NUL bytes end lines
  EXPECT_EQ(nul.Sum(), "0 5 100 60 11 dd.MM.yyyy HH:mm:ss.ii|1");
  std::string u16 = "\xff\xfe";
  for (char c : std::string("[Prms]\r\nFlshSec=5\r\n[Evts]\r\n...=\r\n")) u16 += std::string(1, c) + '\0';
  auto t0 = std::chrono::steady_clock::now();
  TLoaded u(u16);  // short lines that name nothing known: the defaults
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_EQ(u.Sum(), "0 60 100 60 11 dd.MM.yyyy HH:mm:ss.ii|0");
  std::mt19937 rnd(12345);
  std::string garbage(200000, 0);
  for (char& c : garbage) c = char(rnd());
  EXPECT_EQ(TLoaded(garbage).Res, 0u);
  EXPECT_EQ(TLoaded(std::string(5000, '\0')).Sum(), "0 60 100 60 11 dd.MM.yyyy HH:mm:ss.ii|0");
  TLoaded h("[Prms]\r\nX=" + std::string(2000000, 'a') + "\r\nFlshLns=3\r\n[Evts]\r\n" + std::string(100000, 'b') +
            "=\r\nABC=" + std::string(100000, 'c') + "\r\n");
  EXPECT_EQ(h.Sum(), "0 60 3 60 11 dd.MM.yyyy HH:mm:ss.ii|2");
  EXPECT_FALSE(h.Log.Prms().Match("ABC", "x"));
  std::string many = "[Evts]\r\n";
  for (int i = 0; i < 5000; ++i) many += "E" + std::to_string(i) + "=\r\n";
  TLoaded m(many);
  EXPECT_EQ(m.Log.Prms().TpCnt(), 5000u);
  EXPECT_TRUE(m.Log.Prms().Match("E4999", "x"));
  EXPECT_FALSE(m.Log.Prms().Match("X", "x"));
}

TEST(LogBadInput, OpenReadsTheFileAndInvalidPatternsNeverMatch) {
  TLoaded t("[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\nStrtMd=OVRWRT\r\n[Evts]\r\n(=\r\n*AB=\r\nABC=(\r\n[=\r\nGOOD=\r\n");
  WriteAll(t.Dir("t.log"), "old\r\n");
  ASSERT_EQ(t.Log.Open(), 0u);
  EXPECT_EQ(t.Log.Prms().TpCnt(), 5u);
  for (const char* tp : {"(", "*AB", "ABC", "[", "X"}) t.Log.Write(tp, "text (");
  t.Log.Write("GOOD", "ok");
  t.Log.Close();
  EXPECT_EQ(ReadAll(t.Dir("t.log")), "GOOD ok\r\n");
}

TEST(LogBadInput, ParameterFileDeletedWhileRunning) {
  TTmpDir d;
  std::string w = d("t.wli"), f = d("t.log");
  const std::string wli = "[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\nFlshSec=0\r\n[Evts]\r\n...=\r\n";
  WriteAll(w, "[Prms]\r\nPrmsRd=1\r\n" + wli);
  TAsyncLog l(w.c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  l.Write("ABC", "one");
  ASSERT_TRUE(WaitFor([&] { return Exists(f); }));
  ASSERT_TRUE(DeleteFileA(w.c_str()));
  ASSERT_TRUE(WaitFor([&] { return l.Prms().TpCnt() == 0; }));
  // Without parameters nothing is traced: a due write-out discards the lines.
  for (int i = 0; i < 101; ++i) l.Write("ABC", "two");  // more than the default 100 lines: due
  ASSERT_TRUE(WaitFor([&] { return l.QueueCnt() == 0; }));
  // The file comes back: tracing resumes at the next re-read (the period stayed at one second).
  WriteAll(w, wli);
  ASSERT_TRUE(WaitFor([&] { return l.Prms().TpCnt() == 1; }));
  l.Write("ABC", "three");
  EXPECT_TRUE(WaitFor([&] { return ReadAll(f) == "ABC one\r\nABC three\r\n"; }));
  l.Close();
}
