#include <windows.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "platform/Console.h"
#include "platform/WindowsText.h"

namespace {

// Keys that only change another key; "any key" means one that stands for itself.
bool isModifier(WORD key) {
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
           key == VK_NUMLOCK || key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN;
}

bool gProgressShown = false;

// The console's width in characters, when standard error is one.
bool consoleWidth(HANDLE err, SHORT& width) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (err == nullptr || err == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(err, &info)) {
        return false;
    }
    width = info.dwSize.X;
    return true;
}

// Overwrites the progress line with blanks and returns to its start: older consoles know no
// escape sequences.
void eraseProgress(HANDLE err, SHORT width) {
    if (gProgressShown) {
        const std::wstring blank =
            L"\r" + std::wstring(static_cast<std::size_t>(width - 1), L' ') + L"\r";
        DWORD written = 0;
        WriteConsoleW(err, blank.data(), static_cast<DWORD>(blank.size()), &written, nullptr);
        gProgressShown = false;
    }
}

}  // namespace

bool errorIsConsole() {
    SHORT width = 0;
    return consoleWidth(GetStdHandle(STD_ERROR_HANDLE), width);
}

void showProgress(const Text& line) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    SHORT width = 0;
    if (!consoleWidth(err, width) || width < 2) {
        return;
    }
    eraseProgress(err, width);
    std::wstring wide = wideFromUtf8(withControlsEscaped(line));
    if (wide.size() > static_cast<std::size_t>(width - 1)) {
        wide.resize(static_cast<std::size_t>(width - 1));
    }
    DWORD written = 0;
    WriteConsoleW(err, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    gProgressShown = !line.empty();
}

void writeErrorLines(const std::vector<Text>& lines) {
    Text whole;
    for (const Text& line : lines) {
        appendControlsEscaped(whole, line);
        whole += '\n';
    }
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode)) {
        SHORT width = 0;
        if (consoleWidth(err, width)) {
            eraseProgress(err, width);
        }
        // A console with virtual terminal processing obeys escape sequences as a terminal does;
        // it ends a line at CR LF.
        std::wstring wide;
        for (const wchar_t c : wideFromUtf8(whole)) {
            if (c == L'\n') {
                wide += L'\r';
            }
            wide += c;
        }
        // Older consoles refuse a write past about 64 KB, so a long report goes in pieces.
        constexpr std::size_t kPiece = 8192;
        for (std::size_t at = 0; at < wide.size();) {
            std::size_t count = std::min(kPiece, wide.size() - at);
            if (count == kPiece && wide[at + count - 1] >= 0xD800 &&
                wide[at + count - 1] <= 0xDBFF) {
                --count;  // a character's two halves go together
            }
            DWORD written = 0;
            WriteConsoleW(err, wide.data() + at, static_cast<DWORD>(count), &written, nullptr);
            at += count;
        }
        return;
    }
    std::cerr << whole;
}

void writeErrorLine(const Text& line) {
    writeErrorLines({line});
}

void waitForKey() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (in == nullptr || in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) {
        char answer[5];
        std::cin.getline(answer, sizeof answer);
        return;
    }
    // Keys pressed while the program worked must not end the wait before the result is read;
    // Ctrl-C is a key like any other here.
    FlushConsoleInputBuffer(in);
    SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT));
    INPUT_RECORD record{};
    DWORD got = 0;
    while (ReadConsoleInputW(in, &record, 1, &got) && got == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            !isModifier(record.Event.KeyEvent.wVirtualKeyCode)) {
            break;
        }
    }
    SetConsoleMode(in, mode);
}
