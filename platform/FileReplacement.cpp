#include "platform/FileReplacement.h"

#include "platform/FileSystem.h"
#include "platform/FileSystemTestHook.h"

void (*atMomentForTests)(TestMoment moment, void* context) = nullptr;
void* momentContextForTests = nullptr;
bool noSwapForTests = false;

namespace {

using os::SystemError;

// Frees the platform's record; the name of a temporary file it could not remove, if any.
Text finish(Replacement& replacement) {
    Text leftBehind;
    if (replacement.files != nullptr) {
        leftBehind = os::destroyFiles(replacement.files);
        replacement.files = nullptr;
    }
    replacement.step = ReplacementStep::none;
    return leftBehind;
}

constexpr const char* kChanged =
    "changed while it was being processed; nothing was written, run the program again";
// When another program saved twice while the name was being swapped, its later save comes back
// where the new content stood, and is kept there.
constexpr const char* kChangedTwice =
    "changed while it was being processed; nothing was written, and another program's save was "
    "left as ";
// Where names cannot be swapped, the file read is moved aside first; when another program saves
// at its name meanwhile, that save stays and the file read is left where it was moved.
constexpr const char* kMovedAside =
    "changed while it was being processed; nothing was written, another program's save took its "
    "place and the file as it was read was left as ";

// The one shape of a cause that the system reports: "cannot <action>: <the system's reason>".
Text cannot(const char* action, SystemError error) {
    Text cause("cannot ");
    cause += Text(action);
    cause += Text(": ");
    cause += os::systemMessage(error);
    return cause;
}

// Ends the replacement and says why; and, where the folder let the temporary file be made but
// not removed, where it was left, so that the user can delete it.
bool fail(Replacement& replacement, Text& why, const Text& cause) {
    why = cause;
    const Text leftBehind = finish(replacement);
    if (!leftBehind.empty()) {
        why += Text("; the unfinished new content could not be removed, delete ");
        why += leftBehind;
    }
    return false;
}

// Calling the steps out of order is a mistake in the program, not a fault of the file system,
// and must not read to the user as one.
bool misused(Replacement& replacement, Text& why) {
    return fail(replacement, why,
                "cannot replace the file: the program took its steps out of order");
}

}  // namespace

Replacement::~Replacement() {
    abandonReplacement(*this);
}

void prepareProcess() {
    os::prepareProcess();
}

void settleExitStatus(int status) {
    os::settleExitStatus(status);
}

bool openOriginal(const char* path, Replacement& replacement, Text& why) {
    abandonReplacement(replacement);
    replacement.attributesNotKept.clear();
    replacement.files = os::createFiles();
    os::FileFacts facts;
    SystemError error = 0;
    if (!os::openOriginal(*replacement.files, path, facts, error)) {
        return fail(replacement, why, cannot("open it", error));
    }
    if (facts.changed) {
        return fail(replacement, why, kChanged);
    }
    if (!facts.regular) {
        return fail(replacement, why, "is not a regular file");
    }
    replacement.step = ReplacementStep::reading;
    replacement.expectedSize = facts.size;
    replacement.originalLastWriteTicks = facts.lastWriteTicks;
    replacement.bytesRead = 0;
    return true;
}

bool readOriginal(Replacement& replacement, char* buffer, std::size_t capacity, std::size_t& got,
                  Text& why) {
    got = 0;
    if (replacement.step != ReplacementStep::reading) {
        return misused(replacement, why);
    }
    // Asking for one byte more than remains tells a file that grew from one that ended.
    const std::int64_t remaining = replacement.expectedSize - replacement.bytesRead;
    const std::size_t wanted = remaining + 1 < static_cast<std::int64_t>(capacity)
                                   ? static_cast<std::size_t>(remaining + 1)
                                   : capacity;
    SystemError error = 0;
    if (!os::readOriginal(*replacement.files, buffer, wanted, got, error)) {
        return fail(replacement, why, cannot("read it", error));
    }
    replacement.bytesRead += static_cast<std::int64_t>(got);
    if (replacement.bytesRead > replacement.expectedSize ||
        (got == 0 && replacement.bytesRead != replacement.expectedSize)) {
        got = 0;
        return fail(replacement, why, kChanged);
    }
    if (got == 0) {
        os::closeOriginal(*replacement.files);
        replacement.step = ReplacementStep::read;
    }
    return true;
}

bool beginReplacement(Replacement& replacement, Text& why) {
    if (replacement.step != ReplacementStep::read) {
        return misused(replacement, why);
    }
    if (os::isReadOnly(*replacement.files)) {
        return fail(replacement, why, "is read-only, so it was not replaced");
    }
    SystemError error = 0;
    if (!os::createTemporary(*replacement.files, error)) {
        return fail(replacement, why, cannot("create a temporary file beside it", error));
    }
    replacement.step = ReplacementStep::writing;
    return true;
}

bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Text& why) {
    if (replacement.step != ReplacementStep::writing) {
        return misused(replacement, why);
    }
    while (count > 0) {
        std::size_t written = 0;
        SystemError error = 0;
        if (!os::writeTemporary(*replacement.files, bytes, count, written, error)) {
            return fail(replacement, why, cannot("write the new content", error));
        }
        bytes += written;
        count -= written;
    }
    return true;
}

bool sealReplacement(Replacement& replacement, SealedFacts& facts, Text& why) {
    if (replacement.step != ReplacementStep::writing) {
        return misused(replacement, why);
    }
    SystemError error = 0;
    if (!os::copyAttributes(*replacement.files, replacement.attributesNotKept, error)) {
        return fail(replacement, why,
                    cannot("give the new file the old one's owner and permissions", error));
    }
    if (!os::flushTemporary(*replacement.files, error)) {
        return fail(replacement, why, cannot("flush the new content to disk", error));
    }
    if (!os::closeTemporary(*replacement.files, error)) {
        return fail(replacement, why, cannot("close the new content", error));
    }
    if (!os::temporaryFacts(*replacement.files, facts.size, facts.lastWriteTicks, error)) {
        return fail(replacement, why, cannot("read back the new content's size and time", error));
    }
    replacement.step = ReplacementStep::sealed;
    return true;
}

bool commitReplacement(Replacement& replacement, Text& why) {
    SealedFacts facts;
    if (replacement.step == ReplacementStep::writing && !sealReplacement(replacement, facts, why)) {
        return false;
    }
    if (replacement.step != ReplacementStep::sealed) {
        return misused(replacement, why);
    }
    reachMomentForTests(TestMoment::beforePlacing);
    SystemError error = 0;
    switch (os::placeTemporary(*replacement.files, error)) {
        case os::PlaceResult::placed:
            break;
        case os::PlaceResult::fileChanged: {
            bool original = false;
            const Text aside = os::keptAside(*replacement.files, original);
            if (!aside.empty()) {
                return fail(replacement, why,
                            Text(original ? kMovedAside : kChangedTwice) + aside +
                                Text(", run the program again"));
            }
            return fail(replacement, why, kChanged);
        }
        case os::PlaceResult::failed:
            return fail(replacement, why, cannot("replace the file", error));
    }
    abandonReplacement(replacement);  // only frees the record: the temporary name is gone
    return true;
}

void abandonReplacement(Replacement& replacement) {
    finish(replacement);
}

ByteSource originalBytes(Replacement& replacement) {
    return ByteSource{
        [](void* context, char* buffer, std::size_t capacity, std::size_t& got, Text& why) {
            return readOriginal(*static_cast<Replacement*>(context), buffer, capacity, got, why);
        },
        &replacement};
}

ByteSink replacementBytes(Replacement& replacement) {
    return ByteSink{[](void* context, const char* bytes, std::size_t count, Text& why) {
                        return writeReplacement(*static_cast<Replacement*>(context), bytes, count,
                                                why);
                    },
                    &replacement};
}
