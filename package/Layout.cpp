#include "package/Layout.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "json/Json.h"
#include "text/AsciiCase.h"

namespace {

// As Windows, and so the simulator, compares names; '\' is taken for '/' as Windows takes it.
std::string comparable(const char* chars, std::size_t count) {
    std::string path(chars, count);
    foldAsciiCase(&path[0], path.size());
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

bool readLayout(const std::string& layout, const Text& path, const std::vector<Text>& files,
                std::size_t memoryBudget, LayoutEntry& entry, Cause& why) {
    entry = LayoutEntry();
    JsonValue root;
    if (!parseJson(layout, root, why, memoryBudget)) {
        return false;
    }
    int count = 0;
    const JsonValue* content =
        root.kind == JsonValue::Kind::object ? memberOf(root, "content", count) : nullptr;
    if (content == nullptr || count != 1 || content->kind != JsonValue::Kind::array) {
        why = causeOf(CauseKind::noContentList);
        return false;
    }
    // The files asked about are sorted and each listed path looked up among them, rather than
    // every listed path kept: a list may name far more files than the aircraft's folder holds.
    std::vector<std::pair<std::string, std::size_t>> asked;
    asked.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        asked.emplace_back(comparable(files[i]), i);
    }
    std::sort(asked.begin(), asked.end());
    std::vector<bool> seen(files.size(), false);
    const std::string wanted = comparable(path);
    const JsonValue* found = nullptr;
    for (const JsonValue& element : content->elements) {
        const JsonValue* name =
            element.kind == JsonValue::Kind::object ? memberOf(element, "path", count) : nullptr;
        if (name == nullptr || count != 1 || name->kind != JsonValue::Kind::string) {
            why = causeOf(CauseKind::notAListOfFiles);
            return false;
        }
        const std::string key = comparable(name->text);
        if (key == wanted) {
            if (found != nullptr) {
                why = causeOf(CauseKind::listsTheFileTwice);
                return false;
            }
            found = &element;
        }
        auto at = std::lower_bound(asked.begin(), asked.end(), std::make_pair(key, std::size_t{0}));
        for (; at != asked.end() && at->first == key; ++at) {
            seen[at->second] = true;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!seen[i]) {
            entry.unlisted.push_back(files[i]);
        }
    }
    if (found == nullptr) {
        return true;
    }
    if (!digitsOf(layout, *found, "size", entry.sizeDigits, why) ||
        !digitsOf(layout, *found, "date", entry.dateDigits, why)) {
        entry.unlisted.clear();
        return false;
    }
    entry.listed = true;
    entry.size.append(layout.data() + entry.sizeDigits.begin,
                      entry.sizeDigits.end - entry.sizeDigits.begin);
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

std::string editedLayout(const std::string& layout, const LayoutEntry& entry, std::int64_t size,
                         std::int64_t date) {
    struct Edit {
        DigitSpan span;
        std::string digits;
    } edits[] = {{entry.sizeDigits, std::to_string(size)},
                 {entry.dateDigits, std::to_string(date)}};
    // The later number first, so that the earlier one's place still holds.
    if (edits[0].span.begin < edits[1].span.begin) {
        std::swap(edits[0], edits[1]);
    }
    std::string edited;
    edited.reserve(layout.size() + edits[0].digits.size() + edits[1].digits.size());
    edited = layout;
    for (const Edit& edit : edits) {
        edited.replace(edit.span.begin, edit.span.end - edit.span.begin, edit.digits);
    }
    return edited;
}
