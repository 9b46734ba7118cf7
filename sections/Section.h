#pragma once

#include <cstddef>
#include <cstdint>

#include "text/Text.h"
#include "text/Utf16.h"

// One section of aircraft.cfg: a header line and the body lines under it, in file order.
//
// A section and its characters stand in its list's blocks, and its Texts are over them
// (Text::over), so that freeing the list frees only the blocks: a header is changed with
// replaceHeader, which keeps it there, never by assigning to it.
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

// Memory that sections stand in: a file's worth of sections takes a few large blocks rather than
// three allocations each, and lies in file order, which every pass over the list reads at the
// speed of memory rather than waiting for each node in turn. A parsed list keeps its nodes with
// their headers in blocks of their own, apart from the bodies, so that the passes that read only
// headers read dense memory.
struct SectionBlock {
    SectionBlock* previous;
    std::size_t size;  // of the block's bytes, which follow this
};

// The sections of one file in file order. The list owns its nodes and the blocks they stand in;
// releaseSections frees them. The tail link keeps appending constant-time however many sections a
// file has.
struct SectionList {
    Section* head = nullptr;
    Section* tail = nullptr;
    SectionBlock* blocks = nullptr;  // the newest first
    FileEncoding encoding = FileEncoding::eightBit;
    // Every line of the file ended in CR LF, the last one too: writing the list back then gives
    // the very bytes that were read, unless a header was changed.
    bool lineEndsAsWritten = true;
};

// Links a new section holding `header` and `body` at the end of the list.
void appendSection(const Text& header, const Text& body, SectionList& list);

// For the parser, which builds sections in place. A new block of `size` bytes for the list's
// sections, whose bytes (bytesOf) are aligned for a Section; raises std::bad_alloc when the heap
// refuses.
SectionBlock* addSectionBlock(SectionList& list, std::size_t size);
// Resizes one of the list's blocks, which must hold no linked section yet, keeping its content;
// returns it, perhaps moved.
SectionBlock* resizeSectionBlock(SectionList& list, SectionBlock* block, std::size_t size);
inline char* bytesOf(SectionBlock* block) {
    return reinterpret_cast<char*>(block + 1);
}
// Gives `section` of `list` the header chars[0, count), in its old place when it fits, or else in
// a block of the list.
void replaceHeader(Section& section, const char* chars, std::size_t count, SectionList& list);

// What the list's sections take of memory: their blocks, each with what an allocation costs beyond
// its bytes.
std::int64_t memoryOfSections(const SectionList& list);

// Links the section at `node`, built in one of the list's blocks, at the end of the list.
void linkSection(Section* node, SectionList& list);

// Frees every section and leaves the list empty. On an already empty list it only says so, with
// "Data already deleted" on standard output.
void releaseSections(SectionList& list);

// Frees whatever the list holds, and says nothing when it holds nothing: for the paths where the
// list may or may not have been filled (a failed or finished run, a refused file).
void discardSections(SectionList& list);
