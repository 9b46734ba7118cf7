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

int registerLive(const Text& path) {
    return gLive.add(path.c_str(), static_cast<std::size_t>(path.length()));
}

void dropLive(int slot) {
    gLive.drop(slot);
}

HeldBack::HeldBack() {
    if (gHeldDepth++ == 0) {
        const sigset_t set = handledSignals();
        sigprocmask(SIG_BLOCK, &set, &gMaskBeforeHolding);
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
    for (int sig : os::kEndingSignals) {
        os::handle(sig);
    }
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
        os::handle(sig);
    }
}

void settleExitStatus(int status) {
    os::gEarnedStatus = status;
}
