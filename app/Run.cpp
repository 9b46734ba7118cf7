#include "app/Run.h"

#include <iostream>
#include <new>

#include "renumber/Renumber.h"
#include "sections/Section.h"
#include "sections/SectionFile.h"
#include "text/Text.h"

namespace {

constexpr const char* kFileName = "aircraft.cfg";

// Loads the file, renumbers its entries and writes it back. Any failure stops the run before the
// file is touched; the cause is left in `why`.
bool tidyFile(SectionList& sections, Text& why) {
    try {
        if (!loadSections(kFileName, sections, why)) {
            return false;
        }
        renumberEntries(sections);
        return saveSections(kFileName, sections, why);
    } catch (const std::bad_alloc&) {
        if (sections.head != nullptr) {
            releaseSections(sections);  // frees the memory that the message itself needs
        }
        why = "not enough memory";
        return false;
    }
}

void report(bool done, const Text& why) {
    if (!done) {
        std::cerr << kFileName << ": " << why << '\n';
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
    SectionList sections;
    Text why;
    const bool done = tidyFile(sections, why);
    report(done, why);
    waitForEnter();
    if (sections.head != nullptr) {
        releaseSections(sections);
    }
    return done ? 0 : 1;
}
