#include "Lib/Command.h"

// The base command has nothing to run: code 1 with error severity tells a caller so.
TRes TCommand::Exec() { return TRes(1, "", SVRT_ERR); }
TRes TCommand::Exec2() { return TRes(); }
TRes TCommand::Exec3() { return TRes(); }
TRes TCommand::Exec4() { return TRes(); }
