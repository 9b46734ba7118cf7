#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "text/Text.h"

// A wording (a cause's, a warning's) with its {name}s, split at them once: a report words a
// hundred warnings of one kind, and finding the braces in each would cost more than filling them
// in. A '{' without its '}' is kept as it stands.
struct TemplatePiece {
    std::string_view words;  // kept as they stand
    std::string_view name;   // then this argument; empty after the last words
};
std::vector<TemplatePiece> splitTemplate(std::string_view words);

// Appends the wording to `out` with each {name} replaced by fact(name): the one way a table of
// wordings puts its arguments in their sentences.
template <typename Fact>
void fillTemplate(Text& out, const std::vector<TemplatePiece>& pieces, Fact fact) {
    for (const TemplatePiece& piece : pieces) {
        out.append(piece.words.data(), piece.words.size());
        if (!piece.name.empty()) {
            out += fact(piece.name);
        }
    }
}

template <typename Fact>
void fillTemplate(Text& out, const char* words, Fact fact) {
    fillTemplate(out, splitTemplate(words), fact);
}

// Whether `words` goes on with `name` and a closing brace at `at`.
constexpr bool namesAt(const char* words, std::size_t at, const char* name) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (words[at + i] != name[i]) {
            return false;
        }
    }
    return words[at + i] == '}';
}

// Whether every brace in `words` opens one of `names`: a table of wordings checks each of its
// rows with this at build time, so that a misspelt argument fails the build, not a user's run.
template <std::size_t N>
constexpr bool bracesNameOnly(const char* words, const char* const (&names)[N]) {
    for (std::size_t at = 0; words[at] != '\0'; ++at) {
        if (words[at] != '{') {
            continue;
        }
        bool known = false;
        for (const char* name : names) {
            known = known || namesAt(words, at + 1, name);
        }
        if (!known) {
            return false;
        }
    }
    return true;
}
