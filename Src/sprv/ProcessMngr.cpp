// The supervision run loop.
#include "sprv/ProcessMngr.h"
