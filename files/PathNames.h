#pragma once

#include "platform/Paths.h"
#include "text/Text.h"

// Names within paths, whatever separators the platform takes.

// Where the name in `path` starts, after its folder.
inline std::int32_t nameStart(const Text& path) {
    std::int32_t start = path.length();
    while (start > 0 && !isPathSeparator(path.c_str()[start - 1])) {
        --start;
    }
    return start;
}

// The folder that holds `path`, with its closing separator; empty for the current folder.
inline Text folderOf(const Text& path) {
    Text folder;
    folder.append(path.c_str(), static_cast<std::size_t>(nameStart(path)));
    return folder;
}

// `folder` with a separator at its end, unless it is empty or has one already.
inline Text withClosingSeparator(Text folder) {
    if (!folder.empty() && !isPathSeparator(folder.c_str()[folder.length() - 1])) {
        folder += pathSeparator();
    }
    return folder;
}

inline Text joined(const Text& folder, const char* name) {
    Text path(folder);
    if (!folder.empty() && !isPathSeparator(folder.c_str()[folder.length() - 1])) {
        path += pathSeparator();
    }
    return path += Text(name);
}
