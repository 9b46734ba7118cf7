// The system's messages reach the console as UTF-8 text, whatever the system's code pages.
#include <gtest/gtest.h>

#include <windows.h>
#include <cwchar>
#include <string>

#include "platform/FileSystem.h"
#include "platform/WindowsText.h"

namespace {

TEST(WindowsText, ConvertsMessagesBetweenUtf16AndUtf8) {
    const wchar_t wide[] = L"Acc\u00E8s refus\u00E9 \u2013 \u30A2\u30AF\u30BB\u30B9 \U0001F6E9";
    const std::string utf8 =
        "Acc\xC3\xA8s refus\xC3\xA9 \xE2\x80\x93 \xE3\x82\xA2\xE3\x82\xAF\xE3\x82\xBB\xE3\x82\xB9 "
        "\xF0\x9F\x9B\xA9";
    const Text converted = utf8FromWide(wide, static_cast<int>(std::wcslen(wide)));
    EXPECT_EQ(std::string(converted.c_str()), utf8);
    EXPECT_EQ(wideFromUtf8(converted), std::wstring(wide));
}

// The system's own words, not a code page's rendering of them: the UTF-8 must give back exactly
// the system's UTF-16 text, less its closing period and line break.
TEST(WindowsText, SystemMessagesAreUtf8WithoutTrailingPunctuation) {
    wchar_t system[512] = {0};
    ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_FILE_NOT_FOUND, 0, system, 512, nullptr),
              0u);
    std::wstring expected = system;
    while (!expected.empty() &&
           std::wstring(L"\r\n .").find(expected.back()) != std::wstring::npos) {
        expected.pop_back();
    }
    const Text message = os::systemMessage(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(wideFromUtf8(message), expected);
}

}  // namespace
