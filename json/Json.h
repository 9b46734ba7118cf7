#pragma once

// A small, strict reader of JSON (RFC 8259): objects, arrays, strings with every escape, numbers
// and the three literals, in UTF-8 with or without a byte-order mark. It exists to edit a few
// numbers of a file in place, so every value records where its bytes lie; nothing is ever
// written back from the parsed values.
//
// The document and its decoded strings are std::string rather than the program's Text: JSON may
// hold any byte where the reader refuses it, and a string may decode to a NUL ("\u0000"), which
// a Text never holds. Past this reader and the list's bytes, the package's paths are Text again.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "text/Cause.h"

struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    std::size_t begin = 0;  // the value's bytes in the document: [begin, end)
    std::size_t end = 0;
    std::string text;  // a string's decoded UTF-8; a number's or literal's bytes as written
    std::vector<JsonValue> elements;                         // of an array
    std::vector<std::pair<std::string, JsonValue>> members;  // of an object, in document order
};

// Parses the whole document. False for anything RFC 8259 does not allow: a trailing comma, a
// comment, a leading zero, an unescaped control character, a lone surrogate escape, bytes that
// are not UTF-8, anything after the value, or nesting deeper than this reader follows. `why` then
// holds which of the json* causes it is and `at`, the byte where reading stopped.
bool parseJson(const std::string& document, JsonValue& root, Cause& why);

// As above, with what the parsed values hold in memory kept to `memoryBudget` bytes. A document a
// few megabytes long can describe millions of values, each far larger than its text, so a caller
// that must live within its memory says how much the values may take. Past it, parsing stops with
// the cause tooLargeForMemory, and `root` holds only what was parsed so far.
bool parseJson(const std::string& document, JsonValue& root, Cause& why, std::size_t memoryBudget);
