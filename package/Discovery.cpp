#include "package/Discovery.h"

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

namespace {

// The length of the folder that holds what `path` names (a file, or a folder by its closing
// separator), up to and with its separator; 0 when there is none.
std::int32_t folderLength(const Text& path, std::int32_t end, IsSeparator isSeparator) {
    std::int32_t at = end;
    while (at > 0 && !isSeparator(path.c_str()[at - 1])) {
        --at;
    }
    return at;
}

Text firstChars(const Text& path, std::int32_t length) {
    Text start;
    start.append(path.c_str(), static_cast<std::size_t>(length));
    return start;
}

}  // namespace

Text pathInPackage(const Text& root, const Text& full, IsSeparator isSeparator) {
    assert(std::strncmp(full.c_str(), root.c_str(), static_cast<std::size_t>(root.length())) == 0);
    Text relative;
    relative.reserve(std::int64_t{full.length()} - root.length() + 1);
    for (const char* c = full.c_str() + root.length(); *c != '\0'; ++c) {
        relative += isSeparator(*c) ? '/' : *c;
    }
    return relative;
}

Discovery discoverPackages(const std::vector<Text>& paths, IsSeparator isSeparator,
                           const IsPackageFolder& isPackageFolder) {
    Discovery found;
    std::unordered_map<std::string, bool> isPackage;
    std::unordered_map<std::string, std::size_t> packageAt;
    found.files.resize(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const Text& full = paths[i];
        const Text folder = firstChars(full, folderLength(full, full.length(), isSeparator));
        Text root = folder;
        bool inPackage = false;
        for (int level = 0; level <= kMostPackageLevels && !root.empty() && !inPackage; ++level) {
            const auto known = isPackage.emplace(root.c_str(), false);
            if (known.second) {
                known.first->second = isPackageFolder(root);
            }
            inPackage = known.first->second;
            if (!inPackage) {
                // The folder above: its own closing separator is passed over.
                root = firstChars(root, folderLength(root, root.length() - 1, isSeparator));
            }
        }
        if (!inPackage) {
            continue;
        }
        const auto at = packageAt.emplace(root.c_str(), found.packages.size());
        if (at.second) {
            found.packages.emplace_back();
            found.packages.back().root = root;
        }
        found.packages[at.first->second].lastFile = i;
        FoundFile& file = found.files[i];
        file.package = static_cast<std::ptrdiff_t>(at.first->second);
        file.entry = pathInPackage(root, full, isSeparator);
        file.folder = folder;
    }
    return found;
}
