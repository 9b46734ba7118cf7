#include "package/ListPlan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "json/Json.h"
#include "package/Layout.h"
#include "text/AsciiCase.h"
#include "text/Utf16.h"
#include "text/Utf8.h"

namespace {

ListFact factOn(ListFactKind kind, const PackageFile& file) {
    ListFact fact;
    fact.kind = kind;
    fact.entry = file.entry;
    fact.size = file.state.size;
    return fact;
}

ListFact factOf(ListFactKind kind, std::vector<Text> names) {
    ListFact fact;
    fact.kind = kind;
    fact.names = std::move(names);
    return fact;
}

bool endsWithIgnoringCase(const char* name, std::size_t length, const char* end) {
    const std::size_t count = std::strlen(end);
    return length >= count && equalIgnoringAsciiCase(name + length - count, end, count);
}

bool isNamedIgnoringCase(const char* name, std::size_t length, const char* other) {
    return length == std::strlen(other) && equalIgnoringAsciiCase(name, other, length);
}

bool isUtf8(const Text& path) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(path.c_str());
    const auto length = static_cast<std::size_t>(path.length());
    for (std::size_t at = 0; at < length;) {
        const std::size_t sequence = utf8SequenceAt(bytes + at, length - at);
        if (sequence == 0) {
            return false;
        }
        at += sequence;
    }
    return true;
}

// A path as a JSON string, quotes and all: only what JSON requires is escaped, so that a name
// reads in the list as it does on disk.
std::string jsonString(const Text& path) {
    std::string quoted = "\"";
    for (const char* c = path.c_str(); *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (*c == '"' || *c == '\\') {
            quoted += '\\';
            quoted += *c;
        } else if (byte < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            quoted += "\\u00";
            quoted += kHex[byte >> 4];
            quoted += kHex[byte & 0xF];
        } else {
            quoted += *c;
        }
    }
    return quoted + "\"";
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `a` and `b` from `from` up to their ends, byte by byte as `fold` leaves them.
template <class Fold>
int comparedFrom(const std::string& a, std::size_t aEnd, const std::string& b, std::size_t bEnd,
                 std::size_t from, Fold fold) {
    for (std::size_t i = from;; ++i) {
        if (i == aEnd || i == bEnd) {
            return (i == aEnd ? 0 : 1) - (i == bEnd ? 0 : 1);
        }
        const auto x = static_cast<unsigned char>(fold(a[i]));
        const auto y = static_cast<unsigned char>(fold(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
}

// Folder by folder: where the paths part, a file comes before a folder, and names of one kind
// are compared in upper case.
int comparedByFolder(const std::string& a, const std::string& b) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t aEnd = std::min(a.find('/', from), a.size());
        const std::size_t bEnd = std::min(b.find('/', from), b.size());
        const bool aFile = aEnd == a.size();
        const bool bFile = bEnd == b.size();
        if (aFile != bFile) {
            return aFile ? -1 : 1;
        }
        const int names = comparedFrom(a, aEnd, b, bEnd, from, upper);
        if (names != 0 || aFile) {
            return names;
        }
        from = aEnd + 1;  // the names are as long: upper case keeps every length
    }
}

// Milliseconds since 1970 from 100-ns ticks since 1601.
std::int64_t millisecondsOf(std::int64_t ticks) {
    constexpr std::int64_t kTicksTo1970 = 116444736000000000;
    return ticks <= kTicksTo1970 ? 0 : (ticks - kTicksTo1970) / 10000;
}

// One entry of the list as the completion needs it.
struct ListEntry {
    const JsonValue* value = nullptr;
    std::string path;      // decoded
    std::string key;       // as paths are compared
    bool numbers = false;  // its size and date are digits whose place is known
    // It holds path, size and date and nothing else, so that a new entry in its form says nothing
    // of the new file that is another file's (a checksum, say).
    bool model = false;
    DigitSpan size;
    DigitSpan date;
};

// The folder that holds `key` (a comparable path), with its closing '/'; "" at the package's top.
std::string folderOf(const std::string& key) {
    const std::size_t slash = key.rfind('/');
    return slash == std::string::npos ? std::string() : key.substr(0, slash + 1);
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// Where the list's entries and the new ones go, in the list's order.
struct Placed {
    std::ptrdiff_t entry = -1;  // into the list's entries, or -1 for a new one
    std::string path;           // decoded
    std::string key;
    std::string text;  // a new entry's bytes
};

// Where a new entry goes among `placed`: where the list's order puts it; in a list of no order,
// after the last entry of its own folder, else after the last below the nearest folder above it,
// else at the end.
std::size_t placeFor(const std::vector<Placed>& placed, ListOrder order, const Placed& added) {
    if (order != ListOrder::none) {
        std::size_t at = placed.size();
        while (at > 0 && comparedIn(order, placed[at - 1].path, added.path) > 0) {
            --at;
        }
        return at;
    }
    const std::string own = folderOf(added.key);
    for (std::size_t at = placed.size(); at > 0; --at) {
        if (folderOf(placed[at - 1].key) == own) {
            return at;
        }
    }
    for (std::string folder = own; !folder.empty();) {
        folder = folderOf(folder.substr(0, folder.size() - 1));
        for (std::size_t at = placed.size(); at > 0 && !folder.empty(); --at) {
            if (startsWith(placed[at - 1].key, folder)) {
                return at;
            }
        }
    }
    return placed.size();
}

// A new entry in the form of `model`: its bytes, with the path, size and date of `file`.
std::string entryLike(const std::string& list, const ListEntry& model, const FileOnDisk& file,
                      bool inMilliseconds) {
    const std::int64_t date =
        inMilliseconds ? millisecondsOf(file.lastWriteTicks) : file.lastWriteTicks;
    std::vector<Splice> splices = {
        {model.value->begin, model.value->begin, ""},
        {pathOf(*model.value)->begin, pathOf(*model.value)->end, jsonString(file.path)},
        {model.size.begin, model.size.end, std::to_string(file.size)},
        {model.date.begin, model.date.end, std::to_string(date)},
    };
    for (Splice& splice : splices) {
        splice.begin -= model.value->begin;
        splice.end -= model.value->begin;
    }
    return splicedLayout(list.substr(model.value->begin, model.value->end - model.value->begin),
                         std::move(splices));
}

// What joins two entries of the list: the bytes between its first two, or else a comma and what
// stands before its one entry.
std::string separatorOf(const std::string& list, const JsonValue& content) {
    const std::vector<JsonValue>& elements = content.elements;
    if (elements.size() >= 2) {
        return list.substr(elements[0].end, elements[1].begin - elements[0].end);
    }
    return "," + list.substr(content.begin + 1, elements[0].begin - content.begin - 1);
}

// The splices that take out the entries not `kept`, each with the comma that joined it, and put
// in the new entries of `placed`, each beside the entry it follows (or the one it precedes).
void spliceEntries(const std::string& list, const JsonValue& content, const std::vector<bool>& kept,
                   const std::vector<Placed>& placed, std::vector<Splice>& splices) {
    const std::vector<JsonValue>& elements = content.elements;
    const std::size_t count = elements.size();
    const auto firstKept =
        static_cast<std::size_t>(std::find(kept.begin(), kept.end(), true) - kept.begin());
    for (std::size_t i = 0; i < count; ++i) {
        if (kept[i]) {
            continue;
        }
        if (firstKept == count) {
            splices.push_back({elements[0].begin, elements[count - 1].end, ""});
            break;
        }
        if (i < firstKept) {
            splices.push_back({elements[i].begin, elements[i + 1].begin, ""});
        } else {
            splices.push_back({elements[i - 1].end, elements[i].end, ""});
        }
    }
    if (count == 0) {
        return;  // no entry to copy, so none was added
    }
    const std::string separator = separatorOf(list, content);
    std::ptrdiff_t after = -1;  // the entry kept that the new ones follow
    std::string leading;        // new entries before every entry kept
    for (const Placed& one : placed) {
        if (one.entry >= 0) {
            after = one.entry;
        } else if (after >= 0) {
            const std::size_t at = elements[static_cast<std::size_t>(after)].end;
            splices.push_back({at, at, separator + one.text});
        } else if (firstKept == count) {
            // No entry is kept: the new ones stand where the old ones stood.
            leading += (leading.empty() ? "" : separator) + one.text;
        } else {
            leading += one.text + separator;
        }
    }
    if (!leading.empty()) {
        const std::size_t at = elements[firstKept == count ? 0 : firstKept].begin;
        splices.push_back({at, at, leading});
    }
}

// The list in UTF-8: as it is, or decoded from UTF-16 after its byte-order mark, which the
// UTF-8 keeps as its own.
bool asUtf8(const std::string& list, bool& utf16, ByteOrder& order, std::string& utf8, Cause& why) {
    utf16 = list.size() >= 2 &&
            ((list[0] == '\xFF' && list[1] == '\xFE') || (list[0] == '\xFE' && list[1] == '\xFF'));
    if (!utf16) {
        return true;
    }
    order = list[0] == '\xFF' ? ByteOrder::littleEndian : ByteOrder::bigEndian;
    Utf16Decoder decoder(order);
    utf8.resize(Utf16Decoder::maxDecodedSize(list.size()));
    std::size_t written = 0;
    if (!decoder.decode(list.data(), list.size(), &utf8[0], written, why) || !decoder.finish(why)) {
        return false;
    }
    utf8.resize(written);
    return true;
}

std::string asUtf16(const std::string& utf8, ByteOrder order) {
    Utf16Encoder encoder(order);
    std::string bytes(Utf16Encoder::maxEncodedSize(utf8.size()), '\0');
    std::size_t written = 0;
    encoder.encode(utf8.data(), utf8.size(), &bytes[0], written);
    bytes.resize(written);
    return bytes;
}

}  // namespace

bool isNeverListed(const Text& path) {
    const char* name = path.c_str();
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c == '/') {
            if (c[1] == '.') {
                return true;
            }
        }
    }
    const char* last = std::strrchr(name, '/');
    last = last == nullptr ? name : last + 1;
    const std::size_t length = std::strlen(last);
    if (name[0] == '.' || length == 0 || last[length - 1] == '~') {
        return true;
    }
    for (const char* whole : {"layout.json", "manifest.json", "Thumbs.db", "desktop.ini"}) {
        if (isNamedIgnoringCase(last, length, whole)) {
            return true;
        }
    }
    return endsWithIgnoringCase(last, length, ".bak") || endsWithIgnoringCase(last, length, ".exe");
}

int comparedIn(ListOrder order, const std::string& a, const std::string& b) {
    switch (order) {
        case ListOrder::byFolder:
            return comparedByFolder(a, b);
        case ListOrder::lowerCase:
            return comparedFrom(a, a.size(), b, b.size(), 0, lower);
        default:
            return comparedFrom(a, a.size(), b, b.size(), 0, [](char c) { return c; });
    }
}

ListOrder orderOf(const std::vector<std::string>& paths) {
    for (ListOrder order : {ListOrder::byFolder, ListOrder::lowerCase, ListOrder::bytes}) {
        bool follows = true;
        for (std::size_t i = 1; i < paths.size() && follows; ++i) {
            follows = comparedIn(order, paths[i - 1], paths[i]) <= 0;
        }
        if (follows) {
            return order;
        }
    }
    return ListOrder::none;
}

std::vector<ListFact> factsOfRefusedList(const std::vector<PackageFile>& files) {
    std::vector<ListFact> facts;
    bool toldUnchecked = false;
    for (const PackageFile& file : files) {
        if (file.state.rewritten) {
            facts.push_back(factOn(ListFactKind::keptOldSize, file));
        } else if (!toldUnchecked) {
            facts.push_back(factOn(ListFactKind::unchecked, file));
            toldUnchecked = true;
        }
    }
    return facts;
}

bool planListEdit(const std::string& list, const std::vector<PackageFile>& files,
                  const PackageDisk& disk, std::size_t memoryBudget, ListPlan& plan, Cause& why) {
    plan = ListPlan();
    bool utf16 = false;
    ByteOrder order = ByteOrder::littleEndian;
    std::string decoded;
    if (!asUtf8(list, utf16, order, decoded, why)) {
        plan.facts = factsOfRefusedList(files);
        return false;
    }
    const std::string& text = utf16 ? decoded : list;
    std::vector<Text> entries;
    entries.reserve(files.size());
    for (const PackageFile& file : files) {
        entries.push_back(file.entry);
    }
    JsonValue root;
    LayoutReading reading;
    if (!parseJson(text, root, why, memoryBudget) ||
        !readParsedLayout(text, root, entries, {}, reading, why)) {
        plan.facts = factsOfRefusedList(files);
        return false;
    }
    const JsonValue& content = *contentOf(root);

    // Every entry, and the unit of its dates: 13 digits are milliseconds since 1970.
    std::vector<ListEntry> listed(content.elements.size());
    std::map<std::string, std::size_t> byKey;
    std::size_t milliseconds = 0;
    std::size_t ticks = 0;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        ListEntry& entry = listed[i];
        entry.value = &content.elements[i];
        entry.path = pathOf(*entry.value)->text;
        entry.key = comparablePath(entry.path);
        Cause ignored;
        entry.numbers = numberSpans(text, *entry.value, entry.size, entry.date, ignored);
        if (entry.numbers) {
            (entry.date.end - entry.date.begin == 13 ? milliseconds : ticks) += 1;
        }
        entry.model = entry.numbers && entry.value->members.size() == 3;
        byKey.emplace(entry.key, i);
    }
    const bool inMilliseconds = milliseconds > ticks;
    const auto dateOf = [inMilliseconds](std::int64_t lastWriteTicks) {
        return inMilliseconds ? millisecondsOf(lastWriteTicks) : lastWriteTicks;
    };

    // The run's own files, whose entries are set as they were before the folders were looked at.
    std::vector<Splice> splices;
    std::vector<ListFact> updates;
    std::set<std::string> runFiles;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PackageFile& file = files[i];
        const LayoutEntry& entry = reading.entries[i];
        runFiles.insert(comparablePath(file.entry.c_str()));
        if (entry.listed && (file.state.rewritten || !recordsSize(entry, file.state.size))) {
            splices.push_back(
                {entry.sizeDigits.begin, entry.sizeDigits.end, std::to_string(file.state.size)});
            splices.push_back({entry.dateDigits.begin, entry.dateDigits.end,
                               std::to_string(dateOf(file.state.lastWriteTicks))});
            ListFact update = factOn(
                file.state.rewritten ? ListFactKind::rewrittenEntry : ListFactKind::staleEntry,
                file);
            update.recordedSize = entry.size;
            updates.push_back(std::move(update));
        }
    }

    // The files found: those the list leaves out, and those whose size it has wrong.
    std::vector<const FileOnDisk*> missing;
    std::set<std::string> present;
    std::vector<Text> notUtf8;
    for (const FileOnDisk& file : disk.files) {
        std::string key = comparablePath(file.path.c_str());
        if (!present.insert(key).second || isNeverListed(file.path)) {
            continue;
        }
        if (!isUtf8(file.path)) {
            notUtf8.push_back(file.path);
            continue;
        }
        const auto found = byKey.find(key);
        if (found == byKey.end()) {
            missing.push_back(&file);
            continue;
        }
        const ListEntry& entry = listed[found->second];
        LayoutEntry asRead;
        asRead.listed = true;
        asRead.size.append(text.data() + entry.size.begin, entry.size.end - entry.size.begin);
        if (runFiles.count(key) == 0 && entry.numbers && !recordsSize(asRead, file.size)) {
            splices.push_back({entry.size.begin, entry.size.end, std::to_string(file.size)});
            splices.push_back(
                {entry.date.begin, entry.date.end, std::to_string(dateOf(file.lastWriteTicks))});
            ListFact update;
            update.kind = ListFactKind::staleEntry;
            update.entry = file.path;
            update.size = file.size;
            update.recordedSize = asRead.size;
            updates.push_back(std::move(update));
        }
    }

    // Entries of files that are gone, where the nearest folder above them that is there was read
    // whole: below a folder that could not be read, a file may well be there still.
    std::map<std::string, bool> places;
    for (const PlaceOnDisk& place : disk.places) {
        places[comparablePath(place.path.c_str())] |= place.readWhole;
    }
    std::vector<std::string> folders;
    for (const Text& folder : disk.folders) {
        folders.push_back(comparablePath(folder.c_str()));
    }
    std::vector<bool> kept(listed.size(), true);
    std::vector<Text> removed;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string& key = listed[i].key;
        const bool inFolders =
            std::any_of(folders.begin(), folders.end(),
                        [&key](const std::string& f) { return startsWith(key, f); });
        if (!inFolders || present.count(key) != 0 || places.count(key + "/") != 0) {
            continue;
        }
        bool readWhole = false;
        for (std::string folder = folderOf(key);;
             folder = folderOf(folder.substr(0, folder.size() - 1))) {
            const auto place = places.find(folder);
            if (place != places.end() || folder.empty()) {
                readWhole = place != places.end() && place->second;
                break;
            }
        }
        if (readWhole) {
            kept[i] = false;
            removed.emplace_back(listed[i].path.c_str());
        }
    }

    // The new entries, each in the form of the entry it follows, where the list's order puts it.
    std::vector<std::string> paths;
    paths.reserve(listed.size());
    for (const ListEntry& entry : listed) {
        paths.push_back(entry.path);
    }
    const ListOrder listOrder = orderOf(paths);
    std::vector<Placed> placed;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (kept[i]) {
            placed.push_back(
                {static_cast<std::ptrdiff_t>(i), listed[i].path, listed[i].key, std::string()});
        }
    }
    std::sort(missing.begin(), missing.end(), [](const FileOnDisk* a, const FileOnDisk* b) {
        return std::strcmp(a->path.c_str(), b->path.c_str()) < 0;
    });
    std::vector<Text> added;
    std::vector<Text> uncopied;
    for (const FileOnDisk* file : missing) {
        Placed one;
        one.path = file->path.c_str();
        one.key = comparablePath(one.path);
        const std::size_t at = placeFor(placed, listOrder, one);
        // The model: the entry it follows, or precedes, or any that the list writes in full.
        const ListEntry* model = nullptr;
        for (std::size_t near : {at, at + 1}) {
            if (near > 0 && near <= placed.size() && placed[near - 1].entry >= 0 &&
                listed[static_cast<std::size_t>(placed[near - 1].entry)].model) {
                model = &listed[static_cast<std::size_t>(placed[near - 1].entry)];
                break;
            }
        }
        for (std::size_t i = 0; model == nullptr && i < listed.size(); ++i) {
            model = listed[i].model ? &listed[i] : nullptr;
        }
        if (model == nullptr) {
            // The run's own files are told of on their own, once.
            if (runFiles.count(one.key) == 0) {
                uncopied.push_back(file->path);
            }
            continue;
        }
        one.text = entryLike(text, *model, *file, inMilliseconds);
        placed.insert(placed.begin() + static_cast<std::ptrdiff_t>(at), std::move(one));
        added.push_back(file->path);
    }
    spliceEntries(text, content, kept, placed, splices);

    // What is told: what the list goes on leaving out, then what the edit does.
    if (!notUtf8.empty()) {
        plan.facts.push_back(factOf(ListFactKind::notUtf8, std::move(notUtf8)));
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string key = comparablePath(files[i].entry.c_str());
        const bool addedNow = std::any_of(added.begin(), added.end(), [&key](const Text& path) {
            return comparablePath(path.c_str()) == key;
        });
        if (!reading.entries[i].listed && !addedNow) {
            plan.facts.push_back(factOn(ListFactKind::notListed, files[i]));
        }
    }
    if (!uncopied.empty()) {
        plan.facts.push_back(factOf(ListFactKind::unlistedBeside, std::move(uncopied)));
    }
    if (!added.empty()) {
        plan.facts.push_back(factOf(ListFactKind::added, std::move(added)));
    }
    if (!removed.empty()) {
        plan.facts.push_back(factOf(ListFactKind::removedGone, std::move(removed)));
    }
    for (ListFact& update : updates) {
        plan.facts.push_back(std::move(update));
    }
    if (!splices.empty()) {
        const std::string edited = splicedLayout(text, std::move(splices));
        plan.edited = utf16 ? asUtf16(edited, order) : edited;
    }
    return true;
}
