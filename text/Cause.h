#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

#include "text/Text.h"

// Why a step could not be done: a kind, and the facts that go with it (the system's own words, a
// file's name, a byte's place). Every layer says why in these terms, from the UTF-16 decoder up
// to the package's file list, and none of them words a cause: the words of every kind stand in
// one table, in Cause.cpp, and only the layer that talks to the user asks for them. So a test
// asserts what went wrong, not how it reads, and a sentence can be reworded in one place.
//
// The type lives at the bottom, beside Text, because the bottom already has causes to give: a
// UTF-16 file cut off, a byte source that fails.
enum class CauseKind : std::uint8_t {
    none,
    // A step the system refused; `reason` holds its words.
    cannotOpen,
    cannotOpenContentLeftAside,  // and `path` is what an interrupted run left
    cannotRead,
    cannotCreateTemporary,
    cannotKeepOwner,
    cannotKeepOwnerAndPermissions,
    cannotWrite,
    cannotFlush,
    cannotClose,
    cannotReadBack,
    cannotReplace,
    cannotExamineBackup,
    // What is wrong with the file.
    notRegularFile,
    readOnly,
    belongsToAnotherUser,
    backupNameTaken,  // `path`: the backup's name, which holds what may not be replaced
    backupIsTheFile,  // `path`: the backup's name, another name of the very file
    changed,
    changedSaveLeftAside,      // `path`: where another program's save was left
    changedOriginalLeftAside,  // `path`: where the file as it was read was left
    tooLargeForMemory,
    lineTooLong,
    sectionTooLarge,
    nulByte,
    utf16WithoutMark,
    utf32,
    oddByteCount,
    unpairedSurrogate,
    nulCharacter,
    // Faults of the program itself, which keep the file as it was all the same.
    stepsOutOfOrder,
    noSectionsLoaded,
    notUtf8ForUtf16,
    badIndex,  // `index`, and `largest`, the largest it may be
    // What is wrong with a package's file list.
    tooLargeForAList,
    noContentList,
    notAListOfFiles,
    listsTheFileTwice,
    entryLacks,       // `name`: the member its entry for the file lacks
    entryHasTwice,    // `name`: the member its entry gives more than once
    notPlainInteger,  // `name`: the member that is not digits alone
    // The list is not JSON; `at` is the byte where reading stopped.
    jsonValueExpected,
    jsonMoreAfterValue,
    jsonTooDeep,
    jsonNoDigitsAfterPoint,
    jsonNoDigitsInExponent,
    jsonBadUnicodeEscape,
    jsonUnknownEscape,
    jsonLoneSurrogate,
    jsonNotUtf8,
    jsonUnclosedString,
    jsonControlCharacter,
    jsonArrayNeedsCommaOrEnd,
    jsonObjectNeedsName,
    jsonObjectNeedsColon,
    jsonObjectNeedsCommaOrEnd,
};

constexpr std::size_t kCauseKinds =
    static_cast<std::size_t>(CauseKind::jsonObjectNeedsCommaOrEnd) + 1;

struct Cause {
    CauseKind kind = CauseKind::none;
    Text reason;               // the system's words, for a step it refused
    Text path;                 // a file the cause names
    const char* name = "";     // a member of the list's entry for the file
    std::int64_t at = 0;       // a byte's place in the list
    std::int64_t index = 0;    // an index out of range
    std::int64_t largest = 0;  // and the largest it may be
    // Added to any cause: the unfinished new content, where the folder let it be made but not
    // removed, so that the user can delete it.
    Text leftBehind;
};

// The cause of `kind` that needs nothing more.
inline Cause causeOf(CauseKind kind) {
    Cause cause;
    cause.kind = kind;
    return cause;
}

// The words of a cause on a line of its own, after the path of the file it is about:
// "is read-only, so it was not replaced", "cannot open it: Permission denied".
Text worded(const Cause& cause);

// The words of a cause about a file, inside a sentence that has already named the file:
// "it is read-only, so it was not replaced", "cannot open it: Permission denied".
Text wordedInSentence(const Cause& cause);

// A fault in the program itself, found where no cause can be returned (an index out of range). It
// is thrown, so that the run's own way out still runs: whatever is open is closed, the temporary
// file is removed, and the exit status tells what became of the file.
class ProgramFault : public std::exception {
  public:
    ProgramFault(CauseKind kind, std::int64_t index, std::int64_t largest)
        : kind_(kind), index_(index), largest_(largest) {}
    const char* what() const noexcept override { return "a fault in the program"; }
    // Made only when it is caught, since a Cause allocates.
    Cause cause() const {
        Cause cause = causeOf(kind_);
        cause.index = index_;
        cause.largest = largest_;
        return cause;
    }

  private:
    CauseKind kind_;
    std::int64_t index_;
    std::int64_t largest_;
};
