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

// A TWliLog whose parameter file holds the given bytes; returns LoadPrms()'s result.
struct TLoaded {
  TTmpDir Dir;
  TWliLog Log;
  uint32_t Res;
  explicit TLoaded(const std::string& wli, uint32_t prmsRd = 60)
      : Log(Dir("t.wli").c_str(), Dir("t.log").c_str()) {
    WriteAll(Dir("t.wli"), wli);
    if (prmsRd != 60) Log.SetPrmsRd(prmsRd);
    Res = Log.LoadPrms();
  }
};

std::string Val(const TLogIni& ini, const char* sctn, const char* key) {
  const TLogIniSection* s = ini.Sctn(sctn);
  if (!s) return "<no section>";
  const TLogIniVal* v = s->Val(key);
  return v ? v->Val.Str() : "<no key>";
}

}  // namespace

TEST(LogIni, SectionsAndValues) {
  const std::string text =
      "before=1\r\n"
      "[ Prms ]\r\n"
      "TmFrmt=HH:mm\r\n"
      "FlshSec = 30\r\n"
      "FlshLns= 7\r\n"
      "\r\n\r\n"
      "NoEquals\n"
      "a=b=c\r"
      "[Prms]x\r\n"
      "[]\r\n"
      "empty=1\r\n"
      "[prms]\r\n"
      "Later=yes\r\n"
      "[  ]\r\n"
      "blank=2\r\n";
  TLogIni ini;
  ini.Parse(text.data(), uint32_t(text.size()));
  EXPECT_EQ(ini.Cnt(), 2u);
  EXPECT_EQ(Val(ini, "Prms", "TmFrmt"), "HH:mm");
  EXPECT_EQ(Val(ini, "PRMS", "tmfrmt"), "HH:mm");
  EXPECT_EQ(Val(ini, "Prms", "FlshSec"), "<no key>");
  EXPECT_EQ(Val(ini, "Prms", "FlshSec "), " 30");
  EXPECT_EQ(Val(ini, "Prms", "FlshLns"), " 7");
  EXPECT_EQ(Val(ini, "Prms", "NoEquals"), "");
  EXPECT_EQ(Val(ini, "Prms", "a"), "b=c");
  EXPECT_EQ(Val(ini, "Prms", "[Prms]x"), "");    // not a header: a value line
  EXPECT_EQ(Val(ini, "Prms", "Later"), "yes");   // a repeated header joins the first section
  EXPECT_EQ(Val(ini, "Prms", "Late"), "<no key>");
  EXPECT_EQ(Val(ini, "", "before"), "1");        // lines before the first header
  EXPECT_EQ(Val(ini, "", "empty"), "1");
  EXPECT_EQ(Val(ini, "", "blank"), "2");
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
  struct {
    const char* prms;
    uint32_t strtMd, flshSec, flshLns, prmsRd;
    bool pid, tid;
    const char* tmFrmt;
  } cases[] = {
      {"", 0, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"PID=on\r\nTID=ON\r\n", 0, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"PID=1\r\nTID=\r\n", 0, 60, 100, 60, false, false, "dd.MM.yyyy HH:mm:ss.ii"},
      {"PID=Off\r\nTmFrmt=\r\n", 0, 60, 100, 60, false, true, ""},
      {"StrtMd=new\r\n", 2, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"StrtMd=OvrWrt\r\n", 1, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"StrtMd=NEW \r\n", 0, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"StrtMd=APPEND \r\n", 0, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"FlshSec = 30\r\n", 0, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"FlshSec= 30\r\nFlshLns=7x\r\n", 0, 30, 7, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"FlshSec=abc\r\nFlshLns=0\r\n", 0, 0, 0, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"PrmsRd=0\r\n", 0, 60, 100, 60, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"PrmsRd=5\r\n", 0, 60, 100, 5, true, true, "dd.MM.yyyy HH:mm:ss.ii"},
      {"prmsrd=7\r\nTMFRMT=HH\r\n", 0, 60, 100, 7, true, true, "HH"},
  };
  for (const auto& c : cases) {
    TLoaded t(std::string("[Prms]\r\n") + c.prms);
    EXPECT_EQ(t.Res, 0u);
    const TLogPrms& p = t.Log.Prms();
    EXPECT_EQ(p.StrtMd(), c.strtMd) << c.prms;
    EXPECT_EQ(p.FlshSec(), c.flshSec) << c.prms;
    EXPECT_EQ(p.FlshLns(), c.flshLns) << c.prms;
    EXPECT_EQ(t.Log.PrmsRd(), c.prmsRd) << c.prms;
    EXPECT_EQ(p.PidOn(), c.pid) << c.prms;
    EXPECT_EQ(p.TidOn(), c.tid) << c.prms;
    EXPECT_TRUE(p.TpOn());
    EXPECT_STREQ(p.TmFrmt().Str(), c.tmFrmt) << c.prms;
    EXPECT_STREQ(p.FileNm().Str(), t.Dir("t.log").c_str());  // never from the file
  }
}

TEST(LogPrmsLdr2, Evts) {
  TLoaded t("[Evts]\r\nSTT=\r\nstt=\r\nSTT=\r\nWP.=Check\r\n");
  EXPECT_EQ(t.Log.Prms().TpCnt(), 3u);
  EXPECT_TRUE(t.Log.Prms().Match("STT", "x"));
  EXPECT_TRUE(t.Log.Prms().Match("stt", "x"));
  EXPECT_TRUE(t.Log.Prms().Match("WP.", "Check: 5"));
  EXPECT_FALSE(t.Log.Prms().Match("WP.", "Launch"));
  TLoaded all("[Evts]\r\n...=\r\n");
  EXPECT_TRUE(all.Log.Prms().Match("A_A", "x"));
  EXPECT_TRUE(all.Log.Prms().Match("UB\xb7", "x"));
}

TEST(LogPrmsLdr2, ReReadStartsFromTheDefaults) {
  TLoaded t("[Prms]\r\nFlshSec=5\r\nPrmsRd=9\r\n[Evts]\r\nABC=\r\n");
  EXPECT_EQ(t.Log.Prms().FlshSec(), 5u);
  WriteAll(t.Dir("t.wli"), "[Prms]\r\n");
  EXPECT_EQ(t.Log.LoadPrms(), 0u);
  EXPECT_EQ(t.Log.Prms().FlshSec(), 60u);
  EXPECT_EQ(t.Log.Prms().TpCnt(), 0u);
  EXPECT_EQ(t.Log.PrmsRd(), 9u);  // not a default: keeps its last value
  DeleteFileA(t.Dir("t.wli").c_str());
  EXPECT_EQ(t.Log.LoadPrms(), uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(t.Log.Prms().TpCnt(), 0u);
}

TEST(LogPrmsLdr, LineFormat) {
  TTmpDir d;
  WriteAll(d("t.wli"), "+STT\r\n  + W P.\r\n!imm\r\n# comment\r\n+AB\r\n+SOC");
  TWliLog l(d("t.wli").c_str(), d("t.log").c_str());
  TLogPrmsLdr ldr(l);
  EXPECT_EQ(ldr.Load(), 0u);
  EXPECT_EQ(l.Prms().FlshLns(), 1u);
  EXPECT_TRUE(l.Prms().Match("STT", "x"));
  EXPECT_TRUE(l.Prms().Match("WP.", "x"));
  EXPECT_TRUE(l.Prms().Match("SOC", "x"));
  EXPECT_FALSE(l.Prms().Match("AB", "x"));  // "AB" took the line end with it
  EXPECT_EQ(l.Prms().TpCnt(), 4u);
  // The INI loader reads any file it can open: the line format then gives nothing.
  EXPECT_EQ(l.LoadPrms(), 0u);
  EXPECT_EQ(l.Prms().TpCnt(), 0u);
  WriteAll(d("e.wli"), "");
  TWliLog e(d("e.wli").c_str(), d("e.log").c_str());
  TLogPrmsLdr le(e);
  EXPECT_EQ(le.Load(), 0u);
  TWliLog m(d("missing.wli").c_str(), d("m.log").c_str());
  TLogPrmsLdr lm(m);
  EXPECT_EQ(lm.Load(), uint32_t(ERROR_FILE_NOT_FOUND));
}

TEST(LogBadInput, NulBytesEndLines) {
  static const char raw[] = "[Prms]\0\0FlshSec=5\0[Evts]\r\n\0ABC=\0\0\0";
  const std::string text(raw, sizeof raw - 1);
  TLoaded t(text);
  EXPECT_EQ(t.Res, 0u);
  EXPECT_EQ(t.Log.Prms().FlshSec(), 5u);
  EXPECT_TRUE(t.Log.Prms().Match("ABC", "x"));
  TLoaded nul(std::string(5000, '\0'));
  EXPECT_EQ(nul.Res, 0u);
  EXPECT_EQ(nul.Log.Prms().TpCnt(), 0u);
}

TEST(LogBadInput, Utf16FileGivesTheDefaults) {
  std::string ascii = "[Prms]\r\nFlshSec=5\r\n[Evts]\r\n...=\r\n";
  std::string u16 = "\xff\xfe";
  for (char c : ascii) {
    u16 += c;
    u16 += '\0';
  }
  auto t0 = std::chrono::steady_clock::now();
  TLoaded t(u16);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_EQ(t.Res, 0u);
  EXPECT_EQ(t.Log.Prms().FlshSec(), 60u);
  EXPECT_EQ(t.Log.Prms().TpCnt(), 0u);
}

TEST(LogBadInput, GarbageHugeLinesAndManyEntries) {
  std::mt19937 rnd(12345);
  std::string garbage(200000, 0);
  for (char& c : garbage) c = char(rnd());
  TLoaded g(garbage);
  EXPECT_EQ(g.Res, 0u);

  std::string huge = "[Prms]\r\nX=" + std::string(2000000, 'a') + "\r\nFlshLns=3\r\n[Evts]\r\n" +
                     std::string(100000, 'b') + "=\r\nABC=" + std::string(100000, 'c') + "\r\n";
  TLoaded h(huge);
  EXPECT_EQ(h.Res, 0u);
  EXPECT_EQ(h.Log.Prms().FlshLns(), 3u);
  EXPECT_EQ(h.Log.Prms().TpCnt(), 2u);
  EXPECT_FALSE(h.Log.Prms().Match("ABC", "x"));

  std::string many = "[Evts]\r\n";
  for (int i = 0; i < 5000; ++i) many += "E" + std::to_string(i) + "=\r\n";
  TLoaded m(many);
  EXPECT_EQ(m.Log.Prms().TpCnt(), 5000u);
  EXPECT_TRUE(m.Log.Prms().Match("E4999", "x"));
  EXPECT_FALSE(m.Log.Prms().Match("X", "x"));
}

TEST(LogBadInput, InvalidPatternsNeverMatch) {
  TTmpDir d;
  WriteAll(d("t.wli"), "[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\n[Evts]\r\n(=\r\n*AB=\r\nABC=(\r\n[=\r\nGOOD=\r\n");
  TWliLog l(d("t.wli").c_str(), d("t.log").c_str());
  ASSERT_EQ(l.Open(), 0u);
  EXPECT_EQ(l.Prms().TpCnt(), 5u);
  for (const char* tp : {"(", "*AB", "ABC", "[", "X"}) l.Write(tp, "text (");
  l.Write("GOOD", "ok");
  l.Close();
  EXPECT_EQ(ReadAll(d("t.log")), "GOOD ok\r\n");
}

TEST(LogBadInput, ParameterFileDeletedWhileRunning) {
  TTmpDir d;
  std::string w = d("t.wli"), f = d("t.log");
  WriteAll(w, "[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\nPrmsRd=1\r\nFlshSec=0\r\n[Evts]\r\n...=\r\n");
  TAsyncLog l(w.c_str(), f.c_str());
  ASSERT_EQ(l.Open(), 0u);
  l.Write("ABC", "one");
  ASSERT_TRUE(WaitFor([&] { return Exists(f); }));
  ASSERT_TRUE(DeleteFileA(w.c_str()));
  uint32_t loads = l.LoadCnt();
  ASSERT_TRUE(WaitFor([&] { return l.LoadCnt() >= loads + 1; }));
  EXPECT_EQ(l.Prms().TpCnt(), 0u);
  // Without parameters nothing is traced: a due write-out discards the lines.
  for (int i = 0; i < 101; ++i) l.Write("ABC", "two");  // more than the default 100 lines: due
  ASSERT_TRUE(WaitFor([&] { return l.QueueCnt() == 0; }));
  // The file comes back: tracing resumes at the next re-read (the period stayed at one second).
  WriteAll(w, "[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\nFlshSec=0\r\n[Evts]\r\n...=\r\n");
  ASSERT_TRUE(WaitFor([&] { return l.Prms().TpCnt() == 1; }));
  l.Write("ABC", "three");
  EXPECT_TRUE(WaitFor([&] { return Count(ReadAll(f), "three") == 1; }));
  l.Close();
  EXPECT_EQ(ReadAll(f), "ABC one\r\nABC three\r\n");
}
