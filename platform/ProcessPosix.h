#pragma once

// What a signal that ends the program must still do on POSIX systems, whichever part of the
// program it interrupts: remove every live temporary file, put the terminal's mode back, and, once
// the run has earned its exit status, end with that status rather than as killed. Every signal
// whose default action ends the process is handled, except those that were ignored when the
// program started (nohup) and the faults of the program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL),
// which are left to the system and to the sanitizers.

#include <termios.h>

namespace os {

// The terminal mode to put back, or none.
void setTerminalModeForSignals(const termios* mode);

}  // namespace os
