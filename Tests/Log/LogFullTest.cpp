// A log file that cannot be written for a while (held by another program, or on a full disk): whole lines
// only, none twice, the waiting lines capped, and one line that counts the dropped ones.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Log/Log.h"
#include "Log/LogLine.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

const char kHoldFlag[] = "--log-hold=";
const char kDropped[] = " log lines dropped: the file could not be written";
constexpr DWORD kHoldUpMs = 30000;  // the holding process opens the file: seconds on a loaded machine

// Event-log layout without a time stamp: the bare text, so that lines compare exactly.
void Bare(TLog& l, const std::string& file) {
  l.Prms().SetFileNm(file.c_str());
  l.Prms().SetTmFrmt("");
  l.Prms().SetPidOn(false);
  l.Prms().SetTidOn(false);
  l.Prms().SetTpOn(false);
  l.Prms().SetFlshLns(0);
  l.Prms().AddTp("...", "");
}

std::string Txt(int i, size_t len) {
  std::string s = "line " + std::to_string(i) + " ";
  return s + std::string(len > s.size() ? len - s.size() : 0, char('a' + i % 26));
}

// Checks that the file holds lines from..to-1 of length len once each, in order, whole, with at most one
// count line where lines are missing (which counts them); returns the count (0 without a count line).
int CheckLines(const std::string& file, int from, int to, size_t len, const char* what) {
  std::string all = ReadAll(file);
  EXPECT_TRUE(all.size() >= 2 && all.substr(all.size() - 2) == "\r\n") << what << ": the file ends in a fragment";
  int next = from, dropped = 0;
  for (const std::string& s : Lines(all)) {
    size_t at = s.find(kDropped);
    if (at != std::string::npos) {
      EXPECT_EQ(dropped, 0) << what << ": a second count line";
      dropped = atoi(s.c_str());
      EXPECT_EQ(s, std::to_string(dropped) + kDropped) << what;
      next += dropped;
      continue;
    }
    int i = -1;
    EXPECT_EQ(sscanf(s.c_str(), "line %d ", &i), 1) << what << ": torn line " << s;
    EXPECT_EQ(i, next) << what << ": lost, doubled or glued line " << s.substr(0, 40);
    EXPECT_EQ(s, Txt(i, len)) << what << ": damaged line";
    if (i != next || s != Txt(i, len)) return -1;
    ++next;
  }
  EXPECT_EQ(next, to) << what;
  return dropped;
}

// Holds a file open without any sharing in a process of its own until the object goes.
class THolder {
 public:
  explicit THolder(const std::string& file) {
    std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
    m_Up = CreateEventA(nullptr, TRUE, FALSE, ("yd_hold_up_" + tag).c_str());
    m_Go = CreateEventA(nullptr, TRUE, FALSE, ("yd_hold_go_" + tag).c_str());
    std::string cl = yt::SelfCmd(std::string("--gtest_filter=LogChild.Holder \"") + kHoldFlag + tag + "," + file + "\"");
    STARTUPINFOA si = {sizeof si};
    m_Ok = CreateProcessA(nullptr, &cl[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_Pi) &&
           WaitForSingleObject(m_Up, kHoldUpMs) == WAIT_OBJECT_0;
  }
  ~THolder() { Release(); }
  bool Ok() const { return m_Ok; }
  void Release() {
    if (m_Go) SetEvent(m_Go);
    if (m_Pi.hProcess) {
      WaitForSingleObject(m_Pi.hProcess, kHoldUpMs);
      CloseHandle(m_Pi.hProcess);
      CloseHandle(m_Pi.hThread);
      m_Pi.hProcess = nullptr;
    }
    for (HANDLE* h : {&m_Up, &m_Go})
      if (*h) CloseHandle(*h), *h = nullptr;
  }

 private:
  HANDLE m_Up = nullptr, m_Go = nullptr;
  PROCESS_INFORMATION m_Pi = {};
  bool m_Ok = false;
};

// The holding process: "--log-hold=<tag>,<file>".
void ChildHolder() {
  const char* p = strstr(GetCommandLineA(), kHoldFlag);
  ASSERT_NE(p, nullptr);
  std::string arg(p + sizeof kHoldFlag - 1);
  arg = arg.substr(0, arg.find('"'));
  std::string tag = arg.substr(0, arg.find(',')), file = arg.substr(arg.find(',') + 1);
  HANDLE f = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  HANDLE up = OpenEventA(EVENT_MODIFY_STATE, FALSE, ("yd_hold_up_" + tag).c_str());
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, ("yd_hold_go_" + tag).c_str());
  ASSERT_TRUE(up && go);
  SetEvent(up);
  WaitForSingleObject(go, INFINITE);
  CloseHandle(f);
}

const bool kHolderRegistered = RegisterChild(kHoldFlag, "Holder", ChildHolder);

}  // namespace

// Thousands of lines while another process holds the file: the line cap or the byte cap holds the memory,
// the rest is counted, and the count line stands where the lines are missing.
TEST(LogFull, FileHeldByAnotherProcess) {
  const struct {
    uint32_t lns, bytes;
    size_t len;
    int kept;
  } cases[] = {{300, 1u << 20, 40, 300}, {100000, 20000, 200, 20000 / 202}};
  for (const auto& c : cases) {
    TTmpDir d;
    std::string f = d("held.log");
    TLog l;
    Bare(l, f);
    l.SetPendLmt(c.lns, c.bytes);
    ASSERT_EQ(l.Open(), 0u);
    for (int i = 0; i < 10; ++i) l.Write("---", "%s", Txt(i, c.len).c_str());
    THolder h(f);
    ASSERT_TRUE(h.Ok());
    for (int i = 10; i < 3000; ++i) l.Write("---", "%s", Txt(i, c.len).c_str());
    EXPECT_EQ(l.QueueCnt(), 0u);
    EXPECT_EQ(l.PendCnt(), uint32_t(c.kept));
    EXPECT_LE(l.PendBytes(), c.bytes);
    EXPECT_EQ(l.DropCnt(), uint32_t(2990 - c.kept));
    h.Release();
    l.Write("---", "%s", Txt(3000, c.len).c_str());
    EXPECT_EQ(l.PendCnt(), 0u);
    EXPECT_EQ(CheckLines(f, 0, 3001, c.len, "held"), 2990 - c.kept);
    l.Close();
  }
}

namespace {

// A disk that takes only `room` more bytes: a write that does not fit is cut there (a short write, as
// Wine gives it, or a failure with the part written, as other file systems do), later ones fail.
struct TFullIo : TLogIo {
  uint64_t Room = 0;
  bool FailShort = false;  // the cut write reports the failure, not a short success
  bool CutRefused = false;  // no handle that may cut the file (write access for appending only)
  int Cuts = 0;
  uint32_t Write(HANDLE h, const char* p, uint32_t n, uint32_t& done) override {
    uint32_t fit = uint32_t(n < Room ? n : Room);
    done = 0;
    if (fit && TLogIo::Write(h, p, fit, done)) return ERROR_WRITE_FAULT;
    Room -= done;
    return done < n && (FailShort || done == 0) ? uint32_t(ERROR_DISK_FULL) : 0;
  }
  uint32_t Cut(const char* nm, uint64_t end, uint64_t newEnd) override {
    ++Cuts;
    return CutRefused ? uint32_t(ERROR_ACCESS_DENIED) : TLogIo::Cut(nm, end, newEnd);
  }
};

}  // namespace

// The three ways out of a line cut by a full disk: the rest fits at once, the file is cut back to the last
// whole line, or (no right to cut) the rest alone follows once there is room; never the line twice.
TEST(LogFull, LineCutByAFullDisk) {
  const struct {
    const char* what;
    uint64_t room;  // bytes free at the start
    bool failShort, cutRefused, fillsUp;
  } cases[] = {
      {"room for all", 1u << 20, false, false, false},
      {"short write, cut back", 25 * 42 + 17, false, false, true},
      {"failed write with a part, cut back", 25 * 42 + 17, true, false, true},
      {"cut refused, rest later", 25 * 42 + 17, false, true, true},
  };
  for (const auto& c : cases) {
    TTmpDir d;
    std::string f = d("full.log");
    TFullIo io;
    io.Room = c.room;
    io.FailShort = c.failShort;
    io.CutRefused = c.cutRefused;
    TLog l;
    Bare(l, f);
    l.SetIo(&io);
    l.SetPendLmt(40, 1u << 20);
    ASSERT_EQ(l.Open(), 0u);
    for (int i = 0; i < 20; ++i) l.Write("---", "%s", Txt(i, 40).c_str());  // 42 bytes a line
    l.Prms().SetFlshLns(100);  // the next 100 lines in one write-out, cut in the middle of a line
    for (int i = 20; i < 100; ++i) l.Write("---", "%s", Txt(i, 40).c_str());
    EXPECT_EQ(l.Flush() != 0, c.fillsUp) << c.what;
    std::string all = ReadAll(f);
    bool whole = all.size() >= 2 && all.substr(all.size() - 2) == "\r\n";
    EXPECT_EQ(whole, !c.cutRefused) << c.what;  // a fragment stays only where the file cannot be cut
    EXPECT_EQ(io.Cuts, c.fillsUp ? 1 : 0) << c.what;
    EXPECT_LE(l.PendCnt(), 40u) << c.what;
    l.Prms().SetFlshLns(0);
    for (int i = 100; i < 150; ++i) l.Write("---", "%s", Txt(i, 40).c_str());  // still full: dropped
    io.Room = 1u << 20;
    l.Write("---", "%s", Txt(150, 40).c_str());
    int dropped = CheckLines(f, 0, 151, 40, c.what);
    EXPECT_EQ(dropped, c.fillsUp ? 150 - 25 - 40 : 0) << c.what;  // all but the 25 that fitted and the 40 kept
    l.Close();
  }
}

// A really full file system: the test program runs on a small one mounted by Tests/Log/full-disk.sh
// (as root), which names its folder in YD_FULL_DIR.
TEST(LogFull, RealFullFileSystem) {
  const char* dir = getenv("YD_FULL_DIR");
  if (!dir || !*dir) GTEST_SKIP() << "needs a small file system: run by Tests/Log/full-disk.sh as root";
  std::string f = std::string(dir) + "\\full.log", fill = std::string(dir) + "\\filler";
  DeleteFileA(f.c_str());
  DeleteFileA(fill.c_str());
  {  // everything but two pages taken
    HANDLE h = CreateFileA(fill.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::string block(4096, 'f');
    DWORD wr = 0;
    while (WriteFile(h, block.data(), DWORD(block.size()), &wr, nullptr) && wr == block.size()) {
    }
    LARGE_INTEGER back;
    back.QuadPart = -8192;
    EXPECT_TRUE(SetFilePointerEx(h, back, nullptr, FILE_END) && SetEndOfFile(h));
    CloseHandle(h);
  }
  const size_t kLen = 97;  // lines that do not fit the pages of the file system evenly
  TLog l;
  Bare(l, f);
  l.SetPendLmt(50, 1u << 20);
  ASSERT_EQ(l.Open(), 0u);
  for (int i = 0; i < 400; ++i) l.Write("---", "%s", Txt(i, kLen).c_str());
  EXPECT_LE(l.PendCnt(), 50u);
  EXPECT_GT(l.DropCnt(), 0u);
  std::string all = ReadAll(f);
  EXPECT_TRUE(all.empty() || all.substr(all.size() - 2) == "\r\n") << "a fragment at the end of the full file";
  ASSERT_TRUE(DeleteFileA(fill.c_str()));
  l.Write("---", "%s", Txt(400, kLen).c_str());
  EXPECT_GT(CheckLines(f, 0, 401, kLen, "full file system"), 0);
  l.Close();
  DeleteFileA(f.c_str());
}
