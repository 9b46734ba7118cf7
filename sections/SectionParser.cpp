#include "sections/SectionParser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The first block of a list is enough for a typical file; later ones double up to the largest,
// past which the slack left at the end of the last one would cost more than the allocations
// spared. A section larger than a block gets a block grown for it alone.
constexpr std::size_t kFirstBlock = std::size_t{64} << 10;
constexpr std::size_t kLargestBlock = std::size_t{4} << 20;
constexpr std::size_t kFirstNodeBlock = std::size_t{16} << 10;
constexpr std::size_t kLargestNodeBlock = std::size_t{1} << 20;
// Room a header keeps past its terminator, so that the renumbering can lengthen a number by a
// digit or two in place.
constexpr std::size_t kHeaderSlack = 2;

bool startsWith(const unsigned char* bytes, int count, const char* mark, int markLength) {
    return count >= markLength &&
           std::memcmp(bytes, mark, static_cast<std::size_t>(markLength)) == 0;
}

// Two characters of ASCII text as UTF-16 without a mark, in either byte order: each unit is one
// NUL and one other byte, the NUL on the same side. Anything shorter, such as "a" and a NUL, is
// only a file with a NUL byte.
bool looksLikeUtf16(const unsigned char* bytes, int count) {
    if (count < 4) {
        return false;
    }
    const bool littleEndian = bytes[0] != 0 && bytes[1] == 0 && bytes[2] != 0 && bytes[3] == 0;
    const bool bigEndian = bytes[0] == 0 && bytes[1] != 0 && bytes[2] == 0 && bytes[3] != 0;
    return littleEndian || bigEndian;
}

// The first CR or LF in [at, end), or end. Lines are short, so a call costs more than the search:
// sixteen bytes are looked at a time where the processor has the instructions, and eight where
// the byte order allows it: a byte of the word equal to CR or LF has the top bit of its
// difference set, and the lowest such byte is always a true one.
const char* findLineEnd(const char* at, const char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - at >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const int found =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)));
        if (found != 0) {
            return at + __builtin_ctz(static_cast<unsigned>(found));
        }
        at += 16;
    }
#endif
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr std::uint64_t kOnes = 0x0101010101010101U;
    constexpr std::uint64_t kHighs = kOnes * 0x80;
    while (end - at >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, 8);
        const std::uint64_t lf = word ^ (kOnes * '\n');
        const std::uint64_t cr = word ^ (kOnes * '\r');
        const std::uint64_t found = (((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHighs;
        if (found != 0) {
            return at + (__builtin_ctzll(found) >> 3);
        }
        at += 8;
    }
#endif
    while (at < end && *at != '\n' && *at != '\r') {
        ++at;
    }
    return at;
}

std::size_t alignedUp(std::size_t offset) {
    return (offset + alignof(Section) - 1) & ~(alignof(Section) - 1);
}

}  // namespace

SectionParser::SectionParser(SectionList& list, std::int64_t memoryBudget)
    : list_(list),
      memoryBudget_(memoryBudget),
      nextBlock_(kFirstBlock),
      nextNodeBlock_(kFirstNodeBlock) {}

bool SectionParser::refuse(CauseKind kind) {
    why_ = causeOf(kind);
    return false;
}

// Whether a block of `bytes` may be taken, `given` bytes of blocks being given back for it: the
// blocks may not pass the budget.
bool SectionParser::affordable(std::int64_t bytes, std::int64_t given) const {
    return bytes <=
           memoryBudget_ - (taken_ - given) - static_cast<std::int64_t>(sizeof(SectionBlock));
}

// Makes room for `extra` more bytes past at_: the body block grown when the body being collected
// is all it holds, or else a new block that the body moves to.
bool SectionParser::grow(std::size_t extra) {
    const auto used = static_cast<std::size_t>(at_ - body_);
    const bool alone = bodyBlock_ != nullptr && body_ == bytesOf(bodyBlock_);
    const std::int64_t given =
        alone ? static_cast<std::int64_t>(sizeof(SectionBlock) + bodyBlock_->size) : 0;
    if (extra > static_cast<std::size_t>(INT64_MAX / 2) - used ||
        !affordable(static_cast<std::int64_t>(used + extra), given)) {
        return refuse(CauseKind::tooLargeForMemory);
    }
    const std::size_t needed = used + extra;
    // Where the budget does not leave room for the block it would be, only what is needed: the
    // rest must stay for the nodes and headers, which take blocks of their own.
    const std::int64_t available =
        memoryBudget_ - (taken_ - given) - static_cast<std::int64_t>(sizeof(SectionBlock));
    const std::size_t preferred = std::max(nextBlock_, needed + needed / 2);
    const std::size_t size = static_cast<std::int64_t>(preferred) <= available ? preferred : needed;
    const std::ptrdiff_t lineAt = line_ - body_;
    if (alone) {
        bodyBlock_ = resizeSectionBlock(list_, bodyBlock_, size);
    } else {
        SectionBlock* block = addSectionBlock(list_, size);
        if (used > 0) {
            std::memcpy(bytesOf(block), body_, used);
        }
        bodyBlock_ = block;
        nextBlock_ = std::min(nextBlock_ * 2, kLargestBlock);
    }
    taken_ += static_cast<std::int64_t>(sizeof(SectionBlock) + size) - given;
    body_ = bytesOf(bodyBlock_);
    end_ = body_ + size;
    line_ = body_ + lineAt;
    at_ = body_ + used;
    return true;
}

// Places the node of the section that a header of `headerLength` characters starts, and room for
// its header, in a node block.
bool SectionParser::placeNode(std::size_t headerLength) {
    const std::size_t size = sizeof(Section) + alignedUp(headerLength + 1 + kHeaderSlack);
    if (static_cast<std::size_t>(nodeEnd_ - nodeAt_) < size) {
        std::size_t blockSize = std::max(nextNodeBlock_, size);
        if (!affordable(static_cast<std::int64_t>(blockSize), 0)) {
            blockSize = size;  // the budget may still leave room for this one
            if (!affordable(static_cast<std::int64_t>(blockSize), 0)) {
                return refuse(CauseKind::tooLargeForMemory);
            }
        }
        SectionBlock* block = addSectionBlock(list_, blockSize);
        taken_ += static_cast<std::int64_t>(sizeof(SectionBlock) + blockSize);
        nodeAt_ = bytesOf(block);
        nodeEnd_ = nodeAt_ + blockSize;
        nextNodeBlock_ = std::min(nextNodeBlock_ * 2, kLargestNodeBlock);
    }
    section_ = nodeAt_;
    section_[sizeof(Section)] = '\0';  // an empty header, until one is copied in
    nodeAt_ += size;
    // A header near the longest line a Text holds leaves less slack than that: its capacity is
    // still one a Text can hold, and a longer number then takes a place of its own.
    headerCapacity_ = static_cast<std::int32_t>(
        std::min<std::size_t>(size - sizeof(Section), static_cast<std::size_t>(INT32_MAX)));
    return true;
}

bool SectionParser::feed(const char* bytes, std::size_t count) {
    while (!encodingKnown_ && count > 0 && !refused()) {
        firstBytes_[firstByteCount_++] = static_cast<unsigned char>(*bytes++);
        --count;
        if (firstByteCount_ == static_cast<int>(sizeof firstBytes_) && !decideEncoding()) {
            return false;
        }
    }
    return !refused() && decodeText(bytes, count);
}

// Called once the first four bytes are in, or at the end of a shorter file.
bool SectionParser::decideEncoding() {
    encodingKnown_ = true;
    const unsigned char* start = firstBytes_;
    int count = firstByteCount_;
    // UTF-32's little-endian mark begins like UTF-16's, so it is tested first.
    if (startsWith(start, count, "\xFF\xFE\0\0", 4) ||
        startsWith(start, count, "\0\0\xFE\xFF", 4)) {
        return refuse(CauseKind::utf32);
    }
    int markLength = 0;
    if (startsWith(start, count, "\xEF\xBB\xBF", 3)) {
        list_.encoding = FileEncoding::utf8WithMark;
        markLength = 3;
    } else if (startsWith(start, count, "\xFF\xFE", 2)) {
        list_.encoding = FileEncoding::utf16LittleEndian;
        markLength = 2;
    } else if (startsWith(start, count, "\xFE\xFF", 2)) {
        list_.encoding = FileEncoding::utf16BigEndian;
        markLength = 2;
    } else if (looksLikeUtf16(start, count)) {
        return refuse(CauseKind::utf16WithoutMark);
    }
    utf16_ = Utf16Decoder(byteOrderOf(list_.encoding));
    return decodeText(reinterpret_cast<const char*>(start + markLength),
                      static_cast<std::size_t>(count - markLength));
}

bool SectionParser::decodeText(const char* bytes, std::size_t count) {
    if (count == 0) {
        return true;  // `bytes` may be null then, which memchr must not see
    }
    if (!isUtf16(list_.encoding)) {
        if (std::memchr(bytes, '\0', count) != nullptr) {
            return refuse(CauseKind::nulByte);
        }
        return splitLines(bytes, count);
    }
    char decoded[Utf16Decoder::maxDecodedSize(kUtf16Piece)];
    while (count > 0) {
        const std::size_t piece = count < kUtf16Piece ? count : kUtf16Piece;
        std::size_t decodedCount = 0;
        if (!utf16_.decode(bytes, piece, decoded, decodedCount, why_) ||
            !splitLines(decoded, decodedCount)) {
            return false;
        }
        bytes += piece;
        count -= piece;
    }
    return true;
}

bool SectionParser::splitLines(const char* chars, std::size_t count) {
    const char* const end = chars + count;
    if (lineEndedByCr_ && chars < end) {
        lineEndedByCr_ = false;
        if (*chars == '\n') {
            ++chars;  // the LF of a CR LF split between chunks
        } else {
            list_.lineEndsAsWritten = false;  // a CR on its own
        }
    }
    while (chars < end) {
        // A line ends at CR LF, at LF, or at a CR that no LF follows.
        const char* const stop = findLineEnd(chars, end);
        const auto length = static_cast<std::size_t>(stop - chars);
        if (static_cast<std::int64_t>(length) + (at_ - line_) > Text::maxLength) {
            return refuse(CauseKind::lineTooLong);
        }
        if (!room(length + 1)) {  // and the line's '\n' or the body's terminator
            return false;
        }
        std::memcpy(at_, chars, length);
        at_ += length;
        if (stop == end) {
            return true;  // the line goes on in the next chunk
        }
        chars = stop + 1;
        if (*stop == '\r' && chars == end) {
            lineEndedByCr_ = true;  // an LF may start the next chunk
        } else if (*stop == '\r' && *chars == '\n') {
            ++chars;  // CR LF, as the file is written
        } else {
            list_.lineEndsAsWritten = false;  // an LF or a CR on its own
        }
        if (!endLine()) {
            return false;
        }
    }
    return true;
}

// The line in [line_, at_) has ended.
bool SectionParser::endLine() {
    const char* first = line_;
    while (first < at_ && (*first == ' ' || *first == '\t')) {
        ++first;
    }
    if (first < at_ && *first == '[') {
        return startSection();
    }
    if (at_ - body_ + 1 > Text::maxLength) {
        return refuse(CauseKind::sectionTooLarge);
    }
    *at_++ = '\n';  // room was made for it with the line
    line_ = at_;
    return true;
}

// The line in [line_, at_) is a header line: the section being collected ends before it, and it
// heads the next one.
bool SectionParser::startSection() {
    const auto headerLength = static_cast<std::size_t>(at_ - line_);
    // Nothing standing before the first header line makes no section.
    const bool keep = headerLength_ != 0 || line_ != body_;
    if (keep && section_ == nullptr && !placeNode(0)) {
        return false;  // the leading section's node, placed only now that it has lines
    }
    char* const ending = section_;
    const std::int32_t endingCapacity = headerCapacity_;
    if (!placeNode(headerLength)) {
        return false;
    }
    char* const header = section_ + sizeof(Section);
    std::memcpy(header, line_, headerLength);
    header[headerLength] = '\0';
    if (keep) {
        char* const next = section_;
        const std::int32_t nextCapacity = headerCapacity_;
        section_ = ending;
        headerCapacity_ = endingCapacity;
        linkCollected(line_);  // the old body ends where the header stood
        section_ = next;
        headerCapacity_ = nextCapacity;
        body_ = line_ + 1;
    }
    headerLength_ = static_cast<std::int32_t>(headerLength);
    line_ = at_ = body_;
    return true;
}

// Links the section being collected, whose body ends at `bodyEnd`, and terminates its body.
void SectionParser::linkCollected(char* bodyEnd) {
    *bodyEnd = '\0';
    char* const header = section_ + sizeof(Section);
    const auto bodyLength = static_cast<std::int32_t>(bodyEnd - body_);
    auto* node = new (section_) Section{Text::over(header, headerLength_, headerCapacity_),
                                        Text::over(body_, bodyLength, bodyLength + 1)};
    linkSection(node, list_);
}

bool SectionParser::finish() {
    if (!encodingKnown_ && !refused() && !decideEncoding()) {
        return false;
    }
    if (refused() || (isUtf16(list_.encoding) && !utf16_.finish(why_))) {
        return false;
    }
    if (lineEndedByCr_) {
        list_.lineEndsAsWritten = false;  // a CR on its own at the very end
    }
    if (at_ != line_) {
        list_.lineEndsAsWritten = false;  // a last line without a line end gets one
        if (!endLine()) {
            return false;
        }
    }
    // Even when empty, so that a list always holds a section.
    if (!room(1) || (section_ == nullptr && !placeNode(0))) {
        return false;
    }
    linkCollected(at_);
    return true;
}

bool parseSections(const char* bytes, std::size_t count, SectionList& list, Cause& why) {
    SectionParser parser(list);
    if (parser.feed(bytes, count) && parser.finish()) {
        return true;
    }
    why = parser.why();
    discardSections(list);
    return false;
}
