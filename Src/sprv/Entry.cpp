#include "sprv/Entry.h"

#include <windows.h>

#include "GUI/MsgBoxAC.h"
#include "Log/Log.h"
#include "sprv/CmdLn.h"
#include "sprv/ProcessMngr.h"
#include "ydcodes.h"

namespace {

const uint32_t USAGE_TMOUT_SEC = 60000;  // the box must not wait for an absent user forever
const char* const USAGE_CAPTION = "Ruriruriv";

const char* const USAGE_HELP =
    // Запуск:
    "\xc7\xe0\xef\xf3\xf1\xea:\r\n"
    // ydsprv.exe [{'-'|'/'}<параметр>:<значение> ...] <командная строка>
    "ydsprv.exe [{'-'|'/'}<\xef\xe0\xf0\xe0\xec\xe5\xf2\xf0>:<\xe7\xed\xe0\xf7\xe5\xed\xe8\xe5> ...] <\xea\xee\xec\xe0\xed\xe4\xed\xe0\xff \xf1\xf2\xf0\xee\xea\xe0>\r\n"
    // (blank line)
    "\r\n"
    // Параметры:
    "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0\xfb:\r\n"
    // a[ttempts] количество попыток перезапуска
    "a[ttempts] \xea\xee\xeb\xe8\xf7\xe5\xf1\xf2\xe2\xee \xef\xee\xef\xfb\xf2\xee\xea \xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xe0\r\n"
    // g[di] максимальное количество объектов GDI
    "g[di] \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 \xea\xee\xeb\xe8\xf7\xe5\xf1\xf2\xe2\xee \xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI\r\n"
    // h[andles] максимальное количество дескрипторов
    "h[andles] \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 \xea\xee\xeb\xe8\xf7\xe5\xf1\xf2\xe2\xee \xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2\r\n"
    // hung число проверок на зависание (по умолчанию 1)
    "hung \xf7\xe8\xf1\xeb\xee \xef\xf0\xee\xe2\xe5\xf0\xee\xea \xed\xe0 \xe7\xe0\xe2\xe8\xf1\xe0\xed\xe8\xe5 (\xef\xee \xf3\xec\xee\xeb\xf7\xe0\xed\xe8\xfe 1)\r\n"
    // l[og] имя файла для записи событий запуска и завершения
    "l[og] \xe8\xec\xff \xf4\xe0\xe9\xeb\xe0 \xe4\xeb\xff \xe7\xe0\xef\xe8\xf1\xe8 \xf1\xee\xe1\xfb\xf2\xe8\xe9 \xe7\xe0\xef\xf3\xf1\xea\xe0 \xe8 \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xff\n"
    // m[em[ory]] максимальный объем памяти, байт / <..>k кбайт / <..>M Мбайт
    "m[em[ory]] \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xfb\xe9 \xee\xe1\xfa\xe5\xec \xef\xe0\xec\xff\xf2\xe8, \xe1\xe0\xe9\xf2 / <..>k \xea\xe1\xe0\xe9\xf2 / <..>M \xcc\xe1\xe0\xe9\xf2\r\n"
    // p[ause] пауза перед перезапуском, мс / <..>s сек. / <..>m мин. / <..>h час.
    "p[ause] \xef\xe0\xf3\xe7\xe0 \xef\xe5\xf0\xe5\xe4 \xef\xe5\xf0\xe5\xe7\xe0\xef\xf3\xf1\xea\xee\xec, \xec\xf1 / <..>s \xf1\xe5\xea. / <..>m \xec\xe8\xed. / <..>h \xf7\xe0\xf1.\r\n"
    // s[top] время завершения, мс / <..>s сек. / <..>m мин. / <..>h час.
    "s[top] \xe2\xf0\xe5\xec\xff \xe7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xff, \xec\xf1 / <..>s \xf1\xe5\xea. / <..>m \xec\xe8\xed. / <..>h \xf7\xe0\xf1.\r\n"
    // rc ожидаемые коды возврата приложения (по умолчанию 0, 1223, 1152)
    "rc \xee\xe6\xe8\xe4\xe0\xe5\xec\xfb\xe5 \xea\xee\xe4\xfb \xe2\xee\xe7\xe2\xf0\xe0\xf2\xe0 \xef\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xff (\xef\xee \xf3\xec\xee\xeb\xf7\xe0\xed\xe8\xfe 0, 1223, 1152)\r\n"
    // r[un] максимальное время работы, мс / <..>s сек. / <..>m мин. / <..>h час.
    "r[un] \xec\xe0\xea\xf1\xe8\xec\xe0\xeb\xfc\xed\xee\xe5 \xe2\xf0\xe5\xec\xff \xf0\xe0\xe1\xee\xf2\xfb, \xec\xf1 / <..>s \xf1\xe5\xea. / <..>m \xec\xe8\xed. / <..>h \xf7\xe0\xf1.\r\n"
    // time число секунд между проверками (по умолчанию 15 сек.)
    "time \xf7\xe8\xf1\xeb\xee \xf1\xe5\xea\xf3\xed\xe4 \xec\xe5\xe6\xe4\xf3 \xef\xf0\xee\xe2\xe5\xf0\xea\xe0\xec\xe8 (\xef\xee \xf3\xec\xee\xeb\xf7\xe0\xed\xe8\xfe 15 \xf1\xe5\xea.)\r\n"
    // (blank line)
    "\r\n"
    // Примеры:
    "\xcf\xf0\xe8\xec\xe5\xf0\xfb:\r\n"
    // ydsprv.exe "C:\Program Files\Program\program.exe"
    "ydsprv.exe \"C:\\Program Files\\Program\\program.exe\"\r\n"
    // ydsprv.exe -m:10M -p:15s -s:1m -r:1h "%ProgramFiles%\Program\program.exe"
    "ydsprv.exe -m:10M -p:15s -s:1m -r:1h \"%ProgramFiles%\\Program\\program.exe\"\r\n"
    // Код возврата:
    "\xca\xee\xe4 \xe2\xee\xe7\xe2\xf0\xe0\xf2\xe0:\r\n"
    // 0 Приложение успешно выполнилось
    "0 \xcf\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xe5 \xf3\xf1\xef\xe5\xf8\xed\xee \xe2\xfb\xef\xee\xeb\xed\xe8\xeb\xee\xf1\xfc\r\n"
    // 0x800401F7 Приложение не выполнилось за заданное число попыток
    "0x800401F7 \xcf\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xe5 \xed\xe5 \xe2\xfb\xef\xee\xeb\xed\xe8\xeb\xee\xf1\xfc \xe7\xe0 \xe7\xe0\xe4\xe0\xed\xed\xee\xe5 \xf7\xe8\xf1\xeb\xee \xef\xee\xef\xfb\xf2\xee\xea\r\n"
    // иначе - код ошибки
    "\xe8\xed\xe0\xf7\xe5 - \xea\xee\xe4 \xee\xf8\xe8\xe1\xea\xe8";

}  // namespace

const char* UsageHelp() { return USAGE_HELP; }

TRes ChkPrms(const char* cmdLn) {
  TStr a1 = CmdLnArg(cmdLn, 1);
  TRes r;
  // Help requests are case-sensitive here: "-h" goes on to the parser.
  if (a1.Empty() || a1.Eq("-?") || a1.Eq("/?") || a1.Eq("/h") || a1.Eq("/H"))
    // "Параметры не заданы"
    r.Set(RC_BAD_PRM, "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0\xfb \xed\xe5 \xe7\xe0\xe4\xe0\xed\xfb", SVRT_ERR);
  Log().Write("A_A", "ChkPrms(\"%s\") returned (cmnt=\"%s\")", cmdLn ? cmdLn : "", r.Cmnt().Str());
  return r;
}

TRes ChkPrms() { return ChkPrms(GetCommandLineA()); }

TStr UsageTxt(const TStr& reason) {
  TStr t;
  if (!reason.Empty()) {
    t = reason;
    t += "\r\n";
  }
  t += USAGE_HELP;
  return t;
}

void ShowUsage(const TStr& reason) {
  UINT style = reason.Empty() ? MB_ICONINFORMATION : MB_ICONSTOP;
  MsgBoxAC(nullptr, UsageTxt(reason).Str(), USAGE_CAPTION, style, USAGE_TMOUT_SEC);
}

uint32_t RunEntry(const char* cmdLn, TShowUsageFn show, TRes* outcome) {
  TRes res;
  bool expected = true;
  // The usage help answers parameter errors only: a launch that fails with the system's code 87
  // (a command line the system refuses) must not hold an unattended supervisor in the box for hours.
  bool prmStep = true;
  try {
    res = ChkRes(SRC_MAIN, CHK_MAIN_PRMS, ChkPrms(cmdLn));
    TProcessMngr pm;
    TCmdLnToPmPrsr prsr(&pm);
    res = ChkRes(SRC_MAIN, CHK_MAIN_PARSE, prsr.Prs(cmdLn));
    prmStep = false;
    res = ChkRes(SRC_MAIN, CHK_MAIN_RUN, pm.Run());
    expected = pm.IsExpectedExitCode();
  } catch (const EFailure& e) {
    res = e.Res();
    if (res.Code() == RC_BAD_PRM && prmStep && show) show(res.Cmnt());
  } catch (const EException& e) {
    res.Set(RC_INTERNAL, e.Msg(), SVRT_ERR);
  } catch (...) {
    // "Неизвестная ошибка"
    res.Set(RC_INTERNAL, "\xcd\xe5\xe8\xe7\xe2\xe5\xf1\xf2\xed\xe0\xff \xee\xf8\xe8\xe1\xea\xe0", SVRT_ERR);
  }
  if (outcome) *outcome = res;
  if (res.IsOk() && !expected) return EXIT_NOT_DONE;
  return res.Code();
}
