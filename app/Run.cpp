#include "app/Run.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>

#include "app/Items.h"
#include "app/MemoryBudget.h"
#include "app/Options.h"
#include "app/PackageList.h"
#include "app/PathNames.h"
#include "checks/EntryChecks.h"
#include "platform/Console.h"
#include "platform/FileReplacement.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "renumber/Renumber.h"
#include "sections/Section.h"
#include "sections/SectionFile.h"
#include "text/AsciiCase.h"
#include "text/Cause.h"
#include "text/Decimal.h"

namespace {

// Past this many warnings, a console shows no more than a wall of text: the rest are counted.
constexpr std::size_t kMostWarnings = 100;

// In a run over many files, a console shows no more than a wall of text past this many warnings.
constexpr std::size_t kMostWarningsInARun = 300;
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
        const bool nothingToDo =
            outcome.summary.entries == 0 ||
            (sections.lineEndsAsWritten && outcome.summary.headersChanged == 0);
        if (settings.dryRun) {
            // Everything but the writing: no file, list or backup is touched.
            outcome.done = true;
            outcome.written = !nothingToDo;
            return;
        }
        if (nothingToDo) {
            // Nothing to do: the file keeps its time, identity and links. The package's list may
            // still be stale from an earlier run or a hand edit, or miss what was pasted in.
            outcome.done = true;
            if (statusOncePlaced >= 0) {
                settleExitStatus(statusOncePlaced);  // whatever becomes of the list
            }
            asFound.holdsEntries = outcome.summary.entries != 0;
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
            outcome.backup = fullPathOf(file.backupLeftAs);
        }
        if (!file.attributesNotKept.empty()) {
            outcome.notes.push_back(fullPathOf(path) +
                                    Text(": the system did not let the new file keep these "
                                         "extended attributes of the old one: ") +
                                    file.attributesNotKept);
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
            outcome.notes.push_back(fullPathOf(path) + Text(": ") + worded(fault.cause()));
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
        outcome.notes.push_back(fullPathOf(path) +
                                Text(": the folder did not let the program remove these files "
                                     "of its own, which may be deleted: ") +
                                file.leftovers);
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
    if (summary.headersChanged == 0) {
        Text said = counted + Text("already ") + numbered +
                    Text("; only its line ends were rewritten, as CR LF");
        if (!outcome.backup.empty()) {
            said += Text("; the old content is in ") + outcome.backup;
        }
        return said;
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
// At most `most` are kept as warnings.
EntryWarnings warningsOn(const Text& path, const SectionList& sections, const Outcome& outcome,
                         TextureFolders textures, std::size_t most) {
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
        warnings = entryWarnings(sections, folders, most,
                                 static_cast<std::size_t>(outcome.summary.entries));
    } catch (const std::bad_alloc&) {
        warnings = EntryWarnings();  // the file is tidy; only the advice is lost
    }
    return warnings;
}

// Warnings past a cap are counted, so that the user knows there are more to mend.
Text moreWarnings(std::size_t more) {
    return Text("and ") + toDecimal(static_cast<std::int32_t>(more)) +
           Text(more == 1 ? " more warning like these" : " more warnings like these");
}

// Every line on standard error names the file by its full path, so that the user can find it.
void report(const Text& path, const Outcome& outcome, const EntryWarnings& warnings,
            std::vector<Text>& lines) {
    const Text prefix = fullPathOf(path) + Text(": ");
    lines.push_back(prefix + (outcome.done ? summaryOf(outcome) : worded(outcome.why)));
    for (const Warning& warning : warnings.shown) {
        Text line = prefix;
        appendWordingOf(line, warning);
        lines.push_back(std::move(line));
    }
    if (warnings.total > warnings.shown.size()) {
        lines.push_back(prefix + moreWarnings(warnings.total - warnings.shown.size()));
    }
    lines.insert(lines.end(), outcome.notes.begin(), outcome.notes.end());
}

}  // namespace

namespace {

// The titles met so far in a run, folded to ASCII lower case as the simulator compares them, with
// the file and entry that had each first. The simulator keys aircraft by title across everything
// it loads, so two files that share one hide one another.
struct TitleOrigin {
    Text file;
    Text entry;
};
using TitlesInRun = std::unordered_map<std::string, TitleOrigin>;

// What one title kept in the table costs, about: the node and its bucket, the folded title, and
// the file's path and entry's name that its origin keeps.
std::int64_t costOfTitle(std::size_t titleLength, const Text& file, const Text& entry) {
    constexpr std::int64_t kNodeAndBucket = 96;
    return kNodeAndBucket + static_cast<std::int64_t>(titleLength) + file.length() +
           entry.length() + 16;
}

// The titles of a run, and what they take of the memory the run may use.
struct RunTitles {
    TitlesInRun table;
    std::int64_t bytes = 0;
    bool leftOut = false;  // they did not fit, and are compared no more
};

// Warns of each entry whose title an entry of an earlier file of the run has; the file's own
// repeats are its own check's. A collection repeats its titles thousands of times, so a title met
// before costs a lookup and nothing more: no copy is made, and the entry's name is looked up only
// for a title met first or one to warn of. Past the run's cap, such warnings are only counted, in
// `hidden`. The table counts against the run's memory, less the `held` bytes of the file's own
// sections; when it would not fit, titles are compared no more, and one note says so.
void warnOfTitlesInOtherFiles(const Text& path, const SectionList& sections, RunTitles& titles,
                              MemoryBudget& memory, std::int64_t held, std::size_t& warningsLeft,
                              std::size_t& hidden, std::vector<Text>& lines) {
    if (titles.leftOut) {
        return;
    }
    const Text file = fullPathOf(path);
    try {
        std::string folded;  // reused from title to title
        for (const Section* section = sections.head; section != nullptr; section = section->next) {
            const EntryValue title = valuesIn(section->body).title;
            if (!title.set || title.chars.empty()) {
                continue;
            }
            folded.assign(title.chars.data(), title.chars.size());
            foldAsciiCase(&folded[0], folded.size());
            const auto first = titles.table.find(folded);
            if (first != titles.table.end() && first->second.file == file) {
                continue;
            }
            if (first != titles.table.end() && warningsLeft == 0) {
                ++hidden;
                continue;
            }
            const Text entry = entryName(section->header);
            if (entry.empty()) {
                continue;  // not an aircraft entry: the simulator lists no title of it
            }
            if (first == titles.table.end()) {
                const std::int64_t cost = costOfTitle(folded.size(), file, entry);
                if (titles.bytes + cost > memory.forInputOf(titles.bytes + cost) - held) {
                    throw std::bad_alloc();
                }
                titles.table.emplace(folded, TitleOrigin{file, entry});
                titles.bytes += cost;
                continue;
            }
            --warningsLeft;
            Warning warning;
            warning.kind = WarningKind::sameTitleInAnotherFile;
            warning.entry = entry;
            warning.first = first->second.entry;
            warning.file = first->second.file;
            warning.value = Text(std::string(title.chars).c_str());
            Text line = file + Text(": ");
            appendWordingOf(line, warning);
            lines.push_back(std::move(line));
        }
    } catch (const std::bad_alloc&) {
        TitlesInRun().swap(titles.table);  // gives its memory back for the rest of the run
        titles.bytes = 0;
        titles.leftOut = true;
        lines.push_back(file +
                        Text(": too little memory is left to compare the titles of more files, so "
                             "from this file on, titles that two files share are not warned of"));
    }
}

// What a run over several files came to, for its last line.
struct Totals {
    std::int32_t renumbered = 0;
    std::int32_t tidy = 0;
    std::int32_t refused = 0;
};

Text counted(std::int32_t count, const char* one, const char* many) {
    return toDecimal(count) + Text(" ") + Text(count == 1 ? one : many);
}

// What a run carries from file to file.
struct RunState {
    MemoryBudget memory;
    std::size_t warningsLeft = kMostWarningsInARun;
    RunTitles titles;
    Totals totals;
};

// Tidies file `index` of the run, brings its package's list up to date once the last of the
// package's files is done, and says what became of it; true when it is tidy now.
bool tidyAndReport(ItemFiles& found, std::size_t index, const Settings& settings,
                   PackageLists& packages, RunState& run, int statusOncePlaced) {
    const std::vector<Text>& files = found.files;
    const Text& path = files[index];
    const bool severalFiles = files.size() > 1;
    std::size_t& warningsLeft = run.warningsLeft;
    Totals& totals = run.totals;
    SectionList sections;
    Outcome outcome = tidyFile(path, sections, settings, run.memory, statusOncePlaced);
    std::vector<Text> lines;  // what is said of the file, written at once
    try {
        if (outcome.listed) {
            packages.record(index, outcome.state);
        }
        std::vector<Text> listNotes;
        try {
            listNotes = packages.settleAfter(index, run.memory, outcome.memoryHeld);
        } catch (const ProgramFault& fault) {
            // The list is as it was; the file's own lines still follow.
            listNotes.push_back(fullPathOf(path) + Text(": ") + worded(fault.cause()));
        }
        outcome.notes.insert(outcome.notes.end(), listNotes.begin(), listNotes.end());
        EntryWarnings warnings =
            warningsOn(path, sections, outcome, std::move(found.textures[index]),
                       std::min(kMostWarnings, warningsLeft));
        // The run's own cap: past it, warnings are only counted.
        if (warnings.shown.size() > warningsLeft) {
            warnings.shown.resize(warningsLeft);
        }
        warningsLeft -= warnings.shown.size();
        std::vector<Text> titleLines;
        std::size_t titlesHidden = 0;
        if (outcome.done && severalFiles) {
            warnOfTitlesInOtherFiles(path, sections, run.titles, run.memory, outcome.memoryHeld,
                                     warningsLeft, titlesHidden, titleLines);
        }
        // Nothing reads the sections past here: the report takes their memory over rather than
        // memory the process has yet to touch.
        discardSections(sections);
        report(path, outcome, warnings, lines);
        for (const Text& change : outcome.changes) {
            lines.push_back(fullPathOf(path) + Text(": ") + change);
        }
        lines.insert(lines.end(), titleLines.begin(), titleLines.end());
        if (titlesHidden > 0) {
            lines.push_back(fullPathOf(path) + Text(": ") + moreWarnings(titlesHidden));
        }
    } catch (const ProgramFault& fault) {
        // The file is as the outcome says; only the rest of what there was to say is lost.
        lines.push_back(fullPathOf(path) + Text(": ") + worded(fault.cause()));
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
    settings.backup = options.backup;
    bool allDone = true;
    RunState run;
    Totals& totals = run.totals;
    std::size_t files = 0;
    std::size_t considered = 0;  // files and items refused
    if (!options.refused.empty()) {
        writeErrorLine(options.refused +
                       Text(": is not an option of this program, so nothing was touched; "
                            "cfgrenum --help lists them"));
        allDone = false;
    } else {
        ItemFiles found;
        if (options.items.empty()) {
            found = fileIn(Text());
            if (found.files.empty()) {
                found.files.push_back(Text("aircraft.cfg"));  // whose opening says what is wrong
                found.textures.emplace_back();
            }
        } else {
            found = filesOfItems(options.items);
        }
        for (const Text& line : found.refusals) {
            writeErrorLine(line);
        }
        for (const Text& line : found.notes) {
            writeErrorLine(line);
        }
        allDone = found.refusals.empty();
        totals.refused = static_cast<std::int32_t>(found.refusals.size());
        files = found.files.size();
        considered = files + found.refusals.size();
        run.warningsLeft = files > 1 ? kMostWarningsInARun : static_cast<std::size_t>(-1);
        const bool progress = files > kProgressAfter && errorIsConsole();
        // A dry run touches no list.
        PackageLists packages(settings.dryRun ? std::vector<Text>() : found.files, found.resolved);
        for (std::size_t i = 0; i < files; ++i) {
            if (progress) {
                showProgress(toDecimal(static_cast<std::int32_t>(i + 1)) + Text(" of ") +
                             toDecimal(static_cast<std::int32_t>(files)) + Text(": ") +
                             fullPathOf(found.files[i]));
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
        writeErrorLine(Text("cfgrenum: ") +
                       counted(totals.renumbered, "file renumbered", "files renumbered") +
                       Text(", ") + counted(totals.tidy, "already tidy", "already tidy") +
                       Text(", ") + counted(totals.refused, "refused", "refused") +
                       Text(settings.dryRun ? " (a dry run: nothing was written)" : ""));
    }
    // Scripts read the outcome here, whatever was said on standard error.
    std::cout << (allDone ? "All aircraft renumbered and written successfully\n"
                          : "an error occured while trying to process the files\n");
    // A console opened by double-click closes with the program, so the result waits for a key.
    std::cout << "Hit any key to continue\n" << std::flush;
    waitForKey();
    return status;
}

int endAfterUnexpectedFault(const char* what) {
    const int earned = settledExitStatus();
    const int status = earned >= 0 ? earned : 1;
    writeErrorLine(Text("cfgrenum: the run was cut short by a fault in the program (") +
                   Text(what) +
                   Text("); a file that no line above reports as done may not have been"));
    std::cout << (status == 0 ? "All aircraft renumbered and written successfully\n"
                              : "an error occured while trying to process the files\n");
    std::cout << "Hit any key to continue\n" << std::flush;
    waitForKey();
    return status;
}
