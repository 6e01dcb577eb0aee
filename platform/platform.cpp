// POSIX stand-ins for the Windows runtime's start-up.
#include "platform/platform.h"

void platform_startup() {}
