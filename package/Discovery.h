#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "text/Text.h"

// Which package each of a run's files belongs to. A package is the nearest folder above a file
// that holds both layout.json and manifest.json; whether a folder does is asked of the caller, so
// that this climb over folder names makes no call to the system and runs the same on every one.

// Whether `c` separates folders in a path, as the platform that named the paths takes it.
using IsSeparator = bool (*)(char c);
// Whether `folder` (which ends in a separator) is a package's.
using IsPackageFolder = std::function<bool(const Text& folder)>;

struct FoundPackage {
    Text root;                 // the package's folder, with its closing separator
    std::size_t lastFile = 0;  // the last of the run's files that belongs to it
};

struct FoundFile {
    std::ptrdiff_t package = -1;  // into Discovery::packages, or -1 for a file of no package
    Text entry;                   // its path in the package, with '/' separators, as the list's
    Text folder;                  // the folder that holds it, with its closing separator
};

struct Discovery {
    std::vector<FoundPackage> packages;  // in the order their first files come
    std::vector<FoundFile> files;        // one for each path, in the same order
};

// Packages put an aircraft three folders below their own; eight leaves room for any layout
// without walking a whole disk.
constexpr int kMostPackageLevels = 8;

// The package of each of `paths` (absolute, links resolved), looked for from the file's folder up
// to kMostPackageLevels folders above it. Files of one collection share their upper folders, so
// each folder is asked about once, however many files lie below it.
Discovery discoverPackages(const std::vector<Text>& paths, IsSeparator isSeparator,
                           const IsPackageFolder& isPackageFolder);

// `full` relative to `root` (which it starts with), with '/' separators, as the list writes paths.
Text pathInPackage(const Text& root, const Text& full, IsSeparator isSeparator);
