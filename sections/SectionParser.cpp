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

}  // namespace

SectionParser::SectionParser(SectionList& list) : list_(list) {}

bool SectionParser::refuse(const char* why) {
    failed_ = true;
    failure_ = why;
    return false;
}

bool SectionParser::feed(const char* bytes, std::size_t count) {
    if (failed_) {
        return false;
    }
    if (std::memchr(bytes, '\0', count) != nullptr) {
        return refuse("contains a NUL byte, so it is not a plain text file");
    }
    while (!startSettled_ && count > 0) {
        start_[startCount_++] = static_cast<unsigned char>(*bytes++);
        --count;
        if (startCount_ == 3) {
            settleStart();
        }
    }
    return take(bytes, count);
}

void SectionParser::settleStart() {
    startSettled_ = true;
    static const unsigned char kByteOrderMark[3] = {0xEF, 0xBB, 0xBF};
    if (startCount_ == 3 && std::memcmp(start_, kByteOrderMark, 3) == 0) {
        list_.byteOrderMark = true;
        return;
    }
    take(reinterpret_cast<const char*>(start_), static_cast<std::size_t>(startCount_));
}

bool SectionParser::take(const char* bytes, std::size_t count) {
    while (count > 0 && !failed_) {
        const auto* lf = static_cast<const char*>(std::memchr(bytes, '\n', count));
        const std::size_t piece = lf != nullptr ? static_cast<std::size_t>(lf - bytes) : count;
        if (!fits(line_, piece)) {
            return refuse("has a line too long for this program to hold");
        }
        if (lf == nullptr) {
            line_.append(bytes, piece);
            return true;
        }
        if (line_.empty()) {
            endLine(bytes, piece, true);  // the whole line is in this chunk: no copy needed
        } else {
            line_.append(bytes, piece);
            endLine(line_.c_str(), static_cast<std::size_t>(line_.length()), true);
        }
        line_.clear();
        bytes += piece + 1;
        count -= piece + 1;
    }
    return !failed_;
}

bool SectionParser::endLine(const char* chars, std::size_t count, bool brokenByLf) {
    if (brokenByLf && count > 0 && chars[count - 1] == '\r') {
        --count;
    }
    if (isHeaderLine(chars, count)) {
        closeSection();
        header_.append(chars, count);
        return true;
    }
    if (!fits(body_, count + 1)) {
        return refuse("has a section too large for this program to hold");
    }
    body_.reserve(std::int64_t{body_.length()} + static_cast<std::int64_t>(count) + 2);
    body_.append(chars, count);
    body_.append("\n", 1);
    return true;
}

void SectionParser::closeSection() {
    if (header_.empty() && body_.empty()) {
        return;  // nothing stood before the first header line
    }
    handOver();
}

void SectionParser::handOver() {
    if (body_.length() <= kCopyLimit) {
        appendSection(header_, body_, list_);
        body_.clear();
    } else {
        appendSection(header_, std::move(body_), list_);  // leaves body_ empty
    }
    header_.clear();
}

bool SectionParser::finish() {
    if (failed_) {
        return false;
    }
    if (!startSettled_) {
        settleStart();
    }
    if (!line_.empty() && !failed_) {
        endLine(line_.c_str(), static_cast<std::size_t>(line_.length()), false);
        line_.clear();
    }
    if (failed_) {
        return false;
    }
    handOver();  // even when empty, so that a list always holds a section
    return true;
}

bool parseSections(const char* bytes, std::size_t count, SectionList& list, Text& failure) {
    SectionParser parser(list);
    if (parser.feed(bytes, count) && parser.finish()) {
        return true;
    }
    failure = parser.failure();
    if (list.head != nullptr) {
        releaseSections(list);
    }
    return false;
}
