#include "package/Layout.h"

#include <algorithm>
#include <set>

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

// The number of an entry that may be changed: present once, and a plain integer.
bool countIn(const JsonValue& entry, const char* name, const JsonValue*& number, std::string& why) {
    int count = 0;
    number = memberOf(entry, name, count);
    if (count != 1 || !isPlainCount(*number)) {
        why = std::string("its ") + name + " is not a plain integer";
        return false;
    }
    return true;
}

}  // namespace

bool updateLayout(const std::string& layout, const std::string& path, std::int64_t size,
                  std::int64_t date, const std::vector<std::string>& files, LayoutUpdate& update,
                  std::string& why) {
    update = LayoutUpdate();
    JsonValue root;
    std::string invalid;
    if (!parseJson(layout, root, invalid)) {
        why = "it is not valid JSON: " + invalid;
        return false;
    }
    int count = 0;
    const JsonValue* content =
        root.kind == JsonValue::Kind::object ? memberOf(root, "content", count) : nullptr;
    if (content == nullptr || count != 1 || content->kind != JsonValue::Kind::array) {
        why = "it has no \"content\" list";
        return false;
    }
    const std::string wanted = comparable(path);
    std::set<std::string> listed;
    const JsonValue* entry = nullptr;
    for (const JsonValue& element : content->elements) {
        const JsonValue* name =
            element.kind == JsonValue::Kind::object ? memberOf(element, "path", count) : nullptr;
        if (name == nullptr || count != 1 || name->kind != JsonValue::Kind::string) {
            why = "its content is not a list of files with a path each";
            return false;
        }
        const std::string key = comparable(name->text);
        if (key == wanted) {
            if (entry != nullptr) {
                why = "it lists the file twice";
                return false;
            }
            entry = &element;
        }
        listed.insert(key);
    }
    for (const std::string& file : files) {
        if (listed.count(comparable(file)) == 0) {
            update.unlisted.push_back(file);
        }
    }
    if (entry == nullptr) {
        return true;
    }
    const JsonValue* sizeNumber = nullptr;
    const JsonValue* dateNumber = nullptr;
    if (!countIn(*entry, "size", sizeNumber, why) || !countIn(*entry, "date", dateNumber, why)) {
        return false;
    }
    // The later number first, so that the earlier one's place still holds.
    struct Edit {
        const JsonValue* number;
        std::string digits;
    } edits[] = {{sizeNumber, std::to_string(size)}, {dateNumber, std::to_string(date)}};
    if (edits[0].number->begin < edits[1].number->begin) {
        std::swap(edits[0], edits[1]);
    }
    update.listed = true;
    update.bytes = layout;
    for (const Edit& edit : edits) {
        update.bytes.replace(edit.number->begin, edit.number->end - edit.number->begin,
                             edit.digits);
    }
    return true;
}
