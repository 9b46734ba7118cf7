#include <sys/ioctl.h>
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

bool gProgressShown = false;

// Back to the start of the line, and the rest of it erased.
constexpr const char* kEraseLine = "\r\x1b[K";

}  // namespace

// One write for the line and its end, so that lines from the program never interleave with
// another's and a long report costs one system call a line.
void writeErrorLines(const std::vector<Text>& lines) {
    Text whole = gProgressShown ? Text(kEraseLine) : Text();
    gProgressShown = false;
    for (const Text& line : lines) {
        appendControlsEscaped(whole, line);
        whole += '\n';
    }
    std::cerr << whole;
}

void writeErrorLine(const Text& line) {
    writeErrorLines({line});
}

bool errorIsConsole() {
    return isatty(STDERR_FILENO) != 0;
}

void showProgress(const Text& line) {
    if (!errorIsConsole()) {
        return;
    }
    winsize size{};
    const std::size_t width =
        ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
    Text shown(kEraseLine);
    const Text escaped = withControlsEscaped(line);
    // Cut by bytes but never inside a UTF-8 character; a wide character may still wrap.
    std::size_t keep = static_cast<std::size_t>(escaped.length());
    if (keep > width) {
        keep = width;
        while (keep > 0 && (static_cast<unsigned char>(escaped.c_str()[keep]) & 0xC0) == 0x80) {
            --keep;
        }
    }
    shown.append(escaped.c_str(), keep);
    std::cerr << shown << std::flush;
    gProgressShown = !line.empty();
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
