#include "app/Run.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>

#include "app/PackageList.h"
#include "app/PathNames.h"
#include "checks/EntryChecks.h"
#include "platform/Console.h"
#include "platform/FileReplacement.h"
#include "platform/Memory.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "renumber/Renumber.h"
#include "sections/Section.h"
#include "sections/SectionFile.h"
#include "sections/SectionParser.h"
#include "text/AsciiCase.h"
#include "text/Cause.h"
#include "text/Decimal.h"

namespace {

// Aircraft keep their entries in aircraft.cfg; scenery objects (ground vehicles, boats, jetways,
// animals) keep the same entries in sim.cfg.
constexpr const char* kFileNames[] = {"aircraft.cfg", "sim.cfg"};

// Past this many warnings, a console shows no more than a wall of text: the rest are counted.
constexpr std::size_t kMostWarnings = 100;

bool sameNameIgnoringCase(const char* a, const char* b) {
    const std::size_t length = std::strlen(a);
    return length == std::strlen(b) && equalIgnoringAsciiCase(a, b, length);
}

// The file in `folder` to work on, or an empty Text when it holds neither kind.
Text fileIn(const Text& folder) {
    for (const char* name : kFileNames) {
        Text path = joined(folder, name);
        if (kindOf(path) != PathKind::missing) {
            return path;
        }
    }
    return Text();
}

// Windows starts a program that a file or folder is dropped on with its path as the one argument,
// in the user's home folder. Any other arguments are ignored.
Text fileToTidy(const std::vector<Text>& arguments) {
    if (arguments.size() == 1) {
        const Text& dropped = arguments[0];
        const PathKind kind = kindOf(dropped);
        if (kind == PathKind::file) {
            for (const char* name : kFileNames) {
                if (sameNameIgnoringCase(dropped.c_str() + nameStart(dropped), name)) {
                    return dropped;
                }
            }
        } else if (kind == PathKind::folder) {
            Text inside = fileIn(dropped);
            if (!inside.empty()) {
                return inside;
            }
        }
    }
    const Text here = fileIn(Text());
    return here.empty() ? Text(kFileNames[0]) : here;
}

struct Outcome {
    bool done = false;     // the file is tidy now
    bool written = false;  // and it was rewritten to get there
    RenumberSummary summary;
    Cause why;                // when not done
    std::vector<Text> notes;  // whole lines: what the new file or the package lacks
};

// What the loaded sections hold in memory: each section and its two buffers, with what the
// allocator adds to each. The package's list may take what they leave of the budget.
std::int64_t memoryHeldBy(const SectionList& sections) {
    constexpr std::int64_t kAllocationOverhead = 4 * sizeof(void*);
    std::int64_t held = 0;
    for (const Section* section = sections.head; section != nullptr; section = section->next) {
        held += static_cast<std::int64_t>(sizeof(Section)) + section->header.capacity() +
                section->body.capacity() + 3 * kAllocationOverhead;
    }
    return held;
}

// Opens the file, loads its sections, renumbers the entries and, where that changed anything,
// puts the result in the file's place, and the package's file list brought up to date right
// after it. Any failure stops the run before the file is touched.
//
// The exceptions the program meets are caught here, once: std::bad_alloc, from an allocation
// that fails (a Text's buffer or a section), refused like any other limit; and a ProgramFault, a
// fault in the program itself. Either way what is open is closed and the temporary file removed,
// and the cause is the run's, unless the file is in place already: then the run has succeeded,
// and a fault is still named in a line of its own.
Outcome tidyFile(const Text& path, SectionList& sections) {
    Outcome outcome;
    Replacement file;
    try {
        const std::int64_t budget =
            std::min(memoryTheProgramMayTake(), SectionParser::kMemoryBudget);
        if (!openOriginal(path.c_str(), file, outcome.why)) {
            return outcome;
        }
        // The file as it stands, which the package's list must record if it is not rewritten.
        ListedFile asFound;
        asFound.size = file.expectedSize;
        asFound.lastWriteTicks = file.originalLastWriteTicks;
        if (!loadSections(originalBytes(file), sections, outcome.why, budget)) {
            return outcome;
        }
        outcome.summary = renumberEntries(sections);
        const std::int64_t budgetLeft = budget - memoryHeldBy(sections);
        PackageList package;
        if (outcome.summary.entries == 0 ||
            (sections.lineEndsAsWritten && outcome.summary.headersChanged == 0)) {
            // Nothing to do: the file keeps its time, identity and links. The package's list may
            // still be stale from an earlier run or a hand edit, or miss what was pasted in.
            outcome.done = true;
            settleExitStatus(0);  // the file is as it should be, whatever becomes of the list
            asFound.holdsEntries = outcome.summary.entries != 0;
            preparePackageList(path, asFound, budgetLeft, package);
            commitPackageList(package);
            outcome.notes = package.notes;
            return outcome;
        }
        SealedFacts sealed;
        if (!beginReplacement(file, outcome.why) ||
            !saveSections(sections, replacementBytes(file), outcome.why) ||
            !sealReplacement(file, sealed, outcome.why)) {
            return outcome;
        }
        // The package's list is made ready first, so that the two replaces follow each other.
        ListedFile rewritten;
        rewritten.size = sealed.size;
        rewritten.lastWriteTicks = sealed.lastWriteTicks;
        rewritten.rewritten = true;
        preparePackageList(path, rewritten, budgetLeft, package);
        // Once the file is in place the run has succeeded, even if a signal ends it before the
        // list is: the list is then left as it was, and the next run mends it.
        if (!commitReplacement(file, outcome.why, 0)) {
            return outcome;
        }
        outcome.done = outcome.written = true;
        commitPackageList(package);
        if (!file.attributesNotKept.empty()) {
            outcome.notes.push_back(fullPathOf(path) +
                                    Text(": the system did not let the new file keep these "
                                         "extended attributes of the old one: ") +
                                    file.attributesNotKept);
        }
        outcome.notes.insert(outcome.notes.end(), package.notes.begin(), package.notes.end());
    } catch (const std::bad_alloc&) {
        abandonReplacement(file);
        discardSections(sections);  // frees the memory that the message itself needs
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
    if (!outcome.written) {
        return counted + Text("already ") + numbered + Text("; the file was not rewritten");
    }
    if (summary.headersChanged == 0) {
        return counted + Text("already ") + numbered +
               Text("; only its line ends were rewritten, as CR LF");
    }
    return counted + numbered + Text("; ") + toDecimal(summary.headersChanged) +
           Text(summary.headersChanged == 1 ? " header changed" : " headers changed");
}

// The lines that follow the summary: what will still hide an entry, the first few kept.
EntryWarnings warningsOn(const Text& path, const SectionList& sections, const Outcome& outcome) {
    EntryWarnings warnings;
    if (!outcome.done || outcome.summary.entries == 0) {
        return warnings;
    }
    try {
        TextureFolders folders;
        folders.listed =
            foldersIn(folderOf(path), kTextureFolderPrefix, folders.names, folders.why);
        warnings = entryWarnings(sections, folders, kMostWarnings,
                                 static_cast<std::size_t>(outcome.summary.entries));
    } catch (const std::bad_alloc&) {
        warnings = EntryWarnings();  // the file is tidy; only the advice is lost
    }
    return warnings;
}

// Every line on standard error names the file by its full path, so that the user can find it.
void report(const Text& path, const Outcome& outcome, const EntryWarnings& warnings) {
    const Text prefix = fullPathOf(path) + Text(": ");
    writeErrorLine(prefix + (outcome.done ? summaryOf(outcome) : worded(outcome.why)));
    for (const Warning& warning : warnings.shown) {
        writeErrorLine(prefix + wordingOf(warning));
    }
    if (warnings.total > warnings.shown.size()) {
        writeErrorLine(
            prefix + Text("and ") +
            toDecimal(static_cast<std::int32_t>(warnings.total - warnings.shown.size())) +
            Text(" more warnings like these"));
    }
    for (const Text& note : outcome.notes) {
        writeErrorLine(note);
    }
}

}  // namespace

int runProgram(const std::vector<Text>& arguments) {
    prepareProcess();
    const Text path = fileToTidy(arguments);
    SectionList sections;
    const Outcome outcome = tidyFile(path, sections);
    const int status = outcome.done ? 0 : 1;
    settleExitStatus(status);
    try {
        report(path, outcome, warningsOn(path, sections, outcome));
    } catch (const ProgramFault& fault) {
        // The file is as the status says; only the rest of what there was to say is lost.
        writeErrorLine(fullPathOf(path) + Text(": ") + worded(fault.cause()));
    }
    // Scripts read the outcome here, whatever was said on standard error.
    std::cout << (outcome.done ? "All aircraft renumbered and written successfully\n"
                               : "an error occured while trying to process the files\n");
    // A console opened by double-click closes with the program, so the result waits for a key.
    std::cout << "Hit any key to continue\n" << std::flush;
    waitForKey();
    discardSections(sections);
    return status;
}
