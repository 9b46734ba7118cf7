#include "tests/platform/ReplaceWith.h"

#include "platform/FileReplacement.h"
#include "platform/FileSystemTestHook.h"

namespace {

void callLastMoment(void* context) {
    (*static_cast<const std::function<void()>*>(context))();
}

}  // namespace

std::string replaceWith(const std::filesystem::path& target, const std::string& content,
                        const Interference& interference) {
    Replacement replacement;
    Text why;
    if (!openOriginal(target.string().c_str(), replacement, why)) {
        return why.c_str();
    }
    char piece[4];
    std::size_t got = 0;
    bool first = true;
    do {
        if (!readOriginal(replacement, piece, sizeof piece, got, why)) {
            return why.c_str();
        }
        if (first && interference.duringRead) {
            interference.duringRead();
        }
        first = false;
    } while (got > 0);
    if (!beginReplacement(replacement, why) ||
        !writeReplacement(replacement, content.data(), content.size(), why)) {
        return why.c_str();
    }
    if (interference.beforeCommit) {
        interference.beforeCommit();
    }
    if (interference.atTheLastMoment) {
        beforePlacingForTests = callLastMoment;
        beforePlacingContextForTests =
            const_cast<std::function<void()>*>(&interference.atTheLastMoment);
    }
    const bool done = commitReplacement(replacement, why);
    beforePlacingForTests = nullptr;
    return done ? "" : why.c_str();
}
