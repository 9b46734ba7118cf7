// Fuzzes the reader and editor of a package's file list (layout.json). Whatever the bytes, it
// must not crash; and when it edits, the new list must be JSON again, its entry for the file must
// hold the new size and date (as numbers or as strings of digits, as they were written), and
// every byte outside those two values' digits must be as it was. Then the list is made whole for
// the folder of its first entry, which is made to hold some of the files listed there and some
// new ones: the edited list must parse, name below that folder exactly the files it holds, and
// keep every other entry and every byte around the list of entries as they were.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <set>

#include "json/Json.h"
#include "package/Layout.h"
#include "package/ListPlan.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

const JsonValue* member(const JsonValue& object, const char* name) {
    for (const auto& m : object.members) {
        if (m.first == name) {
            return &m.second;
        }
    }
    return nullptr;
}

// The entries of a list that has a content array, or none.
const std::vector<JsonValue>* entriesOf(const JsonValue& root) {
    const JsonValue* content =
        root.kind == JsonValue::Kind::object ? member(root, "content") : nullptr;
    return content != nullptr && content->kind == JsonValue::Kind::array ? &content->elements
                                                                         : nullptr;
}

// The entry that names exactly `path`, with both numbers; the editor matches in ASCII letter case
// too, but the path is taken from the list itself, so the exact entry is the one.
const JsonValue* entryFor(const JsonValue& root, const std::string& path) {
    const std::vector<JsonValue>* entries = entriesOf(root);
    if (entries == nullptr) {
        return nullptr;
    }
    for (const JsonValue& entry : *entries) {
        const JsonValue* name =
            entry.kind == JsonValue::Kind::object ? member(entry, "path") : nullptr;
        if (name != nullptr && name->kind == JsonValue::Kind::string && name->text == path) {
            return &entry;
        }
    }
    return nullptr;
}

// The folder of `path`, with its closing '/'; "" at the top.
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The list made whole for the folder of its first entry, which holds every other of the files
// listed below it and a few new ones.
void fuzzCompletion(const std::string& layout, const JsonValue& root, const std::string& first,
                    unsigned char seed) {
    const std::vector<JsonValue>& before = *entriesOf(root);
    const std::string folder = folderOf(first);
    PackageDisk disk;
    disk.folders.emplace_back(folder.c_str());
    disk.places.push_back({Text(folder.c_str()), true});
    std::set<std::string> there;  // as paths are compared
    std::size_t below = 0;
    for (const JsonValue& entry : before) {
        const JsonValue* name = member(entry, "path");
        if (name == nullptr || name->kind != JsonValue::Kind::string ||
            name->text.find('\0') != std::string::npos) {
            continue;
        }
        const std::string key = comparablePath(name->text);
        if (key.compare(0, folder.size(), comparablePath(folder)) == 0 && below++ % 2 == 0) {
            disk.files.push_back({Text(name->text.c_str()), 5, 7});
            there.insert(key);
        }
    }
    for (unsigned i = 0; i < seed % 4U; ++i) {
        const std::string path =
            folder + (i % 2 == 0 ? "new" : "sub/New") + std::to_string(i) + ".dds";
        disk.files.push_back({Text(path.c_str()), 11, 133017734419960000});
        there.insert(comparablePath(path));
    }
    ListPlan plan;
    Cause why;
    if (!planListEdit(layout, {}, disk, SIZE_MAX, plan, why)) {
        return;  // what the reader refuses
    }
    for (const ListFact& fact : plan.facts) {
        if (fact.kind == ListFactKind::unlistedBeside || fact.kind == ListFactKind::notUtf8) {
            return;  // no entry to copy, or a name no list holds: not all could be listed
        }
    }
    for (const FileOnDisk& file : disk.files) {
        if (isNeverListed(file.path)) {
            there.erase(comparablePath(file.path.c_str()));
        }
    }
    const std::string edited = plan.edited.value_or(layout);
    JsonValue after;
    if (!parseJson(edited, after, why) || entriesOf(after) == nullptr) {
        fail("the list made whole is not a list");
    }
    // Below the folder: exactly the files there (an excluded one only where it was listed).
    std::set<std::string> named;
    std::vector<const JsonValue*> others;
    for (const JsonValue& entry : *entriesOf(after)) {
        const JsonValue* name = member(entry, "path");
        const std::string key = name == nullptr ? std::string() : comparablePath(name->text);
        if (name != nullptr && key.compare(0, folder.size(), comparablePath(folder)) == 0) {
            named.insert(key);
        } else {
            others.push_back(&entry);
        }
    }
    for (const std::string& key : there) {
        if (named.count(key) == 0) {
            fail("a file there is not listed");
        }
    }
    for (const std::string& key : named) {
        if (there.count(key) == 0) {
            bool excluded = false;
            for (const FileOnDisk& file : disk.files) {
                excluded = excluded || comparablePath(file.path.c_str()) == key;
            }
            if (!excluded) {
                fail("a file that is not there is listed");
            }
        }
    }
    // Every other entry as it was, in its order, and the bytes around the entries.
    std::size_t at = 0;
    for (const JsonValue& entry : before) {
        const JsonValue* name = member(entry, "path");
        if (name != nullptr && name->kind == JsonValue::Kind::string &&
            comparablePath(name->text).compare(0, folder.size(), comparablePath(folder)) == 0) {
            continue;
        }
        if (at >= others.size() ||
            layout.compare(entry.begin, entry.end - entry.begin, edited, others[at]->begin,
                           others[at]->end - others[at]->begin) != 0) {
            fail("an entry outside the folder changed");
        }
        ++at;
    }
    const JsonValue* oldContent = member(root, "content");
    const JsonValue* newContent = member(after, "content");
    if (layout.compare(0, oldContent->begin, edited, 0, newContent->begin) != 0 ||
        layout.compare(oldContent->end, std::string::npos, edited, newContent->end,
                       std::string::npos) != 0) {
        fail("a byte around the list of entries changed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string layout(reinterpret_cast<const char*>(data), size);
    JsonValue root;
    Cause why;
    const bool parsed = parseJson(layout, root, why);

    // Ask for the first listed path, so that edits happen often.
    std::string path = "SimObjects/Airplanes/X/aircraft.cfg";
    const std::vector<JsonValue>* entries = parsed ? entriesOf(root) : nullptr;
    if (entries != nullptr && !entries->empty() && (*entries)[0].kind == JsonValue::Kind::object) {
        const JsonValue* name = member((*entries)[0], "path");
        // A decoded path with a NUL in it names no file, and no Text can hold it.
        if (name != nullptr && name->kind == JsonValue::Kind::string &&
            name->text.find('\0') == std::string::npos) {
            path = name->text;
        }
    }
    if (entries != nullptr && !entries->empty() && path != "SimObjects/Airplanes/X/aircraft.cfg" &&
        size > 0) {
        fuzzCompletion(layout, root, path, data[0]);
    }
    const std::int64_t newSize = 5873;
    const std::int64_t newDate = 133017734419960000;
    // Now and then a budget that large lists pass, so that the refusal is fed too.
    const std::size_t budget = size % 3 == 0 ? size * 16 : SIZE_MAX;
    LayoutReading reading;
    const Text asked(path.c_str());
    if (!readLayout(layout, {asked}, {Text("a"), asked}, budget, reading, why)) {
        if (why.kind == CauseKind::tooLargeForMemory && budget == SIZE_MAX) {
            fail("a list was refused for its memory without a budget");
        }
        if (why.kind == CauseKind::none) {
            fail("a list was refused without a cause");
        }
        return 0;
    }
    if (!parsed) {
        fail("a list that is not JSON was taken for one");
    }
    const LayoutEntry& entry = reading.entries.at(0);
    if (reading.listed.at(1) != entry.listed) {
        fail("the file asked about is listed and has no entry, or the reverse");
    }
    if (!entry.listed) {
        return 0;
    }
    std::vector<DigitEdit> edits;
    addEntryEdits(entry, newSize, newDate, edits);
    const std::string newList = editedLayout(layout, edits);
    JsonValue after;
    if (!parseJson(newList, after, why)) {
        fail("the edited list is not JSON");
    }
    const JsonValue* before = entryFor(root, path);
    const JsonValue* edited = entryFor(after, path);
    if (before == nullptr || edited == nullptr) {
        fail("the edited entry cannot be found again");
    }
    const JsonValue* oldSize = member(*before, "size");
    const JsonValue* oldDate = member(*before, "date");
    const JsonValue* nowSize = member(*edited, "size");
    const JsonValue* nowDate = member(*edited, "date");
    if (nowSize == nullptr || nowDate == nullptr || nowSize->text != std::to_string(newSize) ||
        nowDate->text != std::to_string(newDate)) {
        fail("the entry does not hold the new size and date");
    }
    if (nowSize->kind != oldSize->kind || nowDate->kind != oldDate->kind) {
        fail("a number became a string or a string a number");
    }
    // Outside the two numbers, the bytes are the old ones, in the same order.
    const bool sizeFirst = oldSize->begin < oldDate->begin;
    const JsonValue* first[] = {sizeFirst ? oldSize : oldDate, sizeFirst ? nowSize : nowDate};
    const JsonValue* second[] = {sizeFirst ? oldDate : oldSize, sizeFirst ? nowDate : nowSize};
    const std::string& now = newList;
    if (layout.compare(0, first[0]->begin, now, 0, first[1]->begin) != 0 ||
        layout.compare(first[0]->end, second[0]->begin - first[0]->end, now, first[1]->end,
                       second[1]->begin - first[1]->end) != 0 ||
        layout.compare(second[0]->end, std::string::npos, now, second[1]->end, std::string::npos) !=
            0) {
        fail("a byte outside the two numbers changed");
    }
    return 0;
}
