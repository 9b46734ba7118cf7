#pragma once

#include <cstddef>

#include "sections/Section.h"
#include "text/Cause.h"
#include "text/Text.h"
#include "text/Utf16.h"

// Splits the bytes of aircraft.cfg into sections. The bytes may arrive in chunks of any size.
//
// The layout, as this program reads it:
// - The first bytes tell the encoding. A UTF-8 byte-order mark is kept in the list and the rest
//   is 8-bit text. A UTF-16 mark (FF FE or FE FF) makes the rest UTF-16, which is converted to
//   UTF-8 as it arrives, so the sections hold 8-bit text whatever the file. Without a mark the
//   file is 8-bit text, kept byte for byte whatever its code page.
// - A line ends at CR LF, at LF, or at a CR that no LF follows: the same line breaks an editor
//   shows. 0x1A is an ordinary character. A last line without a line end is still a line.
// - A header line is one whose first character other than space or tab is '['. A '[' further
//   along (a commented-out "//[fltsim.3]", a value that mentions one) leaves a body line alone.
// - A section is a header line and the body lines up to the next header line. Lines before the
//   first header line form a leading section with an empty header.
// - Refused outright, since rewriting them as text would destroy them: a NUL byte in 8-bit text
//   (a binary file, or UTF-16 without a mark), UTF-32, and UTF-16 that is cut off, holds an
//   unpaired surrogate or a U+0000 character.
//
// What the sections cost in memory, the blocks they are built in (Section.h), is counted as the
// blocks are taken, and loading refuses the file once that would pass the budget
// (tooLargeForMemory, as when memory runs out while it is handled): near the end of a 32-bit
// address space an allocator may crash instead of failing cleanly, so the limit must come before
// it.
class SectionParser {
  public:
    // A 32-bit process has 2 GB of address space for everything; a 64-bit one is held to a size
    // far beyond any real file.
    static constexpr std::int64_t kMemoryBudget =
        sizeof(void*) == 4 ? std::int64_t{768} << 20 : std::int64_t{8} << 30;

    explicit SectionParser(SectionList& list, std::int64_t memoryBudget = kMemoryBudget);

    // Every step returns false once the input is refused, and goes on doing so; why() then says
    // why and the list must be discarded.
    bool feed(const char* bytes, std::size_t count);
    // Ends the input. The list then holds at least one section, even for an empty file.
    bool finish();
    const Cause& why() const { return why_; }

  private:
    bool refused() const { return why_.kind != CauseKind::none; }
    bool refuse(CauseKind kind);
    bool decideEncoding();
    bool decodeText(const char* bytes, std::size_t count);
    bool splitLines(const char* chars, std::size_t count);
    bool endLine();
    bool startSection();
    bool room(std::size_t extra) {
        return static_cast<std::size_t>(end_ - at_) >= extra || grow(extra);
    }
    bool grow(std::size_t extra);
    bool placeNode(std::size_t headerLength);
    bool affordable(std::int64_t bytes, std::int64_t given) const;
    void linkCollected(char* bodyEnd);

    SectionList& list_;
    // Each character is copied once, straight to where it stays. The bodies follow each other in
    // body blocks, each with its terminator; the body being collected stands last in the newest
    // of them, its last line perhaps still coming in. The nodes, each with its header, follow
    // each other in node blocks apart from the bodies: the passes that read only the headers
    // (the renumbering, saving's walk, freeing's count) then read dense memory.
    SectionBlock* bodyBlock_ = nullptr;  // the newest body block; none before the first
    char* end_ = nullptr;                // of its bytes
    char* body_ = nullptr;               // the body's first character
    char* line_ = nullptr;     // the current line's first character, past the body's ended lines
    char* at_ = nullptr;       // where the next character goes
    char* nodeAt_ = nullptr;   // where the next node goes in the newest node block
    char* nodeEnd_ = nullptr;  // the end of that block
    char* section_ = nullptr;  // the node's place, once placed: a leading section has none yet
    std::int32_t headerLength_ = 0;
    std::int32_t headerCapacity_ = 0;
    bool lineEndedByCr_ = false;  // an LF that comes next belongs to that line end
    unsigned char firstBytes_[4] = {0, 0, 0, 0};
    int firstByteCount_ = 0;
    bool encodingKnown_ = false;
    Utf16Decoder utf16_{ByteOrder::littleEndian};
    Cause why_;  // of no kind until the input is refused
    std::int64_t memoryBudget_;
    std::int64_t taken_ = 0;     // the blocks' bytes
    std::size_t nextBlock_;      // the size of the next body block that is not grown for one body
    std::size_t nextNodeBlock_;  // and of the next node block
};

// The whole input in one call, for callers that already hold it in memory. On failure the list
// is left empty.
bool parseSections(const char* bytes, std::size_t count, SectionList& list, Cause& why);
