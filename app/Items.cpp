#include "app/Items.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <utility>

#include "app/PathNames.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "text/AsciiCase.h"
#include "text/Decimal.h"

namespace {

bool sameIgnoringAsciiCase(const char* a, const char* b) {
    const std::size_t length = std::strlen(a);
    return length == std::strlen(b) && equalIgnoringAsciiCase(a, b, length);
}

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

// What one listing of a folder tells: the file to tidy there, the texture folders beside it, and
// the folders below it.
struct FolderLook {
    Text file[2];  // the name that each of kFileNames has here, if any
    TextureFolders textures;
    std::vector<Text> below;  // folders, not links to them, by name, in the folder's order
};

// Lists `folder`, held as `held`, once, and keeps the folders below it only when asked to. Where
// several names differ only in letter case (a case-sensitive file system), the first in byte
// order is taken, whatever the folder's own order.
bool look(const Text& folder, const HeldFolder& held, FolderLook& found, Text& reason,
          bool keepBelow = true) {
    const std::size_t prefixLength = std::strlen(kTextureFolderPrefix);
    auto visit = [&](const ListedEntry& entry) {
        for (std::size_t i = 0; i < 2; ++i) {
            if (sameIgnoringAsciiCase(entry.name, kFileNames[i]) &&
                (found.file[i].empty() || std::strcmp(entry.name, found.file[i].c_str()) < 0)) {
                found.file[i] = Text(entry.name);
            }
        }
        if (entry.length >= prefixLength &&
            equalIgnoringAsciiCase(entry.name, kTextureFolderPrefix, prefixLength) &&
            (entry.kind == EntryKind::folder ||
             (entry.kind != EntryKind::file && leadsToFolder(folder, entry.name)))) {
            found.textures.names.append(entry.name, entry.length);
            found.textures.names += '/';
        }
        if (keepBelow && entry.kind == EntryKind::folder) {
            found.below.emplace_back(entry.name);
        }
    };
    if (!listFolder(held, visit, reason)) {
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

Text lineAbout(const Text& path, const char* what) {
    return fullPathOf(path) + Text(": ") + Text(what);
}

Text lineAbout(const Text& path, const char* what, const Text& reason) {
    return lineAbout(path, what) + reason;
}

// Every file to tidy in the folders below `folder`, which `here` tells of and `held` holds,
// `levels` folders down at the most. Each folder is entered through the one above it, never by
// its path, so that a folder that became a link after its parent was listed is passed over.
void walkBelow(const Text& folder, const HeldFolder& held, FolderLook& here, int levels,
               ItemFiles& found) {
    if (levels == 0) {
        return;
    }
    // By name, so that the files come in the same order on every system.
    std::sort(here.below.begin(), here.below.end(),
              [](const Text& a, const Text& b) { return std::strcmp(a.c_str(), b.c_str()) < 0; });
    for (const Text& name : here.below) {
        const Text inside = joined(folder, name.c_str());
        HeldFolder below;
        FolderLook there;
        Text reason;
        const Hold hold = holdFolderIn(held, name.c_str(), below, reason);
        if (hold == Hold::notAFolder) {
            found.notes.push_back(
                lineAbout(inside,
                          "was a folder when the folder above it was listed but is not one now (a "
                          "link or a file took its place), so it was passed over"));
            continue;
        }
        if (hold == Hold::failed || !look(inside, below, there, reason)) {
            found.notes.push_back(lineAbout(
                inside, "cannot look inside this folder, so it was passed over: ", reason));
            continue;
        }
        takeFile(inside, there, found);
        walkBelow(inside, below, there, levels - 1, found);
    }
}

}  // namespace

ItemFiles fileIn(const Text& folder) {
    ItemFiles found;
    HeldFolder held;
    FolderLook here;
    Text reason;
    if (holdFolder(folder, held, reason) && look(folder, held, here, reason, false)) {
        takeFile(folder, here, found);
    }
    return found;
}

ItemFiles filesOfItems(const std::vector<Text>& items) {
    ItemFiles found;
    for (const Text& item : items) {
        if (item.empty()) {
            found.refusals.push_back(Text("\"\": is an empty name, so nothing was touched"));
            continue;
        }
        Standing standing = Standing::missing;
        Text reason;
        if (!examinePath(item, standing, reason)) {
            found.refusals.push_back(lineAbout(item, "cannot examine it: ", reason));
            continue;
        }
        switch (standing) {
            case Standing::missing:
                found.refusals.push_back(lineAbout(item, "there is no such file or folder"));
                break;
            case Standing::other:
                found.refusals.push_back(
                    lineAbout(item, "is neither a file nor a folder, so it was not touched"));
                break;
            case Standing::file:
                if (isATidyableName(item.c_str() + nameStart(item))) {
                    found.files.push_back(item);
                    found.textures.emplace_back();  // listed when its checks need them
                } else {
                    found.refusals.push_back(lineAbout(
                        item, "is not an aircraft.cfg or a sim.cfg, so it was not touched"));
                }
                break;
            case Standing::folder: {
                const std::size_t before = found.files.size();
                HeldFolder held;
                FolderLook here;
                if (!holdFolder(item, held, reason) || !look(item, held, here, reason)) {
                    found.notes.push_back(lineAbout(
                        item, "cannot look inside this folder, so it was passed over: ", reason));
                } else if (!takeFile(item, here, found)) {
                    walkBelow(item, held, here, kDeepest, found);
                }
                if (found.files.size() == before) {
                    const Text deepest =
                        Text("holds no aircraft.cfg or sim.cfg, at any depth up to ") +
                        toDecimal(kDeepest) + Text(" folders");
                    found.refusals.push_back(lineAbout(item, deepest.c_str()));
                }
                break;
            }
        }
    }
    // The same file reached twice (given twice, or through a link) is tidied once, so that it is
    // neither counted twice nor warned of as sharing its titles with another file.
    std::unordered_set<std::string> seen;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < found.files.size(); ++i) {
        if (!seen.insert(resolvedPathOf(found.files[i]).c_str()).second) {
            continue;
        }
        if (kept != i) {
            found.files[kept] = std::move(found.files[i]);
            found.textures[kept] = std::move(found.textures[i]);
        }
        ++kept;
    }
    found.files.resize(kept);
    found.textures.resize(kept);
    return found;
}
