#include "package/Layout.h"

#include <algorithm>
#include <utility>

#include "json/Json.h"

namespace {

// As Windows, and so the simulator, compares names; '\' is taken for '/' as Windows takes it.
std::string comparable(std::string path) {
    for (char& c : path) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c == '\\') {
            c = '/';
        }
    }
    return path;
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
              std::string& why) {
    int count = 0;
    const JsonValue* number = memberOf(entry, name, count);
    if (count != 1) {
        why = std::string("its entry for the file has ") +
              (count == 0 ? "no \"" : "more than one \"") + name + "\"";
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
        why = std::string("its ") + name + " is not a plain integer";
        return false;
    }
    return true;
}

}  // namespace

bool readLayout(const std::string& layout, const std::string& path,
                const std::vector<std::string>& files, std::size_t memoryBudget, LayoutEntry& entry,
                std::string& why) {
    entry = LayoutEntry();
    JsonValue root;
    std::string invalid;
    JsonMemory memory;
    memory.budget = memoryBudget;
    if (!parseJson(layout, root, invalid, memory)) {
        why = memory.exceeded ? std::string(kLayoutTooLarge) : "it is not valid JSON: " + invalid;
        return false;
    }
    int count = 0;
    const JsonValue* content =
        root.kind == JsonValue::Kind::object ? memberOf(root, "content", count) : nullptr;
    if (content == nullptr || count != 1 || content->kind != JsonValue::Kind::array) {
        why = "it has no \"content\" list";
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
            why = "its content is not a list of files with a path each";
            return false;
        }
        const std::string key = comparable(name->text);
        if (key == wanted) {
            if (found != nullptr) {
                why = "it lists the file twice";
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
    entry.size =
        layout.substr(entry.sizeDigits.begin, entry.sizeDigits.end - entry.sizeDigits.begin);
    return true;
}

bool recordsSize(const LayoutEntry& entry, std::int64_t size) {
    if (!entry.listed || entry.size.empty()) {
        return false;
    }
    const std::size_t first = std::min(entry.size.find_first_not_of('0'), entry.size.size() - 1);
    return entry.size.compare(first, std::string::npos, std::to_string(size)) == 0;
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
