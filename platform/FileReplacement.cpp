#include "platform/FileReplacement.h"

#include "platform/FileSystem.h"

void (*beforePlacingForTests)(void* context) = nullptr;
void* beforePlacingContextForTests = nullptr;

namespace {

constexpr const char* kChanged =
    "changed while it was being processed; nothing was written, run the program again";

// The one shape of a cause that the system reports: "cannot <action>: <the system's reason>".
Text cannot(const char* action, SystemError error) {
    Text cause("cannot ");
    cause += Text(action);
    cause += Text(": ");
    cause += systemMessage(error);
    return cause;
}

bool fail(Replacement& replacement, Text& why, const Text& cause) {
    why = cause;
    abandonReplacement(replacement);
    return false;
}

// Calling the steps out of order is a mistake in the program, not a fault of the file system,
// and must not read to the user as one.
bool misused(Replacement& replacement, Text& why) {
    return fail(replacement, why, "internal error: the file replacement was used out of order");
}

}  // namespace

Replacement::~Replacement() {
    abandonReplacement(*this);
}

void prepareProcess() {
    prepareSystem();
}

bool openOriginal(const char* path, Replacement& replacement, Text& why) {
    abandonReplacement(replacement);
    replacement.state = createState();
    FileFacts facts;
    SystemError error = 0;
    if (!openFile(*replacement.state, path, facts, error)) {
        return fail(replacement, why, cannot("open it", error));
    }
    if (!facts.regular) {
        return fail(replacement, why, "is not a regular file");
    }
    replacement.stage = ReplacementStage::reading;
    replacement.expectedSize = facts.size;
    replacement.bytesRead = 0;
    return true;
}

bool readOriginal(Replacement& replacement, char* buffer, std::size_t capacity, std::size_t& got,
                  Text& why) {
    got = 0;
    if (replacement.stage != ReplacementStage::reading) {
        return misused(replacement, why);
    }
    // Asking for one byte more than remains tells a file that grew from one that ended.
    const std::int64_t remaining = replacement.expectedSize - replacement.bytesRead;
    const std::size_t wanted = remaining + 1 < static_cast<std::int64_t>(capacity)
                                   ? static_cast<std::size_t>(remaining + 1)
                                   : capacity;
    SystemError error = 0;
    if (!readFile(*replacement.state, buffer, wanted, got, error)) {
        return fail(replacement, why, cannot("read it", error));
    }
    replacement.bytesRead += static_cast<std::int64_t>(got);
    if (replacement.bytesRead > replacement.expectedSize ||
        (got == 0 && replacement.bytesRead != replacement.expectedSize)) {
        got = 0;
        return fail(replacement, why, kChanged);
    }
    if (got == 0) {
        closeFile(*replacement.state);
        replacement.stage = ReplacementStage::read;
    }
    return true;
}

bool beginReplacement(Replacement& replacement, Text& why) {
    if (replacement.stage != ReplacementStage::read) {
        return misused(replacement, why);
    }
    if (isReadOnly(*replacement.state)) {
        return fail(replacement, why, "is read-only, so it was not replaced");
    }
    SystemError error = 0;
    if (!createTemporary(*replacement.state, error)) {
        return fail(replacement, why, cannot("create a temporary file beside it", error));
    }
    replacement.stage = ReplacementStage::writing;
    if (!copyAttributes(*replacement.state, error)) {
        return fail(replacement, why,
                    cannot("give the new file the old one's owner and permissions", error));
    }
    return true;
}

bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Text& why) {
    if (replacement.stage != ReplacementStage::writing) {
        return misused(replacement, why);
    }
    while (count > 0) {
        std::size_t written = 0;
        SystemError error = 0;
        if (!writeTemporary(*replacement.state, bytes, count, written, error)) {
            return fail(replacement, why, cannot("write the new content", error));
        }
        bytes += written;
        count -= written;
    }
    return true;
}

bool commitReplacement(Replacement& replacement, Text& why) {
    if (replacement.stage != ReplacementStage::writing) {
        return misused(replacement, why);
    }
    SystemError error = 0;
    if (!flushTemporary(*replacement.state, error)) {
        return fail(replacement, why, cannot("flush the new content to disk", error));
    }
    if (!closeTemporary(*replacement.state, error)) {
        return fail(replacement, why, cannot("close the new content", error));
    }
    if (beforePlacingForTests != nullptr) {
        beforePlacingForTests(beforePlacingContextForTests);
    }
    switch (placeTemporary(*replacement.state, error)) {
        case PlaceResult::placed:
            break;
        case PlaceResult::fileChanged:
            return fail(replacement, why, kChanged);
        case PlaceResult::failed:
            return fail(replacement, why, cannot("replace the file", error));
    }
    destroyState(replacement.state);
    replacement.state = nullptr;
    replacement.stage = ReplacementStage::none;
    return true;
}

void abandonReplacement(Replacement& replacement) {
    if (replacement.state != nullptr) {
        destroyState(replacement.state);
        replacement.state = nullptr;
    }
    replacement.stage = ReplacementStage::none;
}
