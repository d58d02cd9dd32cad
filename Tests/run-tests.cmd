@echo off
rem Runs every test program in this folder. Each program's GoogleTest XML goes to results\<name>.xml and its
rem output to results\<name>.log. One line per program, then a summary; exit status 0 only when no test failed
rem and every program ended normally with its XML written. Needs no build tools and no administrator rights.
setlocal EnableExtensions EnableDelayedExpansion
cd /d "%~dp0"
if not exist results mkdir results
set /a progs=0, badprogs=0, alltests=0, allpassed=0, allfailed=0, allskipped=0
for %%p in (test_*.exe) do call :run %%~np
echo.
echo Summary: !alltests! tests in !progs! programs: !allpassed! passed, !allfailed! failed, !allskipped! skipped; !badprogs! programs failed.
if !progs! equ 0 (
  echo No test program found beside %~nx0.
  exit /b 1
)
if !badprogs! gtr 0 (
  echo FAILED. The details are in the results folder.
  exit /b 1
)
echo PASSED.
exit /b 0

rem :run <program name without .exe>
:run
set "name=%~1"
set /a progs+=1
if exist "results\%name%.xml" del "results\%name%.xml"
"%name%.exe" --gtest_output=xml:results\%name%.xml > "results\%name%.log" 2>&1
set rc=%errorlevel%
if not exist "results\%name%.xml" (
  echo %name%: FAILED: it wrote no results ^(exit code !rc!^); see results\%name%.log
  set /a badprogs+=1
  exit /b 0
)
call :count "results\%name%.xml"
set /a passed=tests-failed-skipped
set /a alltests+=tests, allpassed+=passed, allfailed+=failed, allskipped+=skipped
set verdict=ok
if !failed! gtr 0 set verdict=FAILED
if !rc! neq 0 set verdict=FAILED: exit code !rc!
if not "!verdict!"=="ok" set /a badprogs+=1
echo %name%: !tests! tests: !passed! passed, !failed! failed, !skipped! skipped: !verdict!
exit /b 0

rem :count <xml file>: sets tests, failed and skipped, the sums of the attributes of its testsuite elements.
rem Only find and for /f tokens: Wine's cmd has no substitution in blocks and no findstr. The system's own find,
rem not a Unix one that a PATH may put first.
:count
set /a tests=0, failed=0, skipped=0
for /f "tokens=1-11 delims== " %%a in ('%SystemRoot%\System32\find.exe "<testsuite " "%~1"') do (
  if "%%a"=="<testsuite" if "%%d"=="tests" if "%%f"=="failures" if "%%j"=="skipped" (
    set /a tests+=%%~e, failed+=%%~g, skipped+=%%~k
  )
)
exit /b 0
