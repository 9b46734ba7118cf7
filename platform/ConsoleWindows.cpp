#include <windows.h>

#include <iostream>
#include <string>

#include "platform/Console.h"
#include "platform/WindowsText.h"

void writeErrorLine(const Text& line) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode)) {
        const std::wstring wide = wideFromUtf8(line) + L"\r\n";
        DWORD written = 0;
        WriteConsoleW(err, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::cerr << line << '\n';
}
