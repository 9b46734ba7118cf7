#pragma once

// The file list of a package of the newest simulators, layout.json, which names every file of the
// package with its size and time of last change:
//   {"content": [{"path": "SimObjects/Airplanes/X/aircraft.cfg", "size": 5873,
//                 "date": 133017734419960000}, ...]}
// Some tools write the two numbers as strings of digits ("date": "133017734419960000"); they are
// read and edited alike, the quotes kept. The simulator loads only the files listed there, and
// reads a file only up to the size listed, so a file that the program rewrites must be listed
// anew. This works on the list's bytes only.
//
// The list's bytes are a std::string, as the JSON reader takes them (see json/Json.h: they may
// hold any byte, a NUL too, which a Text never holds); the paths asked about and everything told
// back are Text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "json/Json.h"
#include "text/Cause.h"
#include "text/Text.h"

// Where a number's digits lie in the list: [begin, end).
struct DigitSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// What a list says of one file.
struct LayoutEntry {
    bool listed = false;   // the file has an entry
    Text size;             // the digits of the size it records, as written
    DigitSpan sizeDigits;  // where they lie
    DigitSpan dateDigits;  // and those of the date
};

// What a list says of the files asked about.
struct LayoutReading {
    std::vector<LayoutEntry> entries;  // one for each path asked about, in the same order
    std::vector<bool> listed;          // for each of the other files asked about: it is listed
};

// Finds the entry of each of `paths` (relative to the package's folder, with '/' separators) and
// where its size and date lie, in one reading of the list however many files a package has.
// Paths are compared after their escapes are decoded, in ASCII letter case as Windows compares
// them. Also tells which of `files` (the same kind of paths) the list names. The parsed list may
// take `memoryBudget` bytes, beyond the bytes of the list itself. False, with the cause in `why`,
// when the list is not what it should be: not JSON, no "content" array of entries that each have
// a path, one of `paths` listed twice, its size or date missing, given twice or not a whole number
// written in digits, or too large for the memory.
bool readLayout(const std::string& layout, const std::vector<Text>& paths,
                const std::vector<Text>& files, std::size_t memoryBudget, LayoutReading& reading,
                Cause& why);

// `path` as the list's paths are compared: in lower case as Windows compares names
// (text/NameCase.h), with '\' taken for '/'.
std::string comparablePath(const std::string& path);

// As readLayout, on a list parsed already as `root`.
bool readParsedLayout(const std::string& layout, const JsonValue& root,
                      const std::vector<Text>& paths, const std::vector<Text>& files,
                      LayoutReading& reading, Cause& why);

// The list's "content" array, or null when there is not exactly one.
const JsonValue* contentOf(const JsonValue& root);
// An entry's one "path" string, or null.
const JsonValue* pathOf(const JsonValue& entry);
// Where the digits of an entry's size and date lie; false, with the cause, as readLayout.
bool numberSpans(const std::string& layout, const JsonValue& entry, DigitSpan& size,
                 DigitSpan& date, Cause& why);

// Whether the listed entry records `size`, however many leading zeros its digits have.
bool recordsSize(const LayoutEntry& entry, std::int64_t size);

// One number of the list to set, where its digits lie.
struct DigitEdit {
    DigitSpan span;
    std::int64_t value = 0;
};

// A listed entry's size and date set to `size` and `date` (100-ns ticks since 1601-01-01 UTC).
void addEntryEdits(const LayoutEntry& entry, std::int64_t size, std::int64_t date,
                   std::vector<DigitEdit>& edits);

// Bytes of the list [begin, end) replaced by `text`: an insertion where they are equal.
struct Splice {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string text;
};

// The list with each splice made, in one pass: every other byte stays as it was.
std::string splicedLayout(const std::string& layout, std::vector<Splice> splices);

// The list with the digits of each edit set to its value, in one pass: every other byte stays as
// it was, however the numbers' widths change.
std::string editedLayout(const std::string& layout, std::vector<DigitEdit> edits);
