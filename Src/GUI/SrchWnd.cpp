#include "GUI/SrchWnd.h"

#include "Log/Log.h"

namespace {
const char* const kSrc = "Src/GUI/SrchWnd";
constexpr unsigned kLnNoNames = 103;
}  // namespace

TRes TStrCmpCmd::Exec() {
  m_Eq = false;
  if (!m_WndTxt || !m_Name) return TRes(ERROR_INVALID_PARAMETER, "TStrCmpCmd: no text to compare. ");
  m_Eq = lstrcmpA(m_WndTxt->Str(), m_Name->Str()) == 0;
  return TRes();
}

TStr WndTxt(HWND wnd) {
  LRESULT len = SendMessageA(wnd, WM_GETTEXTLENGTH, 0, 0);
  if (len <= 0 || static_cast<uint64_t>(len) > WND_TXT_MAX) return TStr();
  TCharBuf buf(static_cast<size_t>(len) + 1);
  char* s = buf.Chars();
  s[0] = 0;
  LRESULT got = SendMessageA(wnd, WM_GETTEXT, static_cast<WPARAM>(len) + 1, reinterpret_cast<LPARAM>(s));
  s[got > 0 && got <= len ? got : 0] = 0;
  return TStr(s);
}

BOOL CALLBACK SrchWndProc(HWND wnd, LPARAM prm) {
  TSrchCtx& ctx = *reinterpret_cast<TSrchCtx*>(prm);
  if (!wnd || ctx.Pos.End()) return TRUE;
  try {
    TStr txt = WndTxt(wnd);
    if (txt.Empty()) return TRUE;
    ctx.Cmp->SetTxts(&txt, ctx.Pos.Cur());
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

TRes SrchWnd(HWND& found, const TQueue<TStr>& names, TCommand& cmp) {
  TStrCmpCmd* strCmp = dynamic_cast<TStrCmpCmd*>(&cmp);
  if (!strCmp) throw EInvalidArgument(kSrc, __LINE__, "dynamic_cast<TStrCmpCmd*>(&cmp)");
  if (names.Cnt() == 0) LogExpect("_wnd_nms.Cnt()==0", kSrc, kLnNoNames);

  TSrchCtx ctx(names, *strCmp);
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
  ctx.Wnds.Clr();
  return res;
}

TRes SrchWnd(HWND& found, const TQueue<TStr>& names) {
  TStrCmpCmd cmp;
  return SrchWnd(found, names, cmp);
}
