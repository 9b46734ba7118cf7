#include "tests/files/ReplaceWith.h"

#include <string>

#include "files/FileReplacement.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"

namespace {

using os::Done;

Interference::Renames gRenames = Interference::Renames::all;
Fault gFault = Fault::none;
int gCallsBefore = 0;

// Whether this call of `step`'s primitive is the one that fails.
bool failsNow(Fault step) {
    if (CallsDouble::eachCall != nullptr) {
        CallsDouble::eachCall();
    }
    return gFault == step && gCallsBefore-- == 0;
}

// An error that every system words, for the cause.
constexpr os::SystemError kInjected = 5;  // EIO on POSIX, ERROR_ACCESS_DENIED on Windows

const os::Calls& real() {
    static const os::Calls system;
    return system;
}

// The interference of the replacement under way, reached at its moments.
const Interference* gInterference = nullptr;

void callInterference(os::Moment moment) {
    if (gInterference == nullptr) {
        return;
    }
    const std::function<void()>& step =
        moment == os::Moment::beforePlacing ? gInterference->atTheLastMoment
        : moment == os::Moment::beforeSwap  ? gInterference->beforeSwap
                                            : gInterference->afterSwap;
    if (step) {
        step();
    }
}

os::Calls doubled() {
    os::Calls calls = real();
    calls.createTemporary = [](os::Files& files, const Text& path, os::SystemError& error) {
        return failsNow(Fault::create) ? (error = kInjected, Done::failed)
                                       : real().createTemporary(files, path, error);
    };
    calls.writeTemporary = [](os::Files& files, const char* bytes, std::size_t count,
                              std::size_t& written, os::SystemError& error) {
        return failsNow(Fault::write) ? (error = kInjected, false)
                                      : real().writeTemporary(files, bytes, count, written, error);
    };
    calls.copyAttributes = [](os::Files& files, Text& notKept, os::SystemError& error) {
        return failsNow(Fault::attributes) ? (error = kInjected, false)
                                           : real().copyAttributes(files, notKept, error);
    };
    calls.flushTemporary = [](os::Files& files, os::SystemError& error) {
        return failsNow(Fault::flush) ? (error = kInjected, false)
                                      : real().flushTemporary(files, error);
    };
    calls.closeTemporary = [](os::Files& files, os::SystemError& error) {
        // A close that fails has still closed the file, as the systems document.
        const bool closed = real().closeTemporary(files, error);
        return failsNow(Fault::close) ? (error = kInjected, false) : closed;
    };
    calls.statusAt = [](const Text& path, os::Links links, os::Status& status,
                        os::SystemError& error) {
        return failsNow(Fault::identity) ? (error = kInjected, Done::failed)
                                         : real().statusAt(path, links, status, error);
    };
    calls.exchange = [](const Text& a, const Text& b, os::SystemError& error) {
        if (gRenames != Interference::Renames::all) {
            return Done::unsupported;
        }
        return failsNow(Fault::exchange) ? (error = kInjected, Done::failed)
                                         : real().exchange(a, b, error);
    };
    calls.renameIfFree = [](os::Files& files, const Text& from, const Text& to,
                            os::SystemError& error) {
        if (gRenames == Interference::Renames::renameOnly) {
            return Done::unsupported;
        }
        return failsNow(Fault::renameIfFree) ? (error = kInjected, Done::failed)
                                             : real().renameIfFree(files, from, to, error);
    };
    calls.renameOver = [](const Text& from, const Text& to, os::SystemError& error) {
        return failsNow(Fault::renameOver) ? (error = kInjected, Done::failed)
                                           : real().renameOver(from, to, error);
    };
    calls.remove = [](const Text& path, os::SystemError& error) {
        const std::string name = path.c_str();
        const bool probe = name.size() > 2 && (name.compare(name.size() - 2, 2, ".a") == 0 ||
                                               name.compare(name.size() - 2, 2, ".b") == 0);
        return failsNow(probe ? Fault::removeProbe : Fault::remove)
                   ? (error = kInjected, Done::failed)
                   : real().remove(path, error);
    };
    calls.listFolder = [](const Text& folder,
                          void (*visit)(void* context, const ListedEntry& entry), void* context,
                          os::SystemError& error) {
        return failsNow(Fault::listFolder) ? (error = kInjected, false)
                                           : real().listFolder(folder, visit, context, error);
    };
    calls.listHeld = [](const HeldFolder& folder,
                        void (*visit)(void* context, const ListedEntry& entry), void* context,
                        os::SystemError& error) {
        if (failsNow(Fault::listFolder)) {
            error = kInjected;
            return false;
        }
        const bool listed = real().listHeld(folder, visit, context, error);
        return failsNow(Fault::listPartWay) ? (error = kInjected, false) : listed;
    };
    calls.holdFolderIn = [](const HeldFolder& parent, const char* name, HeldFolder& held,
                            os::SystemError& error) {
        if (CallsDouble::beforeHoldingIn != nullptr) {
            CallsDouble::beforeHoldingIn(name);
        }
        return failsNow(Fault::holdFolderIn) ? (error = kInjected, Hold::failed)
                                             : real().holdFolderIn(parent, name, held, error);
    };
    calls.reached = callInterference;
    return calls;
}

}  // namespace

Cause replaceWith(const std::filesystem::path& target, const std::string& content,
                  const Interference& interference) {
    Replacement replacement;
    Cause why;
    if (!openOriginal(target.string().c_str(), replacement, why)) {
        return why;
    }
    char piece[4];
    std::size_t got = 0;
    bool first = true;
    do {
        if (!readOriginal(replacement, piece, sizeof piece, got, why)) {
            return why;
        }
        if (first && interference.duringRead) {
            interference.duringRead();
        }
        first = false;
    } while (got > 0);
    const CallsDouble renames(interference.renames, interference.fault, interference.callsBefore);
    replacement.keepBackup = !interference.backup.empty();
    if (!beginReplacement(replacement, why) ||
        !writeReplacement(replacement, content.data(), content.size(), why)) {
        if (interference.leftovers != nullptr) {
            *interference.leftovers = replacement.leftovers.c_str();
        }
        return why;
    }
    if (interference.beforeCommit) {
        interference.beforeCommit();
    }
    gInterference = &interference;
    const bool done = commitReplacement(replacement, why);
    gInterference = nullptr;
    if (interference.backupLeftAs != nullptr) {
        *interference.backupLeftAs = replacement.backupLeftAs.c_str();
    }
    if (interference.leftovers != nullptr) {
        *interference.leftovers = replacement.leftovers.c_str();
    }
    return done ? Cause() : why;
}

CallsDouble::CallsDouble(Interference::Renames renames, Fault fault, int callsBefore) {
    gRenames = renames;
    gFault = fault;
    gCallsBefore = callsBefore;
    os::useCalls(doubled());
}

CallsDouble::~CallsDouble() {
    os::useCalls(os::Calls());
    eachCall = nullptr;
    beforeHoldingIn = nullptr;
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
