#include "platform/ProcessPosix.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/LiveFiles.h"
#include "platform/Process.h"

namespace os {

namespace {

// What the handler reads: fixed buffers and flags, since it may only read memory that no
// allocation can move.
LiveFiles<char, PATH_MAX + 64> gLive;
termios gTerminalMode;
volatile sig_atomic_t gTerminalModeLive = 0;
volatile sig_atomic_t gEarnedStatus = -1;

// How deep the HeldBack guards are nested, and the mask to restore when the outermost ends. The
// program has one thread, so plain variables do.
int gHeldDepth = 0;
sigset_t gMaskBeforeHolding;

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

sigset_t signalsToHandle() {
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

// Built once: every HeldBack and every handler installed uses it.
const sigset_t& handledSignals() {
    static const sigset_t set = signalsToHandle();
    return set;
}

void cleanUpAndEnd(int sig) {
    gLive.removeAll([](const char* path) { unlink(path); });
    if (gTerminalModeLive) {
        tcsetattr(STDIN_FILENO, TCSANOW, &gTerminalMode);
    }
    if (gEarnedStatus >= 0) {
        _exit(gEarnedStatus);
    }
    signal(sig, SIG_DFL);
    raise(sig);  // delivered once the handler returns: ends the process as the signal would have
}

// Puts `action` in place for `sig`, unless the process was started ignoring it (nohup): then the
// ignoring is put back. The caller holds the signals back meanwhile, and setting a pending signal
// to be ignored discards it, so such a signal is never taken for one to end on.
void handle(int sig, const struct sigaction& action) {
    struct sigaction previous {};
    sigaction(sig, &action, &previous);
    if (previous.sa_handler == SIG_IGN) {
        sigaction(sig, &previous, nullptr);
    }
}

}  // namespace

int registerLive(const Text& path) {
    return gLive.add(path.c_str(), static_cast<std::size_t>(path.length()));
}

void dropLive(int slot) {
    gLive.drop(slot);
}

HeldBack::HeldBack() {
    if (gHeldDepth++ == 0) {
        sigprocmask(SIG_BLOCK, &handledSignals(), &gMaskBeforeHolding);
    }
}

HeldBack::~HeldBack() {
    if (--gHeldDepth == 0) {
        sigprocmask(SIG_SETMASK, &gMaskBeforeHolding, nullptr);
    }
}

void setTerminalModeForSignals(const termios* mode) {
    HeldBack held;
    gTerminalModeLive = 0;
    if (mode != nullptr) {
        gTerminalMode = *mode;
        gTerminalModeLive = 1;
    }
}

}  // namespace os

void prepareProcess() {
    signal(SIGXFSZ, SIG_IGN);  // a write past a file size limit then fails with EFBIG
    signal(SIGPIPE, SIG_IGN);  // a closed console pipe then fails the write, not the process
    struct sigaction action {};
    action.sa_handler = os::cleanUpAndEnd;
    action.sa_mask = os::handledSignals();  // one cleanup at a time
    const os::HeldBack held;
    for (int sig : os::kEndingSignals) {
        os::handle(sig, action);
    }
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
        os::handle(sig, action);
    }
}

void settleExitStatus(int status) {
    os::gEarnedStatus = status;
}

int settledExitStatus() {
    return os::gEarnedStatus;
}
