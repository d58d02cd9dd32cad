// The trace lines of the handle, mutex and thread wrappers, read back from the process trace log.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Log/Log.h"
#include "ThrdUtil.h"

namespace {

std::string F(const char* fmt, ...) {
  char buf[512];
  va_list a;
  va_start(a, fmt);
  vsnprintf(buf, sizeof buf, fmt, a);
  va_end(a);
  return buf;
}

unsigned Lo(const void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }
unsigned Pid() { return static_cast<unsigned>(GetCurrentProcessId()); }

// One expected line: its type, its whole text (or a part of it) and how often it must appear.
struct TWant {
  const char* tp;
  std::string txt;
  int cnt;
  bool part;
};

// Makes the process trace log keep every line type with only the type code in front of the text. The log
// is not opened, so no writer thread takes the lines away before Check writes them to a file of its own.
class ThrdTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH + 1];
    GetTempPathA(sizeof tmp, tmp);
    m_File = F("%sYdThrdTrace_%u.log", tmp, Pid());
    DeleteFileA(m_File.c_str());
    TLogLock lk(Log(), kLong);
    ASSERT_EQ(lk.Res(), 0u);
    ASSERT_FALSE(Log().IsOpn());
    TLogPrms& p = Log().Prms();
    p.SetDflts();
    p.SetTmFrmt("");
    p.SetPidOn(false);
    p.SetTidOn(false);
    p.SetFlshLns(1000000);  // nothing is due before the test reads the lines
    p.SetFlshSec(1000000);
    p.AddTp("...", "");
  }
  void TearDown() override {
    TLogLock lk(Log(), kLong);
    EXPECT_EQ(lk.Res(), 0u);
    Log().Prms().SetDflts();
    Log().SetCurFileNm("");
    DeleteFileA(m_File.c_str());
  }
  // Writes the queued lines out, reads them back and counts each expected line.
  void Check(const std::vector<TWant>& wants) {
    {
      TLogLock lk(Log(), kLong);
      ASSERT_EQ(lk.Res(), 0u);
      Log().SetCurFileNm(m_File.c_str());
      EXPECT_EQ(Log().Flush(), 0u);
    }
    std::ifstream f(m_File, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    for (const TWant& w : wants) {
      // A whole text ends its line after a blank; the line starts with the type.
      int n = 0;
      for (size_t at = 0; (at = all.find(w.part ? w.txt : " " + w.txt + "\r\n", at)) != std::string::npos; ++at) {
        size_t ln = all.rfind('\n', at);
        if (all.compare(ln == std::string::npos ? 0 : ln + 1, 3, w.tp) == 0) ++n;
      }
      EXPECT_EQ(n, w.cnt) << w.tp << " " << w.txt << "\n" << all;
    }
  }

  std::string m_File;
};

}  // namespace

TEST_F(ThrdTrace, HandleWaitAndMutexLines) {
  std::vector<TWant> w;
  THandle inv(INVALID_HANDLE_VALUE);
  EXPECT_EQ(inv.Close(), 0u);
  w.push_back({"SOA", F("Closing handle: handle=%#010x,this=%#010x-skipped(value).", 0u, Lo(&inv)), 1, false});
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  THandle real(e);
  EXPECT_EQ(real.Close(), 0u);
  w.push_back({"SOC", F("Closing handle: handle=%#010x,this=%#010x,result=0.", Lo(e), Lo(&real)), 1, false});
  THandle stale(e);
  if (stale.IsValid()) {  // another thread may have been given the number meanwhile
    stale.Detach();
  } else {
    EXPECT_EQ(stale.Close(), 0u);
    w.push_back({"SOA", F("Closing handle: handle=%#010x,this=%#010x-skipped(invalid).", Lo(e), Lo(&stale)), 1, false});
  }

  TSyncObj ev;
  ev.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  EXPECT_EQ(ev.Wait(0), 258u);
  EXPECT_EQ(ev.Wait(20), 258u);
  w.push_back({"SO~", "TSyncObj::Wait(0)", 0, true});  // only waits with a time-out are traced
  w.push_back({"SO~", "TSyncObj::Wait(20) end(rc=258,wait=", 1, true});
  w.push_back({"SO~", F(",this=%#010x).", Lo(&ev)), 1, true});

  // Names of this process only: another run of these tests may be going on at the same time.
  std::string m = F("YD_ThrdTrace_M%u", Pid()), none = F("YD_ThrdTrace_None%u", Pid());
  TMutex a, b, c;
  ASSERT_EQ(a.Crt(false, m.c_str()), 0u);
  b.SetName(m.c_str());
  ASSERT_EQ(b.Open(SYNCHRONIZE, false), 0u);
  c.SetName(none.c_str());
  EXPECT_EQ(c.Open(SYNCHRONIZE, false), 2u);
  w.push_back({"SMT", F("Creating mutex \"%s\": handle=%#010x,rc=0,this=%#010x.", m.c_str(), Lo(a.Get()), Lo(&a)), 1,
               false});
  w.push_back({"SMO", F("Opening mutex \"%s\": handle=%#010x,rc=0,this=%#010x.", m.c_str(), Lo(b.Get()), Lo(&b)), 1,
               false});
  w.push_back({"SMO", F("Opening mutex \"%s\": handle=%#010x,rc=2,this=%#010x.", none.c_str(), 0u, Lo(&c)), 1, false});
  Check(w);
}

TEST_F(ThrdTrace, ThreadLines) {
  std::vector<TWant> w;
  {
    // All three live to the end of the block, so their thread ids and addresses stay apart.
    TFlagThrd t, x(2);
    TMsgThrd q;
    ASSERT_EQ(t.Start(0), 0u);
    ASSERT_EQ(t.Wait(kLong), 0u);
    unsigned id = t.Id();
    w.push_back({"STT", F("Create thread: handle=%#08x,id=%#06x,this=%#08x result=0.", Lo(t.Handle()), id, Lo(&t)), 1,
                 false});
    w.push_back({"STC", F("Closing thread handle: handle=%#08x this=%#08x result=0", Lo(t.Handle()), Lo(&t)), 1, false});
    w.push_back({"ST.", F("Thread routine begin(thrd=%#010x).", Lo(&t)), 1, false});
    w.push_back(
        {"ST.", F("Thread routine end 5 (0x00000005) [thrd=%#010x id=%u(%#06x)].", Lo(&t), id, id), 1, false});
    w.push_back({"SMT", F("Creating mutex \"YD_TThrd_%u\": handle=", id), 1, true});

    ASSERT_EQ(x.Start(0), 0u);
    ASSERT_EQ(x.Wait(kLong), 0u);
    EXPECT_EQ(x.ExitCode(), 1359u);
    std::string msg = EInvalidArgument("ThrdTest", 7, "x>0").Msg();
    w.push_back({"ST!", F("Thread routine exception [thrd=%#010x,", Lo(&x)) + msg + "].", 1, false});
    w.push_back({"ST.", F("[thrd=%#010x ", Lo(&x)), 0, true});  // no end line after an exception

    ASSERT_EQ(q.Start(0), 0u);
    ASSERT_EQ(WaitForSingleObject(q.Ready, kLong), WAIT_OBJECT_0);
    EXPECT_EQ(q.PostMsg(WM_QUIT, 0, 0), 0u);
    ASSERT_EQ(q.Wait(kLong), 0u);
    id = q.Id();
    w.push_back({"SMO", F("Opening mutex \"YD_TThrd_%u\": handle=", id), 1, true});
    w.push_back({"STB", F("TThrd::Lock() [TID=%#06x,this=%#010x,ticks=", id, Lo(&q)), 1, true});
    w.push_back({"STB", F("TThrd::Unlock() [TID=%#06x,this=%#010x].", id, Lo(&q)), 1, false});
  }
  Check(w);
}
