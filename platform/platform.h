// The small layer that stands in for the Windows runtime on POSIX.
#pragma once

// Process start-up: binary file mode and the socket layer need nothing here.
void platform_startup();
