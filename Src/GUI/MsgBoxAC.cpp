#include "GUI/MsgBoxAC.h"

#include <atomic>
#include <memory>

#include "GUI/SrchWnd.h"
#include "Lib/Thrd.h"
#include "Log/Log.h"
#include "ydcodes.h"
#include "ydgen.h"

namespace {
const char* const kSrc = SRC_MSGBOX;

constexpr int kTries = 3;                // starting and stopping the thread may fail for a moment
constexpr uint32_t kSrchMs = 15000;      // the box appears within a fraction of a second; give up after that
constexpr uint32_t kSrchPauseMs = 100;   // between two searches
constexpr uint32_t kTickMs = 250;        // the countdown notices a closed box this quickly
constexpr uint32_t kEndWaitMs = 3000;    // covers the countdown's tick and a search under way many times
constexpr uint32_t kNoThrdEnded = ERROR_INVALID_THREAD_ID;  // posting to a thread that has already ended

// Rows: the button sets (MB_TYPEMASK); columns: the default buttons (MB_DEFMASK, in steps of MB_DEFBUTTON2).
// Only the bits the table covers are read (three of MB_TYPEMASK, two of MB_DEFMASK): the system defines no
// other button set or default button.
constexpr UINT kBtnSets = 8, kDfltCols = 4;
const uint8_t kDfltBtns[kBtnSets][kDfltCols] = {
    {IDCANCEL, 0, 0, 0},             // MB_OK: the box's close command
    {IDOK, IDCANCEL, 0, 0},          // MB_OKCANCEL
    {IDABORT, IDRETRY, IDIGNORE, 0}, // MB_ABORTRETRYIGNORE
    {IDYES, IDNO, IDCANCEL, 0},      // MB_YESNOCANCEL
    {IDYES, IDNO, 0, 0},             // MB_YESNO
    {IDRETRY, IDCANCEL, 0, 0},       // MB_RETRYCANCEL
    {IDCANCEL, IDTRYAGAIN, IDCONTINUE, 0},  // MB_CANCELTRYCONTINUE
    {0, 0, 0, 0},
};

// A box call's command and countdown thread, freed together.
struct TMbacJob : public TYdBsMem {
  TMbacJob() : Thrd(&Cmd) {}
  TMsgBoxAutoCloser Cmd;
  TCmdThrd Thrd;
};

std::atomic<uint32_t> g_Left{0};

bool StationVisible(uint32_t& err) {
  err = 0;
  USEROBJECTFLAGS uof = {};
  HWINSTA st = GetProcessWindowStation();  // not to be closed
  if (!st || !GetUserObjectInformationA(st, UOI_FLAGS, &uof, sizeof uof, nullptr)) {
    err = GetLastError();
    if (!err) err = ERROR_INVALID_HANDLE;
    return true;
  }
  return (uof.dwFlags & WSF_VISIBLE) != 0;
}

std::atomic<TStationVisFn> g_StationVis{StationVisible};

// Runs on a pool thread: the job's countdown thread may still be waiting for windows that answer slowly.
// Its objects are freed once it has ended; a process that exits first simply ends it.
DWORD WINAPI ReapJob(LPVOID prm) {
  TMbacJob* job = static_cast<TMbacJob*>(prm);
  uint32_t rc = job->Thrd.Wait(INFINITE);
  if (rc) {
    // The thread's state is unknown: its objects stay valid for the rest of the process.
    LogExpect("job->Thrd.Wait(INFINITE)==0", kSrc, CHK_MSGBOX_THRD_WAIT);
    return rc;
  }
  delete job;
  --g_Left;
  return 0;
}

void HandOver(TMbacJob* job) {
  uint32_t id = job->Thrd.Id();  // the job may be gone as soon as it is queued
  ++g_Left;
  if (QueueUserWorkItem(ReapJob, job, WT_EXECUTELONGFUNCTION)) {
    Log().Write("UB\xb7", "countdown thread %u handed over [%s,%u]", id, kSrc, CHK_MSGBOX_HANDED);
    return;
  }
  DWORD err = GetLastError();
  // Kept for the rest of the process rather than freed under a running thread.
  Log().Write("UB\xb7", "countdown thread %u left running, objects kept: rc=%u [%s,%u]", id, (unsigned)err, kSrc,
              CHK_MSGBOX_LEFT);
}
}  // namespace

void TMsgBoxAutoCloser::Set(const char* text, const char* caption, uint32_t style) {
  m_Txt.Set(text ? text : "");
  m_Cap.Set(caption ? caption : "");
  m_Style = style;
}

namespace {
uint32_t DfltBtn(uint32_t style) {
  return kDfltBtns[(style & MB_TYPEMASK) % kBtnSets][(style & MB_DEFMASK) / MB_DEFBUTTON2 % kDfltCols];
}

// "%u" below a minute, "%u:%02u" below an hour, "%u:%02u:%02u" from an hour on.
TStr CntDwnTxt(uint32_t sec) {
  TStr s;
  if (sec < 60)
    s.Fmt("%u", sec);
  else if (sec < 3600)
    s.Fmt("%u:%02u", sec / 60, sec % 60);
  else
    s.Fmt("%u:%02u:%02u", sec / 3600, sec / 60 % 60, sec % 60);
  return s;
}
}  // namespace

TRes TMsgBoxAutoCloser::Exec() {
  // The thread's message queue must exist before the box can close, or the caller's WM_QUIT is lost.
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

  HWND ctl = nullptr;
  uint32_t code = FindBox(ctl);
  TRes res;
  if (code) res.Set(code, "The box's call ended the search. ");
  if (ctl)
    res.Add(CntDwn(ctl));
  else
    res.Set(ERROR_NOT_FOUND, "No message box found. ");
  return res;
}

// The box is found by the path caption, text: the window found is its text control.
uint32_t TMsgBoxAutoCloser::FindBox(HWND& ctl) const {
  TQueue<TStr> names;
  names.Add(new TStr(m_Cap));
  names.Add(new TStr(m_Txt));
  DWORD start = GetTickCount();
  uint32_t lastErr = 0;
  for (;;) {
    // Another process's box with the same texts (another supervisor's) is never this one.
    TRes found = SrchWnd(ctl, names, GetCurrentProcessId());
    // Traced once per new code: a failing enumeration tends to fail on every try.
    if (found.IsErr() && found.Code() != lastErr) {
      lastErr = found.Code();
      Log().Write("UB\xb7", "window search failed: rc=%u [%s,%u]", lastErr, kSrc, CHK_MSGBOX_SRCH);
    }
    MSG msg;
    if (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) return ERROR_CANCELLED;
    Sleep(kSrchPauseMs);
    if (ctl || GetTickCount() - start >= kSrchMs) return 0;
  }
}

TRes TMsgBoxAutoCloser::CntDwn(HWND ctl) const {
  HWND box = GetParent(ctl);
  std::wstring capW = TxtW(m_Cap.Str()), boxCap;
  WndTxt(box, boxCap);
  // A partial match (another window with this caption) is not the box: leave it alone.
  if (lstrcmpW(boxCap.c_str(), capW.c_str()) != 0) {
    LogExpect("msg_box_dlg_cap!=cap", kSrc, CHK_MSGBOX_NOT_BOX);
    return TRes(RC_INTERNAL, "The window found is not the box. ");
  }
  TRes res;
  DWORD start = GetTickCount();
  if (!IsWindow(box)) return res;
  for (uint32_t shown = 0;;) {
    uint32_t elapsed = (GetTickCount() - start) / 1000;
    if (elapsed >= m_TmOut) {
      uint32_t id = DfltBtn(m_Style);
      HWND item = id ? GetDlgItem(box, id) : nullptr;
      LRESULT r = SendMessageA(box, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(item));
      Log().Write("UB\xb7", "btn_id=%u,item=%#010x,res=%u [%s,%u]", id, (unsigned)(uintptr_t)item,
                  (unsigned)r, kSrc, CHK_MSGBOX_PRESS);
      break;
    }
    uint32_t left = m_TmOut - elapsed;
    if (left != shown) {
      if (uint32_t err = ShowLeft(box, left)) res.Add(TRes(err, "The box's caption could not be changed. "));
    }
    Sleep(kTickMs);
    if (!IsWindow(box)) break;
    shown = left;
  }
  return res;
}

// The caption followed by the time left in brackets; 0 or the system's error code.
uint32_t TMsgBoxAutoCloser::ShowLeft(HWND box, uint32_t left) const {
  TStr cap(m_Cap);
  cap += " [";
  cap += CntDwnTxt(left);
  cap += "]";
  if (SetWindowTextW(box, TxtW(cap.Str()).c_str())) return 0;
  DWORD err = GetLastError();
  return err ? err : ERROR_INVALID_WINDOW_HANDLE;
}

TStationVisFn SetStationVisFn(TStationVisFn fn) { return g_StationVis.exchange(fn ? fn : StationVisible); }

int MsgBoxAC(HWND owner, const char* text, const char* caption, UINT style, uint32_t seconds) {
  uint32_t stErr = 0;
  if (!g_StationVis.load()(stErr)) {
    Log().Write("UB\xb7", "window station not visible, nobody could answer: the box is not shown [%s,%u]", kSrc,
                CHK_MSGBOX_NO_STATION);
    return 0;
  }
  if (stErr)
    Log().Write("UB\xb7", "window station flags not read: rc=%u, the box is shown [%s,%u]", (unsigned)stErr, kSrc,
                CHK_MSGBOX_STATION);
  std::unique_ptr<TMbacJob> job(new TMbacJob);
  job->Cmd.Set(text, caption, style);
  job->Cmd.SetTmOut(seconds);
  TCmdThrd& mbac_thrd = job->Thrd;

  uint32_t r = 1;
  for (int i = 0; i < kTries && r; ++i) r = mbac_thrd.Start();
  bool started = r == 0;
  if (!started) LogExpect("!r", kSrc, CHK_MSGBOX_NO_THRD);

  // The texts are code page 1251 whatever the ANSI code page, which would garble them in the A form.
  int res = MessageBoxW(owner, TxtW(text).c_str(), TxtW(caption).c_str(), style | MB_SETFOREGROUND);
  if (!res) {  // no desktop to show it on, for one: the caller gets 0 and the reason is traced
    DWORD err = GetLastError();
    Log().Write("UB\xb7", "MessageBoxW failed: rc=%u [%s,%u]", (unsigned)err, kSrc, CHK_MSGBOX_NO_BOX);
  }
  if (!started) return res;

  r = 1;
  for (int i = 0; i < kTries && r; ++i) {
    r = mbac_thrd.PostMsg(WM_QUIT, 0, 0);
    if (r == kNoThrdEnded) r = 0;
  }
  if (r) LogExpect("!r", kSrc, CHK_MSGBOX_NO_STOP);
  if (mbac_thrd.Wait(kEndWaitMs)) {
    LogExpect("mbac_thrd.Wait(3000)", kSrc, CHK_MSGBOX_NO_END);
    HandOver(job.release());
  }
  return res;
}

uint32_t TMsgBoxACProbe::Left() { return g_Left.load(); }
