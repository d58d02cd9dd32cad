// A unit of work with four entry points, run by a thread (TCmdThrd) or used as a comparer.
#pragma once
#include "Lib/Res.h"

class TCommand : public TYdBsMem {
 public:
  explicit TCommand(void* p = nullptr) : m_P1(p) {}
  virtual TRes Exec();
  virtual TRes Exec2();
  virtual TRes Exec3();
  virtual TRes Exec4();

 protected:
  void* m_P1;            // the caller's data; not owned
  void* m_P2 = nullptr;  // reserved for derived commands; not owned
};
