#include "app/PackageList.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "app/PathNames.h"
#include "package/Layout.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "text/AsciiCase.h"
#include "text/Decimal.h"

namespace {

// Packages put an aircraft three folders below their own; eight leaves room for any layout
// without walking a whole disk.
constexpr int kMostLevels = 8;
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

// The package folder that holds `folder`, or an empty Text.
Text packageAbove(Text folder) {
    for (int level = 0; level <= kMostLevels && !folder.empty(); ++level) {
        if (kindOf(folder + Text("layout.json")) == PathKind::file &&
            kindOf(folder + Text("manifest.json")) == PathKind::file) {
            return folder;
        }
        folder = parentOf(folder);
    }
    return Text();
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

Text noteOn(const PackageList& package, const Text& text) {
    return package.layoutPath + Text(": ") + text;
}

// A file's size, which may pass what toDecimal takes.
Text decimal(std::int64_t n) {
    return Text(std::to_string(n).c_str());
}

// The cause as a clause in a sentence about the list: "(it is read-only, so it was not replaced)".
Text because(const Cause& cause) {
    return Text(" (") + wordedInSentence(cause) + Text(")");
}

// The list stays as it was, and the simulator may cut the rewritten file at its old size.
Text stillOld(const PackageList& package, const Cause& cause) {
    return noteOn(package, Text("the entry for ") + package.entry +
                               Text(" still records the old size") + because(cause) +
                               Text(kGenerator));
}

// What the list leaves out cannot be told.
Text unreadable(const PackageList& package, const Cause& cause) {
    return noteOn(package, Text("cannot check what it lists") + because(cause) + Text(kGenerator));
}

// The entry of a file that was not rewritten records another size than the file's, and stays so.
Text stillWrong(const PackageList& package, const Cause& cause) {
    return noteOn(package, Text("the entry for ") + package.entry + Text(" records ") +
                               package.recordedSize + Text(" bytes, not the file's ") +
                               decimal(package.fileSize) + because(cause) + Text(kGenerator));
}

// The note when the prepared list cannot be put in place.
Text notUpdated(const PackageList& package, const Cause& cause) {
    return package.fileRewritten ? stillOld(package, cause) : stillWrong(package, cause);
}

// The note once it is: a user cannot otherwise tell that layout.json changed.
Text updated(const PackageList& package) {
    return noteOn(package, package.fileRewritten
                               ? Text("the entry for ") + package.entry +
                                     Text(" now records the rewritten file's size (") +
                                     decimal(package.fileSize) + Text(" bytes) and time")
                               : Text("the entry for ") + package.entry + Text(" recorded ") +
                                     package.recordedSize + Text(" bytes, not the file's ") +
                                     decimal(package.fileSize) +
                                     Text("; it now records the file's size and time"));
}

void noteUnlisted(PackageList& package, const std::vector<Text>& unlisted) {
    if (unlisted.empty()) {
        return;
    }
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
    package.notes.push_back(noteOn(package, note + Text(kGenerator)));
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
std::vector<Text> filesBeside(const Text& root, const Text& folder, const Text& relative) {
    std::vector<Text> files;
    const Text folderInPackage = relativeTo(root, folder);
    const Text program = programFile();
    for (const Text& inside : filesUnder(folder, kMostFiles)) {
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

void prepareList(const Text& folder, const Text& relative, const ListedFile& state,
                 std::int64_t memoryBudget, PackageList& package) {
    const Text root = folderOf(package.layoutPath);
    const std::vector<Text> files =
        state.holdsEntries ? filesBeside(root, folder, relative) : std::vector<Text>();
    auto refused = [&](const Cause& cause) {
        package.notes.push_back(state.rewritten ? stillOld(package, cause)
                                                : unreadable(package, cause));
    };
    Cause why;
    ListBytes list;
    list.memoryBudget = memoryBudget;
    if (!openOriginal(package.layoutPath.c_str(), package.layout, why) ||
        !readWhole(package.layout, list, why)) {
        refused(why);
        return;
    }
    LayoutEntry entry;
    const std::int64_t held = 2 * static_cast<std::int64_t>(list.bytes.size());
    if (!readLayout(list.bytes, relative, files, asSize(memoryBudget - held), entry, why)) {
        abandonReplacement(package.layout);
        refused(why);
        return;
    }
    if (!entry.listed) {
        package.notes.push_back(noteOn(package, relative +
                                                    Text(" is not listed, so the simulator will "
                                                         "not load it at all") +
                                                    Text(kGenerator)));
    }
    noteUnlisted(package, entry.unlisted);
    if (!entry.listed || (!state.rewritten && recordsSize(entry, state.size))) {
        abandonReplacement(package.layout);
        return;
    }
    package.recordedSize = entry.size;
    const std::string edited = editedLayout(list.bytes, entry, state.size, state.lastWriteTicks);
    std::string().swap(list.bytes);
    SealedFacts sealed;
    if (!beginReplacement(package.layout, why) ||
        !writeReplacement(package.layout, edited.data(), edited.size(), why) ||
        !sealReplacement(package.layout, sealed, why)) {
        package.notes.push_back(notUpdated(package, why));
        return;
    }
    package.prepared = true;
}

}  // namespace

void preparePackageList(const Text& file, const ListedFile& state, std::int64_t memoryBudget,
                        PackageList& package) {
    const Text full = resolvedPathOf(file);
    const Text folder = folderOf(full);
    const Text root = packageAbove(folder);
    if (root.empty()) {
        return;
    }
    package.layoutPath = root + Text("layout.json");
    package.entry = relativeTo(root, full);
    package.fileRewritten = state.rewritten;
    package.fileSize = state.size;
    try {
        prepareList(folder, package.entry, state, memoryBudget, package);
    } catch (const std::bad_alloc&) {
        // What the list took is freed by now; the file itself is not the list's to fail.
        abandonReplacement(package.layout);
        package.prepared = false;
        const Cause tooLarge = causeOf(CauseKind::tooLargeForMemory);
        package.notes.push_back(state.rewritten ? stillOld(package, tooLarge)
                                                : unreadable(package, tooLarge));
    }
}

void commitPackageList(PackageList& package) {
    if (!package.prepared) {
        return;
    }
    package.prepared = false;
    Cause why;
    package.notes.push_back(commitReplacement(package.layout, why) ? updated(package)
                                                                   : notUpdated(package, why));
}
