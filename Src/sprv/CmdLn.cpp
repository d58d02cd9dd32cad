#include "sprv/CmdLn.h"

#include <windows.h>

#include "Lib/Path.h"
#include "sprv/Prms.h"
#include "sprv/ProcessMngr.h"
#include "ydcodes.h"

namespace {

TStr SubStr(const char* s, uint32_t n) {
  TStr t;
  if (n > 0) t.Set(s, n);
  return t;
}

}  // namespace

bool CmdLnTok(const char* cmdLn, uint32_t idx, TStr& tok) {
  tok.Clr();
  if (!cmdLn || !*cmdLn) return false;
  const char* p = cmdLn;
  for (uint32_t k = 0;; ++k) {
    // Only the blank separates, and only outside quotes; an unclosed quote runs to the end.
    const char* s = p;
    bool inQt = false;
    while (*p && (inQt || *p != ' ')) {
      if (*p == '"') inQt = !inQt;
      ++p;
    }
    if (k == idx) {
      tok = SubStr(s, static_cast<uint32_t>(p - s));
      tok.Unquote();
      return true;
    }
    while (*p == ' ') ++p;
    if (!*p) return false;
  }
}

TStr CmdLnArg(const char* cmdLn, uint32_t idx) {
  TStr t;
  CmdLnTok(cmdLn, idx, t);
  return t;
}

TStr CmdLnArg(uint32_t idx) { return CmdLnArg(GetCommandLineA(), idx); }

// A parser class without a parse of its own is a programming error.
TRes TCmdLnPrmPrsr::Prs(const TStr&, const TStr&) { return TRes(RC_INTERNAL, "", SVRT_ERR); }

TRes TCmdLnPrsrA::Prs() { return TRes(RC_FOREIGN_PRM, "", SVRT_ERR); }

TRes TCmdLnToPmPrsr::Prs() { return Prs(GetCommandLineA()); }

// The parameter parsers, in the order they are asked.
void TCmdLnToPmPrsr::AddPrsrs() {
  m_Prsrs.Add(new TCmdLnHlpPrmPrsr());
  m_Prsrs.Add(new TAttemptsLmtPrmPrsr(m_Pm));
  m_Prsrs.Add(new TGdiObjsLmtPrmPrsr(m_Pm));
  m_Prsrs.Add(new THandlesLmtPrmPrsr(m_Pm));
  m_Prsrs.Add(new TLogPrm(m_Pm));
  m_Prsrs.Add(new TMemLmtPrmPrsr(m_Pm));
  m_Prsrs.Add(new TPausePrmPrsr(m_Pm));
  m_Prsrs.Add(new TStopPrmPrsr(m_Pm));
  m_Prsrs.Add(new TRunTmPrmPrsr(m_Pm));
  m_Rc = new TRetCodePrmPrsr(m_Pm);
  m_Prsrs.Add(m_Rc);
  m_Cmd = new TCmdPrmPrsr(m_Pm);
  m_Prsrs.Add(m_Cmd);
  m_Prsrs.Add(new THungPrmPrsr(m_Pm));
  m_Prsrs.Add(new TTimePrmPrsr(m_Pm));
}

TRes TCmdLnToPmPrsr::Prs(const char* cmdLn) {
  AddPrsrs();
  TRes r;
  for (uint32_t k = 1; r.IsOk(); ++k) {
    TStr tok;
    if (!CmdLnTok(cmdLn, k, tok)) break;
    // An empty word among the child's arguments is one of them; among the own parameters it ends the scan.
    if (tok.Empty() && !m_Cmd->IsGvn()) break;
    ExpMacros(tok);
    if (m_Cmd->IsGvn())
      m_Cmd->AddArg(tok);
    else
      r = PrsPrm(tok);
  }
  if (!m_Rc->IsGvn()) {
    m_Pm->AddRetCode(0);
    m_Pm->AddRetCode(1223);
    m_Pm->AddRetCode(1152);
  }
  return r;
}

namespace {

// "-name:value" or "/name:value" (value unquoted); a word without the sign is a value without a name.
void SplitPrm(const TStr& tok, TStr& nm, TStr& val) {
  if (!tok.Empty() && (tok[0] == '-' || tok[0] == '/')) {
    uint32_t c = 1;
    while (c < tok.Len() && tok[c] != ':') ++c;
    nm = SubStr(tok.Str() + 1, c - 1);
    if (c < tok.Len()) val = SubStr(tok.Str() + c + 1, tok.Len() - c - 1);
  } else {
    val = tok;
  }
  val.Unquote();
}

}  // namespace

TRes TCmdLnToPmPrsr::PrsPrm(const TStr& tok) {
  TRes r;
  TStr nm, val;
  SplitPrm(tok, nm, val);
  for (TQueueIter<TCmdLnPrmPrsr> it(m_Prsrs); !it.End(); it.Next()) {
    TRes pr = it.Cur()->Prs(nm, val);
    if (pr.Code() == 0) return r;
    if (pr.Code() != RC_FOREIGN_PRM) r.Add(pr);
  }
  // "Ошибка в параметре \"<token>\""
  TStr cmnt = TStr("\xce\xf8\xe8\xe1\xea\xe0 \xe2 \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xe5 \"") + tok + "\"";
  r.Add(TRes(RC_BAD_PRM, cmnt.Str(), SVRT_ERR));
  return r;
}
