// Splitting of the process command line and the dispatch of its tokens to the parameter parsers.
#pragma once
#include <cstdint>
#include "Lib/BStr.h"
#include "Lib/Res.h"
#include "ydgen.h"

class TProcessMngr;

// Token idx of the given command line text (token 0 is the program path); false when there is none. A pair
// of quotes with nothing between them is a token, an empty one.
bool CmdLnTok(const char* cmdLn, uint32_t idx, TStr& tok);
// Token idx of the given command line text; empty when there is none.
TStr CmdLnArg(const char* cmdLn, uint32_t idx);
// Token idx of the process's own command line.
TStr CmdLnArg(uint32_t idx);

// One parameter parser: Prs answers 50 for a foreign name, 0 when it took the parameter,
// 87 with a message when it refused the value or the parameter was given before.
class TCmdLnPrmPrsr : public TYdBsMem {
 public:
  TCmdLnPrmPrsr() {}
  ~TCmdLnPrmPrsr() override {}
  virtual TRes Prs(const TStr& nm, const TStr& val);
  bool IsGvn() const { return m_Gvn; }
  void SetGvn() { m_Gvn = true; }

 private:
  bool m_Gvn = false;
};

// A named parameter that writes one setting of its process manager.
class ATCmdLnPrmPrsr : public TCmdLnPrmPrsr {
 public:
  explicit ATCmdLnPrmPrsr(TProcessMngr* pm) : m_Pm(pm) {}

 protected:
  TProcessMngr* m_Pm;  // not owned
};

class TCmdLnPrsrA : public TYdBsMem {
 public:
  ~TCmdLnPrsrA() override {}
  virtual TRes Prs();

 protected:
  TQueue<TCmdLnPrmPrsr> m_Prsrs;  // asked in this order; owns them
};

class TCmdLnPrsr : public TCmdLnPrsrA {};

class TCmdPrmPrsr;
class TRetCodePrmPrsr;

// Fills the settings of a process manager from the command line. Prs is called once per object.
class TCmdLnToPmPrsr : public TCmdLnPrsr {
 public:
  explicit TCmdLnToPmPrsr(TProcessMngr* pm) : m_Pm(pm) {}
  TRes Prs() override;             // the process's own command line
  TRes Prs(const char* cmdLn);     // the given command line text
  TRes PrsPrm(const TStr& tok);

 private:
  void AddPrsrs();
  TProcessMngr* m_Pm;  // not owned
  TCmdPrmPrsr* m_Cmd = nullptr;    // owned by the queue
  TRetCodePrmPrsr* m_Rc = nullptr; // owned by the queue
};
