#include "app/Report.h"

#include <cassert>
#include <cstddef>
#include <iterator>
#include <string_view>
#include <utility>

#include "files/PathNames.h"
#include "platform/Paths.h"
#include "text/Decimal.h"
#include "text/Template.h"

namespace {

// What a note about a package's list ends with when only the package's own tool can mend it.
constexpr const char* kRunGenerator = "; run the package's layout generator";

struct NoteRow {
    NoteKind kind;
    // The words, with the note's facts in braces: {entry}, {names}, {size}, {recorded}, {count},
    // {cause} (worded inside the sentence), {fault} and {reason}.
    const char* words;
    const char* advice;  // what follows them: what the user may do about it, or nothing
};

// Every note the program gives, in NoteKind's order.
constexpr NoteRow kNotes[] = {
    {NoteKind::attributesNotKept,
     "the system did not let the new file keep these extended attributes of the old one: {names}",
     ""},
    {NoteKind::ownFilesLeft,
     "the folder did not let the program remove these files of its own, which may be deleted: "
     "{names}",
     ""},
    {NoteKind::notAnOption,
     "is not an option of this program, so nothing was touched; cfgrenum --help lists them", ""},
    {NoteKind::cutShort,
     "the run was cut short by a fault in the program ({fault}); a file that no line above "
     "reports as done may not have been",
     ""},
    {NoteKind::filesFound,
     "{count} files to tidy in this folder and the folders below it; the lines below name them "
     "from here",
     ""},
    {NoteKind::emptyName, "is an empty name, so nothing was touched", ""},
    {NoteKind::cannotExamine, "cannot examine it: {reason}", ""},
    {NoteKind::noSuchItem, "there is no such file or folder", ""},
    {NoteKind::neitherFileNorFolder, "is neither a file nor a folder, so it was not touched", ""},
    {NoteKind::notATidyableFile, "is not an aircraft.cfg or a sim.cfg, so it was not touched", ""},
    {NoteKind::holdsNone, "holds no aircraft.cfg or sim.cfg, at any depth up to {count} folders",
     ""},
    {NoteKind::holdsNoneHere,
     "holds no aircraft.cfg or sim.cfg, at any depth up to {count} folders",
     "; copy cfgrenum into an aircraft's folder and run it there, or drop a folder or a file on "
     "it"},
    {NoteKind::folderReplaced,
     "was a folder when the folder above it was listed but is not one now (a link or a file took "
     "its place), so it was passed over",
     ""},
    {NoteKind::folderUnreadable, "cannot look inside this folder, so it was passed over: {reason}",
     ""},
    {NoteKind::contentAsideFileInPlace,
     "a run that was ended while it replaced {entry} left the old content here; {entry} is in "
     "place, so this file may be deleted once that is checked",
     ""},
    {NoteKind::contentAsideFileMissing,
     "a run that was ended while it replaced {entry} left its content here; rename this file to "
     "{entry} to put it back",
     ""},
    {NoteKind::backupWithoutFile,
     "{entry} is missing, and this backup holds its content, as a run that was ended while it "
     "replaced the file left it; rename this file to {entry} to put it back",
     ""},
    {NoteKind::temporaryLeft,
     "a temporary file that a run that was ended left behind; it may be deleted", ""},
    {NoteKind::entryStillOld, "the entry for {entry} still records the old size ({cause})",
     kRunGenerator},
    {NoteKind::entryStillWrong,
     "the entry for {entry} records {recorded} bytes, not the file's {size} ({cause})",
     kRunGenerator},
    {NoteKind::listUnchecked, "cannot check what it lists ({cause})", kRunGenerator},
    {NoteKind::fileNotListed, "{entry} is not listed, so the simulator will not load it at all",
     kRunGenerator},
    {NoteKind::oneFileBesideNotListed,
     "{count} file in the aircraft's folder is not listed, so the simulator will not see it: "
     "{names}",
     kRunGenerator},
    {NoteKind::filesBesideNotListed,
     "{count} files in the aircraft's folder are not listed, so the simulator will not see them: "
     "{names}",
     kRunGenerator},
    {NoteKind::listMadeWhole, "{names}", ""},
    {NoteKind::namesNotUtf8,
     "cannot list these files, whose names are not UTF-8, the only text a list holds: {names}",
     "; rename them"},
    {NoteKind::goneStillListed, "still lists these files, which are gone ({cause}): {names}",
     kRunGenerator},
};

constexpr const char* kNoteFacts[] = {"entry", "names", "size",  "recorded",
                                      "count", "cause", "fault", "reason"};

// The table has a row for every kind, in order, and names only facts that a Note holds: a new
// kind or a misspelt fact fails the build rather than a user's run.
constexpr bool notesAreWhole() {
    if (std::size(kNotes) != kNoteKinds) {
        return false;
    }
    for (std::size_t i = 0; i < kNoteKinds; ++i) {
        if (static_cast<std::size_t>(kNotes[i].kind) != i ||
            !bracesNameOnly(kNotes[i].words, kNoteFacts) ||
            !bracesNameOnly(kNotes[i].advice, kNoteFacts)) {
            return false;
        }
    }
    return true;
}
static_assert(notesAreWhole(), "every note needs its row, in NoteKind's order");

// The parts of the totals line, in the order it gives them.
enum class TotalKind : std::uint8_t { renumbered, tidy, refused, warnings };
constexpr std::size_t kTotalKinds = static_cast<std::size_t>(TotalKind::warnings) + 1;

struct TotalRow {
    TotalKind kind;
    const char* one;   // the words for a count of 1, with the count as {count}
    const char* many;  // for any other count
};

constexpr TotalRow kTotals[] = {
    {TotalKind::renumbered, "{count} file renumbered", "{count} files renumbered"},
    {TotalKind::tidy, "{count} already tidy", "{count} already tidy"},
    {TotalKind::refused, "{count} refused", "{count} refused"},
    {TotalKind::warnings, "{count} warning", "{count} warnings"},
};

constexpr const char* kTotalFacts[] = {"count"};

// As the notes' table: a row for every part, in order, with no fact but the count.
constexpr bool totalsAreWhole() {
    if (std::size(kTotals) != kTotalKinds) {
        return false;
    }
    for (std::size_t i = 0; i < kTotalKinds; ++i) {
        if (static_cast<std::size_t>(kTotals[i].kind) != i ||
            !bracesNameOnly(kTotals[i].one, kTotalFacts) ||
            !bracesNameOnly(kTotals[i].many, kTotalFacts)) {
            return false;
        }
    }
    return true;
}
static_assert(totalsAreWhole(), "every part of the totals needs its row, in TotalKind's order");

// The parts of the one line that tells what a list's edit did, in the order it gives them.
enum class ListPart : std::uint8_t { added, removed, updated };
constexpr std::size_t kListParts = static_cast<std::size_t>(ListPart::updated) + 1;

struct ListPartRow {
    ListPart part;
    // For a count of 1 and for any other, of an edit that is done and of one a dry run would do;
    // with the count as {count} and the first few paths as {names}.
    const char* one;
    const char* many;
    const char* wouldOne;
    const char* wouldMany;
};

constexpr ListPartRow kListPartRows[] = {
    {ListPart::added, "listed {count} new file ({names})", "listed {count} new files ({names})",
     "would list {count} new file ({names})", "would list {count} new files ({names})"},
    {ListPart::removed, "removed {count} entry of a file that is gone ({names})",
     "removed {count} entries of files that are gone ({names})",
     "would remove {count} entry of a file that is gone ({names})",
     "would remove {count} entries of files that are gone ({names})"},
    {ListPart::updated, "recorded the new size of {names}", "recorded the new size of {names}",
     "would record the new size of {names}", "would record the new size of {names}"},
};

constexpr const char* kListPartFacts[] = {"count", "names"};

constexpr bool listPartsAreWhole() {
    if (std::size(kListPartRows) != kListParts) {
        return false;
    }
    for (std::size_t i = 0; i < kListParts; ++i) {
        const ListPartRow& row = kListPartRows[i];
        if (static_cast<std::size_t>(row.part) != i || !bracesNameOnly(row.one, kListPartFacts) ||
            !bracesNameOnly(row.many, kListPartFacts) ||
            !bracesNameOnly(row.wouldOne, kListPartFacts) ||
            !bracesNameOnly(row.wouldMany, kListPartFacts)) {
            return false;
        }
    }
    return true;
}
static_assert(listPartsAreWhole(),
              "every part of a list's line needs its row, in ListPart's order");

// How many of the files that a list leaves out a note names; the rest are counted.
constexpr std::size_t kFilesNamed = 3;

// "a, b, c and 2 more".
Text namedAndCounted(const std::vector<Text>& names) {
    Text named;
    for (std::size_t i = 0; i < names.size() && i < kFilesNamed; ++i) {
        named += Text(i == 0 ? "" : ", ") + names[i];
    }
    if (names.size() > kFilesNamed) {
        named += Text(" and ") + decimalOf(static_cast<std::int64_t>(names.size() - kFilesNamed)) +
                 Text(" more");
    }
    return named;
}

// "a, b and c": the parts of a list's line, in the order given.
Text listPartsLine(const std::vector<std::pair<ListPart, std::vector<Text>>>& parts, bool dryRun) {
    Text line;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const ListPartRow& row = kListPartRows[static_cast<std::size_t>(parts[i].first)];
        const std::vector<Text>& names = parts[i].second;
        const bool one = names.size() == 1;
        if (i > 0) {
            line += Text(i + 1 < parts.size() ? ", " : parts.size() > 2 ? ", and " : " and ");
        }
        const Text named = namedAndCounted(names);
        fillTemplate(
            line, dryRun ? (one ? row.wouldOne : row.wouldMany) : (one ? row.one : row.many),
            [&names, &named](std::string_view fact) {
                return fact == "count" ? decimalOf(static_cast<std::int64_t>(names.size())) : named;
            });
    }
    return line;
}

Note noteOf(NoteKind kind, const ListFact& fact) {
    Note note = noteOf(kind, fact.entry);
    note.size = fact.size;
    note.recorded = fact.recordedSize;
    return note;
}

}  // namespace

namespace {

// The folder that lines name paths from, in full and with its links resolved, each with its
// closing separator; empty while they name paths in full.
Text gShownFrom;
Text gShownFromResolved;

// The rest of `full` after `folder`, when it lies below it.
bool below(const Text& full, const Text& folder, Text& rest) {
    const auto length = static_cast<std::size_t>(folder.length());
    if (folder.empty() || static_cast<std::size_t>(full.length()) <= length ||
        std::string_view(full.c_str(), length) != std::string_view(folder.c_str(), length)) {
        return false;
    }
    rest = Text(full.c_str() + length);
    return true;
}

}  // namespace

void showPathsFrom(const Text& folder) {
    gShownFrom = withClosingSeparator(fullPathOf(folder));
    // A package's list is found from the files' real paths, links resolved.
    gShownFromResolved = withClosingSeparator(resolvedPathOf(folder));
}

void showPathsInFull() {
    gShownFrom = Text();
    gShownFromResolved = Text();
}

Text shownPath(const Text& path) {
    Text full = fullPathOf(path);
    if (full.length() > 2 && full.c_str()[full.length() - 1] == '.' &&
        isPathSeparator(full.c_str()[full.length() - 2])) {
        full = Text(full.c_str(), static_cast<std::size_t>(full.length() - 1));  // "Planes/."
    }
    Text rest;
    if (below(full, gShownFrom, rest) || below(full, gShownFromResolved, rest)) {
        return rest;
    }
    // A folder is named without what closes it: "C:\\Planes", not "C:\\Planes\\" or "/home/me/.",
    // as a console shows it.
    std::int32_t length = full.length();
    const char* text = full.c_str();
    if (length > 1 && isPathSeparator(text[length - 1]) && text[length - 2] != ':' &&
        !isPathSeparator(text[length - 2])) {
        length -= 1;
    }
    return length == full.length() ? full : Text(text, static_cast<std::size_t>(length));
}

Text lineOf(const PathNote& line) {
    return noteLine(line.literal ? line.path : shownPath(line.path), line.note);
}

Text noteLine(const Text& about, const Note& note) {
    assert(static_cast<std::size_t>(note.kind) < kNoteKinds);
    const NoteRow& row = kNotes[static_cast<std::size_t>(note.kind)];
    Text line = about + Text(": ");
    const auto fact = [&note](std::string_view name) {
        if (name == "entry") {
            return note.entry;
        }
        if (name == "names") {
            return note.names;
        }
        if (name == "size") {
            return decimalOf(note.size);
        }
        if (name == "recorded") {
            return note.recorded;
        }
        if (name == "count") {
            return decimalOf(note.count);
        }
        if (name == "cause") {
            return wordedInSentence(note.cause);
        }
        if (name == "reason") {
            return note.reason;
        }
        return note.fault;
    };
    fillTemplate(line, row.words, fact);
    fillTemplate(line, row.advice, fact);
    return line;
}

void addListNotes(const Text& list, const std::vector<ListFact>& facts, const Cause* notPlaced,
                  std::vector<Text>& lines, bool dryRun) {
    const bool placed = notPlaced == nullptr;
    // What the edit does, once it is in place (or would do, in a dry run), in one line.
    std::vector<Text> added;
    std::vector<Text> removed;
    std::vector<Text> updated;
    for (const ListFact& fact : facts) {
        Note note;
        switch (fact.kind) {
            case ListFactKind::notListed:
                note = noteOf(NoteKind::fileNotListed, fact);
                break;
            case ListFactKind::added:
            case ListFactKind::unlistedBeside:
                assert(!fact.names.empty());
                if (placed && fact.kind == ListFactKind::added) {
                    added.insert(added.end(), fact.names.begin(), fact.names.end());
                    continue;
                }
                note = noteOf(fact.names.size() == 1 ? NoteKind::oneFileBesideNotListed
                                                     : NoteKind::filesBesideNotListed,
                              fact);
                note.count = static_cast<std::int64_t>(fact.names.size());
                note.names = namedAndCounted(fact.names);
                break;
            case ListFactKind::removedGone:
                if (placed) {
                    removed.insert(removed.end(), fact.names.begin(), fact.names.end());
                    continue;
                }
                note = noteOf(NoteKind::goneStillListed, fact);
                note.names = namedAndCounted(fact.names);
                break;
            case ListFactKind::notUtf8:
                note = noteOf(NoteKind::namesNotUtf8, fact);
                note.names = namedAndCounted(fact.names);
                break;
            case ListFactKind::rewrittenEntry:
            case ListFactKind::staleEntry:
                if (placed) {
                    updated.push_back(fact.entry);
                    continue;
                }
                note = noteOf(fact.kind == ListFactKind::rewrittenEntry ? NoteKind::entryStillOld
                                                                        : NoteKind::entryStillWrong,
                              fact);
                break;
            case ListFactKind::keptOldSize:
                assert(!placed);
                note = noteOf(NoteKind::entryStillOld, fact);
                break;
            case ListFactKind::unchecked:
                assert(!placed);
                note = noteOf(NoteKind::listUnchecked, fact);
                break;
        }
        if (!placed) {
            note.cause = *notPlaced;
        }
        lines.push_back(noteLine(shownPath(list), note));
    }
    std::vector<std::pair<ListPart, std::vector<Text>>> parts;
    for (auto* part : {&added, &removed, &updated}) {
        if (!part->empty()) {
            const auto kind = part == &added     ? ListPart::added
                              : part == &removed ? ListPart::removed
                                                 : ListPart::updated;
            parts.emplace_back(kind, std::move(*part));
        }
    }
    if (!parts.empty()) {
        Note note = noteOf(NoteKind::listMadeWhole);
        note.names = listPartsLine(parts, dryRun);
        lines.push_back(noteLine(shownPath(list), note));
    }
}

Text totalsLine(const RunTotals& totals, bool dryRun) {
    const std::int32_t counts[kTotalKinds] = {totals.renumbered, totals.tidy, totals.refused,
                                              totals.warnings};
    Text line("cfgrenum: ");
    for (std::size_t i = 0; i < kTotalKinds; ++i) {
        if (i > 0) {
            line += Text(", ");
        }
        fillTemplate(line, counts[i] == 1 ? kTotals[i].one : kTotals[i].many,
                     [&counts, i](std::string_view) { return toDecimal(counts[i]); });
    }
    if (dryRun) {
        line += Text(" (a dry run: nothing was written)");
    }
    return line;
}
