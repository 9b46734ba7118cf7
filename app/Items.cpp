#include "app/Items.h"

#include <cstring>

#include "app/PathNames.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "text/AsciiCase.h"

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

// The file to tidy among `entries` of `folder`, spelt as the folder spells it: whatever stands at
// the name, so that opening it says what is wrong with a folder or a FIFO of that name.
Text fileAmong(const Text& folder, const std::vector<FolderEntry>& entries) {
    for (const char* known : kFileNames) {
        for (const FolderEntry& entry : entries) {
            if (sameIgnoringAsciiCase(entry.name.c_str(), known)) {
                return joined(folder, entry.name.c_str());
            }
        }
    }
    return Text();
}

Text lineAbout(const Text& path, const char* what) {
    return fullPathOf(path) + Text(": ") + Text(what);
}

Text lineAbout(const Text& path, const char* what, const Text& reason) {
    return lineAbout(path, what) + reason;
}

// Every file to tidy below `folder`, `levels` folders down at the most.
void walk(const Text& folder, int levels, ItemFiles& found) {
    std::vector<FolderEntry> entries;
    Text reason;
    if (!entriesOf(folder, entries, reason)) {
        found.notes.push_back(
            lineAbout(folder, "cannot look inside this folder, so it was passed over: ", reason));
        return;
    }
    const Text here = fileAmong(folder, entries);
    if (!here.empty()) {
        found.files.push_back(here);
    }
    if (levels == 0) {
        return;
    }
    for (const FolderEntry& entry : entries) {
        if (entry.kind == EntryKind::folder) {
            walk(joined(folder, entry.name.c_str()), levels - 1, found);
        }
    }
}

}  // namespace

Text fileIn(const Text& folder) {
    std::vector<FolderEntry> entries;
    Text reason;
    return entriesOf(folder, entries, reason) ? fileAmong(folder, entries) : Text();
}

ItemFiles filesOfItems(const std::vector<Text>& items) {
    ItemFiles found;
    for (const Text& item : items) {
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
                } else {
                    found.refusals.push_back(lineAbout(
                        item, "is not an aircraft.cfg or a sim.cfg, so it was not touched"));
                }
                break;
            case Standing::folder: {
                const std::size_t before = found.files.size();
                const Text inside = fileIn(item);
                if (!inside.empty()) {
                    found.files.push_back(inside);
                } else {
                    walk(item, kDeepest, found);
                }
                if (found.files.size() == before) {
                    found.refusals.push_back(lineAbout(
                        item, "holds no aircraft.cfg or sim.cfg, at any depth up to 8 folders"));
                }
                break;
            }
        }
    }
    return found;
}
