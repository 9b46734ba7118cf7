#include "platform/WindowsText.h"

#include <windows.h>

Text utf8FromWide(const wchar_t* chars, int count) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, chars, count, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, chars, count, &bytes[0], n, nullptr, nullptr);
    }
    return Text(bytes.c_str());
}

std::wstring wideFromUtf8(const Text& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), text.length(), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), text.length(), &wide[0], n);
    }
    return wide;
}
