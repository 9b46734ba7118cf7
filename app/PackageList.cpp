#include "app/PackageList.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "app/PathNames.h"
#include "package/Layout.h"
#include "platform/Paths.h"
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
std::string relativeTo(const Text& root, const Text& full) {
    std::string relative(full.c_str() + root.length());
    for (char& c : relative) {
        if (isPathSeparator(c)) {
            c = '/';
        }
    }
    return relative;
}

bool readWhole(Replacement& file, std::string& bytes, Text& why) {
    char chunk[kStreamChunk];
    for (;;) {
        std::size_t got = 0;
        if (!readOriginal(file, chunk, sizeof chunk, got, why)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (bytes.size() + got > kLargestList) {
            why = "is too large for a package's file list";
            abandonReplacement(file);
            return false;
        }
        bytes.append(chunk, got);
    }
}

bool startsWith(const Text& text, const char* start) {
    return std::strncmp(text.c_str(), start, std::strlen(start)) == 0;
}

// A cause as the middle of a sentence about the list: "cannot ..." and "it ..." as they are,
// "is read-only ..." as "it is read-only ...".
Text aboutTheList(const Text& cause) {
    return startsWith(cause, "cannot ") || startsWith(cause, "it ") || startsWith(cause, "its ")
               ? cause
               : Text("it ") + cause;
}

Text noteOn(const PackageList& package, const Text& text) {
    return package.layoutPath + Text(": ") + text;
}

// The list stays as it was, and the simulator may cut the rewritten file at its old size.
Text stillOld(const PackageList& package, const Text& cause) {
    return noteOn(package, Text("the entry for ") + package.entry +
                               Text(" still records the old size (") + aboutTheList(cause) +
                               Text(")") + Text(kGenerator));
}

// What the list leaves out cannot be told.
Text unreadable(const PackageList& package, const Text& cause) {
    return noteOn(package, Text("cannot check what it lists (") + aboutTheList(cause) + Text(")") +
                               Text(kGenerator));
}

void noteUnlisted(PackageList& package, const std::vector<std::string>& unlisted) {
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
        note += Text(i == 0 ? "" : ", ") + Text(unlisted[i].c_str());
    }
    if (unlisted.size() > kFilesNamed) {
        note += Text(" and ") +
                toDecimal(static_cast<std::int32_t>(unlisted.size() - kFilesNamed)) + Text(" more");
    }
    package.notes.push_back(noteOn(package, note + Text(kGenerator)));
}

}  // namespace

void preparePackageList(const Text& file, const SealedFacts* facts, PackageList& package) {
    const Text full = fullPathOf(file);
    const Text folder = folderOf(full);
    const Text root = packageAbove(folder);
    if (root.empty()) {
        return;
    }
    package.layoutPath = root + Text("layout.json");
    const std::string relative = relativeTo(root, full);
    package.entry = relative.c_str();

    std::vector<std::string> files;
    const std::string folderInPackage = relativeTo(root, folder);
    for (const Text& inside : filesUnder(folder, kMostFiles)) {
        std::string path = folderInPackage + inside.c_str();
        // The file itself gets a note of its own, and its new content still stands beside it
        // under a temporary name (the file's own name and ".tmp") until it is put in place.
        if (path.rfind(relative, 0) != 0 ||
            (path.size() != relative.size() && path.compare(relative.size(), 4, ".tmp") != 0)) {
            files.push_back(std::move(path));
        }
    }
    std::sort(files.begin(), files.end());  // the order the user sees, whatever the folder's
    Text why;
    std::string bytes;
    if (!openOriginal(package.layoutPath.c_str(), package.layout, why) ||
        !readWhole(package.layout, bytes, why)) {
        package.notes.push_back(facts != nullptr ? stillOld(package, why)
                                                 : unreadable(package, why));
        return;
    }
    LayoutUpdate update;
    std::string invalid;
    const bool understood =
        updateLayout(bytes, relative, facts != nullptr ? facts->size : 0,
                     facts != nullptr ? facts->lastWriteTicks : 0, files, update, invalid);
    if (!understood) {
        why = invalid.c_str();
        package.notes.push_back(facts != nullptr ? stillOld(package, why)
                                                 : unreadable(package, why));
        abandonReplacement(package.layout);
        return;
    }
    if (!update.listed) {
        package.notes.push_back(noteOn(package, Text(relative.c_str()) +
                                                    Text(" is not listed, so the simulator will "
                                                         "not load it at all") +
                                                    Text(kGenerator)));
    }
    noteUnlisted(package, update.unlisted);
    if (facts == nullptr || !update.listed) {
        abandonReplacement(package.layout);
        return;
    }
    SealedFacts sealed;
    if (!beginReplacement(package.layout, why) ||
        !writeReplacement(package.layout, update.bytes.data(), update.bytes.size(), why) ||
        !sealReplacement(package.layout, sealed, why)) {
        package.notes.push_back(stillOld(package, why));
        return;
    }
    package.prepared = true;
}

void commitPackageList(PackageList& package) {
    if (!package.prepared) {
        return;
    }
    package.prepared = false;
    Text why;
    if (!commitReplacement(package.layout, why)) {
        package.notes.push_back(stillOld(package, why));
    }
}
