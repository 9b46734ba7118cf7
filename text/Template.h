#pragma once

#include <cstring>
#include <string_view>

#include "text/Text.h"

// Appends `words` to `out` with each {name} in braces replaced by fact(name): the one way a table
// of wordings (causes, warnings) puts its arguments in their sentences. A '{' without its '}' is
// kept as it stands.
template <typename Fact>
void fillTemplate(Text& out, const char* words, Fact fact) {
    while (*words != '\0') {
        const char* open = std::strchr(words, '{');
        const char* close = open == nullptr ? nullptr : std::strchr(open, '}');
        if (close == nullptr) {
            out += Text(words);
            return;
        }
        out.append(words, static_cast<std::size_t>(open - words));
        out += fact(std::string_view(open + 1, static_cast<std::size_t>(close - open - 1)));
        words = close + 1;
    }
}
