#include "json/Json.h"

#include <algorithm>
#include <limits>

#include "text/Utf8.h"

namespace {

// Deep enough for any file list; shallow enough that a hostile file cannot exhaust the stack.
constexpr int kMostDepth = 64;

// What one allocation costs beyond the bytes asked for: the allocator's header and rounding.
constexpr std::size_t kAllocationOverhead = 4 * sizeof(void*);

class Reader {
  public:
    Reader(const std::string& document, Cause& why, std::size_t memoryBudget)
        : in_(document), why_(why), budget_(memoryBudget) {}

    bool document(JsonValue& root) {
        if (in_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            at_ = 3;
        }
        skipBlanks();
        if (!value(root, 0)) {
            return false;
        }
        skipBlanks();
        return at_ == in_.size() || fail(CauseKind::jsonMoreAfterValue);
    }

  private:
    bool fail(CauseKind kind) {
        why_ = causeOf(kind);
        why_.at = static_cast<std::int64_t>(at_);
        return false;
    }

    // Every buffer the values hold is counted before it is allocated, the one it replaces with it:
    // both stand while the content moves over.
    bool take(std::size_t bytes, std::size_t freed) {
        if (bytes > budget_ - std::min(budget_, held_ + kAllocationOverhead)) {
            return fail(CauseKind::tooLargeForMemory);
        }
        held_ += bytes + kAllocationOverhead;
        held_ -= freed == 0 ? 0 : std::min(held_, freed + kAllocationOverhead);
        return true;
    }

    // Room for one more element, grown geometrically as the vector would grow itself.
    template <typename T>
    bool roomForOne(std::vector<T>& list) {
        if (list.size() < list.capacity()) {
            return true;
        }
        const std::size_t capacity = list.capacity() == 0 ? 1 : list.capacity() * 2;
        const std::size_t most = std::numeric_limits<std::size_t>::max() / sizeof(T);
        if (!take(capacity > most ? std::numeric_limits<std::size_t>::max() : capacity * sizeof(T),
                  list.capacity() * sizeof(T))) {
            return false;
        }
        list.reserve(capacity);
        return true;
    }

    // Room for `more` characters; a short string lives inside its object and costs nothing more.
    bool roomFor(std::string& text, std::size_t more) {
        if (text.size() + more <= text.capacity()) {
            return true;
        }
        const std::size_t capacity = std::max(text.size() + more, text.capacity() * 2);
        if (!take(capacity + 1, text.capacity() > inline_ ? text.capacity() + 1 : 0)) {
            return false;
        }
        text.reserve(capacity);
        return true;
    }

    char peek() const { return at_ < in_.size() ? in_[at_] : '\0'; }
    bool atEnd() const { return at_ >= in_.size(); }

    void skipBlanks() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++at_;
        }
    }

    bool value(JsonValue& v, int depth) {
        if (depth > kMostDepth) {
            return fail(CauseKind::jsonTooDeep);
        }
        v.begin = at_;
        bool ok = false;
        switch (peek()) {
            case '{':
                ok = object(v, depth);
                break;
            case '[':
                ok = array(v, depth);
                break;
            case '"':
                v.kind = JsonValue::Kind::string;
                ok = string(v.text);
                break;
            case 't':
                ok = literal(v, "true", JsonValue::Kind::boolean);
                break;
            case 'f':
                ok = literal(v, "false", JsonValue::Kind::boolean);
                break;
            case 'n':
                ok = literal(v, "null", JsonValue::Kind::null);
                break;
            default:
                ok = number(v);
                break;
        }
        v.end = at_;
        return ok;
    }

    bool literal(JsonValue& v, const char* word, JsonValue::Kind kind) {
        const std::string expected(word);
        if (in_.compare(at_, expected.size(), expected) != 0) {
            return fail(CauseKind::jsonValueExpected);
        }
        at_ += expected.size();
        v.kind = kind;
        if (!roomFor(v.text, expected.size())) {
            return false;
        }
        v.text = expected;
        return true;
    }

    bool digits() {
        const std::size_t start = at_;
        while (!atEnd() && peek() >= '0' && peek() <= '9') {
            ++at_;
        }
        return at_ > start;
    }

    bool number(JsonValue& v) {
        const std::size_t start = at_;
        if (peek() == '-') {
            ++at_;
        }
        if (peek() == '0') {
            ++at_;
        } else if (!(peek() >= '1' && peek() <= '9') || !digits()) {
            return fail(CauseKind::jsonValueExpected);
        }
        if (peek() == '.') {
            ++at_;
            if (!digits()) {
                return fail(CauseKind::jsonNoDigitsAfterPoint);
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') {
                ++at_;
            }
            if (!digits()) {
                return fail(CauseKind::jsonNoDigitsInExponent);
            }
        }
        v.kind = JsonValue::Kind::number;
        if (!roomFor(v.text, at_ - start)) {
            return false;
        }
        v.text.assign(in_, start, at_ - start);
        return true;
    }

    bool hex4(unsigned& unit) {
        unit = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            const char c = peek();
            unit <<= 4;
            if (c >= '0' && c <= '9') {
                unit |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                unit |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                unit |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return fail(CauseKind::jsonBadUnicodeEscape);
            }
        }
        return true;
    }

    bool escape(std::string& out) {
        const char c = peek();
        ++at_;
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out += c;
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u':
                break;
            default:
                --at_;
                return fail(CauseKind::jsonUnknownEscape);
        }
        unsigned unit = 0;
        if (!hex4(unit)) {
            return false;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return fail(CauseKind::jsonLoneSurrogate);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            unsigned low = 0;
            if (in_.compare(at_, 2, "\\u") != 0) {
                return fail(CauseKind::jsonLoneSurrogate);
            }
            at_ += 2;
            if (!hex4(low)) {
                return false;
            }
            if (low < 0xDC00 || low > 0xDFFF) {
                return fail(CauseKind::jsonLoneSurrogate);
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
        char bytes[kMostUtf8Bytes];
        out.append(bytes, putUtf8(unit, bytes));
        return true;
    }

    // One UTF-8 sequence, checked as strictly as RFC 3629 asks.
    bool utf8(std::string& out) {
        const std::size_t length = utf8SequenceAt(
            reinterpret_cast<const unsigned char*>(in_.data()) + at_, in_.size() - at_);
        if (length == 0) {
            return fail(CauseKind::jsonNotUtf8);
        }
        out.append(in_, at_, length);
        at_ += length;
        return true;
    }

    bool string(std::string& out) {
        ++at_;  // the opening quote
        out.clear();
        for (;;) {
            if (atEnd()) {
                return fail(CauseKind::jsonUnclosedString);
            }
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) {
                return fail(CauseKind::jsonControlCharacter);
            }
            if (!roomFor(out, 4)) {  // the most that one character adds
                return false;
            }
            if (c == '\\') {
                ++at_;
                if (!escape(out)) {
                    return false;
                }
            } else if (c < 0x80) {
                out += static_cast<char>(c);
                ++at_;
            } else if (!utf8(out)) {
                return false;
            }
        }
    }

    bool array(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::array;
        ++at_;
        skipBlanks();
        if (peek() == ']') {
            ++at_;
            return true;
        }
        for (;;) {
            if (!roomForOne(v.elements)) {
                return false;
            }
            v.elements.emplace_back();
            if (!value(v.elements.back(), depth + 1)) {
                return false;
            }
            skipBlanks();
            if (peek() == ']') {
                ++at_;
                return true;
            }
            if (peek() != ',') {
                return fail(CauseKind::jsonArrayNeedsCommaOrEnd);
            }
            ++at_;
            skipBlanks();
        }
    }

    bool object(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::object;
        ++at_;
        skipBlanks();
        if (peek() == '}') {
            ++at_;
            return true;
        }
        for (;;) {
            if (peek() != '"') {
                return fail(CauseKind::jsonObjectNeedsName);
            }
            if (!roomForOne(v.members)) {
                return false;
            }
            v.members.emplace_back();
            if (!string(v.members.back().first)) {
                return false;
            }
            skipBlanks();
            if (peek() != ':') {
                return fail(CauseKind::jsonObjectNeedsColon);
            }
            ++at_;
            skipBlanks();
            if (!value(v.members.back().second, depth + 1)) {
                return false;
            }
            skipBlanks();
            if (peek() == '}') {
                ++at_;
                return true;
            }
            if (peek() != ',') {
                return fail(CauseKind::jsonObjectNeedsCommaOrEnd);
            }
            ++at_;
            skipBlanks();
        }
    }

    const std::string& in_;
    Cause& why_;
    const std::size_t budget_;
    std::size_t held_ = 0;                                 // by the values so far
    const std::size_t inline_ = std::string().capacity();  // what a string holds unallocated
    std::size_t at_ = 0;
};

}  // namespace

bool parseJson(const std::string& document, JsonValue& root, Cause& why) {
    return parseJson(document, root, why, SIZE_MAX);
}

bool parseJson(const std::string& document, JsonValue& root, Cause& why, std::size_t memoryBudget) {
    root = JsonValue();
    return Reader(document, why, memoryBudget).document(root);
}
