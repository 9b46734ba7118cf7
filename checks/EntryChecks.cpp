#include "checks/EntryChecks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "renumber/Renumber.h"
#include "text/Template.h"

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101U;

// `word` with its upper-case ASCII letters lowered, all eight bytes at once: a byte's top bit,
// where its low seven bits are 'A' or more, and where they are past 'Z' (neither sum carries into
// the next byte), gives an upper-case letter its 0x20. Other bytes, those past 0x7F among them,
// stay as they are.
std::uint64_t foldedWord(std::uint64_t word) {
    const std::uint64_t low = word & (kOnes * 0x7f);
    const std::uint64_t fromA = low + kOnes * (0x80 - 'A');
    const std::uint64_t pastZ = low + kOnes * (0x80 - 'Z' - 1);
    return word | ((fromA & ~pastZ & ~word & (kOnes * 0x80)) >> 2);
}

// The word at chars[at, at + 8), or the bytes from `at` to the end of a shorter rest.
std::uint64_t wordAt(std::string_view chars, std::size_t at) {
    std::uint64_t word = 0;
    if (at + 8 <= chars.size()) {
        std::memcpy(&word, chars.data() + at, 8);
    } else {
        for (std::size_t i = at; i < chars.size(); ++i) {
            word = (word << 8) | static_cast<unsigned char>(chars[i]);
        }
    }
    return word;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t at = 0; at < a.size(); at += 8) {
        if (foldedWord(wordAt(a, at)) != foldedWord(wordAt(b, at))) {
            return false;
        }
    }
    return true;
}

bool startsIgnoringCase(std::string_view chars, std::string_view start) {
    return chars.size() >= start.size() && sameIgnoringCase(chars.substr(0, start.size()), start);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The value in chars[from, to), what follows a key's '=': quoted, up to its closing quote;
// otherwise up to a comment.
std::string_view valueIn(const char* from, const char* to) {
    while (from < to && isBlank(*from)) {
        ++from;
    }
    if (from < to && *from == '"') {
        const auto* close = static_cast<const char*>(
            std::memchr(from + 1, '"', static_cast<std::size_t>(to - from - 1)));
        if (close != nullptr) {
            return {from + 1, static_cast<std::size_t>(close - from - 1)};
        }
    }
    // A comment starts at the first ';' or "//". Most values have neither.
    if (const auto* semicolon =
            static_cast<const char*>(std::memchr(from, ';', static_cast<std::size_t>(to - from)));
        semicolon != nullptr) {
        to = semicolon;
    }
    for (const char* slash = from;
         (slash = static_cast<const char*>(
              std::memchr(slash, '/', static_cast<std::size_t>(to - slash)))) != nullptr;
         ++slash) {
        if (slash + 1 < to && slash[1] == '/') {
            to = slash;
            break;
        }
    }
    while (to > from && isBlank(to[-1])) {
        --to;
    }
    if (to - from >= 2 && *from == '"' && to[-1] == '"') {
        ++from;
        --to;
    }
    return {from, static_cast<std::size_t>(to - from)};
}

// Reads `value` from the line chars[at, end) (its blanks before the key skipped) when the line
// sets `key`, which is in lower-case letters and '_', and no earlier line did.
bool readsKey(const char* at, const char* end, std::string_view key, EntryValue& value) {
    if (static_cast<std::size_t>(end - at) <= key.size()) {
        return false;
    }
    for (const char letter : key) {
        // A letter in either case, and nothing else: no byte ORed with 0x20 gives a '_'.
        const char c = *at++;
        if (c != letter && (c | 0x20) != letter) {
            return false;
        }
    }
    while (at < end && isBlank(*at)) {
        ++at;
    }
    if (at == end || *at != '=') {
        return false;
    }
    if (!value.set) {
        value.set = true;
        value.chars = valueIn(at + 1, end);
    }
    return true;
}

// Asks the processor to fetch the memory at `address` into its caches ahead of its use. It never
// faults, so any address will do; where the compiler offers no way to ask, it does nothing.
void prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

// A hash of `chars` folded to ASCII lower case, eight bytes at a time: names that differ only in
// letter case hash alike. Not stable across machines, which it need not be.
std::uint64_t foldedHash(std::string_view chars) {
    std::uint64_t hash = chars.size();
    for (std::size_t at = 0; at < chars.size(); at += 8) {
        hash = (hash ^ foldedWord(wordAt(chars, at))) * 0x9e3779b97f4a7c15U;
        hash ^= hash >> 32;
    }
    // Every bit of the index that a slot is found by must depend on every byte.
    hash ^= hash >> 29;
    hash *= 0xbf58476d1ce4e5b9U;
    return hash ^ (hash >> 32);
}

// Names told apart in any ASCII letter case, each with the entry that brought it. A name is found
// by its folded hash in an open-addressed table, and compared whole where the hashes agree, so
// that two names that merely hash alike stay apart. The names are views: what they view must
// outlive the table.
//
// A table of many names is larger than the processor's caches, so a look that must not wait asks
// for its slot first (prefetchSlot), for the name in it once that has come (prefetchName), and
// looks only then. A name longer than 4 GiB cannot be in a file this program loads.
class FoldedNames {
  public:
    // Room for `names` names in all, so that no slot moves while they are added.
    void reserve(std::size_t names) {
        if (2 * names <= slots_.size()) {
            return;
        }
        std::size_t size = slots_.empty() ? 64 : slots_.size();
        while (2 * names > size) {
            size *= 2;
        }
        std::vector<Slot> old(size);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.chars != nullptr) {
                *freeSlot(foldedHash(std::string_view(slot.chars, slot.length))) = slot;
            }
        }
    }

    void prefetchSlot(std::uint64_t hash) const {
        if (!slots_.empty()) {
            prefetch(&slots_[hash & (slots_.size() - 1)]);
        }
    }

    void prefetchName(std::uint64_t hash) const {
        if (!slots_.empty()) {
            const Slot& slot = slots_[hash & (slots_.size() - 1)];
            if (slot.chars != nullptr && slot.tag == tagOf(hash)) {
                prefetch(slot.chars);
            }
        }
    }

    // The entry that brought the name equal to `chars`, whose hash is `hash`; when there is none,
    // `entry`, added with it (room must have been reserved).
    const Section* add(std::string_view chars, std::uint64_t hash, const Section* entry) {
        if (const Slot* slot = find(chars, hash)) {
            return slot->entry;
        }
        // A view of nothing at all would mark the slot free.
        *freeSlot(hash) = Slot{chars.data() != nullptr ? chars.data() : "", entry, tagOf(hash),
                               static_cast<std::uint32_t>(chars.size())};
        ++count_;
        return entry;
    }

    bool contains(std::string_view chars, std::uint64_t hash) const {
        return find(chars, hash) != nullptr;
    }

    std::size_t size() const { return count_; }

  private:
    // A slot holds its name whole, so that a look reads one slot and, where the hashes agree,
    // the name's characters: nothing in between.
    struct Slot {
        const char* chars = nullptr;  // none: the slot is free
        const Section* entry = nullptr;
        std::uint32_t tag = 0;  // the upper half of the name's hash
        std::uint32_t length = 0;
    };

    static std::uint32_t tagOf(std::uint64_t hash) {
        return static_cast<std::uint32_t>(hash >> 32);
    }

    const Slot* find(std::string_view chars, std::uint64_t hash) const {
        if (slots_.empty()) {
            return nullptr;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask; slots_[at].chars != nullptr; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.tag == tagOf(hash) &&
                sameIgnoringCase(std::string_view(slot.chars, slot.length), chars)) {
                return &slot;
            }
        }
        return nullptr;
    }

    Slot* freeSlot(std::uint64_t hash) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = hash & mask;
        while (slots_[at].chars != nullptr) {
            at = (at + 1) & mask;
        }
        return &slots_[at];
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

// The texture folders beside the file, by what follows "texture.", and whether a plain "texture"
// is there (what an empty texture= names).
struct FolderSet {
    FoldedNames suffixes;
    bool plain = false;

    explicit FolderSet(const Text& names) {
        constexpr std::string_view kDotted = "texture.";
        const char* name = names.c_str();
        const char* const end = name + names.length();
        suffixes.reserve(static_cast<std::size_t>(std::count(name, end, '/')) + 1);
        // Each name's slot is asked for some names before the name is added.
        constexpr std::size_t kAhead = 16;
        std::string_view pending[kAhead];
        std::uint64_t hashes[kAhead] = {};
        std::size_t taken = 0;
        std::size_t added = 0;
        auto addOne = [&] {
            const std::size_t at = added++ % kAhead;
            suffixes.add(pending[at], hashes[at], nullptr);
        };
        for (const char* slash = nullptr; name < end; name = slash + 1) {
            slash = static_cast<const char*>(
                std::memchr(name, '/', static_cast<std::size_t>(end - name)));
            if (slash == nullptr) {
                slash = end;  // a last name without its '/'
            }
            const std::string_view chars(name, static_cast<std::size_t>(slash - name));
            if (sameIgnoringCase(chars, kDotted.substr(0, kDotted.size() - 1))) {
                plain = true;
            } else if (startsIgnoringCase(chars, kDotted)) {
                if (taken - added == kAhead) {
                    addOne();
                }
                const std::size_t at = taken++ % kAhead;
                pending[at] = chars.substr(kDotted.size());
                hashes[at] = foldedHash(pending[at]);
                suffixes.prefetchSlot(hashes[at]);
            }
        }
        while (added < taken) {
            addOne();
        }
    }

    bool has(std::string_view value, std::uint64_t hash) const {
        return value.empty() ? plain : suffixes.contains(value, hash);
    }

    bool empty() const { return !plain && suffixes.size() == 0; }
};

// The first '\n' in [at, end), or end. The lines are short, so a call would cost more than the
// search: sixteen bytes are looked at a time where the processor has the instructions.
const char* lineEndIn(const char* at, const char* end) {
#if defined(__SSE2__)
    const __m128i lfs = _mm_set1_epi8('\n');
    for (; end - at >= 16; at += 16) {
        const int found = _mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), lfs));
        if (found != 0) {
            return at + __builtin_ctz(static_cast<unsigned>(found));
        }
    }
#endif
    const auto* lf =
        static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
    return lf != nullptr ? lf : end;
}

// A value with a path separator names a folder elsewhere, which the check does not look for.
bool isChecked(std::string_view texture) {
    for (const char c : texture) {
        if (c == '/' || c == '\\') {
            return false;
        }
    }
    return true;
}

Text textOf(std::string_view chars) {
    return chars.empty() ? Text() : Text(chars.data(), chars.size());
}

char foldedChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isMark(char c) {
    return c == '-' || c == '_' || c == '.' || c == ' ';
}

// Whether `a` and `b` are one name once ASCII letter case and the marks that a name typed by hand
// most often gets wrong are set aside: "N208-PX", "n208 px" and "N208_PX" are one name to the
// user. Compared as they stand, since a folder may hold a great many names to compare.
bool sameButForMarks(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    for (;;) {
        while (i < a.size() && isMark(a[i])) {
            ++i;
        }
        while (j < b.size() && isMark(b[j])) {
            ++j;
        }
        if (i == a.size() || j == b.size()) {
            return i == a.size() && j == b.size();
        }
        if (foldedChar(a[i++]) != foldedChar(b[j++])) {
            return false;
        }
    }
}

Text textureFolderFor(const Text& value) {
    if (value.empty()) {
        return Text("texture");
    }
    Text folder;
    folder.reserve(std::int64_t{value.length()} + 9);
    folder.append("texture.", 8);
    folder += value;
    return folder;
}

// Whether `a` and `b`, in ASCII lower case, are at most `most` characters apart: as many
// inserted, removed or changed as it takes, two neighbours swapped counting as one (the slip a
// hand makes most), counted by the usual table row by row.
bool withinEdits(std::string_view a, std::string_view b, std::size_t most) {
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > most) {
        return false;
    }
    // The rows for a's first i - 2, i - 1 and i characters.
    std::vector<std::size_t> older(b.size() + 1);
    std::vector<std::size_t> last(b.size() + 1);
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        older.swap(last);
        last.swap(row);
        row[0] = i;
        std::size_t least = row[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const char ai = foldedChar(a[i - 1]);
            const char bj = foldedChar(b[j - 1]);
            row[j] = std::min({last[j - 1] + (ai == bj ? 0 : 1), last[j] + 1, row[j - 1] + 1});
            if (i > 1 && j > 1 && ai == foldedChar(b[j - 2]) && foldedChar(a[i - 2]) == bj) {
                row[j] = std::min(row[j], older[j - 2] + 1);
            }
            least = std::min(least, row[j]);
        }
        // No later row can come back under: a swap reaches back two rows, but to a cell at most
        // one below one of the row before, and adds one.
        if (least > most) {
            return false;
        }
    }
    return row[b.size()] <= most;
}

// The one folder among `names` (as TextureFolders holds them) that is a near miss of the folder
// that texture=`value` names; empty when none is, or when several are and a guess would mislead.
// Marks and letter case are set aside in a name of any length. Edits are counted in the folder's
// own part only, past "texture" and its marks: over the whole name, "texture." alike in every
// folder made any two-character value near any two-character folder. A value shorter than 4
// characters is allowed no edit, one shorter than 8 one, a longer one two. An empty value gets no
// guess: it names the plain "texture", which every folder of the set starts with.
Text onlyNearMiss(const Text& names, std::string_view value) {
    if (value.empty()) {
        return Text();
    }
    const Text wanted = textureFolderFor(textOf(value));
    const std::string_view want(wanted.c_str(), static_cast<std::size_t>(wanted.length()));
    const std::size_t most = value.size() < 4 ? 0 : value.size() < 8 ? 1 : 2;
    const std::string_view prefix = kTextureFolderPrefix;
    std::string_view found;
    std::size_t count = 0;
    const char* name = names.c_str();
    const char* const end = name + names.length();
    for (const char* slash = nullptr; name < end && count < 2; name = slash + 1) {
        slash =
            static_cast<const char*>(std::memchr(name, '/', static_cast<std::size_t>(end - name)));
        if (slash == nullptr) {
            slash = end;
        }
        const std::string_view chars(name, static_cast<std::size_t>(slash - name));
        if (chars.empty()) {
            continue;
        }
        bool near = sameButForMarks(chars, want);
        if (!near && most > 0 && startsIgnoringCase(chars, prefix)) {
            std::string_view own = chars.substr(prefix.size());
            while (!own.empty() && isMark(own.front())) {
                own.remove_prefix(1);
            }
            near = withinEdits(own, value, most);
        }
        if (near) {
            found = chars;
            ++count;
        }
    }
    return count == 1 ? textOf(found) : Text();
}

// How far ahead of a body the walk over the list asks for memory, and how much it keeps asked for
// past that: a typical entry's body takes a few hundred bytes.
constexpr std::uintptr_t kWalkAhead = 2048;
constexpr std::uintptr_t kWalkSpan = 512;
constexpr std::uintptr_t kCacheLine = 64;

// A warning before it is worded: views into the sections, which live as long as the check runs.
struct Finding {
    WarningKind kind;
    const Section* entry;
    const Section* first;
    std::string_view value;
};

// How each kind of warning reads: what is wrong, then what to do. In the text, {entry}, {first},
// {file} and {value} stand for the warning's arguments, {folder} for the folder that
// texture={value} names.
struct Wording {
    WarningKind kind;
    const char* text;
};
constexpr Wording kWordings[] = {
    {WarningKind::noTitle,
     "{entry} has no title=, so the simulator cannot list it; give it a title= line with a name "
     "of its own"},
    {WarningKind::sameTitle,
     "{first} and {entry} have the same title \"{value}\", so the simulator shows only one of "
     "them; give one of them a title of its own"},
    {WarningKind::missingTextureFolder,
     "{entry} uses texture={value}, but there is no folder {folder} beside the file, so the "
     "simulator paints it wrongly or hides it; add the folder {folder}, or correct the texture= "
     "line"},
    {WarningKind::texturesNotChecked,
     "the texture folders were not checked: cannot list the aircraft's folder: {value}"},
    {WarningKind::sameTitleInAnotherFile,
     "{entry} has the title \"{value}\", as {first} in {file} has, so the simulator shows only "
     "one of them; give one of them a title of its own"},
    {WarningKind::missingTextureFolderNearMiss,
     "{entry} uses texture={value}, but there is no folder {folder} beside the file, so the "
     "simulator paints it wrongly or hides it; did you mean {near}? add the folder {folder}, or "
     "correct the texture= line"},
    {WarningKind::samePathInAnotherPackage,
     "the file {value} is in two packages, {file} and {first}, so the simulator loads only one "
     "of them; remove one of the packages"},
};

constexpr const char* kArguments[] = {"entry", "first", "file", "value", "folder", "near"};

// The table has a row for every kind, in order, and each brace opens an argument that a Warning
// gives: a new kind or a misspelt argument fails the build rather than a user's run.
constexpr bool wordingsAreWhole() {
    if (std::size(kWordings) != kWarningKinds) {
        return false;
    }
    for (std::size_t row = 0; row < kWarningKinds; ++row) {
        if (static_cast<std::size_t>(kWordings[row].kind) != row) {
            return false;
        }
        if (!bracesNameOnly(kWordings[row].text, kArguments)) {
            return false;
        }
    }
    return true;
}
static_assert(wordingsAreWhole(), "every warning needs its wording, in WarningKind's order");

}  // namespace

EntryValues valuesIn(const Text& body) {
    EntryValues values;
    const char* line = body.c_str();
    const char* const end = line + body.length();
    while (line < end && !(values.title.set && values.texture.set)) {
        const char* const lineEnd = lineEndIn(line, end);
        while (line < lineEnd && isBlank(*line)) {
            ++line;
        }
        // Both keys start with a 't': other lines are passed over at a glance.
        if (line < lineEnd && (*line | 0x20) == 't') {
            if (!readsKey(line, lineEnd, "title", values.title)) {
                readsKey(line, lineEnd, "texture", values.texture);
            }
        }
        line = lineEnd + 1;
    }
    return values;
}

// Whether `header` opens the [VARIATION] section, in any ASCII letter case.
bool opensVariation(const Text& header) {
    std::string_view line(header.c_str(), static_cast<std::size_t>(header.length()));
    while (!line.empty() && isBlank(line.front())) {
        line.remove_prefix(1);
    }
    return startsIgnoringCase(line, "[variation]");
}

EntryValue baseContainerIn(const SectionList& list) {
    EntryValue base;
    for (const Section* section = list.head; section != nullptr; section = section->next) {
        if (!opensVariation(section->header)) {
            continue;
        }
        const char* line = section->body.c_str();
        const char* const end = line + section->body.length();
        while (line < end) {
            const char* const lineEnd = lineEndIn(line, end);
            while (line < lineEnd && isBlank(*line)) {
                ++line;
            }
            if (readsKey(line, lineEnd, "base_container", base)) {
                return base;
            }
            line = lineEnd + 1;
        }
    }
    return base;
}

EntryWarnings entryWarnings(const SectionList& list, const TextureFolders& folders,
                            std::size_t most, std::size_t entries) {
    const FolderSet folderSet(folders.names);
    const bool lookForFolders = folders.listed && folderSet.suffixes.size() != 0;
    // In a package, an aircraft's folder without a texture folder of its own takes them all from
    // the package it overrides.
    const bool texturesElsewhere = folders.inPackage && folders.listed && folderSet.empty();
    const bool baseNamed = folders.inPackage && folders.baseNamed;
    const FolderSet baseSet(folders.baseNames);  // views of the names, which outlive it
    // Whether the base's folder may hold what is missing beside the file: when it could not be
    // listed (most often it is another package's, not on this disk), nothing can be told; when it
    // holds no texture folder at all, it takes its own from elsewhere too, as the file's folder
    // would.
    auto inBase = [&](std::string_view value) {
        return baseNamed &&
               (!folders.baseListed || baseSet.empty() || baseSet.has(value, foldedHash(value)));
    };
    FoldedNames titles;
    EntryWarnings warnings;
    // Only the findings that will be shown are kept; the rest are counted.
    std::vector<Finding> findings;
    auto find = [&](WarningKind kind, const Section* entry, const Section* first,
                    std::string_view value) {
        if (warnings.total++ < most) {
            findings.push_back(Finding{kind, entry, first, value});
        }
    };
    bool texturesUnchecked = false;

    // Each entry's slots are asked for as it is read, the names in them half-way, and the entry
    // is looked up some entries later, by when they have come: the waits for memory overlap
    // rather than follow each other.
    struct Read {
        const Section* entry;
        EntryValues values;
        std::uint64_t titleHash;
        std::uint64_t textureHash;
        bool textureChecked;
    };
    constexpr std::size_t kLookAhead = 32;
    Read reads[kLookAhead];
    std::size_t readCount = 0;
    std::size_t lookedUp = 0;
    auto lookUp = [&] {
        const Read& read = reads[lookedUp++ % kLookAhead];
        const EntryValue& title = read.values.title;
        const EntryValue& texture = read.values.texture;
        if (!title.set) {
            find(WarningKind::noTitle, read.entry, nullptr, {});
        } else if (const Section* first = titles.add(title.chars, read.titleHash, read.entry);
                   first != read.entry) {
            find(WarningKind::sameTitle, read.entry, first, title.chars);
        }
        if (read.textureChecked) {
            if (!folders.listed) {
                texturesUnchecked = true;
            } else if (!folderSet.has(texture.chars, read.textureHash) && !inBase(texture.chars)) {
                find(WarningKind::missingTextureFolder, read.entry, nullptr, texture.chars);
            }
        }
    };
    // How far the walk has asked for memory ahead of itself: each line is asked for once, however
    // small the sections.
    std::uintptr_t fetched = 0;
    for (const Section* s = list.head; s != nullptr; s = s->next) {
        // The parser puts the bodies one after another (and the nodes, apart from them, likewise,
        // which the processor fetches ahead unasked), so the memory a little past this body most
        // likely holds the next ones: asking for it now overlaps the waits of a walk that would
        // otherwise wait for each body in turn.
        const auto ahead = reinterpret_cast<std::uintptr_t>(s->body.c_str()) + kWalkAhead;
        if (fetched < ahead || fetched > ahead + kWalkSpan) {
            fetched = ahead;  // the bodies went elsewhere: start again from here
        }
        for (; fetched < ahead + kWalkSpan; fetched += kCacheLine) {
            // Only an address for the hint, never read through: arithmetic on a pointer past the
            // section would be undefined, on the integer it is not.
            prefetch(reinterpret_cast<const void*>(fetched));  // NOLINT(performance-no-int-to-ptr)
        }
        if (!isEntryHeader(s->header)) {
            continue;
        }
        if (readCount - lookedUp == kLookAhead) {
            lookUp();
        }
        if (readCount - lookedUp >= kLookAhead / 2) {
            const Read& halfway = reads[(readCount - kLookAhead / 2) % kLookAhead];
            if (halfway.values.title.set) {
                titles.prefetchName(halfway.titleHash);
            }
            if (halfway.textureChecked && lookForFolders) {
                folderSet.suffixes.prefetchName(halfway.textureHash);
            }
        }
        Read& read = reads[readCount++ % kLookAhead];
        read.entry = s;
        read.values = valuesIn(s->body);
        // In a package an empty texture= names the base aircraft's texture folder.
        read.textureChecked = read.values.texture.set && isChecked(read.values.texture.chars) &&
                              !texturesElsewhere &&
                              !(folders.inPackage && read.values.texture.chars.empty());
        read.titleHash = 0;
        read.textureHash = 0;
        if (read.values.title.set) {
            // Room for every entry as soon as one has a title: the slots move only where the
            // entries were not counted. A file without titles takes no table at all.
            titles.reserve(std::max(entries, titles.size() + (readCount - lookedUp)));
            read.titleHash = foldedHash(read.values.title.chars);
            titles.prefetchSlot(read.titleHash);
        }
        if (read.textureChecked && lookForFolders) {
            read.textureHash = foldedHash(read.values.texture.chars);
            folderSet.suffixes.prefetchSlot(read.textureHash);
        }
    }
    while (lookedUp < readCount) {
        lookUp();
    }

    warnings.shown.reserve(findings.size() + 1);
    if (texturesUnchecked) {
        // About the whole file, so ahead of the entries' own.
        ++warnings.total;
        if (most > 0) {
            Warning note;
            note.kind = WarningKind::texturesNotChecked;
            note.value = folders.why;
            warnings.shown.push_back(std::move(note));
            if (findings.size() == most) {
                findings.pop_back();
            }
        }
    }
    for (const Finding& finding : findings) {
        Warning warning;
        warning.kind = finding.kind;
        warning.entry = entryName(finding.entry->header);
        if (finding.first != nullptr) {
            warning.first = entryName(finding.first->header);
        }
        warning.value = textOf(finding.value);
        if (finding.kind == WarningKind::missingTextureFolder) {
            warning.near = onlyNearMiss(folders.names, finding.value);
            if (!warning.near.empty()) {
                warning.kind = WarningKind::missingTextureFolderNearMiss;
            }
        }
        warnings.shown.push_back(std::move(warning));
    }
    return warnings;
}

// Each wording split once, in the order of kWordings, which is WarningKind's.
const std::vector<TemplatePiece>& piecesOf(WarningKind kind) {
    static const std::vector<std::vector<TemplatePiece>> split = [] {
        std::vector<std::vector<TemplatePiece>> all;
        for (const Wording& wording : kWordings) {
            all.push_back(splitTemplate(wording.text));
        }
        return all;
    }();
    return split[static_cast<std::size_t>(kind)];
}

void appendWordingOf(Text& line, const Warning& warning) {
    const std::vector<TemplatePiece>& pieces = piecesOf(warning.kind);
    const Text folder = warning.kind == WarningKind::missingTextureFolder ||
                                warning.kind == WarningKind::missingTextureFolderNearMiss
                            ? textureFolderFor(warning.value)
                            : Text();
    // Room for the whole line at once: each argument stands in it at most twice.
    std::int64_t room =
        std::int64_t{line.length()} + 1 +
        2 * (std::int64_t{warning.entry.length()} + warning.first.length() + warning.file.length() +
             warning.value.length() + folder.length() + warning.near.length());
    for (const TemplatePiece& piece : pieces) {
        room += static_cast<std::int64_t>(piece.words.size());
    }
    line.reserve(room);
    fillTemplate(line, pieces, [&warning, &folder](std::string_view name) -> const Text& {
        if (name == "entry") {
            return warning.entry;
        }
        if (name == "first") {
            return warning.first;
        }
        if (name == "value") {
            return warning.value;
        }
        if (name == "folder") {
            return folder;
        }
        if (name == "near") {
            return warning.near;
        }
        return warning.file;
    });
}
