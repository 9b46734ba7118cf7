#pragma once

// Windows speaks UTF-16 and the program's text is UTF-8: the conversions between them. Windows
// builds only.

#include <string>

#include "text/Text.h"

Text utf8FromWide(const wchar_t* chars, int count);
std::wstring wideFromUtf8(const Text& text);
