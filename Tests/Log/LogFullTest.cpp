// A log file that cannot be written for a while (held by another program, or on a full disk): whole lines
// only, none twice, the waiting lines capped, and one line that counts the dropped ones.
#include <cstdlib>

#include "LogTestUtil.h"

using namespace logtest;

namespace {

const char kHoldFlag[] = "--log-hold=";
const char kDropped[] = " log lines dropped: the file could not be written";

std::string Txt(int i, size_t len) {
  std::string s = "line " + std::to_string(i) + " ";
  return s + std::string(len > s.size() ? len - s.size() : 0, char('a' + i % 26));
}

void Put(TLog& l, int from, int to, size_t len) {
  for (int i = from; i < to; ++i) l.Write("---", "%s", Txt(i, len).c_str());
}

// The file holds lines from..to-1 once each, in order and whole, with at most one count line where lines
// are missing, which counts them; returns that count (0 without a count line, -1 on a fault).
int CheckLines(const std::string& file, int from, int to, size_t len, const char* what) {
  std::string all = ReadAll(file);
  EXPECT_TRUE(all.size() >= 2 && all.substr(all.size() - 2) == "\r\n") << what << ": the file ends in a fragment";
  int next = from, dropped = 0;
  for (const std::string& s : Lines(all)) {
    if (s.find(kDropped) != std::string::npos) {
      EXPECT_TRUE(dropped == 0 && s == std::to_string(atoi(s.c_str())) + kDropped) << what << ": " << s;
      next += dropped = atoi(s.c_str());
    } else if (s != Txt(next++, len)) {
      ADD_FAILURE() << what << ": lost, doubled, torn or glued line " << s.substr(0, 40);
      return -1;
    }
  }
  EXPECT_EQ(next, to) << what;
  return dropped;
}

// The holding process, "--log-hold=<event>,<file>": holds the file open without sharing until the event
// named <event>go is set.
void ChildHolder() {
  std::string arg = strstr(GetCommandLineA(), kHoldFlag) + sizeof kHoldFlag - 1;
  arg = arg.substr(0, arg.find('"'));
  std::string ev = arg.substr(0, arg.find(',')), file = arg.substr(arg.find(',') + 1);
  HANDLE f = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, (ev + "up").c_str()));
  WaitForSingleObject(OpenEventA(SYNCHRONIZE, FALSE, (ev + "go").c_str()), INFINITE);
  CloseHandle(f);
}

const bool kHolderRegistered = RegisterChild(kHoldFlag, "Holder", ChildHolder);

}  // namespace

// Thousands of lines while another process holds the file: the line cap or the byte cap holds the memory,
// the rest is counted, and the count line stands where the lines are missing.
TEST(LogFull, FileHeldByAnotherProcess) {
  const struct { uint32_t lns, bytes; size_t len; int kept; } rows[] = {{300, 1u << 20, 40, 300}, {100000, 20000, 200, 20000 / 202}};
  for (const auto& r : rows) {
    TTmpDir d;
    std::string f = d("held.log"), ev = "yd_hold_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(r.len);
    HANDLE up = CreateEventA(nullptr, TRUE, FALSE, (ev + "up").c_str()), go = CreateEventA(nullptr, TRUE, FALSE, (ev + "go").c_str());
    TLog l;
    EventPrms(l.Prms(), f);
    l.Prms().SetFlshLns(0);
    P::SetPendLmt(l, r.lns, r.bytes);
    ASSERT_EQ(l.Open(), 0u);
    Put(l, 0, 10, r.len);
    yt::TProc holder;
    ASSERT_TRUE(holder.Start(yt::SelfCmd("--gtest_filter=LogChild.Holder \"" + std::string(kHoldFlag) + ev + "," + f + "\"")));
    ASSERT_EQ(WaitForSingleObject(up, yt::kWaitMs), WAIT_OBJECT_0);
    Put(l, 10, 3000, r.len);
    EXPECT_EQ(P::Queued(l), 0u);
    EXPECT_EQ(P::Pend(l), uint32_t(r.kept));
    EXPECT_LE(P::PendBytes(l), r.bytes);
    EXPECT_EQ(P::Dropped(l), uint32_t(2990 - r.kept));
    SetEvent(go);
    EXPECT_EQ(holder.Wait(yt::kWaitMs), 0u);
    Put(l, 3000, 3001, r.len);
    EXPECT_EQ(P::Pend(l), 0u);
    EXPECT_EQ(CheckLines(f, 0, 3001, r.len, "held"), 2990 - r.kept);
    CloseHandle(up);
    CloseHandle(go);
  }
}

namespace {

// A disk that takes only Room more bytes: a write that does not fit is cut there (a short write, as Wine
// gives it, or a failure with the part written, as other file systems do), later ones fail.
struct TFullIo : TLogIo {
  uint64_t Room = 0;
  bool FailShort = false;   // the cut write reports the failure, not a short success
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
  const struct { const char* what; uint64_t room; bool failShort, cutRefused, fillsUp; } rows[] = {
      {"room for all", 1u << 20, false, false, false},
      {"short write, cut back", 25 * 42 + 17, false, false, true},
      {"failed write with a part, cut back", 25 * 42 + 17, true, false, true},
      {"cut refused, rest later", 25 * 42 + 17, false, true, true}};
  for (const auto& r : rows) {
    TTmpDir d;
    std::string f = d("full.log");
    TFullIo io;
    io.Room = r.room;
    io.FailShort = r.failShort;
    io.CutRefused = r.cutRefused;
    TLog l;
    EventPrms(l.Prms(), f);
    l.Prms().SetFlshLns(0);
    P::SetIo(l, &io);
    P::SetPendLmt(l, 40, 1u << 20);
    ASSERT_EQ(l.Open(), 0u);
    Put(l, 0, 20, 40);  // 42 bytes a line
    l.Prms().SetFlshLns(100);  // the next 80 lines in one write-out, cut in the middle of a line
    Put(l, 20, 100, 40);
    EXPECT_EQ(l.Flush() != 0, r.fillsUp) << r.what;
    std::string all = ReadAll(f);
    EXPECT_EQ(all.substr(all.size() - 2) == "\r\n", !r.cutRefused) << r.what;  // a fragment only where no cut
    EXPECT_EQ(io.Cuts, r.fillsUp ? 1 : 0) << r.what;
    EXPECT_LE(P::Pend(l), 40u) << r.what;
    l.Prms().SetFlshLns(0);
    Put(l, 100, 150, 40);  // still full: dropped
    io.Room = 1u << 20;
    Put(l, 150, 151, 40);
    EXPECT_EQ(CheckLines(f, 0, 151, 40, r.what), r.fillsUp ? 150 - 25 - 40 : 0) << r.what;  // 25 fitted, 40 kept
  }
}

// A really full file system: the test program runs on a small one mounted by Tests/Log/full-disk.sh
// (as root), which names its folder in YD_FULL_DIR.
TEST(LogFull, RealFullFileSystem) {
  const char* dir = getenv("YD_FULL_DIR");
  if (!dir || !*dir) GTEST_SKIP() << "needs a small file system: run by Tests/Log/full-disk.sh as root";
  std::string f = std::string(dir) + "\\full.log", fill = std::string(dir) + "\\filler";
  DeleteFileA(f.c_str());
  HANDLE h = CreateFileA(fill.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::string block(4096, 'f');
  DWORD wr = 0;
  while (WriteFile(h, block.data(), DWORD(block.size()), &wr, nullptr) && wr == block.size()) {
  }
  LARGE_INTEGER back;
  back.QuadPart = -8192;  // everything but two pages taken
  EXPECT_TRUE(SetFilePointerEx(h, back, nullptr, FILE_END) && SetEndOfFile(h));
  CloseHandle(h);
  const size_t kLen = 97;  // lines that do not fit the pages of the file system evenly
  TLog l;
  EventPrms(l.Prms(), f);
  l.Prms().SetFlshLns(0);
  P::SetPendLmt(l, 50, 1u << 20);
  ASSERT_EQ(l.Open(), 0u);
  Put(l, 0, 400, kLen);
  EXPECT_LE(P::Pend(l), 50u);
  EXPECT_GT(P::Dropped(l), 0u);
  std::string all = ReadAll(f);
  EXPECT_TRUE(all.empty() || all.substr(all.size() - 2) == "\r\n") << "a fragment at the end of the full file";
  ASSERT_TRUE(DeleteFileA(fill.c_str()));
  Put(l, 400, 401, kLen);
  EXPECT_GT(CheckLines(f, 0, 401, kLen, "full file system"), 0);
  l.Close();
  DeleteFileA(f.c_str());
}
