#include "app/PackageList.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>

#include "files/Folders.h"
#include "files/PathNames.h"
#include "files/Walk.h"
#include "package/Layout.h"
#include "platform/Paths.h"
#include "text/AsciiCase.h"
#include "text/Decimal.h"

namespace {

// Packages put an aircraft three folders below their own: the climb goes as far up as a walk
// goes down.
constexpr int kMostLevels = kDeepest;
// A file list larger than this is no package's: it is left alone rather than held in memory.
constexpr std::size_t kLargestList = std::size_t{64} << 20;
// The files below the aircraft's folder that are compared with the list, at most.
constexpr std::size_t kMostFiles = 100000;
// How many unlisted files a note names.
constexpr std::size_t kFilesNamed = 3;

constexpr const char* kGenerator = "; run the package's layout generator";

// The folder above `folder` (both end in a separator), or an empty Text at the root.
Text parentOf(const Text& folder) {
    std::int32_t at = folder.length() - 1;  // its own closing separator
    while (at > 0 && !isPathSeparator(folder.c_str()[at - 1])) {
        --at;
    }
    Text parent;
    if (at > 0) {
        parent.append(folder.c_str(), static_cast<std::size_t>(at));
    }
    return parent;
}

// `full` relative to `root` (which it starts with), with '/' separators, as the list writes paths.
Text relativeTo(const Text& root, const Text& full) {
    Text relative;
    relative.reserve(std::int64_t{full.length()} - root.length() + 1);
    for (const char* c = full.c_str() + root.length(); *c != '\0'; ++c) {
        relative += isPathSeparator(*c) ? '/' : *c;
    }
    return relative;
}

// The list's bytes as they are read, held to what a list may be and to the memory it may take.
struct ListBytes {
    std::string bytes;
    std::int64_t memoryBudget = 0;
};

// Why a list of `size` bytes is not read on, if it is not: the list is held twice at most, as
// read and as edited, so twice its size must fit the budget.
bool refusedAt(std::int64_t size, std::int64_t memoryBudget, Cause& why) {
    if (size > static_cast<std::int64_t>(kLargestList)) {
        why = causeOf(CauseKind::tooLargeForAList);
    } else if (size > memoryBudget / 2) {
        why = causeOf(CauseKind::tooLargeForMemory);
    } else {
        return false;
    }
    return true;
}

bool keepListBytes(void* context, const char* bytes, std::size_t count, Cause& why) {
    auto& list = *static_cast<ListBytes*>(context);
    if (refusedAt(static_cast<std::int64_t>(list.bytes.size() + count), list.memoryBudget, why)) {
        return false;
    }
    list.bytes.append(bytes, count);
    return true;
}

// Reads the whole list, refused before a byte is read when its size already says so, and again
// should it grow while it is read.
bool readWhole(Replacement& file, ListBytes& list, Cause& why) {
    if (refusedAt(file.expectedSize, list.memoryBudget, why)) {
        abandonReplacement(file);
        return false;
    }
    list.bytes.reserve(static_cast<std::size_t>(file.expectedSize));
    if (!copyAll(originalBytes(file), ByteSink{keepListBytes, &list}, why)) {
        abandonReplacement(file);
        return false;
    }
    return true;
}

// A count of bytes that may be negative or pass what size_t holds, as a size_t.
std::size_t asSize(std::int64_t bytes) {
    return bytes <= 0
               ? 0
               : static_cast<std::size_t>(std::min<std::uint64_t>(
                     static_cast<std::uint64_t>(bytes), std::numeric_limits<std::size_t>::max()));
}

// The file's entry is brought up to date, or was to be.
struct Update {
    const Text& list;  // the list's path
    const Text& entry;
    const ListedFile& state;
    const Text& recordedSize;
};

Text noteOn(const Text& list, const Text& text) {
    return list + Text(": ") + text;
}

// The cause as a clause in a sentence about the list: "(it is read-only, so it was not replaced)".
Text because(const Cause& cause) {
    return Text(" (") + wordedInSentence(cause) + Text(")");
}

// The list stays as it was, and the simulator may cut the rewritten file at its old size.
Text stillOld(const Text& list, const Text& entry, const Cause& cause) {
    return noteOn(list, Text("the entry for ") + entry + Text(" still records the old size") +
                            because(cause) + Text(kGenerator));
}

// What the list leaves out cannot be told.
Text unreadable(const Text& list, const Cause& cause) {
    return noteOn(list, Text("cannot check what it lists") + because(cause) + Text(kGenerator));
}

// The entry of a file that was not rewritten records another size than the file's, and stays so.
Text stillWrong(const Update& update, const Cause& cause) {
    return noteOn(update.list, Text("the entry for ") + update.entry + Text(" records ") +
                                   update.recordedSize + Text(" bytes, not the file's ") +
                                   decimalOf(update.state.size) + because(cause) +
                                   Text(kGenerator));
}

// The note when the prepared list cannot be put in place.
Text notUpdated(const Update& update, const Cause& cause) {
    return update.state.rewritten ? stillOld(update.list, update.entry, cause)
                                  : stillWrong(update, cause);
}

// The note once it is: a user cannot otherwise tell that layout.json changed.
Text updated(const Update& update) {
    return noteOn(update.list, update.state.rewritten
                                   ? Text("the entry for ") + update.entry +
                                         Text(" now records the rewritten file's size (") +
                                         decimalOf(update.state.size) + Text(" bytes) and time")
                                   : Text("the entry for ") + update.entry + Text(" recorded ") +
                                         update.recordedSize + Text(" bytes, not the file's ") +
                                         decimalOf(update.state.size) +
                                         Text("; it now records the file's size and time"));
}

Text unlistedNote(const Text& list, const std::vector<Text>& unlisted) {
    const bool one = unlisted.size() == 1;
    Text note = toDecimal(static_cast<std::int32_t>(unlisted.size())) +
                Text(one ? " file in the aircraft's folder is not listed, so the simulator will "
                           "not see it: "
                         : " files in the aircraft's folder are not listed, so the simulator "
                           "will not see them: ");
    for (std::size_t i = 0; i < unlisted.size() && i < kFilesNamed; ++i) {
        note += Text(i == 0 ? "" : ", ") + unlisted[i];
    }
    if (unlisted.size() > kFilesNamed) {
        note += Text(" and ") +
                toDecimal(static_cast<std::int32_t>(unlisted.size() - kFilesNamed)) + Text(" more");
    }
    return noteOn(list, note + Text(kGenerator));
}

bool startsWith(const Text& text, const Text& start) {
    return std::strncmp(text.c_str(), start.c_str(), static_cast<std::size_t>(start.length())) == 0;
}

// Whether `name` ends in ".bak", in any ASCII letter case: a backup, of this program's or of the
// user's, which the simulator need not load.
bool isABackup(const Text& name) {
    const std::size_t length = static_cast<std::size_t>(name.length());
    return length >= 4 && equalIgnoringAsciiCase(name.c_str() + length - 4, ".bak", 4);
}

// The files in the aircraft's folder, by their paths in the package, but for the file itself,
// which gets a note of its own; its new content, which stands beside it under a temporary name
// (the file's own name and ".tmp") until it is put in place; backups; and this program, which the
// user may have copied there to run it.
std::vector<Text> filesBeside(const Text& root, const Text& folder, const Text& relative,
                              const Text& program, std::size_t most) {
    std::vector<Text> files;
    const Text folderInPackage = relativeTo(root, folder);
    std::vector<WalkError> unreadable;  // passed over: a list is not mended on a guess
    for (const Text& inside : filesBelow(folder, most, unreadable)) {
        Text path = folderInPackage + inside;
        if (isABackup(inside) || (!program.empty() && resolvedPathOf(folder + inside) == program)) {
            continue;
        }
        if (!startsWith(path, relative) ||
            (path.length() != relative.length() &&
             std::strncmp(path.c_str() + relative.length(), ".tmp", 4) != 0)) {
            files.push_back(std::move(path));
        }
    }
    // The order the user sees, whatever the folder's.
    std::sort(files.begin(), files.end(),
              [](const Text& a, const Text& b) { return std::strcmp(a.c_str(), b.c_str()) < 0; });
    return files;
}

// Whether `folder` is a package's: it holds both files that make one.
bool isPackageFolder(const Text& folder) {
    for (const char* name : {"layout.json", "manifest.json"}) {
        bool there = false;
        os::Status status;
        Text reason;
        if (!statusOf(folder + Text(name), os::Links::followed, there, status, reason) || !there ||
            status.kind != EntryKind::file) {
            return false;
        }
    }
    return true;
}

}  // namespace

PackageLists::PackageLists(const std::vector<Text>& files, const std::vector<Text>& resolved) {
    // Files of one collection share their upper folders: each is asked about once.
    std::unordered_map<std::string, bool> isPackage;
    std::unordered_map<std::string, std::size_t> packageAt;
    packageOf_.assign(files.size(), -1);
    found_.resize(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Text full =
            i < resolved.size() && !resolved[i].empty() ? resolved[i] : resolvedPathOf(files[i]);
        const Text folder = folderOf(full);
        Text root = folder;
        bool found = false;
        for (int level = 0; level <= kMostLevels && !root.empty() && !found; ++level) {
            const auto known = isPackage.emplace(root.c_str(), false);
            if (known.second) {
                known.first->second = isPackageFolder(root);
            }
            found = known.first->second;
            if (!found) {
                root = parentOf(root);
            }
        }
        if (!found) {
            continue;
        }
        const auto at = packageAt.emplace(root.c_str(), packages_.size());
        if (at.second) {
            packages_.emplace_back();
            packages_.back().root = root;
        }
        packages_[at.first->second].lastFile = i;
        packageOf_[i] = static_cast<std::ptrdiff_t>(at.first->second);
        found_[i].entry = relativeTo(root, full);
        found_[i].folder = folder;
    }
}

void PackageLists::record(std::size_t index, const ListedFile& state) {
    if (index >= packageOf_.size() || packageOf_[index] < 0) {
        return;
    }
    std::vector<Pending>& pending = packages_[static_cast<std::size_t>(packageOf_[index])].files;
    // A file named twice in a run (through a link, say) has one entry, which records it as it
    // stands last; rewritten once, it was rewritten.
    for (Pending& earlier : pending) {
        if (earlier.entry == found_[index].entry) {
            const bool rewritten = earlier.state.rewritten || state.rewritten;
            earlier.state = state;
            earlier.state.rewritten = rewritten;
            return;
        }
    }
    pending.push_back(std::move(found_[index]));
    pending.back().state = state;
}

std::vector<Text> PackageLists::settleAfter(std::size_t index, MemoryBudget& memory,
                                            std::int64_t held) {
    std::vector<Text> notes;
    if (index >= packageOf_.size() || packageOf_[index] < 0) {
        return notes;
    }
    Package& package = packages_[static_cast<std::size_t>(packageOf_[index])];
    if (package.lastFile != index || package.files.empty()) {
        return notes;
    }
    const std::vector<Pending> files = std::move(package.files);
    package.files.clear();
    const Text list = package.root + Text("layout.json");
    Replacement layout;
    // What cannot be read or replaced leaves every entry as it was.
    auto refused = [&](const Cause& cause) {
        bool toldUnreadable = false;
        for (const Pending& file : files) {
            if (file.state.rewritten) {
                notes.push_back(stillOld(list, file.entry, cause));
            } else if (!toldUnreadable) {
                notes.push_back(unreadable(list, cause));
                toldUnreadable = true;
            }
        }
    };
    bool placed = false;  // the new list is in place: whatever follows, it is not "still old"
    try {
        // Those of file i are beside[besideFrom[i], besideFrom[i + 1]); a package's files hold at
        // most kMostFiles among them, however many aircraft it has.
        const Text program = programFile();
        std::vector<Text> beside;
        std::vector<std::size_t> besideFrom{0};
        std::vector<Text> entries;
        for (const Pending& file : files) {
            entries.push_back(file.entry);
            if (file.state.holdsEntries && beside.size() < kMostFiles) {
                for (Text& path : filesBeside(package.root, file.folder, file.entry, program,
                                              kMostFiles - beside.size())) {
                    beside.push_back(std::move(path));
                }
            }
            besideFrom.push_back(beside.size());
        }
        Cause why;
        if (!openOriginal(list.c_str(), layout, why)) {
            refused(why);
            return notes;
        }
        const std::int64_t memoryBudget = memory.forInputOf(layout.expectedSize) - held;
        ListBytes bytes;
        bytes.memoryBudget = memoryBudget;
        if (!readWhole(layout, bytes, why)) {
            refused(why);
            return notes;
        }
        LayoutReading reading;
        const std::int64_t copies = 2 * static_cast<std::int64_t>(bytes.bytes.size());
        if (!readLayout(bytes.bytes, entries, beside, asSize(memoryBudget - copies), reading,
                        why)) {
            abandonReplacement(layout);
            refused(why);
            return notes;
        }
        std::vector<DigitEdit> edits;
        std::vector<Update> updates;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const LayoutEntry& entry = reading.entries[i];
            if (!entry.listed) {
                notes.push_back(noteOn(list, files[i].entry +
                                                 Text(" is not listed, so the simulator will not "
                                                      "load it at all") +
                                                 Text(kGenerator)));
            }
            std::vector<Text> unlisted;
            for (std::size_t j = besideFrom[i]; j < besideFrom[i + 1]; ++j) {
                if (!reading.listed[j]) {
                    unlisted.push_back(beside[j]);
                }
            }
            if (!unlisted.empty()) {
                notes.push_back(unlistedNote(list, unlisted));
            }
            if (entry.listed &&
                (files[i].state.rewritten || !recordsSize(entry, files[i].state.size))) {
                addEntryEdits(entry, files[i].state.size, files[i].state.lastWriteTicks, edits);
                updates.push_back(Update{list, files[i].entry, files[i].state, entry.size});
            }
        }
        if (updates.empty()) {
            abandonReplacement(layout);
            return notes;
        }
        std::string edited = editedLayout(bytes.bytes, edits);
        std::string().swap(bytes.bytes);
        SealedFacts sealed;
        placed = beginReplacement(layout, why) &&
                 writeReplacement(layout, edited.data(), edited.size(), why) &&
                 sealReplacement(layout, sealed, why) && commitReplacement(layout, why);
        for (const Update& update : updates) {
            notes.push_back(placed ? updated(update) : notUpdated(update, why));
        }
    } catch (const std::bad_alloc&) {
        // What the list took is freed by now; the files themselves are not the list's to fail.
        abandonReplacement(layout);
        notes.clear();
        if (!placed) {
            refused(causeOf(CauseKind::tooLargeForMemory));
        }
    }
    return notes;
}
