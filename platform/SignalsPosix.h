#pragma once

// What a signal that ends the program must still do on POSIX systems, whichever part of the
// program it interrupts: remove the temporary file, put the terminal's mode back, and, once the
// run has earned its exit status, end with that status rather than as killed. Every signal whose
// default action ends the process is handled, except those that were ignored when the program
// started (nohup) and the faults of the program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL), which
// are left to the system and to the sanitizers.

#include <signal.h>
#include <termios.h>

namespace os {

void installSignalCleanup();

// The temporary file to remove, or none. Call inside a SignalGuard.
void setTemporaryForSignals(const char* path);
// The terminal mode to put back, or none.
void setTerminalModeForSignals(const termios* mode);
// From now on, a handled signal ends the program with `status`.
void setEarnedStatusForSignals(int status);

// Holds back the handled signals while the temporary file or its registration changes, so that
// a handler never sees half a change; they are delivered when the guard ends.
class SignalGuard {
  public:
    SignalGuard();
    ~SignalGuard();
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

  private:
    sigset_t previous_;
};

}  // namespace os
