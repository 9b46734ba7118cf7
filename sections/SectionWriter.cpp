#include "sections/SectionWriter.h"

#include <algorithm>
#include <cstring>

#include "text/Utf16.h"

namespace {

// Gathers the output into large writes; the sections hold '\n' where the file gets CR LF.
class CrLfBuffer {
  public:
    CrLfBuffer(ByteSink sink, Cause& why) : sink_(sink), why_(why) {}

    bool put(const char* bytes, std::size_t count) {
        while (count > 0) {
            if (used_ == sizeof buffer_ && !flush()) {
                return false;
            }
            std::size_t n = std::min(count, sizeof buffer_ - used_);
            std::memcpy(buffer_ + used_, bytes, n);
            used_ += n;
            bytes += n;
            count -= n;
        }
        return true;
    }

    // Each '\n' of `chars` is written as CR LF. A line that fits the buffer is copied straight
    // into it, which is every line but those at its end.
    bool putLines(const char* chars, std::size_t count) {
        const char* const end = chars + count;
        while (chars < end) {
            const auto* lf = static_cast<const char*>(
                std::memchr(chars, '\n', static_cast<std::size_t>(end - chars)));
            const char* const pieceEnd = lf != nullptr ? lf : end;
            const auto piece = static_cast<std::size_t>(pieceEnd - chars);
            if (piece + 2 <= sizeof buffer_ - used_) {
                std::memcpy(buffer_ + used_, chars, piece);
                used_ += piece;
                if (lf != nullptr) {
                    buffer_[used_++] = '\r';
                    buffer_[used_++] = '\n';
                }
            } else if (!put(chars, piece) || (lf != nullptr && !put("\r\n", 2))) {
                return false;
            }
            chars = lf != nullptr ? lf + 1 : end;
        }
        return true;
    }

    bool flush() {
        const bool ok = used_ == 0 || sink_.write(sink_.context, buffer_, used_, why_);
        used_ = 0;
        return ok;
    }

  private:
    ByteSink sink_;
    Cause& why_;
    std::size_t used_ = 0;
    char buffer_[kStreamChunk];
};

// Stands between the writer and the file for a UTF-16 file: the sections hold its text as UTF-8.
struct Utf16Sink {
    Utf16Encoder encoder;
    ByteSink file;
};

bool toUtf16(void* context, const char* bytes, std::size_t count, Cause& why) {
    auto& sink = *static_cast<Utf16Sink*>(context);
    char encoded[Utf16Encoder::maxEncodedSize(kUtf16Piece)];
    while (count > 0) {
        const std::size_t piece = std::min(count, kUtf16Piece);
        std::size_t encodedCount = 0;
        if (!sink.encoder.encode(bytes, piece, encoded, encodedCount)) {
            // The sections of a UTF-16 file hold only what its decoding produced, so this is the
            // program's own fault if it ever shows.
            why = causeOf(CauseKind::notUtf8ForUtf16);
            return false;
        }
        if (!sink.file.write(sink.file.context, encoded, encodedCount, why)) {
            return false;
        }
        bytes += piece;
        count -= piece;
    }
    return true;
}

bool writeLayout(const SectionList& list, ByteSink sink, bool withMark, Cause& why) {
    CrLfBuffer out(sink, why);
    if (withMark &&
        !out.put("\xEF\xBB\xBF", 3)) {  // U+FEFF, in whatever encoding the sink gives it
        return false;
    }
    for (const Section* s = list.head; s != nullptr; s = s->next) {
        if (!s->header.empty() &&
            !(out.put(s->header.c_str(), static_cast<std::size_t>(s->header.length())) &&
              out.put("\r\n", 2))) {
            return false;
        }
        if (!out.putLines(s->body.c_str(), static_cast<std::size_t>(s->body.length()))) {
            return false;
        }
    }
    return out.flush();
}

}  // namespace

bool writeSections(const SectionList& list, ByteSink sink, Cause& why) {
    if (!isUtf16(list.encoding)) {
        return writeLayout(list, sink, list.encoding == FileEncoding::utf8WithMark, why);
    }
    Utf16Sink utf16{Utf16Encoder(byteOrderOf(list.encoding)), sink};
    if (!writeLayout(list, ByteSink{toUtf16, &utf16}, true, why)) {
        return false;
    }
    if (!utf16.encoder.finished()) {
        why = causeOf(CauseKind::notUtf8ForUtf16);
        return false;
    }
    return true;
}
