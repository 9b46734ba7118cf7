#include "app/PackageList.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <utility>

#include "app/Report.h"
#include "files/FileReplacement.h"
#include "files/Folders.h"
#include "files/PathNames.h"
#include "files/Walk.h"
#include "platform/Paths.h"
#include "text/AsciiCase.h"

namespace {

// The climb to a package goes as far up as a walk goes down.
static_assert(kMostPackageLevels == kDeepest, "a package is looked for as deep as files are");

// A file list larger than this is no package's: it is left alone rather than held in memory.
constexpr std::size_t kLargestList = std::size_t{64} << 20;
// The files below the aircraft's folder that are compared with the list, at most.
constexpr std::size_t kMostFiles = 100000;

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

// Whether `name` is one of the program's own files that a replacement leaves beside a file for
// a moment, or that an ended run left: its temporary files and the old content moved aside.
bool isOwnTemporary(const char* name, std::size_t length) {
    const char* stem = std::strstr(name, ".tmp-");
    if (stem == nullptr) {
        return false;
    }
    const Leftover kind = leftoverOf(name, length, static_cast<std::size_t>(stem - name));
    return kind == Leftover::temporary || kind == Leftover::contentAside;
}

// Adds to `disk` what the aircraft's folder `folder` (resolved, with its closing separator) holds,
// to the walk's depth: each regular file with its size and time, and each folder with whether it
// was read whole. At most `most` files are taken; past them no folder counts as read whole.
void addFolder(const Text& root, const Text& folder, const Text& program, std::size_t most,
               PackageDisk& disk) {
    struct Found : WalkVisitor {
        Text inPackage;  // the aircraft's folder in the package
        Text program;    // this program's file, links resolved
        std::size_t most = 0;
        PackageDisk* disk = nullptr;
        std::map<std::string, bool> places;  // by their paths below the aircraft's folder
        bool full = false;

        // A listing that fails part way has told real files: they are listed, but its folder
        // stays not read whole, so nothing below it is taken for gone.
        void starting(const WalkPlace&) override {}
        void entry(const WalkPlace& place, const ListedEntry& entry) override {
            const Text relative = place.relative + Text(entry.name);
            if (entry.kind == EntryKind::file) {
                if (isOwnTemporary(entry.name, entry.length) ||
                    (!program.empty() &&
                     std::strcmp(program.c_str() + nameStart(program), entry.name) == 0 &&
                     resolvedPathOf(joined(place.path, entry.name)) == program)) {
                    return;  // the program, which the user may have copied there to run it
                }
                bool there = false;
                os::Status status;
                Text reason;
                if (disk->files.size() >= most) {
                    full = true;
                } else if (statusOf(joined(place.path, entry.name), os::Links::notFollowed, there,
                                    status, reason) &&
                           there && status.kind == EntryKind::file) {
                    disk->files.push_back(
                        FileOnDisk{inPackage + relative, status.size, status.lastWriteTicks});
                } else {
                    // Gone or changed since the folder was listed: neither listed nor removed.
                    places.emplace((relative + Text("/")).c_str(), false);
                }
            } else {
                // A folder, read whole once it is listed; a link, never.
                places.emplace((relative + Text("/")).c_str(), false);
            }
        }
        bool listed(const WalkPlace& place) override {
            places[place.relative.c_str()] = !full;
            return !full;
        }
        void failed(const WalkError&) override {}  // its folder stays not read whole
    } found;
    found.inPackage = pathInPackage(root, folder, isPathSeparator);
    found.program = program;
    found.most = most;
    found.disk = &disk;
    found.places.emplace("", false);
    HeldFolder held;
    Text reason;
    if (holdFolder(folder, held, reason)) {
        walkFolder(folder, held, found, reason);
    }
    for (const auto& place : found.places) {
        disk.places.push_back(
            PlaceOnDisk{found.inPackage + Text(place.first.c_str()), place.second && !found.full});
    }
    disk.folders.push_back(found.inPackage);
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

PackageLists::PackageLists(const std::vector<Text>& files, const std::vector<Text>& resolved,
                           bool dryRun)
    : dryRun_(dryRun) {
    std::vector<Text> full;
    full.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        full.push_back(i < resolved.size() && !resolved[i].empty() ? resolved[i]
                                                                   : resolvedPathOf(files[i]));
    }
    Discovery discovery = discoverPackages(full, isPathSeparator, isPackageFolder);
    for (FoundPackage& package : discovery.packages) {
        packages_.emplace_back();
        packages_.back().found = std::move(package);
    }
    found_ = std::move(discovery.files);
}

void PackageLists::record(std::size_t index, const ListedFile& state) {
    if (index >= found_.size() || found_[index].package < 0) {
        return;
    }
    std::vector<Pending>& pending =
        packages_[static_cast<std::size_t>(found_[index].package)].files;
    // A file named twice in a run (through a link, say) has one entry, which records it as it
    // stands last; rewritten once, it was rewritten.
    for (Pending& earlier : pending) {
        if (earlier.file.entry == found_[index].entry) {
            const bool rewritten = earlier.file.state.rewritten || state.rewritten;
            earlier.file.state = state;
            earlier.file.state.rewritten = rewritten;
            return;
        }
    }
    pending.emplace_back();
    pending.back().file.entry = std::move(found_[index].entry);
    pending.back().file.state = state;
    pending.back().folder = std::move(found_[index].folder);
}

std::vector<Text> PackageLists::settleAfter(std::size_t index, MemoryBudget& memory,
                                            std::int64_t held) {
    std::vector<Text> notes;
    if (index >= found_.size() || found_[index].package < 0) {
        return notes;
    }
    Package& package = packages_[static_cast<std::size_t>(found_[index].package)];
    if (package.found.lastFile != index || package.files.empty()) {
        return notes;
    }
    const std::vector<Pending> pending = std::move(package.files);
    package.files.clear();
    const Text& root = package.found.root;
    const Text list = root + Text("layout.json");
    // The recorded files as the plan takes them, but for the files beside them.
    const auto filesOf = [&pending] {
        std::vector<PackageFile> files;
        files.reserve(pending.size());
        for (const Pending& recorded : pending) {
            files.push_back(recorded.file);
        }
        return files;
    };
    Replacement layout;
    bool placed = false;  // the new list is in place: whatever follows, it is not "still old"
    try {
        // What the aircraft's folders hold, each walked once, however many files it has.
        const Text program = programFile();
        std::vector<PackageFile> files = filesOf();
        PackageDisk disk;
        std::vector<Text> walked;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const Text& folder = pending[i].folder;
            if (files[i].state.holdsEntries && disk.files.size() < kMostFiles &&
                std::find(walked.begin(), walked.end(), folder) == walked.end()) {
                addFolder(root, folder, program, kMostFiles, disk);
                walked.push_back(folder);
            }
        }
        // What cannot be read or replaced leaves every entry as it was.
        Cause why;
        if (!openOriginal(list.c_str(), layout, why)) {
            addListNotes(list, factsOfRefusedList(files), &why, notes);
            return notes;
        }
        const std::int64_t memoryBudget = memory.forInputOf(layout.expectedSize) - held;
        ListBytes bytes;
        bytes.memoryBudget = memoryBudget;
        if (!readWhole(layout, bytes, why)) {
            addListNotes(list, factsOfRefusedList(files), &why, notes);
            return notes;
        }
        ListPlan plan;
        const std::int64_t copies = 2 * static_cast<std::int64_t>(bytes.bytes.size());
        if (!planListEdit(bytes.bytes, files, disk, asSize(memoryBudget - copies), plan, why)) {
            abandonReplacement(layout);
            addListNotes(list, plan.facts, &why, notes);
            return notes;
        }
        if (!plan.edited || dryRun_) {
            // A dry run tells what the edit would do, and writes nothing.
            abandonReplacement(layout);
            addListNotes(list, plan.facts, nullptr, notes, dryRun_);
            return notes;
        }
        std::string().swap(bytes.bytes);
        const std::string& edited = *plan.edited;
        SealedFacts sealed;
        placed = beginReplacement(layout, why) &&
                 writeReplacement(layout, edited.data(), edited.size(), why) &&
                 sealReplacement(layout, sealed, why) && commitReplacement(layout, why);
        addListNotes(list, plan.facts, placed ? nullptr : &why, notes);
    } catch (const std::bad_alloc&) {
        // What the list took is freed by now; the files themselves are not the list's to fail.
        abandonReplacement(layout);
        notes.clear();
        if (!placed) {
            const Cause cause = causeOf(CauseKind::tooLargeForMemory);
            addListNotes(list, factsOfRefusedList(filesOf()), &cause, notes);
        }
    }
    return notes;
}
