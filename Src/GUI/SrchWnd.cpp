#include "GUI/SrchWnd.h"

#include <exception>

#include "Log/Log.h"
#include "ydcodes.h"

namespace {
const char* const kSrc = SRC_SRCHWND;
}  // namespace

std::wstring TxtW(const char* s) {
  std::wstring w;
  if (!s || !*s) return w;
  int n = MultiByteToWideChar(TXT_CP, 0, s, -1, nullptr, 0);
  if (n > 1) {
    w.resize(static_cast<size_t>(n));
    n = MultiByteToWideChar(TXT_CP, 0, s, -1, &w[0], n);
  }
  if (n <= 1) {
    LogExpect("MultiByteToWideChar(1251)", kSrc, CHK_SRCHWND_CP1251);
    return std::wstring();
  }
  w.resize(static_cast<size_t>(n) - 1);
  return w;
}

TRes TStrCmpCmd::Exec() {
  m_Eq = false;
  if (!m_WndTxt || !m_Name) return TRes(RC_BAD_PRM, "TStrCmpCmd: no text to compare. ");
  m_Eq = lstrcmpW(m_WndTxt, TxtW(m_Name->Str()).c_str()) == 0;
  return TRes();
}

bool WndTxt(HWND wnd, std::wstring& txt) {
  txt.clear();
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, WND_TXT_TMOUT_MS, &len)) return false;
  if (len == 0 || len > WND_TXT_MAX) return true;
  txt.resize(static_cast<size_t>(len) + 1);
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(wnd, WM_GETTEXT, static_cast<WPARAM>(len) + 1, reinterpret_cast<LPARAM>(&txt[0]),
                           SMTO_ABORTIFHUNG, WND_TXT_TMOUT_MS, &got)) {
    txt.clear();
    return false;
  }
  // The length asked first may be larger than the text (and the text may have changed since).
  txt.resize(got <= len ? static_cast<size_t>(got) : 0);
  return true;
}

namespace {
// The state of one search, handed to SrchWndProc by the enumeration functions.
struct TSrchCtx {
  TSrchCtx(const TQueue<TStr>& names, TStrCmpCmd& cmp, DWORD pid) : Cmp(&cmp), Pos(names), Pid(pid) {}
  HWND Found = nullptr;      // the window that matched a name last
  TStrCmpCmd* Cmp;
  TStack<HWND> Wnds;         // every window that matched a name, in match order
  TQueueCIter<TStr> Pos;     // the name the next window is compared with
  bool Done = false;         // the whole path matched
  std::exception_ptr Err;    // an exception is carried past the system's enumeration, never through it
  TRes CmpRes;               // a comparison that failed ends the search with its result
  DWORD Pid;                 // only windows of this process are compared; 0: any process
  uint32_t Mute = 0;         // windows that did not answer the text query in time
};

BOOL CALLBACK SrchWndProc(HWND wnd, LPARAM prm) {
  TSrchCtx& ctx = *reinterpret_cast<TSrchCtx*>(prm);
  if (!wnd || ctx.Pos.End()) return TRUE;
  if (ctx.Pid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != ctx.Pid) return TRUE;
  }
  try {
    std::wstring txt;
    if (!WndTxt(wnd, txt)) ++ctx.Mute;
    if (txt.empty()) return TRUE;
    ctx.Cmp->SetTxts(txt.c_str(), ctx.Pos.Cur());
    ctx.CmpRes = ctx.Cmp->Exec();
    ctx.Cmp->SetTxts(nullptr, nullptr);
    if (ctx.CmpRes.IsErr()) return FALSE;
    if (!ctx.Cmp->IsEq()) return TRUE;
    ctx.Found = wnd;
    ctx.Wnds.Add(new HWND(wnd));
    ctx.Pos.Next();
    if (ctx.Pos.End()) {
      ctx.Done = true;
      return FALSE;
    }
    EnumChildWindows(wnd, SrchWndProc, prm);
    return ctx.Done || ctx.Err || ctx.CmpRes.IsErr() ? FALSE : TRUE;
  } catch (...) {
    ctx.Err = std::current_exception();
    return FALSE;
  }
}

// The text of the search's trace line: ::SrchWnd('first','second') found 0x00012345
TStr SrchWndTrc(const TQueue<TStr>& names, HWND found) {
  TStr list;
  for (TQueueCIter<TStr> it(names); !it.End(); it.Next()) {
    list += "'";
    list += *it.Cur();
    list += "',";
  }
  list.Cut(1);
  TStr s;
  s.Fmt("::SrchWnd(%s) found %#010x", list.Str(), (unsigned)(uintptr_t)found);
  return s;
}
}  // namespace

TRes SrchWnd(HWND& found, const TQueue<TStr>& names, TCommand& cmp, DWORD pid) {
  TStrCmpCmd* strCmp = dynamic_cast<TStrCmpCmd*>(&cmp);
  if (!strCmp) throw EInvalidArgument(kSrc, CHK_SRCHWND_CMP, "dynamic_cast<TStrCmpCmd*>(&cmp)");
  if (names.Cnt() == 0) LogExpect("_wnd_nms.Cnt()==0", kSrc, CHK_SRCHWND_NO_NAMES);

  TSrchCtx ctx(names, *strCmp, pid);
  TRes res;
  if (!EnumWindows(SrchWndProc, reinterpret_cast<LPARAM>(&ctx))) {
    DWORD err = GetLastError();
    // A search stopped by a complete match is a success, whatever the last error happens to be.
    if (ctx.CmpRes.IsErr())
      res = ctx.CmpRes;
    else if (!ctx.Done && !ctx.Err && err)
      res.Set(err, "EnumWindows failed. ");
  }
  found = ctx.Found;
  if (ctx.Err) std::rethrow_exception(ctx.Err);

  Log().Write("UWE", "%s", SrchWndTrc(names, found).Str());
  // Passed over as windows without a text, though one of them may be what was searched for.
  if (ctx.Mute)
    Log().Write("UWE", "::SrchWnd passed over %u window(s) that did not answer within %u ms", ctx.Mute,
                WND_TXT_TMOUT_MS);
  ctx.Wnds.Clr();
  return res;
}

TRes SrchWnd(HWND& found, const TQueue<TStr>& names, DWORD pid) {
  TStrCmpCmd cmp;
  return SrchWnd(found, names, cmp, pid);
}
