#include "app/Items.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <utility>

#include "app/Report.h"
#include "files/FileReplacement.h"
#include "files/Folders.h"
#include "files/PathNames.h"
#include "files/Walk.h"
#include "platform/Paths.h"
#include "text/AsciiCase.h"
#include "text/Decimal.h"

namespace {

// Aircraft keep their entries in aircraft.cfg; scenery objects (ground vehicles, boats, jetways,
// animals) keep the same entries in sim.cfg.
constexpr const char* kFileNames[] = {"aircraft.cfg", "sim.cfg"};

bool isATidyableName(const char* name) {
    for (const char* known : kFileNames) {
        if (sameIgnoringAsciiCase(name, known)) {
            return true;
        }
    }
    return false;
}

// What `name` is as a leftover of one of kFileNames (its index in `kind`), and where the file's
// own name ends in it (`stem`): the replacement's own names, matched in any ASCII letter case.
Leftover leftoverOfAFile(const char* name, std::size_t length, std::size_t& kind,
                         std::size_t& stem) {
    for (kind = 0; kind < 2; ++kind) {
        stem = std::strlen(kFileNames[kind]);
        if (length > stem && equalIgnoringAsciiCase(name, kFileNames[kind], stem)) {
            return leftoverOf(name, length, stem);
        }
    }
    return Leftover::none;
}

struct FoundLeftover {
    Text name;
    Leftover what = Leftover::none;
    std::size_t kind = 0;
    std::size_t stem = 0;
};

// What one listing of a folder tells: the file to tidy there, the texture folders beside it, and
// what interrupted runs left there.
struct FolderLook {
    Text file[2];  // the name that each of kFileNames has here, if any
    TextureFolders textures;
    std::vector<FoundLeftover> leftovers;
};

// Takes one entry of `folder` into what its listing tells. Where several names differ only in
// letter case (a case-sensitive file system), the first in byte order is taken, whatever the
// folder's own order.
void lookAt(const Text& folder, const ListedEntry& entry, FolderLook& found) {
    static const std::size_t prefixLength = std::strlen(kTextureFolderPrefix);
    for (std::size_t i = 0; i < 2; ++i) {
        if (sameIgnoringAsciiCase(entry.name, kFileNames[i]) &&
            (found.file[i].empty() || std::strcmp(entry.name, found.file[i].c_str()) < 0)) {
            found.file[i] = Text(entry.name);
        }
    }
    keepIfFolderNamedLike(folder, entry, kTextureFolderPrefix, prefixLength, found.textures.names);
    FoundLeftover leftover;
    leftover.what = leftoverOfAFile(entry.name, entry.length, leftover.kind, leftover.stem);
    if (leftover.what != Leftover::none && entry.kind != EntryKind::folder) {
        leftover.name = Text(entry.name);
        found.leftovers.push_back(std::move(leftover));
    }
}

// Lists `folder` once, and takes what it tells.
bool look(const Text& folder, FolderLook& found, Text& reason) {
    HeldFolder held;
    auto visit = [&](const ListedEntry& entry) { lookAt(folder, entry, found); };
    if (!holdFolder(folder, held, reason) || !listFolder(held, visit, reason)) {
        return false;
    }
    found.textures.listed = true;
    return true;
}

// The file to tidy that `found` tells of, spelt as the folder spells it: whatever stands at the
// name, so that opening it says what is wrong with a folder or a FIFO of that name.
bool takeFile(const Text& folder, FolderLook& found, ItemFiles& files) {
    for (const Text& name : found.file) {
        if (!name.empty()) {
            files.files.push_back(joined(folder, name.c_str()));
            files.textures.push_back(std::move(found.textures));
            return true;
        }
    }
    return false;
}

PathNote lineAbout(const Text& path, NoteKind kind) {
    return pathNote(path, noteOf(kind));
}

PathNote lineAbout(const Text& path, NoteKind kind, const Text& reason) {
    Note note = noteOf(kind);
    note.reason = reason;
    return pathNote(path, std::move(note));
}

// One line for each leftover in `folder` that `found` tells of, by name: whether the file it was
// left by is there decides whether it must be put back or may go. Only those of `onlyKind`, when
// it is one of kFileNames.
void nameLeftovers(const Text& folder, FolderLook& found, std::vector<PathNote>& lines,
                   std::size_t onlyKind = 2) {
    std::sort(found.leftovers.begin(), found.leftovers.end(),
              [](const FoundLeftover& a, const FoundLeftover& b) {
                  return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
              });
    for (const FoundLeftover& leftover : found.leftovers) {
        if (onlyKind < 2 && leftover.kind != onlyKind) {
            continue;
        }
        const Text file(leftover.name.c_str(), leftover.stem);
        const bool fileThere = !found.file[leftover.kind].empty();
        const Text path = joined(folder, leftover.name.c_str());
        const NoteKind kind = leftover.what == Leftover::contentAside
                                  ? (fileThere ? NoteKind::contentAsideFileInPlace
                                               : NoteKind::contentAsideFileMissing)
                              : leftover.what == Leftover::backup ? NoteKind::backupWithoutFile
                                                                  : NoteKind::temporaryLeft;
        // A backup beside its file is what the user asked for.
        if (leftover.what != Leftover::none && !(leftover.what == Leftover::backup && fileThere)) {
            lines.push_back(pathNote(path, noteOf(kind, file)));
        }
    }
}

// Every file to tidy in the folder a walk starts from, or else in the folders below it: each
// folder's listing is looked at once, as the walk tells it.
class Collection : public WalkVisitor {
  public:
    Collection(ItemFiles& found, std::vector<PathNote>& leftovers)
        : found_(found), leftovers_(leftovers) {}

    void starting(const WalkPlace&) override {
        for (Text& name : here_.file) {
            name = Text();
        }
        here_.textures = TextureFolders();
        here_.leftovers.clear();
    }

    void entry(const WalkPlace& place, const ListedEntry& entry) override {
        lookAt(place.path, entry, here_);
    }

    bool listed(const WalkPlace& place) override {
        here_.textures.listed = true;
        const bool taken = takeFile(place.path, here_, found_);
        nameLeftovers(place.path, here_, leftovers_);
        // A folder given that holds the file itself means that file alone.
        return place.depth > 0 || !taken;
    }

    void failed(const WalkError& error) override {
        found_.notes.push_back(
            error.kind == WalkError::Kind::replaced
                ? lineAbout(error.path, NoteKind::folderReplaced)
                : lineAbout(error.path, NoteKind::folderUnreadable, error.reason));
    }

  private:
    ItemFiles& found_;
    std::vector<PathNote>& leftovers_;
    FolderLook here_;
};

// Lines that name leftovers, as refusals or notes: an item that came to no file to tidy is
// refused by the first, so that the line the user reads says where the content went.
void addLeftoverLines(std::vector<PathNote>& lines, bool refused, PathNote refusal,
                      ItemFiles& found) {
    if (refused) {
        found.refusals.push_back(lines.empty() ? std::move(refusal) : std::move(lines.front()));
    }
    for (std::size_t i = refused && !lines.empty() ? 1 : 0; i < lines.size(); ++i) {
        const auto same = [&](const PathNote& line) {
            return line.path == lines[i].path && line.note.kind == lines[i].note.kind;
        };
        if (std::none_of(found.notes.begin(), found.notes.end(), same)) {
            found.notes.push_back(std::move(lines[i]));
        }
    }
}

// `item`, which is there, spelt as the listings of its folders spell it, where a case-insensitive
// drive lets the user spell it otherwise: a name that its folder does not hold as it is, but holds
// exactly once in other ASCII letter case, takes the folder's spelling. Then the same file given by
// two spellings is seen to be one, and is stored under the name it had.
Text spelledAsListed(const Text& item) {
    const char* text = item.c_str();
    const std::size_t length = static_cast<std::size_t>(item.length());
    std::size_t at = 0;
    while (at < length && isPathSeparator(text[at])) {
        ++at;
    }
    Text spelled(text, at);
    bool listable = true;
    while (at < length) {
        std::size_t end = at;
        while (end < length && !isPathSeparator(text[end])) {
            ++end;
        }
        Text name(text + at, end - at);
        const bool special = name.empty() || std::strcmp(name.c_str(), ".") == 0 ||
                             std::strcmp(name.c_str(), "..") == 0 ||
                             name.c_str()[name.length() - 1] == ':';  // a drive
        if (listable && !special) {
            bool exact = false;
            int matches = 0;
            Text match;
            auto visit = [&](const ListedEntry& entry) {
                if (std::strcmp(entry.name, name.c_str()) == 0) {
                    exact = true;
                } else if (sameIgnoringAsciiCase(entry.name, name.c_str())) {
                    ++matches;
                    match = Text(entry.name);
                }
            };
            Text reason;
            listable = listFolder(spelled, visit, reason);
            if (listable && !exact && matches == 1) {
                name = match;
            }
        }
        spelled += name;
        at = end;
        while (at < length && isPathSeparator(text[at])) {
            spelled += text[at];
            ++at;
        }
    }
    return spelled;
}

// Every file to tidy that folder `item` stands for: the one it holds, or else every one below it.
// `none` says that there is none, naming what interrupted runs left instead where there is.
// False when the folder itself cannot be listed.
bool addFolder(const Text& item, NoteKind none, ItemFiles& found) {
    const std::size_t before = found.files.size();
    std::vector<PathNote> leftovers;
    HeldFolder held;
    Collection collection(found, leftovers);
    Text reason;
    const bool listed =
        holdFolder(item, held, reason) && walkFolder(item, held, collection, reason);
    if (!listed) {
        found.notes.push_back(lineAbout(item, NoteKind::folderUnreadable, reason));
    }
    Note refusal = noteOf(none);
    refusal.count = kDeepest;
    addLeftoverLines(leftovers, found.files.size() == before, pathNote(item, std::move(refusal)),
                     found);
    return listed;
}

// `found` with each file once, however often it was reached.
ItemFiles onceEach(ItemFiles found) {
    // The same file reached twice (given twice, or through a link or a bind mount) is tidied
    // once, so that it is neither counted twice nor warned of as sharing its titles with another
    // file. It is known by its folder and its name there, not by the file's own identity: two
    // hard links in two folders are two names, each of which a replace renames over alone.
    std::unordered_set<std::string> seen;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < found.files.size(); ++i) {
        const Text resolved = resolvedPathOf(found.files[i]);
        std::string where;
        bool there = false;
        os::Status folder;
        Text reason;
        if (statusOf(folderOf(resolved), os::Links::followed, there, folder, reason) && there &&
            folder.kind == EntryKind::folder) {
            where = std::to_string(folder.device) + ":" + std::to_string(folder.file) + "/" +
                    (resolved.c_str() + nameStart(resolved));
        }
        const bool again = seen.count(resolved.c_str()) != 0 || seen.count(where) != 0;
        seen.insert(resolved.c_str());
        if (!where.empty()) {
            seen.insert(where);
        }
        if (again) {
            continue;
        }
        if (kept != i) {
            found.files[kept] = std::move(found.files[i]);
            found.textures[kept] = std::move(found.textures[i]);
        }
        found.resolved.push_back(resolved);
        ++kept;
    }
    found.files.resize(kept);
    found.textures.resize(kept);
    return found;
}

}  // namespace

ItemFiles filesOfItems(const std::vector<Text>& items) {
    ItemFiles found;
    for (const Text& given : items) {
        if (given.empty()) {
            found.refusals.push_back(PathNote{Text("\"\""), noteOf(NoteKind::emptyName), true});
            continue;
        }
        bool there = false;
        os::Status status;
        Text reason;
        if (!statusOf(given, os::Links::followed, there, status, reason)) {
            found.refusals.push_back(lineAbout(given, NoteKind::cannotExamine, reason));
            continue;
        }
        // Only what the system found as given is respelt: on a drive that tells letter case
        // apart, a name typed in the wrong case is missing, not another file's.
        const Text item = there ? spelledAsListed(given) : given;
        if (!there) {
            // An interrupted run may have left the file's content beside its name.
            std::vector<PathNote> leftovers;
            const char* name = item.c_str() + nameStart(item);
            std::size_t kind = 0;
            while (kind < 2 && !sameIgnoringAsciiCase(name, kFileNames[kind])) {
                ++kind;
            }
            const Text folder = folderOf(item);
            FolderLook beside;
            if (kind < 2 && look(folder, beside, reason)) {
                nameLeftovers(folder, beside, leftovers, kind);
            }
            addLeftoverLines(leftovers, true, lineAbout(item, NoteKind::noSuchItem), found);
            continue;
        }
        switch (status.kind) {
            case EntryKind::link:  // never, a link followed
            case EntryKind::other:
                found.refusals.push_back(lineAbout(item, NoteKind::neitherFileNorFolder));
                break;
            case EntryKind::file:
                if (isATidyableName(item.c_str() + nameStart(item))) {
                    found.files.push_back(item);
                    found.textures.emplace_back();  // listed when its checks need them
                } else {
                    found.refusals.push_back(lineAbout(item, NoteKind::notATidyableFile));
                }
                break;
            case EntryKind::folder:
                addFolder(item, NoteKind::holdsNone, found);
                if (items.size() == 1) {
                    found.folder = item;
                    found.overOneFolder = true;
                }
                break;
        }
    }
    return onceEach(std::move(found));
}

ItemFiles filesOfCurrentFolder() {
    ItemFiles found;
    found.overOneFolder = true;
    if (!addFolder(Text(), NoteKind::holdsNoneHere, found)) {
        // A folder that may be entered but not listed still holds its file by name: whatever
        // stands there, so that opening it says what is wrong with it.
        for (const char* name : kFileNames) {
            bool there = false;
            os::Status status;
            Text reason;
            if (statusOf(Text(name), os::Links::followed, there, status, reason) && there) {
                found = ItemFiles();
                found.files.emplace_back(name);
                found.textures.emplace_back();  // listed when its checks need them
                break;
            }
        }
    }
    return onceEach(std::move(found));
}
