#include "text/Cause.h"

#include <cstring>
#include <string>
#include <string_view>

#include "text/Decimal.h"
#include "text/Template.h"

namespace {

// How the words of a kind stand in a sentence about the file. A predicate ("is read-only, ...")
// has the file for its subject: on a line after the file's path it needs none, inside a sentence
// it gets "it". A clause ("cannot open it: ...", "its size is ...") reads the same in both places.
enum class Shape : bool { clause, predicate };

struct Row {
    CauseKind kind;
    Shape shape;
    // The words, with the cause's facts in braces: {reason}, {path}, {name}, {at}, {index},
    // {largest}.
    const char* words;
};

// Every cause the program gives, in CauseKind's order. The system's reason is the only part in
// words that are not these: on Windows in the system's language, elsewhere in the C library's
// English.
constexpr Row kRows[] = {
    {CauseKind::none, Shape::clause, ""},
    {CauseKind::cannotOpen, Shape::clause, "cannot open it: {reason}"},
    {CauseKind::cannotOpenContentLeftAside, Shape::clause,
     "cannot open it: {reason}; a run that was ended while it replaced the file left its content "
     "as {path}, rename that back"},
    {CauseKind::cannotRead, Shape::clause, "cannot read it: {reason}"},
    {CauseKind::cannotCreateTemporary, Shape::clause,
     "cannot create a temporary file beside it: {reason}"},
    {CauseKind::cannotKeepOwner, Shape::clause,
     "cannot give the new file the old one's owner: {reason}"},
    {CauseKind::cannotKeepOwnerAndPermissions, Shape::clause,
     "cannot give the new file the old one's owner and permissions: {reason}"},
    {CauseKind::cannotWrite, Shape::clause, "cannot write the new content: {reason}"},
    {CauseKind::cannotFlush, Shape::clause, "cannot flush the new content to disk: {reason}"},
    {CauseKind::cannotClose, Shape::clause, "cannot close the new content: {reason}"},
    {CauseKind::cannotReadBack, Shape::clause,
     "cannot read back the new content's size and time: {reason}"},
    {CauseKind::cannotReplace, Shape::clause, "cannot replace the file: {reason}"},
    {CauseKind::cannotExamineBackup, Shape::clause, "cannot examine the backup's name: {reason}"},
    {CauseKind::notRegularFile, Shape::predicate, "is not a regular file"},
    {CauseKind::readOnly, Shape::predicate, "is read-only, so it was not replaced"},
    {CauseKind::belongsToAnotherUser, Shape::predicate,
     "belongs to another user, and the new file could not be given to them, so it was not "
     "replaced"},
    {CauseKind::backupNameTaken, Shape::clause,
     "cannot keep the old content as {path}: that name holds something other than a file that may "
     "be replaced; nothing was written"},
    {CauseKind::backupIsTheFile, Shape::clause,
     "cannot keep the old content as {path}: that name is another name of this very file, so the "
     "old content would be lost with it; nothing was written"},
    {CauseKind::changed, Shape::predicate,
     "changed while it was being processed; nothing was written, run the program again"},
    {CauseKind::changedSaveLeftAside, Shape::predicate,
     "changed while it was being processed; nothing was written, and another program's save was "
     "left as {path}, run the program again"},
    {CauseKind::changedOriginalLeftAside, Shape::predicate,
     "changed while it was being processed; nothing was written, another program's save took its "
     "place and the file as it was read was left as {path}, run the program again"},
    {CauseKind::tooLargeForMemory, Shape::predicate,
     "is too large to hold in the memory available"},
    {CauseKind::lineTooLong, Shape::predicate, "has a line too long for this program to hold"},
    {CauseKind::sectionTooLarge, Shape::predicate,
     "has a section too large for this program to hold"},
    {CauseKind::nulByte, Shape::predicate, "contains a NUL byte, so it is not a plain text file"},
    {CauseKind::utf16WithoutMark, Shape::predicate,
     "is UTF-16 text without a byte-order mark, which this program cannot tell from binary data"},
    {CauseKind::utf32, Shape::predicate, "is UTF-32 text, which this program cannot read"},
    {CauseKind::oddByteCount, Shape::predicate,
     "has an odd number of bytes, so it is not whole UTF-16"},
    {CauseKind::unpairedSurrogate, Shape::predicate,
     "contains an unpaired UTF-16 surrogate, so it is not valid UTF-16"},
    {CauseKind::nulCharacter, Shape::predicate,
     "contains a NUL character, so it is not a plain text file"},
    {CauseKind::stepsOutOfOrder, Shape::clause,
     "cannot replace the file: the program took its steps out of order"},
    {CauseKind::noSectionsLoaded, Shape::clause,
     "cannot write the new content: no sections were loaded"},
    {CauseKind::notUtf8ForUtf16, Shape::clause,
     "cannot write the new content: it holds bytes that are not UTF-8, which UTF-16 cannot carry"},
    {CauseKind::badIndex, Shape::clause, "Illegal vector index: {index} max index = {largest}"},
    {CauseKind::tooLargeForAList, Shape::predicate, "is too large for a package's file list"},
    {CauseKind::noContentList, Shape::predicate, "has no \"content\" list"},
    {CauseKind::notAListOfFiles, Shape::clause,
     "its content is not a list of files with a path each"},
    {CauseKind::listsTheFileTwice, Shape::predicate, "lists the file twice"},
    {CauseKind::entryLacks, Shape::clause, "its entry for the file has no \"{name}\""},
    {CauseKind::entryHasTwice, Shape::clause,
     "its entry for the file has more than one \"{name}\""},
    {CauseKind::notPlainInteger, Shape::clause, "its {name} is not a plain integer"},
    {CauseKind::jsonValueExpected, Shape::predicate,
     "is not valid JSON: a value was expected (at byte {at})"},
    {CauseKind::jsonMoreAfterValue, Shape::predicate,
     "is not valid JSON: there is more after the JSON value (at byte {at})"},
    {CauseKind::jsonTooDeep, Shape::predicate,
     "is not valid JSON: the JSON is nested too deeply (at byte {at})"},
    {CauseKind::jsonNoDigitsAfterPoint, Shape::predicate,
     "is not valid JSON: a number has no digits after its point (at byte {at})"},
    {CauseKind::jsonNoDigitsInExponent, Shape::predicate,
     "is not valid JSON: a number has no digits in its exponent (at byte {at})"},
    {CauseKind::jsonBadUnicodeEscape, Shape::predicate,
     "is not valid JSON: a \\u escape needs four hexadecimal digits (at byte {at})"},
    {CauseKind::jsonUnknownEscape, Shape::predicate,
     "is not valid JSON: a string holds an unknown escape (at byte {at})"},
    {CauseKind::jsonLoneSurrogate, Shape::predicate,
     "is not valid JSON: a string holds a lone surrogate escape (at byte {at})"},
    {CauseKind::jsonNotUtf8, Shape::predicate,
     "is not valid JSON: a string holds bytes that are not UTF-8 (at byte {at})"},
    {CauseKind::jsonUnclosedString, Shape::predicate,
     "is not valid JSON: a string is not closed (at byte {at})"},
    {CauseKind::jsonControlCharacter, Shape::predicate,
     "is not valid JSON: a string holds a control character (at byte {at})"},
    {CauseKind::jsonArrayNeedsCommaOrEnd, Shape::predicate,
     "is not valid JSON: an array needs a ',' or ']' here (at byte {at})"},
    {CauseKind::jsonObjectNeedsName, Shape::predicate,
     "is not valid JSON: an object needs a quoted name here (at byte {at})"},
    {CauseKind::jsonObjectNeedsColon, Shape::predicate,
     "is not valid JSON: an object needs a ':' after a name (at byte {at})"},
    {CauseKind::jsonObjectNeedsCommaOrEnd, Shape::predicate,
     "is not valid JSON: an object needs a ',' or '}' here (at byte {at})"},
};

// Added to any cause whose unfinished new content could not be removed.
constexpr const char* kLeftBehind =
    "; the unfinished new content could not be removed, delete {leftBehind}";

constexpr const char* kFacts[] = {"reason", "path", "name", "at", "index", "largest", "leftBehind"};

// The table has a row for every kind, in order, and names only facts that a Cause holds: a new
// kind or a misspelt fact fails the build rather than a user's run.
constexpr bool tableIsWhole() {
    if (sizeof kRows / sizeof kRows[0] != kCauseKinds || !bracesNameOnly(kLeftBehind, kFacts)) {
        return false;
    }
    for (std::size_t i = 0; i < kCauseKinds; ++i) {
        if (static_cast<std::size_t>(kRows[i].kind) != i ||
            !bracesNameOnly(kRows[i].words, kFacts)) {
            return false;
        }
    }
    return true;
}
static_assert(tableIsWhole(), "every cause needs its row, in CauseKind's order");

// `words` with each fact in braces replaced by the cause's.
void fill(Text& out, const char* words, const Cause& cause) {
    fillTemplate(out, words, [&cause](std::string_view fact) {
        if (fact == "reason") {
            return cause.reason;
        }
        if (fact == "path") {
            return cause.path;
        }
        if (fact == "name") {
            return Text(cause.name);
        }
        if (fact == "at") {
            return decimalOf(cause.at);
        }
        if (fact == "index") {
            return decimalOf(cause.index);
        }
        if (fact == "largest") {
            return decimalOf(cause.largest);
        }
        return cause.leftBehind;
    });
}

Text wordedAs(const Cause& cause, bool inSentence) {
    const Row& row = kRows[static_cast<std::size_t>(cause.kind)];
    Text out(inSentence && row.shape == Shape::predicate ? "it " : "");
    fill(out, row.words, cause);
    if (!cause.leftBehind.empty()) {
        fill(out, kLeftBehind, cause);
    }
    return out;
}

}  // namespace

Text worded(const Cause& cause) {
    return wordedAs(cause, false);
}

Text wordedInSentence(const Cause& cause) {
    return wordedAs(cause, true);
}
