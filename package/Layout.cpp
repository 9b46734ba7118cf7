#include "package/Layout.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "json/Json.h"
#include "text/NameCase.h"

namespace {

// As Windows, and so the simulator, compares names; '\' is taken for '/' as Windows takes it.
std::string comparable(const char* chars, std::size_t count) {
    std::string path(chars, count);
    foldNameCase(&path[0], path.size());
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string comparable(const Text& path) {
    return comparable(path.c_str(), static_cast<std::size_t>(path.length()));
}

std::string comparable(const std::string& path) {
    return comparable(path.data(), path.size());
}

const JsonValue* memberOf(const JsonValue& object, const char* name, int& count) {
    const JsonValue* found = nullptr;
    count = 0;
    for (const auto& member : object.members) {
        if (member.first == name) {
            found = &member.second;
            ++count;
        }
    }
    return found;
}

// Where the digits of the entry's number `name` lie: a number written as digits alone, or a
// string of digits alone (without escapes, so that its bytes are its digits), whose quotes stay.
bool digitsOf(const std::string& layout, const JsonValue& entry, const char* name, DigitSpan& span,
              Cause& why) {
    int count = 0;
    const JsonValue* number = memberOf(entry, name, count);
    if (count != 1) {
        why = causeOf(count == 0 ? CauseKind::entryLacks : CauseKind::entryHasTwice);
        why.name = name;
        return false;
    }
    span = {number->begin, number->end};
    if (number->kind == JsonValue::Kind::string) {
        ++span.begin;
        --span.end;
    }
    const bool digits =
        (number->kind == JsonValue::Kind::number || number->kind == JsonValue::Kind::string) &&
        span.end > span.begin &&
        std::all_of(layout.begin() + static_cast<std::ptrdiff_t>(span.begin),
                    layout.begin() + static_cast<std::ptrdiff_t>(span.end),
                    [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        why = causeOf(CauseKind::notPlainInteger);
        why.name = name;
        return false;
    }
    return true;
}

}  // namespace

std::string comparablePath(const std::string& path) {
    return comparable(path);
}

namespace {

// Paths asked about, as the list compares them, sorted so that each listed path is looked up among
// them rather than every listed path kept: a list may name far more files than a run asks about.
using AskedPaths = std::vector<std::pair<std::string, std::size_t>>;

AskedPaths sortedForLookup(const std::vector<Text>& paths) {
    AskedPaths asked;
    asked.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        asked.emplace_back(comparable(paths[i]), i);
    }
    std::sort(asked.begin(), asked.end());
    return asked;
}

// The range of `asked` that `key` names.
std::pair<AskedPaths::const_iterator, AskedPaths::const_iterator> askedAs(const AskedPaths& asked,
                                                                          const std::string& key) {
    auto from = std::lower_bound(asked.begin(), asked.end(), std::make_pair(key, std::size_t{0}));
    auto to = from;
    while (to != asked.end() && to->first == key) {
        ++to;
    }
    return {from, to};
}

}  // namespace

bool readLayout(const std::string& layout, const std::vector<Text>& paths,
                const std::vector<Text>& files, std::size_t memoryBudget, LayoutReading& reading,
                Cause& why) {
    reading = LayoutReading();
    JsonValue root;
    if (!parseJson(layout, root, why, memoryBudget)) {
        return false;
    }
    return readParsedLayout(layout, root, paths, files, reading, why);
}

const JsonValue* contentOf(const JsonValue& root) {
    int count = 0;
    const JsonValue* content =
        root.kind == JsonValue::Kind::object ? memberOf(root, "content", count) : nullptr;
    return content != nullptr && count == 1 && content->kind == JsonValue::Kind::array ? content
                                                                                       : nullptr;
}

const JsonValue* pathOf(const JsonValue& entry) {
    int count = 0;
    const JsonValue* name =
        entry.kind == JsonValue::Kind::object ? memberOf(entry, "path", count) : nullptr;
    return name != nullptr && count == 1 && name->kind == JsonValue::Kind::string ? name : nullptr;
}

bool numberSpans(const std::string& layout, const JsonValue& entry, DigitSpan& size,
                 DigitSpan& date, Cause& why) {
    return digitsOf(layout, entry, "size", size, why) && digitsOf(layout, entry, "date", date, why);
}

bool readParsedLayout(const std::string& layout, const JsonValue& root,
                      const std::vector<Text>& paths, const std::vector<Text>& files,
                      LayoutReading& reading, Cause& why) {
    reading = LayoutReading();
    int count = 0;
    const JsonValue* content =
        root.kind == JsonValue::Kind::object ? memberOf(root, "content", count) : nullptr;
    if (content == nullptr || count != 1 || content->kind != JsonValue::Kind::array) {
        why = causeOf(CauseKind::noContentList);
        return false;
    }
    const AskedPaths wanted = sortedForLookup(paths);
    const AskedPaths asked = sortedForLookup(files);
    std::vector<const JsonValue*> found(paths.size(), nullptr);
    reading.listed.assign(files.size(), false);
    for (const JsonValue& element : content->elements) {
        const JsonValue* name =
            element.kind == JsonValue::Kind::object ? memberOf(element, "path", count) : nullptr;
        if (name == nullptr || count != 1 || name->kind != JsonValue::Kind::string) {
            why = causeOf(CauseKind::notAListOfFiles);
            return false;
        }
        const std::string key = comparable(name->text);
        const auto named = askedAs(wanted, key);
        for (auto at = named.first; at != named.second; ++at) {
            if (found[at->second] != nullptr) {
                why = causeOf(CauseKind::listsTheFileTwice);
                return false;
            }
            found[at->second] = &element;
        }
        const auto beside = askedAs(asked, key);
        for (auto at = beside.first; at != beside.second; ++at) {
            reading.listed[at->second] = true;
        }
    }
    reading.entries.resize(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        LayoutEntry& entry = reading.entries[i];
        if (found[i] == nullptr) {
            continue;
        }
        if (!digitsOf(layout, *found[i], "size", entry.sizeDigits, why) ||
            !digitsOf(layout, *found[i], "date", entry.dateDigits, why)) {
            reading = LayoutReading();
            return false;
        }
        entry.listed = true;
        entry.size.append(layout.data() + entry.sizeDigits.begin,
                          entry.sizeDigits.end - entry.sizeDigits.begin);
    }
    return true;
}

bool recordsSize(const LayoutEntry& entry, std::int64_t size) {
    if (!entry.listed || entry.size.empty()) {
        return false;
    }
    const char* digits = entry.size.c_str();
    while (digits[0] == '0' && digits[1] != '\0') {
        ++digits;
    }
    return std::strcmp(digits, std::to_string(size).c_str()) == 0;
}

void addEntryEdits(const LayoutEntry& entry, std::int64_t size, std::int64_t date,
                   std::vector<DigitEdit>& edits) {
    edits.push_back({entry.sizeDigits, size});
    edits.push_back({entry.dateDigits, date});
}

std::string splicedLayout(const std::string& layout, std::vector<Splice> splices) {
    // Stable, and an insertion before a removal that starts where it stands, so that entries put
    // after one that goes keep their place, and of two edits of the same number the first stands.
    std::stable_sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) {
        return a.begin != b.begin ? a.begin < b.begin : (a.end == a.begin && b.end != b.begin);
    });
    std::size_t added = 0;
    for (const Splice& splice : splices) {
        added += splice.text.size();
    }
    std::string edited;
    edited.reserve(layout.size() + added);
    std::size_t copied = 0;  // the list's bytes up to here are in `edited`
    for (const Splice& splice : splices) {
        if (splice.begin < copied) {
            continue;  // within what an earlier splice replaced
        }
        edited.append(layout, copied, splice.begin - copied);
        edited += splice.text;
        copied = splice.end;
    }
    edited.append(layout, copied, std::string::npos);
    return edited;
}

std::string editedLayout(const std::string& layout, std::vector<DigitEdit> edits) {
    // Stable, so that where two edits name the same number the first one asked for stands.
    std::stable_sort(edits.begin(), edits.end(), [](const DigitEdit& a, const DigitEdit& b) {
        return a.span.begin < b.span.begin;
    });
    std::string edited;
    edited.reserve(layout.size() + 20 * edits.size());
    std::size_t copied = 0;  // the list's bytes up to here are in `edited`
    for (const DigitEdit& edit : edits) {
        if (edit.span.begin < copied) {
            continue;  // the same number asked for twice: its first edit stands
        }
        edited.append(layout, copied, edit.span.begin - copied);
        edited += std::to_string(edit.value);
        copied = edit.span.end;
    }
    edited.append(layout, copied, std::string::npos);
    return edited;
}
