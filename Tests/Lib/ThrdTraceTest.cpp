// The trace lines of the handle, mutex and thread wrappers, read back from the process trace log.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "GUI/Command.h"
#include "Lib/Res.h"
#include "Lib/Thrd.h"
#include "Log/Log.h"

namespace {

const uint32_t kLong = 20000;  // a wait that must end: generous for a loaded machine

std::string F(const char* fmt, ...) {
  char buf[512];
  va_list a;
  va_start(a, fmt);
  vsnprintf(buf, sizeof buf, fmt, a);
  va_end(a);
  return buf;
}

unsigned Lo(const void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }

std::string ReadFileText(const std::string& path) {
  std::string s;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return s;
  char buf[4096];
  DWORD rd = 0;
  while (ReadFile(h, buf, sizeof buf, &rd, nullptr) && rd) s.append(buf, rd);
  CloseHandle(h);
  return s;
}

// Makes the process trace log keep every line type with only the type code in front of the text, and
// writes the queued lines to a file of its own when they are read back. The log is not opened, so no
// writer thread takes the lines away in between.
class ThrdTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH + 1];
    GetTempPathA(sizeof tmp, tmp);
    m_File = F("%sYdThrdTrace_%u.log", tmp, static_cast<unsigned>(GetCurrentProcessId()));
    DeleteFileA(m_File.c_str());
    TLog& l = Log();
    ASSERT_FALSE(l.IsOpn());
    ASSERT_EQ(l.Lock(kLong), 0u);
    l.Prms().SetDflts();
    l.Prms().SetTmFrmt("");
    l.Prms().SetPidOn(false);
    l.Prms().SetTidOn(false);
    l.Prms().SetFlshLns(1000000);  // nothing is due before the test reads the lines
    l.Prms().SetFlshSec(1000000);
    l.Prms().AddTp("...", "");
    l.Unlock();
  }
  void TearDown() override {
    TLog& l = Log();
    if (l.Lock(kLong) == 0) {
      l.Prms().SetDflts();
      l.SetCurFileNm("");
      l.Unlock();
    }
    DeleteFileA(m_File.c_str());
  }
  // Writes the queued lines out and returns them.
  const std::vector<std::string>& Lines() {
    if (m_Open) {
      TLog& l = Log();
      EXPECT_EQ(l.Lock(kLong), 0u);
      l.SetCurFileNm(m_File.c_str());
      EXPECT_EQ(l.Flush(), 0u);
      l.Unlock();
      m_Open = false;
      std::string s = ReadFileText(m_File);
      for (size_t pos = 0; pos < s.size();) {
        size_t e = s.find("\r\n", pos);
        if (e == std::string::npos) e = s.size();
        m_Lines.push_back(s.substr(pos, e - pos));
        pos = e + 2;
      }
    }
    return m_Lines;
  }
  int Count(const char* tp, const std::string& txt) {
    int n = 0;
    for (const std::string& l : Lines())
      if (l.compare(0, 3, tp) == 0 && l.size() > txt.size() && l.compare(l.size() - txt.size(), txt.size(), txt) == 0 &&
          l[l.size() - txt.size() - 1] == ' ')
        ++n;
    return n;
  }
  int CountPart(const char* tp, const std::string& part) {
    int n = 0;
    for (const std::string& l : Lines())
      if (l.compare(0, 3, tp) == 0 && l.find(part) != std::string::npos) ++n;
    return n;
  }
  std::string Dump() {
    std::string s;
    for (const std::string& l : Lines()) s += l + "\n";
    return s;
  }

  bool m_Open = true;
  std::string m_File;
  std::vector<std::string> m_Lines;
};

class TThrowThrd : public TThrd {
 protected:
  void Exec() override { throw EInvalidArgument("ThrdTraceTest", 7, "trace"); }
};

class TSevenThrd : public TThrd {
 protected:
  uint32_t ExitVal() override { return 7; }
};

class TQueueThrd : public TThrd {
 public:
  HANDLE Ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ~TQueueThrd() override { CloseHandle(Ready); }

 protected:
  void Exec() override {
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(Ready);
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    }
  }
};

}  // namespace

TEST_F(ThrdTrace, HandleLines) {
  THandle inv(INVALID_HANDLE_VALUE);
  EXPECT_EQ(inv.Close(), 0u);
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  THandle real(e);
  EXPECT_EQ(real.Close(), 0u);
  THandle stale(e);
  std::string staleLine =
      F("Closing handle: handle=%#010x,this=%#010x-skipped(invalid).", Lo(e), Lo(&stale));
  bool staleKnown = stale.IsValid();  // another thread may have been given the number meanwhile
  EXPECT_EQ(stale.Close(), 0u);
  if (staleKnown) stale.Detach();
  EXPECT_EQ(Count("SOA", F("Closing handle: handle=%#010x,this=%#010x-skipped(value).", 0u, Lo(&inv))), 1) << Dump();
  EXPECT_EQ(Count("SOC", F("Closing handle: handle=%#010x,this=%#010x,result=0.", Lo(e), Lo(&real))), 1) << Dump();
  if (!staleKnown) {
    EXPECT_EQ(Count("SOA", staleLine), 1) << Dump();
  }
}

TEST_F(ThrdTrace, WaitLinesOnlyWithATimeOut) {
  TSyncObj ev;
  ev.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  EXPECT_EQ(ev.Wait(0), 258u);
  EXPECT_EQ(ev.Wait(20), 258u);
  EXPECT_EQ(CountPart("SO~", "TSyncObj::Wait(0)"), 0) << Dump();
  EXPECT_EQ(CountPart("SO~", "TSyncObj::Wait(20) end(rc=258,wait="), 1) << Dump();
  EXPECT_EQ(CountPart("SO~", F(",this=%#010x).", Lo(&ev))), 1) << Dump();
}

TEST_F(ThrdTrace, MutexLines) {
  TMutex a, b, c;
  // Names of this process only: another run of these tests may be going on at the same time.
  std::string m = F("YD_ThrdTrace_M%u", static_cast<unsigned>(GetCurrentProcessId()));
  std::string none = F("YD_ThrdTrace_None%u", static_cast<unsigned>(GetCurrentProcessId()));
  ASSERT_EQ(a.Crt(false, m.c_str()), 0u);
  b.SetName(m.c_str());
  ASSERT_EQ(b.Open(SYNCHRONIZE, false), 0u);
  c.SetName(none.c_str());
  EXPECT_EQ(c.Open(SYNCHRONIZE, false), 2u);
  EXPECT_EQ(Count("SMT", F("Creating mutex \"%s\": handle=%#010x,rc=0,this=%#010x.", m.c_str(), Lo(a.Get()), Lo(&a))),
            1) << Dump();
  EXPECT_EQ(Count("SMO", F("Opening mutex \"%s\": handle=%#010x,rc=0,this=%#010x.", m.c_str(), Lo(b.Get()), Lo(&b))),
            1) << Dump();
  EXPECT_EQ(Count("SMO", F("Opening mutex \"%s\": handle=%#010x,rc=2,this=%#010x.", none.c_str(), 0u, Lo(&c))), 1)
      << Dump();
}

TEST_F(ThrdTrace, ThreadLines) {
  std::string stt, stc, begin, end, mtx;
  {
    TSevenThrd t;
    ASSERT_EQ(t.Start(0), 0u);
    ASSERT_EQ(t.Wait(kLong), 0u);
    unsigned id = t.Id();
    stt = F("Create thread: handle=%#08x,id=%#06x,this=%#08x result=0.", Lo(t.Handle()), id, Lo(&t));
    stc = F("Closing thread handle: handle=%#08x this=%#08x result=0", Lo(t.Handle()), Lo(&t));
    begin = F("Thread routine begin(thrd=%#010x).", Lo(&t));
    end = F("Thread routine end 7 (0x00000007) [thrd=%#010x id=%u(%#06x)].", Lo(&t), id, id);
    mtx = F("Creating mutex \"YD_TThrd_%u\": handle=", id);
  }
  EXPECT_EQ(Count("STT", stt), 1) << Dump();
  EXPECT_EQ(Count("ST.", begin), 1) << Dump();
  EXPECT_EQ(Count("ST.", end), 1) << Dump();
  EXPECT_EQ(Count("STC", stc), 1) << Dump();
  EXPECT_EQ(CountPart("SMT", mtx), 1) << Dump();
}

TEST_F(ThrdTrace, ExceptionLine) {
  TThrowThrd t;
  std::string msg = EInvalidArgument("ThrdTraceTest", 7, "trace").Msg();
  ASSERT_EQ(t.Start(0), 0u);
  ASSERT_EQ(t.Wait(kLong), 0u);
  EXPECT_EQ(t.ExitCode(), 1359u);
  EXPECT_EQ(Count("ST!", F("Thread routine exception [thrd=%#010x,", Lo(&t)) + msg + "]."), 1) << Dump();
  EXPECT_EQ(CountPart("ST.", "Thread routine end"), 0) << Dump();
}

TEST_F(ThrdTrace, PostMsgLockLines) {
  TQueueThrd t;
  ASSERT_EQ(t.Start(0), 0u);
  ASSERT_EQ(WaitForSingleObject(t.Ready, kLong), WAIT_OBJECT_0);
  EXPECT_EQ(t.PostMsg(WM_QUIT, 0, 0), 0u);
  ASSERT_EQ(t.Wait(kLong), 0u);
  unsigned id = t.Id();
  EXPECT_EQ(CountPart("SMO", F("Opening mutex \"YD_TThrd_%u\": handle=", id)), 1) << Dump();
  EXPECT_EQ(CountPart("STB", F("TThrd::Lock() [TID=%#06x,this=%#010x,ticks=", id, Lo(&t))), 1) << Dump();
  EXPECT_EQ(Count("STB", F("TThrd::Unlock() [TID=%#06x,this=%#010x].", id, Lo(&t))), 1) << Dump();
}
