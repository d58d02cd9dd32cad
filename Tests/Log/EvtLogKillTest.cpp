// The event log of a supervisor that is killed while its child runs (log-off, shutdown, taskkill /f).
#include "LogTestUtil.h"
#include "Platform.h"

using namespace logtest;

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
    return QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &ai, sizeof ai, nullptr) ? ai.ActiveProcesses : 0;
  };
  std::string cl = "\"" + BinDir() + "\\ydsprv.exe\" -l:\"" + log + "\" \"" + BinDir() + "\\children\\ch_exit.exe\" 0 -1";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &cl[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi));
  ASSERT_TRUE(AssignProcessToJobObject(job.Get(), pi.hProcess) && ResumeThread(pi.hThread) == 1 && CloseHandle(pi.hThread));
  // The supervisor and its child run: the line is in the file already, and the file can be read meanwhile.
  EXPECT_TRUE(WaitFor([&] { return active() == 2; })) << active();
  EXPECT_TRUE(WaitFor([&] { return ReadAll(log).find("\xc7\xe0\xef\xf3\xf1\xea.\r\n") != std::string::npos; }))
      << "no launch line while the supervisor runs";
  ASSERT_TRUE(TerminateProcess(pi.hProcess, 1));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  std::vector<std::string> lines = Lines(ReadAll(log));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(19), " \xc7\xe0\xef\xf3\xf1\xea.");  // "<dd.MM.yyyy HH:mm:ss> Запуск."
}
