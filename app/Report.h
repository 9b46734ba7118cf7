#pragma once

// The program's own sentences on standard error, beside the causes (text/Cause.h) and the
// warnings (checks/EntryChecks.h): the notes on what a run did not do or did besides the file, and
// the totals line. Each stands in one table with its facts in braces, so that a new note is a kind
// and a row, and a sentence is reworded in one place.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "package/ListPlan.h"
#include "text/Cause.h"
#include "text/Text.h"

enum class NoteKind : std::uint8_t {
    attributesNotKept,  // {names}: the old file's extended attributes the new one lacks
    ownFilesLeft,       // {names}: files of the program's own that it could not remove
    notAnOption,        // said of the argument that is none
    cutShort,           // {fault}: what ended the run
    filesFound,         // said of the folder a run is over: {count} files, named from there
    // Said of an item on the command line, or of what a walk below it met:
    emptyName,             // said of "": names nothing
    cannotExamine,         // {reason}: the system's
    noSuchItem,            // nothing stands there
    neitherFileNorFolder,  // a device or a pipe, say
    notATidyableFile,      // a file of another name
    holdsNone,             // a folder with no file to tidy, {count} folders down
    holdsNoneHere,         // the current folder, run with no item, the same
    folderReplaced,        // a folder below, swapped for a link or a file while it was walked
    folderUnreadable,      // {reason}: the system's
    // Said of what an interrupted run left beside {entry}, the file it replaced:
    contentAsideFileInPlace,
    contentAsideFileMissing,
    backupWithoutFile,
    temporaryLeft,
    // Said of a package's list:
    entryStillOld,    // {entry}: the rewritten file's, and the list stays as it was, for {cause}
    entryStillWrong,  // {entry} records {recorded} bytes, not the file's {size}, for {cause}
    listUnchecked,    // what the list leaves out cannot be told, for {cause}
    fileNotListed,    // {entry}
    oneFileBesideNotListed,  // {count}, 1, file beside the file not listed: {names}, its name
    filesBesideNotListed,    // {count} files beside it not listed: {names}, the first few
    listMadeWhole,           // {names}: what the edit did, its parts worded by listPartsLine
    namesNotUtf8,            // {names}: files the list cannot name, the first few
    goneStillListed,         // {names}: entries of files that are gone, kept, for {cause}
};

constexpr std::size_t kNoteKinds = static_cast<std::size_t>(NoteKind::goneStillListed) + 1;

// A note's facts; each kind names those it needs.
struct Note {
    NoteKind kind = NoteKind::attributesNotKept;
    Text entry;
    Text names;
    std::int64_t size = 0;
    Text recorded;
    std::int64_t count = 0;
    Cause cause;
    Text fault;
    Text reason;
};

// A note of `kind` whose only fact, if any, is `entry`.
inline Note noteOf(NoteKind kind, Text entry = Text()) {
    Note note;
    note.kind = kind;
    note.entry = static_cast<Text&&>(entry);
    return note;
}

// The note as a line: `about` (a file's path as shown, or the program's name), ": ", its words.
Text noteLine(const Text& about, const Note& note);

// How lines name paths. In full, so that the user can find the file; in a run over one folder
// that came to several files, relative to that folder, which the run's first line names in full:
// a collection's lines then fit a console's width, and say no more than the user needs.
void showPathsFrom(const Text& folder);  // the current folder when empty
void showPathsInFull();
// `path` as lines name it. The current folder (an empty path) is named as any folder is, without
// a closing separator.
Text shownPath(const Text& path);

// A note about a path, worded once the run knows how it names its paths.
struct PathNote {
    Text path;
    Note note;
    bool literal = false;  // `path` is shown as it stands: a name that names nothing, say
};
Text lineOf(const PathNote& line);
inline PathNote pathNote(const Text& path, Note note) {
    return PathNote{path, static_cast<Note&&>(note), false};
}

// The lines that tell of a package's list `list` (its path as shown) what its plan found, in the
// plan's order. `notPlaced`: why the list stays as it was, when the plan's edit is not in place;
// null when the list is as the plan has it. What the edit does is told in one line; in a dry run
// (`dryRun`, with `notPlaced` null), as what it would do.
void addListNotes(const Text& list, const std::vector<ListFact>& facts, const Cause* notPlaced,
                  std::vector<Text>& lines, bool dryRun = false);

// What a run over several files came to.
struct RunTotals {
    std::int32_t renumbered = 0;
    std::int32_t tidy = 0;
    std::int32_t refused = 0;
    std::int32_t warnings = 0;  // shown or only counted
};

// The run's last line on standard error: "cfgrenum: 2 files renumbered, 1 already tidy, ...".
Text totalsLine(const RunTotals& totals, bool dryRun);
