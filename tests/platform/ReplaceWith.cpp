#include "tests/platform/ReplaceWith.h"

#include "platform/FileReplacement.h"
#include "platform/FileSystemTestHook.h"
#include "tests/support/TempFolder.h"

namespace {

void callInterference(TestMoment moment, void* context) {
    const auto& interference = *static_cast<const Interference*>(context);
    const std::function<void()>& step = moment == TestMoment::beforePlacing
                                            ? interference.atTheLastMoment
                                        : moment == TestMoment::beforeSwap ? interference.beforeSwap
                                                                           : interference.afterSwap;
    if (step) {
        step();
    }
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
    atMomentForTests = callInterference;
    noSwapForTests = interference.noSwap;
    momentContextForTests = const_cast<Interference*>(&interference);
    const bool done = commitReplacement(replacement, why);
    atMomentForTests = nullptr;
    noSwapForTests = false;
    return done ? "" : why.c_str();
}

void waitForTheFileClock(const std::filesystem::path& file) {
    const std::filesystem::path scratch = file.parent_path() / "clock.tmp";
    const auto then = std::filesystem::last_write_time(file);
    do {
        writeBytes(scratch, "tick");
    } while (std::filesystem::last_write_time(scratch) <= then);
    std::filesystem::remove(scratch);
}

std::filesystem::path leftBeside(const std::filesystem::path& folder) {
    const std::vector<std::string> left = filesIn(folder);
    return left.size() == 2 && left[0] == "aircraft.cfg" ? folder / left[1]
                                                         : std::filesystem::path();
}
