#include "files/FileReplacement.h"

#include <cassert>
#include <cstring>
#include <utility>
#include <vector>

#include "files/Folders.h"
#include "files/PathNames.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "text/Decimal.h"

using os::Done;
using os::SystemError;

struct ReplacementState {
    os::Files* files = nullptr;
    os::Status read;     // the file as it was opened
    os::Status written;  // the temporary file, as it was created
    Text target;         // the name to replace
    Text temporary;      // empty until the temporary file exists
    int liveSlot = -1;
    Text keptAside;  // a file that could not be put back or removed, and was left there
    bool keptAsideIsOriginal = false;  // the file as it was read, rather than another's save
    Text backup;                       // where what the replace takes out goes; empty for none
    Text backupLeftAs;                 // where it went
    Text leftovers;                    // files of our own that could not be removed
};

namespace {

// The names a replacement gives its own files, after the file's: see leftoverOf().
constexpr const char* kTemporary = ".tmp-";
constexpr const char* kMovedAside = ".old";
constexpr const char* kProbe = ".a";
constexpr const char* kProbeMoved = ".b";
constexpr const char* kBackup = ".bak";

// What a file system offers for putting a file in place, learnt once for each device.
struct Renames {
    bool exchange = false;
    bool ifFree = false;
};

struct ProbedDevice {
    std::uint64_t device = 0;
    Renames renames;
};
std::vector<ProbedDevice> gProbed;

// A step that the system refused, with its own words for why.
Cause cannot(CauseKind kind, SystemError error) {
    Cause cause = causeOf(kind);
    cause.reason = os::systemMessage(error);
    return cause;
}

// Removes the temporary file and drops it from the live list; false when it is still there.
bool removeTemporary(ReplacementState& state) {
    if (state.temporary.empty()) {
        return true;
    }
    os::HeldBack held;
    SystemError error = 0;
    const Done removed = os::calls().remove(state.temporary, error);
    if (removed != Done::yes && removed != Done::missing) {
        return false;
    }
    os::dropLive(state.liveSlot);
    state.liveSlot = -1;
    state.temporary.clear();
    return true;
}

// The temporary name no longer holds anything of ours (it was placed, or holds another program's
// save): nothing is removed on failure or on a signal.
void forgetTemporary(ReplacementState& state) {
    os::HeldBack held;
    os::dropLive(state.liveSlot);
    state.liveSlot = -1;
    state.temporary.clear();
}

// Frees the record; the name of a temporary file it could not remove, if any.
Text finish(Replacement& replacement) {
    Text leftBehind;
    if (ReplacementState* state = replacement.state) {
        if (state->files != nullptr) {
            os::calls().destroyFiles(state->files);
        }
        if (!removeTemporary(*state)) {
            leftBehind = state->temporary;  // a folder that lets files in but not out
            forgetTemporary(*state);
        }
        replacement.leftovers = std::move(state->leftovers);
        delete state;
        replacement.state = nullptr;
    }
    replacement.step = ReplacementStep::none;
    return leftBehind;
}

// Notes a file of our own that the folder would not let go, for the user to delete.
void noteLeftover(ReplacementState& state, const Text& path) {
    if (!state.leftovers.empty()) {
        state.leftovers += Text(", ");
    }
    state.leftovers += path;
}

// Creates a new, empty file of our own beside the file to replace, registered as live from the
// moment it exists: named after it, ".tmp-", the process number and the first free count.
Done createBeside(os::Files& files, const Text& target, Text& name, int& slot, SystemError& error) {
    Done created = Done::taken;
    const Text stem = target + Text(kTemporary) + toDecimal(os::processNumber()) + Text("-");
    for (std::int32_t attempt = 0; attempt < 100 && created == Done::taken; ++attempt) {
        const Text candidate = stem + toDecimal(attempt);
        os::HeldBack held;  // the file and its registration come into being together
        created = os::calls().createTemporary(files, candidate, error);
        if (created == Done::yes) {
            name = candidate;
            slot = os::registerLive(candidate);
        }
    }
    return created;
}

// Removes a file of our own and drops it from the live list; named for the user when it stays.
void removeOwn(ReplacementState& state, const Text& path, int& slot) {
    os::HeldBack held;
    SystemError ignored = 0;
    const Done removed = os::calls().remove(path, ignored);
    if (removed != Done::yes && removed != Done::missing) {
        noteLeftover(state, path);
    }
    os::dropLive(slot);
    slot = -1;
}

// Ends the replacement and says why; and, where the folder let the temporary file be made but
// not removed, where it was left, so that the user can delete it.
bool fail(Replacement& replacement, Cause& why, Cause cause) {
    why = std::move(cause);
    why.leftBehind = finish(replacement);
    return false;
}

bool fail(Replacement& replacement, Cause& why, CauseKind kind) {
    return fail(replacement, why, causeOf(kind));
}

// Calling the steps out of order is a mistake in the program, not a fault of the file system,
// and must not read to the user as one.
bool misused(Replacement& replacement, Cause& why) {
    // Caught where it is made in a build that checks itself; in the user's build the file is
    // still left as it was, and the cause says whose fault that is.
    assert(false && "a replacement's steps were taken out of order");
    return fail(replacement, why, CauseKind::stepsOutOfOrder);
}

bool sameFile(const os::Status& now, const os::Status& then) {
    return now.device == then.device && now.file == then.file;
}

// Whether `now` is the file read, unchanged. The time of its last change of content can be put
// back by the program that changed it (touch -r, cp -p); the time of its last change of any kind
// cannot, so it is compared too, except where renaming the file itself has just moved it.
bool sameFileUnchanged(const os::Status& now, const os::Status& then, bool byChangeTime) {
    return now.kind == EntryKind::file && sameFile(now, then) && now.size == then.size &&
           now.lastWriteTicks == then.lastWriteTicks &&
           (!byChangeTime || now.changeTicks == then.changeTicks);
}

// Whether `path` names the file read, unchanged; `error` set, and false, when that cannot be told.
bool theFileReadAt(const ReplacementState& state, const Text& path, bool byChangeTime,
                   bool& unknown, SystemError& error) {
    os::Status now;
    const Done found = os::calls().statusAt(path, os::Links::notFollowed, now, error);
    unknown = found != Done::yes && found != Done::missing;
    return found == Done::yes && sameFileUnchanged(now, state.read, byChangeTime);
}

enum class Placed { placed, fileChanged, failed, unsupported };

// Each way of placing below is called once the name has been found to stand for the file read,
// unchanged, as the last thing before it.

// What the replace took out of the name, the file read, now at `out`: kept as the backup when one
// is asked for (and where it could not be renamed, under `out`, which is then named), otherwise
// removed.
void disposeOfTheFileRead(ReplacementState& state, const Text& out) {
    SystemError ignored = 0;
    if (state.backup.empty()) {
        os::calls().remove(out, ignored);
        return;
    }
    state.backupLeftAs =
        os::calls().renameOver(out, state.backup, ignored) == Done::yes ? state.backup : out;
}

// The temporary file takes the name by a swap: what the swap took out must be the file read, and
// it goes; otherwise the swap is undone.
Placed placeBySwap(ReplacementState& state, SystemError& error) {
    const os::Calls& call = os::calls();
    bool unknown = false;
    os::calls().reached(os::Moment::beforeSwap);
    switch (call.exchange(state.temporary, state.target, error)) {
        case Done::yes:
            break;
        case Done::missing:
            return Placed::fileChanged;  // the file is gone
        case Done::unsupported:
            return Placed::unsupported;
        default:
            return Placed::failed;
    }
    os::calls().reached(os::Moment::afterSwap);
    // The temporary name now holds what stood at the target: it must be what was read.
    SystemError ignored = 0;
    if (theFileReadAt(state, state.temporary, false, unknown, ignored)) {
        disposeOfTheFileRead(state, state.temporary);
        forgetTemporary(state);
        call.syncFolderOf(state.target);
        return Placed::placed;
    }
    if (call.exchange(state.temporary, state.target, error) != Done::yes) {
        // The other file stays at the temporary name rather than be removed with it.
        forgetTemporary(state);
        return Placed::failed;
    }
    // What came back must be the new content before it is removed: another program may have
    // saved over the name in between, and its save must not be deleted.
    os::Status back;
    if (call.statusAt(state.temporary, os::Links::notFollowed, back, ignored) != Done::yes ||
        !sameFile(back, state.written)) {
        state.keptAside = state.temporary;
        forgetTemporary(state);
    }
    return Placed::fileChanged;
}

// Where names cannot be swapped. The file is moved aside in one step, so that what is checked is
// exactly what was taken away; the new file then takes the name only if it is still free. For
// that instant the name stands for nothing: a reader finds no file rather than a wrong one, and no
// other program's save can be overwritten. Whatever cannot be put back stays aside and is named.
Placed placeByMovingAside(ReplacementState& state, SystemError& error) {
    const os::Calls& call = os::calls();
    bool unknown = false;
    // Whatever could hold the new file back from taking the name is waited for now, while the
    // name still stands for the file read; what is moved aside is checked again there.
    if (!call.holdTemporary(*state.files, state.temporary, error)) {
        return Placed::failed;
    }
    const Text aside = state.temporary + Text(kMovedAside);
    os::calls().reached(os::Moment::beforeSwap);
    switch (call.renameIfFree(*state.files, state.target, aside, error)) {
        case Done::yes:
            break;
        case Done::missing:
            return Placed::fileChanged;  // the file is gone
        default:
            return Placed::failed;
    }
    os::calls().reached(os::Moment::afterSwap);
    SystemError ignored = 0;
    const bool theFileRead = theFileReadAt(state, aside, false, unknown, ignored);
    const Done placing = theFileRead
                             ? call.renameIfFree(*state.files, state.temporary, state.target, error)
                             : Done::taken;
    if (placing == Done::yes) {
        disposeOfTheFileRead(state, aside);
        forgetTemporary(state);
        call.syncFolderOf(state.target);
        return Placed::placed;
    }
    // Not placed: what was moved aside goes back, unless another program has saved at the name.
    if (call.renameIfFree(*state.files, aside, state.target, ignored) != Done::yes) {
        state.keptAside = aside;
        state.keptAsideIsOriginal = theFileRead;
        return Placed::fileChanged;
    }
    return theFileRead && placing != Done::taken ? Placed::failed : Placed::fileChanged;
}

// Where the system can only rename over a name, the backup is a copy of the file read, in a file
// of our own beside it, flushed to disk before anything is renamed: taking the file itself out
// first would leave its name standing for nothing until the new file took it. The file is read
// again from its start, and the copy must come to the size it had when it was read.
Placed copyTheFileRead(ReplacementState& state, Text& copy, int& slot, SystemError& error) {
    const os::Calls& call = os::calls();
    os::Files* files = call.createFiles();
    Placed made = Placed::failed;
    if (createBeside(*files, state.target, copy, slot, error) == Done::yes) {
        switch (call.rewindOriginal(*state.files, state.target, error)) {
            case Done::yes:
                made = Placed::placed;
                break;
            case Done::missing:
            case Done::taken:
                made = Placed::fileChanged;
                break;
            default:
                break;
        }
    }
    std::vector<char> buffer(made == Placed::placed ? 1 << 16 : 0);
    std::int64_t total = 0;
    while (made == Placed::placed) {
        std::size_t got = 0;
        if (!call.readOriginal(*state.files, buffer.data(), buffer.size(), got, error)) {
            made = Placed::failed;
            break;
        }
        total += static_cast<std::int64_t>(got);
        if (total > state.read.size || (got == 0 && total != state.read.size)) {
            made = Placed::fileChanged;
            break;
        }
        if (got == 0) {
            break;
        }
        for (std::size_t done = 0; done < got;) {
            std::size_t written = 0;
            if (!call.writeTemporary(*files, buffer.data() + done, got - done, written, error)) {
                made = Placed::failed;
                break;
            }
            done += written;
        }
    }
    if (made == Placed::placed &&
        (!call.flushTemporary(*files, error) || !call.closeTemporary(*files, error))) {
        made = Placed::failed;
    }
    call.destroyFiles(files);
    if (made != Placed::placed && !copy.empty()) {
        removeOwn(state, copy, slot);
        copy.clear();
    }
    return made;
}

// Where the system can neither swap names nor rename without replacing: the last check, then one
// rename over the file. A save that another program makes between the two is lost; the file read
// never is. With a backup, a copy of the file read is made first, and the last check follows it.
Placed placeByRenaming(ReplacementState& state, SystemError& error) {
    const os::Calls& call = os::calls();
    bool unknown = false;
    Text copy;
    int copySlot = -1;
    if (!state.backup.empty()) {
        const Placed copied = copyTheFileRead(state, copy, copySlot, error);
        if (copied != Placed::placed) {
            return copied;
        }
        // The copy took time: the name must still stand for the file read, unchanged.
        if (!theFileReadAt(state, state.target, true, unknown, error)) {
            removeOwn(state, copy, copySlot);
            return unknown ? Placed::failed : Placed::fileChanged;
        }
    }
    os::calls().reached(os::Moment::beforeSwap);
    if (call.renameOver(state.temporary, state.target, error) != Done::yes) {
        if (!copy.empty()) {
            removeOwn(state, copy, copySlot);
        }
        return Placed::failed;
    }
    forgetTemporary(state);
    if (!copy.empty()) {
        // The new file is in place: from here the copy is the user's old content, which no
        // handler may remove; where it cannot take the backup's name it stays, and is named.
        SystemError ignored = 0;
        os::HeldBack held;
        state.backupLeftAs =
            call.renameOver(copy, state.backup, ignored) == Done::yes ? state.backup : copy;
        os::dropLive(copySlot);
    }
    call.syncFolderOf(state.target);
    return Placed::placed;
}

// Which renames the file system offers, tried on a file of the program's own beside the temporary
// one, so that no trial ever touches the user's file; once for each device. False when a trial
// left the temporary file under another name.
bool learnRenames(ReplacementState& state, Renames& renames) {
    for (const ProbedDevice& probed : gProbed) {
        if (probed.device == state.written.device) {
            renames = probed.renames;
            return true;
        }
    }
    const os::Calls& call = os::calls();
    renames = Renames();
    Text probe = state.temporary + Text(kProbe);
    os::Files* files = call.createFiles();
    SystemError error = 0;
    int slot = -1;
    bool intact = true;
    // Held back throughout, so that a handler always finds the probe under its registered name.
    os::HeldBack held;
    const bool made = call.createTemporary(*files, probe, error) == Done::yes;
    if (made) {
        slot = os::registerLive(probe);
    }
    if (made && call.closeTemporary(*files, error)) {
        if (call.exchange(state.temporary, probe, error) == Done::yes) {
            // Swapped back at once: the open temporary file must be under its own name.
            intact = call.exchange(state.temporary, probe, error) == Done::yes;
            renames.exchange = intact;
        }
        const Text moved = state.temporary + Text(kProbeMoved);
        if (intact && call.renameIfFree(*files, probe, moved, error) == Done::yes) {
            renames.ifFree = true;
            probe = moved;
        }
    }
    call.destroyFiles(files);
    if (made && call.remove(probe, error) != Done::yes) {
        noteLeftover(state, probe);  // a folder that lets files in but not out
    }
    os::dropLive(slot);
    if (made && intact) {
        gProbed.push_back(ProbedDevice{state.written.device, renames});
    }
    return intact;
}

// A file that an interrupted run moved aside, beside `path`.
Text contentLeftAside(const Text& path) {
    const Text folder = folderOf(path);
    const char* const file = path.c_str() + nameStart(path);
    const std::size_t stem = std::strlen(file);
    Text found;
    auto visit = [&](const ListedEntry& entry) {
        if (found.empty() && entry.length > stem && std::strncmp(entry.name, file, stem) == 0 &&
            leftoverOf(entry.name, entry.length, stem) == Leftover::contentAside) {
            found = folder + Text(entry.name);
        }
    };
    Text reason;
    listFolder(folder, visit, reason);
    return found;
}

}  // namespace

namespace {

os::Calls& table() {
    static os::Calls calls;  // the system's own primitives until others are put in
    return calls;
}

}  // namespace

const os::Calls& os::calls() {
    return table();
}

void os::useCalls(const Calls& calls) {
    table() = calls;
    gProbed.clear();
}

namespace {

// Whether text[0, length) is a decimal count: digits, at least one.
bool isCount(const char* text, std::size_t length) {
    if (length == 0) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

Leftover leftoverOf(const char* name, std::size_t length, std::size_t stem) {
    if (length <= stem) {
        return Leftover::none;
    }
    const char* rest = name + stem;
    if (std::strcmp(rest, kBackup) == 0) {
        return Leftover::backup;
    }
    const std::size_t prefix = std::strlen(kTemporary);
    if (length - stem <= prefix || std::strncmp(rest, kTemporary, prefix) != 0) {
        return Leftover::none;
    }
    const char* number = rest + prefix;
    const char* dash = std::strchr(number, '-');
    if (dash == nullptr || !isCount(number, static_cast<std::size_t>(dash - number))) {
        return Leftover::none;
    }
    const char* count = dash + 1;
    const char* dot = std::strchr(count, '.');
    const std::size_t countLength =
        dot == nullptr ? std::strlen(count) : static_cast<std::size_t>(dot - count);
    if (!isCount(count, countLength)) {
        return Leftover::none;
    }
    if (dot == nullptr || std::strcmp(dot, kProbe) == 0 || std::strcmp(dot, kProbeMoved) == 0) {
        return Leftover::temporary;
    }
    return std::strcmp(dot, kMovedAside) == 0 ? Leftover::contentAside : Leftover::none;
}

Replacement::~Replacement() {
    abandonReplacement(*this);
}

bool openOriginal(const char* path, Replacement& replacement, Cause& why) {
    abandonReplacement(replacement);
    replacement.attributesNotKept.clear();
    replacement.backup.clear();
    replacement.backupLeftAs.clear();
    replacement.leftovers.clear();
    replacement.state = new ReplacementState;
    ReplacementState& state = *replacement.state;
    state.files = os::calls().createFiles();
    os::FileFacts facts;
    SystemError error = 0;
    if (!os::calls().openOriginal(*state.files, path, facts, error)) {
        os::Status none;
        SystemError ignored = 0;
        if (os::calls().statusAt(Text(path), os::Links::notFollowed, none, ignored) ==
            Done::missing) {
            const Text aside = contentLeftAside(Text(path));
            if (!aside.empty()) {
                Cause cause = cannot(CauseKind::cannotOpenContentLeftAside, error);
                cause.path = aside;
                return fail(replacement, why, std::move(cause));
            }
        }
        return fail(replacement, why, cannot(CauseKind::cannotOpen, error));
    }
    if (facts.changed) {
        return fail(replacement, why, CauseKind::changed);
    }
    if (!facts.regular) {
        return fail(replacement, why, CauseKind::notRegularFile);
    }
    state.read = facts.identity;
    state.target = facts.target;
    replacement.step = ReplacementStep::reading;
    replacement.expectedSize = facts.identity.size;
    replacement.originalLastWriteTicks = facts.identity.lastWriteTicks;
    replacement.bytesRead = 0;
    return true;
}

bool readOriginal(Replacement& replacement, char* buffer, std::size_t capacity, std::size_t& got,
                  Cause& why) {
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
    if (!os::calls().readOriginal(*replacement.state->files, buffer, wanted, got, error)) {
        return fail(replacement, why, cannot(CauseKind::cannotRead, error));
    }
    replacement.bytesRead += static_cast<std::int64_t>(got);
    if (replacement.bytesRead > replacement.expectedSize ||
        (got == 0 && replacement.bytesRead != replacement.expectedSize)) {
        got = 0;
        return fail(replacement, why, CauseKind::changed);
    }
    if (got == 0) {
        replacement.step = ReplacementStep::read;
    }
    return true;
}

bool beginReplacement(Replacement& replacement, Cause& why) {
    if (replacement.step != ReplacementStep::read) {
        return misused(replacement, why);
    }
    ReplacementState& state = *replacement.state;
    const os::Calls& call = os::calls();
    if (call.isReadOnly(*state.files, state.target)) {
        return fail(replacement, why, CauseKind::readOnly);
    }
    SystemError error = 0;
    // Beside the file itself, never in the folder of a link to it: a private file's old content
    // must not turn up in a folder that others may read.
    state.backup = replacement.keepBackup ? state.target + Text(kBackup) : Text();
    replacement.backup = state.backup;
    if (!state.backup.empty()) {
        os::Status there;
        const Done found = call.statusAt(state.backup, os::Links::notFollowed, there, error);
        if (found == Done::failed) {
            return fail(replacement, why, cannot(CauseKind::cannotExamineBackup, error));
        }
        // A hard link to the file: renaming the file over it would do nothing, and the old
        // content would be lost with the name.
        if (found == Done::yes && sameFile(there, state.read)) {
            Cause cause = causeOf(CauseKind::backupIsTheFile);
            cause.path = state.backup;
            return fail(replacement, why, std::move(cause));
        }
        if (found == Done::yes && (there.kind != EntryKind::file || there.readOnly)) {
            Cause cause = causeOf(CauseKind::backupNameTaken);
            cause.path = state.backup;
            return fail(replacement, why, std::move(cause));
        }
    }
    const Done created =
        createBeside(*state.files, state.target, state.temporary, state.liveSlot, error);
    if (created != Done::yes ||
        call.statusAt(state.temporary, os::Links::notFollowed, state.written, error) != Done::yes) {
        return fail(replacement, why, cannot(CauseKind::cannotCreateTemporary, error));
    }
    switch (call.keepOwner(*state.files, error)) {
        case Done::yes:
            break;
        case Done::taken:
            return fail(replacement, why, CauseKind::belongsToAnotherUser);
        default:
            return fail(replacement, why, cannot(CauseKind::cannotKeepOwner, error));
    }
    Renames renames;
    if (!learnRenames(state, renames)) {
        return fail(replacement, why, cannot(CauseKind::cannotCreateTemporary, error));
    }
    replacement.step = ReplacementStep::writing;
    return true;
}

bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Cause& why) {
    if (replacement.step != ReplacementStep::writing) {
        return misused(replacement, why);
    }
    while (count > 0) {
        std::size_t written = 0;
        SystemError error = 0;
        if (!os::calls().writeTemporary(*replacement.state->files, bytes, count, written, error)) {
            return fail(replacement, why, cannot(CauseKind::cannotWrite, error));
        }
        bytes += written;
        count -= written;
    }
    return true;
}

bool sealReplacement(Replacement& replacement, SealedFacts& facts, Cause& why) {
    if (replacement.step != ReplacementStep::writing) {
        return misused(replacement, why);
    }
    ReplacementState& state = *replacement.state;
    const os::Calls& call = os::calls();
    SystemError error = 0;
    if (!call.copyAttributes(*state.files, replacement.attributesNotKept, error)) {
        return fail(replacement, why, cannot(CauseKind::cannotKeepOwnerAndPermissions, error));
    }
    if (!call.flushTemporary(*state.files, error)) {
        return fail(replacement, why, cannot(CauseKind::cannotFlush, error));
    }
    if (!call.closeTemporary(*state.files, error)) {
        return fail(replacement, why, cannot(CauseKind::cannotClose, error));
    }
    os::Status sealed;
    if (call.statusAt(state.temporary, os::Links::notFollowed, sealed, error) != Done::yes) {
        return fail(replacement, why, cannot(CauseKind::cannotReadBack, error));
    }
    facts.size = sealed.size;
    facts.lastWriteTicks = sealed.lastWriteTicks;
    replacement.step = ReplacementStep::sealed;
    return true;
}

bool commitReplacement(Replacement& replacement, Cause& why, int statusOncePlaced) {
    SealedFacts facts;
    if (replacement.step == ReplacementStep::writing && !sealReplacement(replacement, facts, why)) {
        return false;
    }
    if (replacement.step != ReplacementStep::sealed) {
        return misused(replacement, why);
    }
    os::calls().reached(os::Moment::beforePlacing);
    ReplacementState& state = *replacement.state;
    SystemError error = 0;
    Renames renames;
    Placed placed = learnRenames(state, renames) ? Placed::unsupported : Placed::failed;
    {
        os::HeldBack held;  // a handler must not remove what a rename has just taken out
        // Each way of placing starts from the name still standing for the file read, unchanged.
        bool unknown = false;
        if (placed == Placed::unsupported &&
            !theFileReadAt(state, state.target, true, unknown, error)) {
            placed = unknown ? Placed::failed : Placed::fileChanged;
        }
        if (placed == Placed::unsupported && renames.exchange) {
            placed = placeBySwap(state, error);
        }
        if (placed == Placed::unsupported) {
            placed =
                renames.ifFree ? placeByMovingAside(state, error) : placeByRenaming(state, error);
        }
        if (placed == Placed::placed && statusOncePlaced >= 0) {
            settleExitStatus(statusOncePlaced);  // before a signal held back meanwhile ends it
        }
    }
    switch (placed) {
        case Placed::placed:
            break;
        case Placed::fileChanged:
            if (!state.keptAside.empty()) {
                // Where names cannot be swapped, the file read is moved aside first; when another
                // program saves at its name meanwhile, that save stays and the file read is left
                // where it was moved. Where they are swapped, another program that saved twice
                // meanwhile finds its later save where the new content stood, kept there.
                Cause cause =
                    causeOf(state.keptAsideIsOriginal ? CauseKind::changedOriginalLeftAside
                                                      : CauseKind::changedSaveLeftAside);
                cause.path = state.keptAside;
                return fail(replacement, why, std::move(cause));
            }
            return fail(replacement, why, CauseKind::changed);
        default:
            return fail(replacement, why, cannot(CauseKind::cannotReplace, error));
    }
    replacement.backupLeftAs = state.backupLeftAs;
    abandonReplacement(replacement);  // only frees the record: the temporary name is gone
    return true;
}

void abandonReplacement(Replacement& replacement) {
    finish(replacement);
}

ByteSource originalBytes(Replacement& replacement) {
    return ByteSource{
        [](void* context, char* buffer, std::size_t capacity, std::size_t& got, Cause& why) {
            return readOriginal(*static_cast<Replacement*>(context), buffer, capacity, got, why);
        },
        &replacement};
}

ByteSink replacementBytes(Replacement& replacement) {
    return ByteSink{[](void* context, const char* bytes, std::size_t count, Cause& why) {
                        return writeReplacement(*static_cast<Replacement*>(context), bytes, count,
                                                why);
                    },
                    &replacement};
}
