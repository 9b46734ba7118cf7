#include "app/Run.h"

#include <cstdint>
#include <iostream>
#include <new>
#include <utility>

#include "app/Items.h"
#include "app/MemoryBudget.h"
#include "app/Options.h"
#include "app/PackageList.h"
#include "app/Report.h"
#include "checks/EntryChecks.h"
#include "checks/RunChecks.h"
#include "files/FileReplacement.h"
#include "files/Folders.h"
#include "files/PathNames.h"
#include "platform/Console.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "renumber/Renumber.h"
#include "sections/Section.h"
#include "sections/SectionFile.h"
#include "text/Cause.h"
#include "text/Decimal.h"

namespace {

// Past this many files, a terminal shows which one the run is at.
constexpr std::size_t kProgressAfter = 20;

// What the command line set for every file of the run.
struct Settings {
    bool dryRun = false;  // everything but the writing
    bool backup = true;   // keep what a rewrite takes out as <name>.bak
};

struct Outcome {
    bool done = false;     // the file is tidy now (in a dry run: would be)
    bool written = false;  // and it was rewritten to get there (in a dry run: would be)
    bool dryRun = false;
    std::vector<Text> changes;  // in a dry run, "[fltsim.3] -> [fltsim.0]" for each header
    Text backup;                // where the old content was kept, when it was
    RenumberSummary summary;
    Cause why;                // when not done
    std::vector<Text> notes;  // whole lines: what the new file or the package lacks
    bool listed = false;      // the file was looked at, or rewritten: its package's list follows it
    ListedFile state;         // as it then stands
    std::int64_t memoryHeld = 0;  // by the file's sections, until they are discarded
};

// Opens the file, loads its sections, renumbers the entries and, where that changed anything,
// puts the result in the file's place. Any failure stops the run before the file is touched.
// `statusOncePlaced` is the exit status the run has earned once this file is as it should be, or
// -1 while files remain: a signal then still ends the run with a status that is not success.
//
// The exceptions the program meets are caught here, once: std::bad_alloc, from an allocation
// that fails (a Text's buffer or a section), refused like any other limit; and a ProgramFault, a
// fault in the program itself. Either way what is open is closed and the temporary file removed,
// and the cause is the run's, unless the file is in place already: then the run has succeeded,
// and a fault is still named in a line of its own.
void tidyInto(Outcome& outcome, Replacement& file, const Text& path, SectionList& sections,
              const Settings& settings, MemoryBudget& memory, int statusOncePlaced) {
    try {
        if (!openOriginal(path.c_str(), file, outcome.why)) {
            return;
        }
        // What each file's sections may take; they are freed before the next file is loaded.
        const std::int64_t budget = memory.forInputOf(file.expectedSize);
        // The file as it stands, which the package's list must record if it is not rewritten.
        ListedFile asFound;
        asFound.size = file.expectedSize;
        asFound.lastWriteTicks = file.originalLastWriteTicks;
        if (!loadSections(originalBytes(file), sections, outcome.why, budget)) {
            return;
        }
        std::vector<Text> before;
        if (settings.dryRun) {
            for (const Section* section = sections.head; section != nullptr;
                 section = section->next) {
                before.push_back(entryName(section->header));
            }
        }
        outcome.summary = renumberEntries(sections);
        std::size_t at = 0;
        for (const Section* section = sections.head; section != nullptr && at < before.size();
             section = section->next, ++at) {
            const Text after = entryName(section->header);
            if (!(after == before[at])) {
                outcome.changes.push_back(before[at] + Text(" -> ") + after);
            }
        }
        outcome.memoryHeld = memoryOfSections(sections);
        // Entries numbered already are left as they are, whatever their line ends: rewriting a
        // file only to give it CR LF would leave a backup, and an edited list, in a package that
        // is not the user's, for nothing the simulator needs.
        const bool nothingToDo = outcome.summary.headersChanged == 0;
        asFound.holdsEntries = outcome.summary.entries != 0;
        if (settings.dryRun) {
            // Everything but the writing: no file, list or backup is touched, and the package's
            // list is read to tell what its edit would do.
            outcome.done = true;
            outcome.written = !nothingToDo;
            outcome.listed = true;
            outcome.state = asFound;
            // Its entry would be set as a rewritten file's is, whatever size it records now.
            outcome.state.rewritten = outcome.written;
            return;
        }
        if (nothingToDo) {
            // Nothing to do: the file keeps its time, identity and links. The package's list may
            // still be stale from an earlier run or a hand edit, or miss what was pasted in.
            outcome.done = true;
            if (statusOncePlaced >= 0) {
                settleExitStatus(statusOncePlaced);  // whatever becomes of the list
            }
            outcome.listed = true;
            outcome.state = asFound;
            return;
        }
        SealedFacts sealed;
        file.keepBackup = settings.backup;
        if (!beginReplacement(file, outcome.why) ||
            !saveSections(sections, replacementBytes(file), outcome.why) ||
            !sealReplacement(file, sealed, outcome.why)) {
            return;
        }
        // Once the file is in place the run has succeeded, even if a signal ends it before its
        // package's list is brought up to date: the list is then left as it was, and the next run
        // mends it.
        if (!commitReplacement(file, outcome.why, statusOncePlaced)) {
            return;
        }
        outcome.done = outcome.written = true;
        outcome.listed = true;
        outcome.state.size = sealed.size;
        outcome.state.lastWriteTicks = sealed.lastWriteTicks;
        outcome.state.rewritten = true;
        // Beside the file, whose full path the line already starts with; beside the file that a
        // link leads to, by its full path; or wherever it stayed.
        if (file.backupLeftAs == path + Text(".bak")) {
            outcome.backup = Text(file.backupLeftAs.c_str() + nameStart(file.backupLeftAs));
        } else if (!file.backupLeftAs.empty()) {
            outcome.backup = shownPath(file.backupLeftAs);
        }
        if (!file.attributesNotKept.empty()) {
            Note note;
            note.kind = NoteKind::attributesNotKept;
            note.names = file.attributesNotKept;
            outcome.notes.push_back(noteLine(shownPath(path), note));
        }
    } catch (const std::bad_alloc&) {
        abandonReplacement(file);
        discardSections(sections);  // frees the memory that the message itself needs
        outcome.memoryHeld = 0;
        if (!outcome.done) {
            outcome.why = causeOf(CauseKind::tooLargeForMemory);
        }
    } catch (const ProgramFault& fault) {
        abandonReplacement(file);
        if (outcome.done) {
            outcome.notes.push_back(shownPath(path) + Text(": ") + worded(fault.cause()));
        } else {
            outcome.why = fault.cause();
        }
    }
}

Outcome tidyFile(const Text& path, SectionList& sections, const Settings& settings,
                 MemoryBudget& memory, int statusOncePlaced) {
    Outcome outcome;
    outcome.dryRun = settings.dryRun;
    Replacement file;
    tidyInto(outcome, file, path, sections, settings, memory, statusOncePlaced);
    if (!file.leftovers.empty()) {
        Note note;
        note.kind = NoteKind::ownFilesLeft;
        note.names = file.leftovers;
        outcome.notes.push_back(noteLine(shownPath(path), note));
    }
    return outcome;
}

Text entriesCounted(std::int32_t entries) {
    return entries == 1 ? Text("1 aircraft entry, ")
                        : toDecimal(entries) + Text(" aircraft entries, ");
}

// What was done, in one line.
Text summaryOf(const Outcome& outcome) {
    const RenumberSummary& summary = outcome.summary;
    if (summary.entries == 0) {
        return "no aircraft entries ([fltsim.N] sections) were found; the file was not changed";
    }
    const Text numbered = summary.entries == 1
                              ? Text("numbered 0")
                              : Text("numbered 0 to ") + toDecimal(summary.entries - 1);
    const Text counted = entriesCounted(summary.entries);
    if (outcome.dryRun) {
        if (!outcome.written) {
            return counted + Text("already ") + numbered +
                   Text("; the file would not be rewritten (a dry run: nothing was written)");
        }
        return counted + Text("would be ") + numbered + Text("; ") +
               toDecimal(summary.headersChanged) +
               Text(summary.headersChanged == 1 ? " header would change"
                                                : " headers would change") +
               Text(" (a dry run: nothing was written)");
    }
    if (!outcome.written) {
        return counted + Text("already ") + numbered + Text("; the file was not rewritten");
    }
    Text said = counted + numbered + Text("; ") + toDecimal(summary.headersChanged) +
                Text(summary.headersChanged == 1 ? " header changed" : " headers changed");
    if (!outcome.backup.empty()) {
        said += Text("; the old content is in ") + outcome.backup;
    }
    return said;
}

// The lines that follow the summary: what will still hide an entry, the first few kept.
// `textures` are the folders beside the file, where the listing that found the file told them.
// At most `most` are kept as warnings. In a package, the folder that the file names as its
// base_container is listed too: the base aircraft's textures serve this one.
EntryWarnings warningsOn(const Text& path, const SectionList& sections, const Outcome& outcome,
                         TextureFolders textures, std::size_t most, bool inPackage) {
    EntryWarnings warnings;
    if (!outcome.done || outcome.summary.entries == 0) {
        return warnings;
    }
    try {
        TextureFolders folders = std::move(textures);
        if (!folders.listed) {
            folders.listed =
                foldersIn(folderOf(path), kTextureFolderPrefix, folders.names, folders.why);
        }
        folders.inPackage = inPackage;
        const EntryValue base = inPackage ? baseContainerIn(sections) : EntryValue();
        if (base.set && !base.chars.empty()) {
            // Written "..\X" or "../X", from the aircraft's folder.
            Text folder = folderOf(path);
            for (const char c : base.chars) {
                const char kept = c == '\\' || c == '/' ? pathSeparator() : c;
                folder.append(&kept, 1);
            }
            Text why;  // a base that cannot be listed is taken as one that may hold anything
            folders.baseNamed = true;
            folders.baseListed = foldersIn(folder, kTextureFolderPrefix, folders.baseNames, why);
        }
        warnings = entryWarnings(sections, folders, most,
                                 static_cast<std::size_t>(outcome.summary.entries));
    } catch (const std::bad_alloc&) {
        warnings = EntryWarnings();  // the file is tidy; only the advice is lost
    }
    return warnings;
}

// Every line on standard error names the file as shownPath() does (in full, or in a collection
// from the folder given), so that the user can find it. `hidden` of the file's own warnings were
// only counted.
void report(const Text& path, const Outcome& outcome, const EntryWarnings& warnings,
            std::size_t hidden, std::vector<Text>& lines) {
    const Text prefix = shownPath(path) + Text(": ");
    lines.push_back(prefix + (outcome.done ? summaryOf(outcome) : worded(outcome.why)));
    for (const Warning& warning : warnings.shown) {
        Text line = prefix;
        appendWordingOf(line, warning);
        lines.push_back(std::move(line));
    }
    if (hidden > 0) {
        lines.push_back(prefix + moreWarnings(hidden));
    }
    lines.insert(lines.end(), outcome.notes.begin(), outcome.notes.end());
}

// What a run carries from file to file.
struct RunState {
    MemoryBudget memory;
    WarningBudget warnings{0};  // until the run's files are known
    RunTitles titles;
    RunTotals totals;  // for the run's last line
};

// Tidies file `index` of the run, brings its package's list up to date once the last of the
// package's files is done, and says what became of it; true when it is tidy now.
bool tidyAndReport(ItemFiles& found, std::size_t index, const Settings& settings,
                   PackageLists& packages, RunState& run, int statusOncePlaced) {
    const std::vector<Text>& files = found.files;
    const Text& path = files[index];
    const bool severalFiles = files.size() > 1;
    RunTotals& totals = run.totals;
    SectionList sections;
    Outcome outcome = tidyFile(path, sections, settings, run.memory, statusOncePlaced);
    std::vector<Text> lines;  // what is said of the file, written at once
    try {
        PlaceInPackage place;
        const Text packageRoot = packages.packageOf(index, place.path);
        if (outcome.listed) {
            packages.record(index, outcome.state);
        }
        std::vector<Text> listNotes;
        try {
            listNotes = packages.settleAfter(index, run.memory, outcome.memoryHeld);
        } catch (const ProgramFault& fault) {
            // The list is as it was; the file's own lines still follow.
            listNotes.push_back(shownPath(path) + Text(": ") + worded(fault.cause()));
        }
        // The file's own notes, before those of its package's list, which follow its last file
        // but are not about it.
        const bool notesOfItsOwn = !outcome.notes.empty();
        outcome.notes.insert(outcome.notes.end(), listNotes.begin(), listNotes.end());
        EntryWarnings warnings =
            warningsOn(path, sections, outcome, std::move(found.textures[index]),
                       run.warnings.forFile(), !packageRoot.empty());
        run.warnings.show(warnings);
        const std::size_t warningsHidden = run.warnings.takeHidden();
        std::vector<Text> titleLines;
        if (outcome.done && severalFiles) {
            // The table counts against the run's memory, less what the file's own sections hold.
            MemoryBudget& memory = run.memory;
            const std::int64_t held = outcome.memoryHeld;
            if (!packageRoot.empty()) {
                // Named as any folder is, without its closing separator.
                place.package = shownPath(
                    Text(packageRoot.c_str(), static_cast<std::size_t>(packageRoot.length() - 1)));
            }
            run.titles.warnOfTitlesInOtherFiles(
                shownPath(path), sections, run.warnings,
                [&memory, held](std::int64_t bytes) { return memory.forInputOf(bytes) - held; },
                titleLines, place);
        }
        // Nothing reads the sections past here: the report takes their memory over rather than
        // memory the process has yet to touch.
        discardSections(sections);
        // Of a collection's files, one that was tidy and gives no cause for a word is only
        // counted: the lines that ask something of the user are not to be buried.
        const bool nothingToSay = severalFiles && outcome.done && !outcome.written &&
                                  outcome.summary.entries > 0 && warnings.shown.empty() &&
                                  warningsHidden == 0 && titleLines.empty() && !notesOfItsOwn &&
                                  outcome.changes.empty();
        if (!nothingToSay) {
            report(path, outcome, warnings, warningsHidden, lines);
        } else {
            lines.insert(lines.end(), outcome.notes.begin(), outcome.notes.end());
        }
        for (const Text& change : outcome.changes) {
            lines.push_back(shownPath(path) + Text(": ") + change);
        }
        lines.insert(lines.end(), titleLines.begin(), titleLines.end());
    } catch (const ProgramFault& fault) {
        // The file is as the outcome says; only the rest of what there was to say is lost.
        lines.push_back(shownPath(path) + Text(": ") + worded(fault.cause()));
    }
    writeErrorLines(lines);
    discardSections(sections);
    if (!outcome.done) {
        ++totals.refused;
    } else if (outcome.written) {
        ++totals.renumbered;
    } else {
        ++totals.tidy;
    }
    return outcome.done;
}

// The program's own name and version, as the project gives them.
constexpr const char* kNameAndVersion = "cfgrenum " CFGRENUM_VERSION;

#ifdef _WIN32
constexpr bool kWindowsStyle = true;
#else
constexpr bool kWindowsStyle = false;
#endif

}  // namespace

namespace {

// The run's last words, the same however it ended: the report line that scripts read, whatever
// was said on standard error, and the prompt. A console opened by double-click closes with the
// program, so the result waits for a key.
// Whether the run is a dry run, for its last words however it ends.
bool gDryRun = false;

// A dry run that went well wrote nothing, and says so where scripts and users read the outcome.
int endWith(int status) {
    const bool dryRun = gDryRun;
    std::cout << (status != 0 ? "an error occured while trying to process the files\n"
                  : dryRun    ? "Dry run: nothing was written\n"
                              : "All aircraft renumbered and written successfully\n");
    std::cout << "Hit any key to continue\n" << std::flush;
    waitForKey();
    return status;
}

}  // namespace

int runProgram(const std::vector<Text>& arguments) {
    prepareProcess();
    const Options options = readOptions(arguments, kWindowsStyle);
    // Typed in a console, never double-clicked: they touch nothing and do not wait.
    if (options.help) {
        std::cout << usageText() << std::flush;
        return 0;
    }
    if (options.version) {
        std::cout << kNameAndVersion << "\n" << std::flush;
        return 0;
    }
    Settings settings;
    settings.dryRun = options.dryRun;
    gDryRun = options.dryRun;
    settings.backup = options.backup;
    bool allDone = true;
    RunState run;
    RunTotals& totals = run.totals;
    std::size_t files = 0;
    std::size_t considered = 0;  // files and items refused
    if (!options.refused.empty()) {
        Note note;
        note.kind = NoteKind::notAnOption;
        writeErrorLine(noteLine(options.refused, note));
        allDone = false;
    } else {
        ItemFiles found;
        // No item at all: the current folder, as if it were dropped on the program, which is how
        // a double-click in an aircraft's folder, or in a whole collection, is meant.
        found = options.items.empty() ? filesOfCurrentFolder() : filesOfItems(options.items);
        files = found.files.size();
        // A collection's lines name its files from the folder given, which the first names.
        if (found.overOneFolder && files > 1) {
            showPathsFrom(found.folder);
            Note note = noteOf(NoteKind::filesFound);
            note.count = static_cast<std::int64_t>(files);
            writeErrorLine(noteLine(shownPath(found.folder), note));
        }
        for (const PathNote& line : found.refusals) {
            writeErrorLine(lineOf(line));
        }
        for (const PathNote& line : found.notes) {
            writeErrorLine(lineOf(line));
        }
        allDone = found.refusals.empty();
        totals.refused = static_cast<std::int32_t>(found.refusals.size());
        considered = files + found.refusals.size();
        run.warnings = WarningBudget(files);
        const bool progress = files > kProgressAfter && errorIsConsole();
        // A dry run writes no list, but tells what it would do to each; it also needs to know
        // which files are in a package, whose checks differ.
        PackageLists packages(found.files, found.resolved, settings.dryRun);
        for (std::size_t i = 0; i < files; ++i) {
            if (progress) {
                showProgress(toDecimal(static_cast<std::int32_t>(i + 1)) + Text(" of ") +
                             toDecimal(static_cast<std::int32_t>(files)) + Text(": ") +
                             shownPath(found.files[i]));
            }
            // Only the last file's placing settles the run's status: until then a signal that
            // ends the run leaves files untouched, and must not read as success.
            const int onceLastIsPlaced = i + 1 == files ? (allDone ? 0 : 1) : -1;
            allDone = tidyAndReport(found, i, settings, packages, run, onceLastIsPlaced) && allDone;
        }
        if (progress) {
            showProgress(Text());
        }
    }
    const int status = allDone ? 0 : 1;
    settleExitStatus(status);
    if (considered > 1) {
        totals.warnings = static_cast<std::int32_t>(run.warnings.counted());
        writeErrorLine(totalsLine(totals, settings.dryRun));
    }
    return endWith(status);
}

int endAfterUnexpectedFault(const char* what) {
    const int earned = settledExitStatus();
    const int status = earned >= 0 ? earned : 1;
    Note note;
    note.kind = NoteKind::cutShort;
    note.fault = Text(what);
    writeErrorLine(noteLine(Text("cfgrenum"), note));
    return endWith(status);
}
