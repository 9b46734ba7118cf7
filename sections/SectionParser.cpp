#include "sections/SectionParser.h"

#include <cstring>
#include <utility>

namespace {

// Bodies up to this size are handed to their section as exact-fit copies, so the reused
// collecting buffer's slack is paid once rather than once per section; a larger body is moved,
// which spares a second copy of it.
constexpr std::int32_t kCopyLimit = 1 << 20;

bool isHeaderLine(const char* chars, std::size_t count) {
    std::size_t i = 0;
    while (i < count && (chars[i] == ' ' || chars[i] == '\t')) {
        ++i;
    }
    return i < count && chars[i] == '[';
}

bool fits(const Text& text, std::size_t extra) {
    return extra <= static_cast<std::size_t>(Text::maxLength - text.length());
}

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

// What one allocation costs beyond the bytes asked for: the allocator's header and rounding.
constexpr std::int64_t kAllocationOverhead = 4 * sizeof(void*);

}  // namespace

SectionParser::SectionParser(SectionList& list, std::int64_t memoryBudget)
    : list_(list), memoryBudget_(memoryBudget) {}

bool SectionParser::refuse(CauseKind kind) {
    why_ = causeOf(kind);
    return false;
}

// Refuses the file when holding `extra` more bytes would pass the budget.
bool SectionParser::charge(std::int64_t extra) {
    if (sectionsCost_ + body_.capacity() + line_.capacity() + extra > memoryBudget_) {
        return refuse(CauseKind::tooLargeForMemory);
    }
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
    while (count > 0) {
        if (lineEndedByCr_) {
            lineEndedByCr_ = false;
            if (*chars == '\n') {  // the LF of a CR LF, perhaps split between chunks
                ++chars;
                --count;
                continue;
            }
            list_.lineEndsAsWritten = false;  // a CR on its own
        }
        // A lone CR ends a line too. Looking for it only inside the line up to the next LF keeps
        // the search linear however rare LFs are.
        const auto* lf = static_cast<const char*>(std::memchr(chars, '\n', count));
        const std::size_t upToLf = lf != nullptr ? static_cast<std::size_t>(lf - chars) : count;
        const auto* cr = static_cast<const char*>(std::memchr(chars, '\r', upToLf));
        const char* lineEnd = cr != nullptr ? cr : lf;
        const std::size_t lineLength =
            lineEnd != nullptr ? static_cast<std::size_t>(lineEnd - chars) : count;
        if (!fits(line_, lineLength)) {
            return refuse(CauseKind::lineTooLong);
        }
        if (lineEnd == nullptr) {
            if (!charge(static_cast<std::int64_t>(lineLength))) {
                return false;
            }
            line_.append(chars, lineLength);
            return true;
        }
        bool ended = false;
        if (line_.empty()) {
            ended = endLine(chars, lineLength);  // the whole line is in this chunk: no copy needed
        } else {
            line_.append(chars, lineLength);
            ended = endLine(line_.c_str(), static_cast<std::size_t>(line_.length()));
        }
        if (!ended) {
            return false;
        }
        line_.clear();
        lineEndedByCr_ = cr != nullptr;
        if (cr == nullptr) {
            list_.lineEndsAsWritten = false;  // an LF on its own
        }
        chars += lineLength + 1;
        count -= lineLength + 1;
    }
    return true;
}

bool SectionParser::endLine(const char* chars, std::size_t count) {
    if (isHeaderLine(chars, count)) {
        if (!closeSection()) {
            return false;
        }
        header_.append(chars, count);
        return true;
    }
    if (!fits(body_, count + 1)) {
        return refuse(CauseKind::sectionTooLarge);
    }
    if (!charge(static_cast<std::int64_t>(count) + 1)) {
        return false;
    }
    body_.reserve(std::int64_t{body_.length()} + static_cast<std::int64_t>(count) + 2);
    body_.append(chars, count);
    body_.append("\n", 1);
    return true;
}

bool SectionParser::closeSection() {
    if (header_.empty() && body_.empty()) {
        return true;  // nothing stood before the first header line
    }
    return handOver();
}

// Counts what the section about to be handed over will hold, its body taking `keptBody` bytes.
bool SectionParser::account(std::int64_t keptBody) {
    sectionsCost_ += static_cast<std::int64_t>(sizeof(Section)) + header_.length() + 1 + keptBody +
                     3 * kAllocationOverhead;
    return charge(0);
}

bool SectionParser::handOver() {
    if (body_.length() <= kCopyLimit) {
        if (!account(body_.length() + 1)) {
            return false;
        }
        appendSection(header_, body_, list_);
        body_.clear();
    } else {
        if (!account(body_.capacity())) {
            return false;
        }
        appendSection(header_, std::move(body_), list_);  // leaves body_ empty
    }
    header_.clear();
    return true;
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
    if (!line_.empty()) {
        list_.lineEndsAsWritten = false;  // a last line without a line end gets one
        if (!endLine(line_.c_str(), static_cast<std::size_t>(line_.length()))) {
            return false;
        }
        line_.clear();
    }
    return handOver();  // even when empty, so that a list always holds a section
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
