// The monitored wait and the health checks of the running child.
#include <windows.h>
#include <psapi.h>
#include "Lib/BTm.h"
#include "Log/Log.h"
#include "sprv/Process.h"
#include "sprv/ProcessMngr.h"
#include "ydcodes.h"

namespace {

// "Проверка: "
const char* const CHK_EVT = "\xcf\xf0\xee\xe2\xe5\xf0\xea\xe0: ";

// Decimal form of a 64-bit measure: a working set may pass 4 GiB.
TStr Num64(uint64_t v) {
  TStr s;
  s.Fmt("%llu", static_cast<unsigned long long>(v));
  return s;
}

// A measure that could not be taken lets its check pass; the trace line keeps the failure in sight.
void MeasureFailed(const char* what, uint32_t rc) {
  Log().Write("WP.", "TMeasures::%s() failed (rc=%u)", what, (unsigned)rc);
}

// The comment of an excess: text, "(measure/limit", and the closing ")" or "). ".
TRes Excess(const char* txt, const TStr& measure, uint32_t lmt, const char* close, uint32_t svrt = SVRT_ERR) {
  TStr cmnt = TStr(txt) + measure + "/" + TStr::Num(lmt) + close;
  return TRes(RC_LMT_EXCEEDED, cmnt.Str(), svrt);
}

struct THungSrch {
  DWORD Pid;
  bool Found;
};

BOOL CALLBACK FindHung(HWND w, LPARAM l) {
  THungSrch* s = reinterpret_cast<THungSrch*>(l);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == s->Pid && IsHungAppWindow(w)) {
    s->Found = true;
    return FALSE;
  }
  return TRUE;
}

// "Превышение времени выполнения (" elapsed "/" limit ")"
TRes RunTmExcess(uint32_t elapsed, uint32_t lmt) {
  return Excess("\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xe2\xf0\xe5\xec\xe5\xed\xe8 "
                "\xe2\xfb\xef\xee\xeb\xed\xe5\xed\xe8\xff (",
                TStr::Num(elapsed), lmt, ")");
}

}  // namespace

bool TMeasures::WrkSet(const WTProcess& p, uint64_t& bytes) {
  PROCESS_MEMORY_COUNTERS pmc;
  uint32_t rc = p.MemInfo(pmc);
  if (rc != 0) {
    MeasureFailed("WrkSet", rc);
    return false;
  }
  bytes = pmc.WorkingSetSize;
  return true;
}

uint32_t TMeasures::Handles(const WTProcess& p) {
  DWORD cnt = 0;
  if (!GetProcessHandleCount(p.PrcInfo().hProcess, &cnt)) {
    MeasureFailed("Handles", GetLastError());
    cnt = 0;
  }
  return cnt;
}

// 0 is also the count of a process without GDI objects: only a set error code marks a failure.
uint32_t TMeasures::GdiObjs(const WTProcess& p) {
  SetLastError(0);
  DWORD cnt = GetGuiResources(p.PrcInfo().hProcess, GR_GDIOBJECTS);
  if (cnt == 0 && GetLastError() != 0) MeasureFailed("GdiObjs", GetLastError());
  return cnt;
}

// Stopping the enumeration early makes it report failure, so its result says nothing.
bool TMeasures::HungWnd(const WTProcess& p) {
  THungSrch s{p.PrcInfo().dwProcessId, false};
  EnumWindows(FindHung, reinterpret_cast<LPARAM>(&s));
  return s.Found;
}

TRes TProcessMngr::Watch(WTProcess& p) {
  TRes res;
  UINT_PTR timer = SetTimer(nullptr, 0, m_ChkIntrvl, nullptr);
  if (timer == 0) {
    DWORD e = GetLastError();
    Log().Write("WP.", "TProcessMngr::Watch() no check timer (rc=%u)", (unsigned)e);
  }
  HANDLE h = p.PrcInfo().hProcess;
  bool goOn = true;
  while (goOn) {
    DWORD tmOut = INFINITE;
    if (HasRunTmLmt()) {
      uint32_t run = RunTm();
      tmOut = run < m_RunTmLmt ? m_RunTmLmt - run : 0;
    }
    DWORD w = MsgWaitForMultipleObjects(1, &h, FALSE, tmOut, QS_TIMER);
    if (w == WAIT_OBJECT_0) {
      OnExit(p);
      break;
    }
    if (w == WAIT_OBJECT_0 + 1) {
      goOn = OnTick(p, timer, res);
      continue;
    }
    if (w == WAIT_TIMEOUT) {
      res = OnRunTmOut(p);
      break;
    }
    if (w == WAIT_FAILED) {
      res.Set(GetLastError());
      break;
    }
  }
  if (timer != 0 && !KillTimer(nullptr, timer)) {
    DWORD e = GetLastError();
    Log().Write("WP.", "TProcessMngr::Watch() check timer not removed (rc=%u)", (unsigned)e);
  }
  return res;
}

// A timer message of the monitored wait: a check when it is this launch's tick, and the stop when the check failed.
// False when the wait is over (res then holds the stop's result).
bool TProcessMngr::OnTick(WTProcess& p, uintptr_t timer, TRes& res) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) return true;
  // A tick left over from an earlier timer of this thread is no check time of this launch.
  if (msg.hwnd != nullptr || msg.wParam != timer) return true;
  TRes chk = Check(p);
  if (chk.Svrt() != SVRT_OK) Evt((TStr(CHK_EVT) + chk.ToStr(RES_CMNT)).Str());
  if (!chk.IsErr()) return true;
  res = OnChkFail(p, chk);
  return false;
}

TRes TProcessMngr::Check(WTProcess& p) {
  TRes res;
  if (HasRunTmLmt() && !res.IsErr()) res.Add(ChkRunTm(p));
  if (m_MemLmt != 0 && !res.IsErr()) res.Add(ChkMem(p));
  if (m_HandlesLmt != 0 && !res.IsErr()) res.Add(ChkHandles(p));
  if (m_GdiObjsLmt != 0 && !res.IsErr()) res.Add(ChkGdiObjs(p));
  if (m_HungChk && !res.IsErr()) res.Add(ChkHung(p));
  return res;
}

TRes TProcessMngr::ChkRunTm(WTProcess&) {
  uint32_t run = RunTm();
  return run > m_RunTmLmt ? RunTmExcess(run, m_RunTmLmt) : TRes();
}

// The working set is compared in 64 bits: one of 4 GiB or more exceeds any 32-bit limit.
TRes TProcessMngr::ChkMem(WTProcess& p) {
  uint64_t ws = 0;
  if (!m_Measures->WrkSet(p, ws) || ws <= m_MemLmt) return TRes();
  // "Превышение объема памяти ("
  return Excess("\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xec\xe0 \xef\xe0\xec\xff\xf2\xe8 (",
                Num64(ws), m_MemLmt, "). ");
}

TRes TProcessMngr::ChkHandles(WTProcess& p) {
  uint32_t cnt = m_Measures->Handles(p);
  if (cnt <= m_HandlesLmt) return TRes();
  // "Превышение числа дескрипторов ("
  return Excess("\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xf7\xe8\xf1\xeb\xe0 "
                "\xe4\xe5\xf1\xea\xf0\xe8\xef\xf2\xee\xf0\xee\xe2 (",
                TStr::Num(cnt), m_HandlesLmt, "). ");
}

TRes TProcessMngr::ChkGdiObjs(WTProcess& p) {
  uint32_t cnt = m_Measures->GdiObjs(p);
  if (cnt <= m_GdiObjsLmt) return TRes();
  // "Превышение объектов GDI ("
  return Excess("\xcf\xf0\xe5\xe2\xfb\xf8\xe5\xed\xe8\xe5 \xee\xe1\xfa\xe5\xea\xf2\xee\xe2 GDI (", TStr::Num(cnt),
                m_GdiObjsLmt, "). ");
}

TRes TProcessMngr::ChkHung(WTProcess& p) {
  if (!m_Measures->HungWnd(p)) {
    m_HungRow = 0;
    return TRes();
  }
  ++m_HungRow;
  // "Повисание приложения ("
  return Excess("\xcf\xee\xe2\xe8\xf1\xe0\xed\xe8\xe5 \xef\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xff (",
                TStr::Num(m_HungRow), m_HungLmt, ")", m_HungRow > m_HungLmt ? SVRT_ERR : SVRT_INFO);
}

void TProcessMngr::OnExit(WTProcess& p) {
  m_ExitCode = p.GetExitCode();
  Evt((TStr("\xc7\xe0\xe2\xe5\xf0\xf8\xe5\xed\xe8\xe5: \xea\xee\xe4 ") + TStr::Num(m_ExitCode)).Str());  // "Завершение: код "
  TraceExit();
}

// The run time is one more failed check: its event line, then the same stop.
TRes TProcessMngr::OnRunTmOut(WTProcess& p) {
  TRes why = RunTmExcess(RunTm(), m_RunTmLmt);
  Evt((TStr(CHK_EVT) + why.Cmnt()).Str());
  return OnChkFail(p, why);
}

TRes TProcessMngr::OnChkFail(WTProcess& p, const TRes& failed) {
  TRes res;
  uint32_t t0 = TickCnt();
  m_ExitCode = RC_INTERNAL;
  res.Set(ForceStop(p));
  Log().Write("WP.", "Process terminated (r=%s),wait=%ums.", failed.Cmnt().Str(), (unsigned)(TickCnt() - t0));
  return res;
}
