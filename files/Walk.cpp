#include "files/Walk.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "files/Folders.h"
#include "files/PathNames.h"

namespace {

struct Walk {
    WalkVisitor& visitor;

    // Lists the folder at `place`, held as `held`, and walks those below it.
    bool folder(const WalkPlace& place, const HeldFolder& held, Text& reason) {
        std::vector<Text> below;
        visitor.starting(place);
        auto visit = [&](const ListedEntry& entry) {
            visitor.entry(place, entry);
            if (entry.kind == EntryKind::folder && place.depth < kDeepest) {
                below.emplace_back(entry.name);
            }
        };
        if (!listFolder(held, visit, reason)) {
            return false;
        }
        if (!visitor.listed(place) || below.empty()) {
            return true;
        }
        std::sort(below.begin(), below.end(), [](const Text& a, const Text& b) {
            return std::strcmp(a.c_str(), b.c_str()) < 0;
        });
        for (const Text& name : below) {
            const Text path = joined(place.path, name.c_str());
            const Text relative = place.relative + name + Text("/");
            HeldFolder inside;
            Text why;
            const Hold hold = holdFolderIn(held, name.c_str(), inside, why);
            if (hold == Hold::notAFolder) {
                visitor.failed(WalkError{WalkError::Kind::replaced, path, Text()});
                continue;
            }
            if (hold == Hold::failed ||
                !folder(WalkPlace{path, relative, place.depth + 1}, inside, why)) {
                visitor.failed(WalkError{WalkError::Kind::unreadable, path, std::move(why)});
            }
        }
        return true;
    }
};

}  // namespace

bool walkFolder(const Text& start, const HeldFolder& held, WalkVisitor& visitor, Text& reason) {
    const Text relative;
    return Walk{visitor}.folder(WalkPlace{start, relative, 0}, held, reason);
}

std::vector<Text> filesBelow(const Text& folder, std::size_t most, std::vector<WalkError>& errors) {
    struct Files : WalkVisitor {
        std::size_t most = 0;
        std::vector<Text> found;
        std::vector<WalkError>* errors = nullptr;

        void starting(const WalkPlace&) override {}
        void entry(const WalkPlace& place, const ListedEntry& entry) override {
            if (entry.kind == EntryKind::file && found.size() < most) {
                found.push_back(place.relative + Text(entry.name));
            }
        }
        bool listed(const WalkPlace&) override { return found.size() < most; }
        void failed(const WalkError& error) override { errors->push_back(error); }
    } files;
    files.most = most;
    files.errors = &errors;
    HeldFolder held;
    Text reason;
    if (!holdFolder(folder, held, reason) || !walkFolder(folder, held, files, reason)) {
        errors.push_back(WalkError{WalkError::Kind::unreadable, folder, std::move(reason)});
    }
    return std::move(files.found);
}
