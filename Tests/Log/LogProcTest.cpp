// Processes appending to one log file at once; the event log of a supervisor killed while its child runs.
#include "LogTestUtil.h"
#include "Platform.h"

using namespace logtest;

namespace {
const char kFlag[] = "--log-child=";
constexpr DWORD kChildWaitMs = 180000;  // thousands of lines with a write-out each: slow under a loaded Wine
std::string Filler(int seq) { return std::string(size_t(10 + seq % 57), char('a' + seq % 26)); }
// The writer process, "--log-child=<tag>,<lines>,<file>". Writers 0 and 1 write out in their own thread (every
// line, or a few at a time), writer 2 from the writer thread of a trace log; each reads <file><tag>.wli.
struct TChildWriter : testing::Test {
  void TestBody() override {
    int tag = 0, lines = 0;
    char file[MAX_PATH + 1] = {};
    ASSERT_EQ(sscanf(strstr(GetCommandLineA(), kFlag) + sizeof kFlag - 1, "%d,%d,%260[^\"]", &tag, &lines, file), 3);
    std::string wli = file + std::to_string(tag) + ".wli";
    std::unique_ptr<TWliLog> l(tag == 2 ? new TAsyncLog(wli.c_str(), file) : new TWliLog(wli.c_str(), file));
    ASSERT_EQ(l->Open(), 0u);
    for (int i = 0; i < lines; ++i) ASSERT_EQ(l->Write("WRT", "%d %d %s", tag, i, Filler(i).c_str()), 0u);
    EXPECT_EQ(l->Close(), 0u);  // nothing left unwritten
  }
};
// LogChild.Writer exists only in a process started with kFlag on its command line.
const bool kChildRegistered = strstr(GetCommandLineA(), kFlag) &&
                              testing::RegisterTest("LogChild", "Writer", nullptr, nullptr, __FILE__, __LINE__,
                                                    []() -> testing::Test* { return new TChildWriter; }) != nullptr;
}  // namespace

TEST(LogProc, ProcessesAppend) {
  TTmpDir d;
  std::string f = d("shared.log");
  const int kLines = 1500, kWriters = 3;
  // A byte-order mark in front of [Evts] must not hide it: the writer would write nothing.
  const char* wli[kWriters] = {
      "\xef\xbb\xbf[Evts]\r\n...=\r\n[Prms]\r\nFlshLns=0\r\n",
      "[Prms]\r\nFlshLns=3\r\n[Evts]\r\n...=", "[Prms]\r\nFlshSec=0\r\nFlshLns=2\r\n[Evts]\r\n...="};
  TProc w[kWriters];
  for (int i = 0; i < kWriters; ++i) {
    EXPECT_TRUE(
        WriteAll(f + std::to_string(i) + ".wli", std::string(wli[i]) + "\r\n[Prms]\r\nTmFrmt=\r\nPID=\r\nTID=\r\n"));
    std::string args = "\"" + std::string(kFlag) + std::to_string(i) + "," + std::to_string(kLines) + "," + f + "\"";
    ASSERT_TRUE(w[i].Start(SelfCmd("--gtest_filter=LogChild.Writer " + args)));
  }
  for (int i = 0; i < kWriters; ++i) EXPECT_EQ(w[i].Wait(kChildWaitMs), 0u) << "writer " << i;
  std::string all = ReadAll(f);
  ASSERT_TRUE(all.size() > 2 && all.substr(all.size() - 2) == "\r\n");
  int next[kWriters] = {};  // each writer's lines 0..n-1 once, whole and in order
  for (const std::string& s : Lines(all)) {
    int t = -1, i = -1;
    ASSERT_TRUE(sscanf(s.c_str(), "WRT %d %d", &t, &i) == 2 && t >= 0 && t < kWriters) << "split line: " << s;
    ASSERT_EQ(i, next[t]++) << "lost, repeated or reordered line: " << s;
    ASSERT_EQ(s, "WRT " + std::to_string(t) + " " + std::to_string(i) + " " + Filler(i)) << "damaged line";
  }
  for (int t = 0; t < kWriters; ++t) EXPECT_EQ(next[t], kLines) << "writer " << t;
}

TEST(EvtLog, KilledSupervisorLeavesTheLaunchLine) {
  TTmpDir d;
  std::string log = d("ev.log");
  // Every process in the job, the supervisor's child included, ends with the test.
  THandle job(CreateJobObjectA(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION li = {};
  li.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ASSERT_TRUE(SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &li, sizeof li));
  auto active = [&] {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION ai = {};
    return QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &ai, sizeof ai, nullptr)
               ? ai.ActiveProcesses
               : 0;
  };
  std::string cl =
      "\"" + BinDir() + "\\ydsprv.exe\" -l:\"" + log + "\" \"" + BinDir() + "\\children\\ch_exit.exe\" 0 -1";
  STARTUPINFOA si = {sizeof si};
  TProc p;
  ASSERT_TRUE(CreateProcessA(nullptr, &cl[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &p.pi));
  ASSERT_TRUE(AssignProcessToJobObject(job.Get(), p.pi.hProcess) && ResumeThread(p.pi.hThread) == 1);
  // The supervisor and its child run: the line is in the file already, and the file can be read meanwhile.
  EXPECT_TRUE(WaitFor([&] { return active() == 2; })) << active();
  EXPECT_TRUE(WaitFor([&] { return ReadAll(log).find("\xc7\xe0\xef\xf3\xf1\xea.\r\n") != std::string::npos; }))
      << "no launch line while the supervisor runs";
  ASSERT_TRUE(TerminateProcess(p.pi.hProcess, 1) && p.Wait(kWaitMs) == 1);
  EXPECT_EQ(ReadAll(log).substr(19), " \xc7\xe0\xef\xf3\xf1\xea.\r\n");  // "<dd.MM.yyyy HH:mm:ss> Запуск." alone
}
