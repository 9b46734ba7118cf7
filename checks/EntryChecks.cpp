#include "checks/EntryChecks.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "renumber/Renumber.h"

namespace {

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Plain ASCII folding, as the simulators and Windows compare names: a locale must not decide.
std::string folded(const char* chars, std::size_t count) {
    std::string result(chars, count);
    std::transform(result.begin(), result.end(), result.begin(), asciiLower);
    return result;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// chars[from, to) without the blanks at either end.
void trim(const char* chars, std::size_t& from, std::size_t& to) {
    while (from < to && isBlank(chars[from])) {
        ++from;
    }
    while (to > from && isBlank(chars[to - 1])) {
        --to;
    }
}

// The value that stands in line[from, to): quoted, up to its closing quote; otherwise up to a
// comment.
Text valueIn(const char* line, std::size_t from, std::size_t to) {
    trim(line, from, to);
    if (from < to && line[from] == '"') {
        const auto* close =
            static_cast<const char*>(std::memchr(line + from + 1, '"', to - from - 1));
        if (close != nullptr) {
            Text value;
            value.append(line + from + 1, static_cast<std::size_t>(close - line) - from - 1);
            return value;
        }
    }
    for (std::size_t at = from; at < to; ++at) {
        if (line[at] == ';' || (line[at] == '/' && at + 1 < to && line[at + 1] == '/')) {
            to = at;
            break;
        }
    }
    trim(line, from, to);
    if (to - from >= 2 && line[from] == '"' && line[to - 1] == '"') {
        ++from;
        --to;
    }
    Text value;
    value.append(line + from, to - from);
    return value;
}

// What the checks need of an entry; its name and values are read again only for a warning.
struct Entry {
    const Section* section = nullptr;
    bool hasTitle = false;
    std::string foldedTitle;
};

bool sameIgnoringCase(const char* a, const char* b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

Text quoted(const Text& text) {
    return Text("\"") + text + Text("\"");
}

// The texture folder an entry names, or an empty Text when its value is not checked.
Text textureFolder(const Text& value) {
    if (std::strpbrk(value.c_str(), "/\\") != nullptr) {
        return Text();
    }
    return value.empty() ? Text("texture") : Text("texture.") + value;
}

}  // namespace

bool valueOf(const Text& body, const char* key, Text& value) {
    const std::size_t keyLength = std::strlen(key);
    const char* line = body.c_str();
    while (*line != '\0') {
        const char* end = std::strchr(line, '\n');
        const std::size_t length =
            end != nullptr ? static_cast<std::size_t>(end - line) : std::strlen(line);
        const char* equals = std::find(line, line + length, '=');
        if (equals != line + length) {
            std::size_t from = 0;
            std::size_t to = static_cast<std::size_t>(equals - line);
            trim(line, from, to);
            if (to - from == keyLength && sameIgnoringCase(line + from, key, keyLength)) {
                value = valueIn(line, static_cast<std::size_t>(equals - line) + 1, length);
                return true;
            }
        }
        line += length + (end != nullptr ? 1 : 0);
    }
    return false;
}

std::vector<Text> entryWarnings(const SectionList& list, const std::vector<Text>& folders,
                                std::size_t most, std::size_t& total) {
    std::vector<Entry> entries;
    for (const Section* s = list.head; s != nullptr; s = s->next) {
        if (entryName(s->header).empty()) {
            continue;
        }
        Entry entry;
        entry.section = s;
        Text title;
        entry.hasTitle = valueOf(s->body, "title", title);
        entry.foldedTitle = folded(title.c_str(), static_cast<std::size_t>(title.length()));
        entries.push_back(std::move(entry));
    }

    // The first entry with each title, found through a sorted index so that a file of many
    // entries costs no more than sorting them.
    std::vector<std::size_t> byTitle;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].hasTitle) {
            byTitle.push_back(i);
        }
    }
    std::stable_sort(byTitle.begin(), byTitle.end(), [&](std::size_t a, std::size_t b) {
        return entries[a].foldedTitle < entries[b].foldedTitle;
    });
    std::vector<std::size_t> sameTitleAs(entries.size(), entries.size());
    for (std::size_t k = 1; k < byTitle.size(); ++k) {
        const std::size_t first = sameTitleAs[byTitle[k - 1]] < entries.size()
                                      ? sameTitleAs[byTitle[k - 1]]
                                      : byTitle[k - 1];
        if (entries[byTitle[k]].foldedTitle == entries[first].foldedTitle) {
            sameTitleAs[byTitle[k]] = first;
        }
    }

    std::vector<std::string> folderNames;
    folderNames.reserve(folders.size());
    for (const Text& folder : folders) {
        folderNames.push_back(folded(folder.c_str(), static_cast<std::size_t>(folder.length())));
    }
    std::sort(folderNames.begin(), folderNames.end());

    // Only the warnings that will be shown are worded; the rest are counted.
    std::vector<Text> warnings;
    total = 0;
    auto warn = [&](auto word) {
        if (++total <= most) {
            warnings.push_back(word());
        }
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        const Section& section = *entry.section;
        if (!entry.hasTitle) {
            warn([&] {
                return entryName(section.header) +
                       Text(" has no title=, so the simulator cannot list it");
            });
        } else if (sameTitleAs[i] < entries.size()) {
            warn([&] {
                Text title;
                valueOf(section.body, "title", title);
                return entryName(entries[sameTitleAs[i]].section->header) + Text(" and ") +
                       entryName(section.header) + Text(" have the same title ") + quoted(title) +
                       Text(", so the simulator shows only one of them");
            });
        }
        Text texture;
        if (valueOf(section.body, "texture", texture)) {
            const Text folder = textureFolder(texture);
            if (!folder.empty() &&
                !std::binary_search(
                    folderNames.begin(), folderNames.end(),
                    folded(folder.c_str(), static_cast<std::size_t>(folder.length())))) {
                warn([&] {
                    return entryName(section.header) + Text(" uses texture=") + texture +
                           Text(", but there is no folder ") + folder +
                           Text(
                               " beside the file, so the simulator paints it wrongly or hides "
                               "it");
                });
            }
        }
    }
    return warnings;
}
