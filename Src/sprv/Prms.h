// The launch parameters: one parser per parameter, and the readers of durations and sizes.
#pragma once
#include <cstdint>
#include "sprv/CmdLn.h"

// Milliseconds of a duration text ("15s", "2h", "250ms", "3мин", a bare count); 0 when it cannot be read
// or the result does not fit in 32 bits.
uint32_t StrToMs(const TStr& val);
// As StrToMs; false when the count or the product does not fit in 32 bits (ms is then 0).
bool StrToMsChk(const TStr& val, uint32_t& ms);
// Bytes of a size text ("10M", "512kb", "1G", a bare count): code 0, or 87 with the memory parameter's
// message (sizes of 4 GiB or more are refused as bad values).
TRes StrToSz(const TStr& val, uint32_t& bytes);
// Reads an integer the way atol does; false when it does not fit in a signed 32-bit integer.
bool StrToInt(const TStr& val, int32_t& v);

class TCmdLnHlpPrmPrsr : public TCmdLnPrmPrsr {
 public:
  TRes Prs(const TStr& nm, const TStr& val) override;
};

#define YD_PRM_PRSR(cls)                                   \
  class cls : public ATCmdLnPrmPrsr {                      \
   public:                                                 \
    explicit cls(TProcessMngr* pm) : ATCmdLnPrmPrsr(pm) {} \
    TRes Prs(const TStr& nm, const TStr& val) override;    \
  }

YD_PRM_PRSR(TAttemptsLmtPrmPrsr);
YD_PRM_PRSR(TGdiObjsLmtPrmPrsr);
YD_PRM_PRSR(THandlesLmtPrmPrsr);
YD_PRM_PRSR(TLogPrm);
YD_PRM_PRSR(TMemLmtPrmPrsr);
YD_PRM_PRSR(TPausePrmPrsr);
YD_PRM_PRSR(TStopPrmPrsr);
YD_PRM_PRSR(TRunTmPrmPrsr);
YD_PRM_PRSR(TRetCodePrmPrsr);
YD_PRM_PRSR(THungPrmPrsr);
YD_PRM_PRSR(TTimePrmPrsr);

#undef YD_PRM_PRSR

// The child's command line: the first token without a name, then every later token.
class TCmdPrmPrsr : public ATCmdLnPrmPrsr {
 public:
  explicit TCmdPrmPrsr(TProcessMngr* pm) : ATCmdLnPrmPrsr(pm) {}
  ~TCmdPrmPrsr() override {}
  TRes Prs(const TStr& nm, const TStr& val) override;
  void AddArg(const TStr& arg);
  const TStr& CmdLn() const { return m_CmdLn; }

 private:
  TStr m_CmdLn;
};
