// Several processes appending to one log file at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <regex>
#include <string>

#include "Log/LogFile.h"
#include "LogTestUtil.h"

using namespace logtest;

namespace {

const char kFlag[] = "--log-child=";
constexpr DWORD kChildWaitMs = 180000;  // thousands of lines with a write-out each: slow under a loaded Wine

std::string Filler(int seq) { return std::string(size_t(10 + seq % 57), char('a' + seq % 26)); }

// Writer-process side: "--log-child=<tag>,<lines>,<flshLns>,<file>" (quoted).
struct TChildArgs {
  int Tag = 0, Lines = 0, FlshLns = 0;
  std::string File;
  bool Parse(const char* cl) {
    const char* p = strstr(cl, kFlag);
    if (!p) return false;
    p += sizeof kFlag - 1;
    char file[MAX_PATH + 1] = {};
    if (sscanf(p, "%d,%d,%d,%260[^\"]", &Tag, &Lines, &FlshLns, file) != 4) return false;
    File = file;
    return true;
  }
};

HANDLE StartChild(int tag, int lines, int flshLns, const std::string& file) {
  char exe[MAX_PATH + 1];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string cl = std::string("\"") + exe + "\" --gtest_filter=LogChild.Writer \"" + kFlag + std::to_string(tag) +
                   "," + std::to_string(lines) + "," + std::to_string(flshLns) + "," + file + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> buf(cl.begin(), cl.end());
  buf.push_back(0);
  if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

}  // namespace

// Runs only as a writer process started by the test below.
TEST(LogChild, Writer) {
  TChildArgs a;
  if (!a.Parse(GetCommandLineA())) GTEST_SKIP() << "the writer half of LogProc.ProcessesAppend";
  // A different number of blocks of the log's own size first, so that the writers' logs (and so their
  // mutex names) differ: the heap of a fresh process is laid out the same way each time.
  std::vector<void*> pad;
  for (int i = 0; i < a.Tag * 3; ++i) pad.push_back(YdAlloc(sizeof(TLog)));
  {
    // A negative count of lines per write-out makes this writer a trace log with its writer thread and
    // its parameter file (<file>.wli, written by the test).
    std::unique_ptr<TLog> owner;
    if (a.FlshLns < 0) {
      owner.reset(new TAsyncLog((a.File + ".wli").c_str(), a.File.c_str()));
    } else {
      owner.reset(new TLog);
      owner->Prms().SetFileNm(a.File.c_str());
      owner->Prms().SetTmFrmt("");
      owner->Prms().SetPidOn(false);
      owner->Prms().SetTidOn(false);
      owner->Prms().SetFlshLns(uint32_t(a.FlshLns));
      owner->Prms().AddTp("...", "");
    }
    TLog& l = *owner;
    ASSERT_EQ(l.Open(), 0u);
    ASSERT_EQ(l.Write("MTX", "%d %s", a.Tag, l.MutexNm().Str()), 0u);
    for (int i = 0; i < a.Lines; ++i) ASSERT_EQ(l.Write("WRT", "%d %d %s", a.Tag, i, Filler(i).c_str()), 0u);
    EXPECT_EQ(l.Close(), 0u);
    EXPECT_EQ(l.PendCnt(), 0u);
  }
  for (void* p : pad) YdFree(p);
}

TEST(LogProc, ProcessesAppend) {
  TTmpDir d;
  std::string f = d("shared.log");
  const int kLines = 3000, kWriters = 3;
  WriteAll(f + ".wli", "[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\nFlshLns=2\r\nFlshSec=0\r\n[Evts]\r\n...=\r\n");
  // One event log opens the file for every line, another writes batches of a few lines, and a trace
  // log writes from its writer thread.
  const int kFlshLns[kWriters] = {0, 3, -1};
  HANDLE p[kWriters];
  for (int i = 0; i < kWriters; ++i) {
    p[i] = StartChild(i + 1, kLines, kFlshLns[i], f);
    ASSERT_NE(p[i], nullptr);
  }
  for (int i = 0; i < kWriters; ++i) {
    EXPECT_EQ(WaitForSingleObject(p[i], kChildWaitMs), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(p[i], &code);
    CloseHandle(p[i]);
    EXPECT_EQ(code, 0u) << "writer " << i + 1;
  }

  std::string all = ReadAll(f);
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all.substr(all.size() - 2), "\r\n");
  std::vector<std::string> lines = Lines(all);
  ASSERT_EQ(lines.size(), size_t(kWriters * (kLines + 1)));
  std::map<int, int> next;
  std::map<int, std::string> mutexNm;
  std::regex wrt("^WRT (\\d) (\\d+) ([a-z]+)$"), mtx("^MTX (\\d) (YD_Log_\\d+)$");
  for (const std::string& s : lines) {
    std::smatch m;
    if (std::regex_match(s, m, mtx)) {
      mutexNm[std::stoi(m[1].str())] = m[2].str();
      continue;
    }
    ASSERT_TRUE(std::regex_match(s, m, wrt)) << "split or mixed line: " << s;
    int tag = std::stoi(m[1].str()), seq = std::stoi(m[2].str());
    ASSERT_EQ(seq, next[tag]) << "lost, repeated or reordered line: " << s;
    ++next[tag];
    ASSERT_EQ(m[3].str(), Filler(seq)) << s;
  }
  for (int i = 1; i <= kWriters; ++i) EXPECT_EQ(next[i], kLines) << "writer " << i;
  ASSERT_EQ(mutexNm.size(), size_t(kWriters));
  // Otherwise the writers were serialised by a shared mutex.
  EXPECT_NE(mutexNm[1], mutexNm[2]);
  EXPECT_NE(mutexNm[1], mutexNm[3]);
  EXPECT_NE(mutexNm[2], mutexNm[3]);
}
