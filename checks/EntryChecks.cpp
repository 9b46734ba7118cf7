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

struct Entry {
    const Section* section = nullptr;
    Text name;  // "[fltsim.3]"
    bool hasTitle = false;
    Text title;
    std::string foldedTitle;
};

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
            if (to - from == keyLength &&
                folded(line + from, keyLength) == folded(key, keyLength)) {
                value = valueIn(line, static_cast<std::size_t>(equals - line) + 1, length);
                return true;
            }
        }
        line += length + (end != nullptr ? 1 : 0);
    }
    return false;
}

std::vector<Text> entryWarnings(const SectionList& list, const std::vector<Text>& folders) {
    std::vector<Entry> entries;
    for (const Section* s = list.head; s != nullptr; s = s->next) {
        Entry entry;
        entry.section = s;
        entry.name = entryName(s->header);
        if (entry.name.empty()) {
            continue;
        }
        entry.hasTitle = valueOf(s->body, "title", entry.title);
        entry.foldedTitle =
            folded(entry.title.c_str(), static_cast<std::size_t>(entry.title.length()));
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

    std::vector<Text> warnings;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        if (!entry.hasTitle) {
            warnings.push_back(entry.name +
                               Text(" has no title=, so the simulator cannot list it"));
        } else if (sameTitleAs[i] < entries.size()) {
            warnings.push_back(entries[sameTitleAs[i]].name + Text(" and ") + entry.name +
                               Text(" have the same title ") + quoted(entry.title) +
                               Text(", so the simulator shows only one of them"));
        }
        Text texture;
        if (valueOf(entry.section->body, "texture", texture)) {
            const Text folder = textureFolder(texture);
            if (!folder.empty() &&
                !std::binary_search(
                    folderNames.begin(), folderNames.end(),
                    folded(folder.c_str(), static_cast<std::size_t>(folder.length())))) {
                warnings.push_back(entry.name + Text(" uses texture=") + texture +
                                   Text(", but there is no folder ") + folder +
                                   Text(" beside the file, so the simulator paints it wrongly or "
                                        "hides it"));
            }
        }
    }
    return warnings;
}
