#include "platform/SignalsPosix.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace os {

namespace {

// What the handler reads: fixed buffers and flags, since it may only read memory that no
// allocation can move.
char gTemporary[PATH_MAX + 32];
volatile sig_atomic_t gTemporaryLive = 0;
termios gTerminalMode;
volatile sig_atomic_t gTerminalModeLive = 0;
volatile sig_atomic_t gEarnedStatus = -1;

// The signals that end a process by default, less the program's own faults. SIGPIPE and SIGXFSZ
// are ignored by the program instead, so that a failed write says why.
const int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
    SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,   SIGSYS,  SIGABRT,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

sigset_t handledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kEndingSignals) {
        sigaddset(&set, sig);
    }
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
        sigaddset(&set, sig);
    }
    return set;
}

void cleanUpAndEnd(int sig) {
    if (gTemporaryLive) {
        unlink(gTemporary);
    }
    if (gTerminalModeLive) {
        tcsetattr(STDIN_FILENO, TCSANOW, &gTerminalMode);
    }
    if (gEarnedStatus >= 0) {
        _exit(gEarnedStatus);
    }
    signal(sig, SIG_DFL);
    raise(sig);  // delivered once the handler returns: ends the process as the signal would have
}

void handle(int sig) {
    struct sigaction previous {};
    sigaction(sig, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) {
        return;  // started to ignore it (nohup): keep ignoring it
    }
    struct sigaction action {};
    action.sa_handler = cleanUpAndEnd;
    action.sa_mask = handledSignals();  // one cleanup at a time
    sigaction(sig, &action, nullptr);
}

}  // namespace

void installSignalCleanup() {
    for (int sig : kEndingSignals) {
        handle(sig);
    }
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
        handle(sig);
    }
}

void setTemporaryForSignals(const char* path) {
    gTemporaryLive = 0;
    if (path != nullptr && std::strlen(path) < sizeof gTemporary) {
        std::memcpy(gTemporary, path, std::strlen(path) + 1);
        gTemporaryLive = 1;
    }
}

void setTerminalModeForSignals(const termios* mode) {
    SignalGuard guard;
    gTerminalModeLive = 0;
    if (mode != nullptr) {
        gTerminalMode = *mode;
        gTerminalModeLive = 1;
    }
}

void setEarnedStatusForSignals(int status) {
    gEarnedStatus = status;
}

SignalGuard::SignalGuard() {
    const sigset_t set = handledSignals();
    sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalGuard::~SignalGuard() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace os
