#pragma once

#include "text/Text.h"
#include "text/Utf16.h"

// One section of aircraft.cfg: a header line and the body lines under it, in file order.
//
// The header holds its line without the line break. An empty header marks the lines that stand
// before the first header line (or a file without any): such a section has no header line of its
// own and is written without one. The body holds each of its lines followed by '\n'.
struct Section {
    Text header;
    Text body;
    Section* next = nullptr;
};

// How the file's characters are stored as bytes. Sections always hold 8-bit text: UTF-16 is
// converted to UTF-8 on reading and back on writing. A byte-order mark belongs to the file, not to
// its first line, so it is recorded here and written again.
enum class FileEncoding {
    eightBit,  // any 8-bit text (ASCII, Windows-1252, UTF-8 without a mark), kept byte for byte
    utf8WithMark,
    utf16LittleEndian,  // always with its mark
    utf16BigEndian,     // always with its mark
};

bool isUtf16(FileEncoding encoding);
// The byte order of a UTF-16 encoding.
ByteOrder byteOrderOf(FileEncoding encoding);

// The sections of one file in file order. The list owns its nodes; releaseSections frees them.
// The tail link keeps appending constant-time however many sections a file has.
struct SectionList {
    Section* head = nullptr;
    Section* tail = nullptr;
    FileEncoding encoding = FileEncoding::eightBit;
    // Every line of the file ended in CR LF, the last one too: writing the list back then gives
    // the very bytes that were read, unless a header was changed.
    bool lineEndsAsWritten = true;
};

// Links a new section holding `header` and `body` at the end of the list.
void appendSection(Text header, Text body, SectionList& list);

// Frees every section and leaves the list empty. On an already empty list it only says so, with
// "Data already deleted" on standard output.
void releaseSections(SectionList& list);

// Frees whatever the list holds, and says nothing when it holds nothing: for the paths where the
// list may or may not have been filled (a failed or finished run, a refused file).
void discardSections(SectionList& list);
