#include "app/Run.h"

#include <iostream>
#include <new>

#include "platform/Console.h"
#include "platform/FileReplacement.h"
#include "renumber/Renumber.h"
#include "sections/Section.h"
#include "sections/SectionFile.h"
#include "sections/SectionParser.h"
#include "text/Text.h"

namespace {

constexpr const char* kFileName = "aircraft.cfg";

// Opens the file, loads its sections, renumbers the entries and puts the result in the file's
// place. Any failure stops the run before the file is touched; the cause is left in `why`.
//
// The one exception the program meets is std::bad_alloc, from an allocation that fails
// (a Text's buffer or a section); it is caught here, once, and refused like any other limit.
bool tidyFile(SectionList& sections, Text& why) {
    Replacement file;
    try {
        if (!openOriginal(kFileName, file, why) ||
            !loadSections(originalBytes(file), sections, why)) {
            return false;
        }
        renumberEntries(sections);
        return beginReplacement(file, why) && saveSections(sections, replacementBytes(file), why) &&
               commitReplacement(file, why);
    } catch (const std::bad_alloc&) {
        abandonReplacement(file);
        discardSections(sections);  // frees the memory that the message itself needs
        why = kTooLargeForMemory;
        return false;
    }
}

void report(bool done, const Text& why) {
    if (!done) {
        writeErrorLine(Text(kFileName) + Text(": ") + why);
    }
    std::cout << (done ? "All aircraft renumbered and written successfully\n"
                       : "an error occured while trying to process the files\n");
}

// A console opened by double-click closes with the program, so the result waits for Enter.
void waitForEnter() {
    std::cout << "Hit any key to continue\n" << std::flush;
    char answer[5];
    std::cin.getline(answer, sizeof answer);
}

}  // namespace

int runProgram() {
    prepareProcess();
    SectionList sections;
    Text why;
    const bool done = tidyFile(sections, why);
    report(done, why);
    waitForEnter();
    discardSections(sections);
    return done ? 0 : 1;
}
