#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "platform/Console.h"
#include "platform/ProcessPosix.h"

namespace {

void waitForLine() {
    char answer[5];
    std::cin.getline(answer, sizeof answer);
}

}  // namespace

// One write for the line and its end, so that lines from the program never interleave with
// another's and a long report costs one system call a line.
void writeErrorLine(const Text& line) {
    Text whole = withControlsEscaped(line);
    whole += '\n';
    std::cerr << whole;
}

void waitForKey() {
    termios before{};
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &before) != 0) {
        waitForLine();
        return;
    }
    // One byte at a time, unechoed; Ctrl-C is a key like any other here, so that it ends the
    // wait the same way. A signal that ends the program meanwhile puts the mode back.
    termios oneKey = before;
    oneKey.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    oneKey.c_cc[VMIN] = 1;
    oneKey.c_cc[VTIME] = 0;
    os::setTerminalModeForSignals(&before);
    if (tcsetattr(STDIN_FILENO, TCSANOW, &oneKey) == 0) {
        char key = 0;
        while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
        }
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &before);
    os::setTerminalModeForSignals(nullptr);
}
