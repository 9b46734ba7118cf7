#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "platform/Console.h"

namespace {

// The terminal's mode before the wait, for a handler to put back: a handler may only read memory
// that nothing moves.
struct termios gSavedMode;
volatile sig_atomic_t gModeChanged = 0;

// The signals that end the process while it waits, for which the terminal must be put back.
const int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

void restoreModeAndDie(int sig) {
    if (gModeChanged) {
        tcsetattr(STDIN_FILENO, TCSANOW, &gSavedMode);
    }
    signal(sig, SIG_DFL);
    raise(sig);  // ends the process as the signal would have
}

void waitForLine() {
    char answer[5];
    std::cin.getline(answer, sizeof answer);
}

}  // namespace

void writeErrorLine(const Text& line) {
    std::cerr << line << '\n';
}

void waitForKey() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &gSavedMode) != 0) {
        waitForLine();
        return;
    }
    struct sigaction previous[sizeof kEndingSignals / sizeof kEndingSignals[0]] = {};
    for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
        struct sigaction action {};
        sigaction(kEndingSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            action.sa_handler = restoreModeAndDie;
            sigemptyset(&action.sa_mask);
            sigaction(kEndingSignals[i], &action, nullptr);
        }
    }
    // One byte at a time, unechoed; Ctrl-C is a key like any other here, so that it ends the
    // wait the same way.
    struct termios oneKey = gSavedMode;
    oneKey.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    oneKey.c_cc[VMIN] = 1;
    oneKey.c_cc[VTIME] = 0;
    gModeChanged = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &oneKey) == 0) {
        char key = 0;
        while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
        }
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &gSavedMode);
    gModeChanged = 0;
    for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
        sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
}
