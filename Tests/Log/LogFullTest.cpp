// A log file that cannot be written for a while (held, full disk): whole lines once, capped, the dropped counted.
#include "LogTestUtil.h"
#include "Platform.h"

using namespace logtest;

namespace {
const char kDropped[] = " log lines dropped: the file could not be written";
// Lines from..to-1 once each, in order and whole, and at most one count line, where lines are missing: its count.
int CheckLines(const std::string& file, int from, int to, size_t len) {
  std::string all = ReadAll(file);
  EXPECT_TRUE(all.size() >= 2 && all.substr(all.size() - 2) == "\r\n") << "the file ends in a fragment";
  int next = from, dropped = 0;
  for (const std::string& s : Lines(all)) {
    if (s.find(kDropped) != std::string::npos) {
      EXPECT_TRUE(dropped == 0 && s == std::to_string(atoi(s.c_str())) + kDropped) << s;
      next += dropped = atoi(s.c_str());
    } else if (s != Txt(next++, len)) {
      ADD_FAILURE() << "lost, doubled, torn or glued line " << s.substr(0, 40);
      return -1;
    }
  }
  EXPECT_EQ(next, to);
  return dropped;
}
// A disk with Room bytes left: a write is cut there (short, as on Wine, or failing with a part written), later fail.
struct TFullIo : TLogIo {
  uint64_t Room;
  bool FailShort, CutRefused;  // the cut write reports the failure; no handle may cut the file (append only)
  int Cuts = 0;
  TFullIo(uint64_t room, bool failShort, bool cutRefused) : Room(room), FailShort(failShort), CutRefused(cutRefused) {}
  uint32_t Write(HANDLE h, const char* p, uint32_t n, uint32_t& done) override {
    done = 0;
    if (n && Room && TLogIo::Write(h, p, uint32_t(n < Room ? n : Room), done)) return ERROR_WRITE_FAULT;
    Room -= done;
    return done < n && (FailShort || done == 0) ? uint32_t(ERROR_DISK_FULL) : 0;
  }
  uint32_t Cut(const char* nm, uint64_t end, uint64_t newEnd) override {
    ++Cuts;
    return CutRefused ? uint32_t(ERROR_ACCESS_DENIED) : TLogIo::Cut(nm, end, newEnd);
  }
};
}  // namespace

// Thousands of lines while another process holds the file: a cap on lines or bytes holds the memory.
TEST(LogFull, FileHeldByAnotherProcess) {
  const struct {
    uint32_t lns, bytes;
    size_t len;
    int kept;
  } rows[] = {{300, 1u << 20, 40, 300}, {100000, 20000, 200, 20000 / 202}};
  for (const auto& r : rows) {
    TTmpDir d;
    TBare l(d("held.log"), r.lns, r.bytes);
    l.Put(0, 10, r.len);
    TProc holder;  // a child that lives on, given the file opened without sharing
    HANDLE h = CreateFileA(d("held.log").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE in;
    ASSERT_TRUE(holder.Start("\"" + BinDir() + "\\children\\ch_exit.exe\" 0 -1") &&
                DuplicateHandle(GetCurrentProcess(), h, holder.pi.hProcess, &in, 0, FALSE,
                                DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
    l.Put(10, 3000, r.len);
    EXPECT_TRUE(P::Queued(l) == 0 && P::Pend(l) == uint32_t(r.kept) && P::PendBytes(l) <= r.bytes);
    EXPECT_EQ(P::Dropped(l), uint32_t(2990 - r.kept));
    EXPECT_TRUE(TerminateProcess(holder.pi.hProcess, 0) && holder.Wait(kWaitMs) == 0);
    l.Put(3000, 3001, r.len);
    EXPECT_EQ(CheckLines(d("held.log"), 0, 3001, r.len), 2990 - r.kept);
  }
}

// The three ways out of a line cut by a full disk: the rest fits at once, the file is cut back to the last
// whole line, or (no right to cut) the rest alone follows once there is room; never the line twice.
TEST(LogFull, LineCutByAFullDisk) {
  const struct {
    uint64_t room;
    bool failShort, cutRefused, fillsUp;
  } rows[] = {{1u << 20, false, false, false},
              {25 * 42 + 17, false, false, true},
              {25 * 42 + 17, true, false, true},
              {25 * 42 + 17, false, true, true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    TTmpDir d;
    TFullIo io(r.room, r.failShort, r.cutRefused);
    TBare l(d("full.log"), 40, 1u << 20, &io);
    l.Put(0, 20, 40);  // 42 bytes a line
    l.Prms().SetFlshLns(100);  // the next 80 lines in one write-out, cut in the middle of a line
    l.Put(20, 100, 40);
    EXPECT_EQ(l.Flush() != 0, r.fillsUp);
    EXPECT_EQ(ReadAll(d("full.log")).back() == '\n', !r.cutRefused);  // a fragment only where no cut
    EXPECT_TRUE(io.Cuts == (r.fillsUp ? 1 : 0) && P::Pend(l) <= 40u);
    l.Prms().SetFlshLns(0);
    l.Put(100, 150, 40);  // still full: dropped
    io.Room = 1u << 20;
    l.Put(150, 151, 40);
    EXPECT_EQ(CheckLines(d("full.log"), 0, 151, 40), r.fillsUp ? 150 - 25 - 40 : 0);  // 25 fit, 40 kept
  }
}

// A really full file system: the test program runs on a small one that Tests/Log/full-disk.sh (as root) mounts
// and fills but for two pages with the file "filler", naming its folder in YD_FULL_DIR.
TEST(LogFull, RealFullFileSystem) {
  const char* dir = getenv("YD_FULL_DIR");
  if (!dir || !*dir) GTEST_SKIP() << "needs a small full file system: run by Tests/Log/full-disk.sh as root";
  std::string f = std::string(dir) + "\\full.log";
  const size_t kLen = 97;  // lines that do not fit the pages of the file system evenly
  TBare l(f, 50, 1u << 20);
  l.Put(0, 400, kLen);
  EXPECT_TRUE(P::Pend(l) <= 50u && P::Dropped(l) > 0u);
  std::string all = ReadAll(f);
  EXPECT_TRUE(all.empty() || all.substr(all.size() - 2) == "\r\n") << "a fragment at the end of the full file";
  ASSERT_TRUE(DeleteFileA((std::string(dir) + "\\filler").c_str()));
  l.Put(400, 401, kLen);
  EXPECT_GT(CheckLines(f, 0, 401, kLen), 0);
}
