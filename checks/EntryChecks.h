#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "sections/Section.h"
#include "text/Text.h"

// What will still keep an aircraft entry from showing in the simulator once it is numbered. The
// checks only read: the sections, and the names of the folders beside the file.

// A value as an entry's body sets it, viewed in the body.
struct EntryValue {
    bool set = false;  // a line sets the key
    std::string_view chars;
};

// The values the checks need, read as the simulators read them: the key matches in any ASCII
// letter case, with blanks around the '='; the value is what follows the '=', without a trailing
// ';' or '//' comment, the blanks around it, or the quotes around it. The first line that sets a
// key counts. Read in one pass over the body.
struct EntryValues {
    EntryValue title;
    EntryValue texture;
};
EntryValues valuesIn(const Text& body);

// The folder that the file's [VARIATION] section names as base_container, read as valuesIn reads
// a value: the aircraft this one builds on, whose textures it may use. Not set when no
// [VARIATION] section names one.
EntryValue baseContainerIn(const SectionList& list);

// The folders whose names the texture check needs: those beside the file whose names start with
// this, in any ASCII letter case.
constexpr const char* kTextureFolderPrefix = "texture";

// The folders beside the file, as far as they could be listed.
struct TextureFolders {
    bool listed = false;
    Text why;  // when not listed: the system's reason
    // Those whose names start with kTextureFolderPrefix (others may be here too), each followed
    // by a '/'.
    Text names;
    // The file is in a package. The simulator merges every package into one tree, so an
    // aircraft there may take its textures from another package: the base game's, or the one it
    // builds on. An empty texture= then names the base aircraft's texture folder, and an
    // aircraft's folder without any texture folder takes them all from elsewhere.
    bool inPackage = false;
    // In a package whose file names a base_container: whether that folder could be listed (it is
    // often in a package that is not on this disk), and its texture folders, as `names` holds them.
    bool baseNamed = false;
    bool baseListed = false;
    Text baseNames;
};

// What will keep an entry from showing. Each kind is worded by appendWordingOf.
enum class WarningKind {
    noTitle,               // `entry` has no title=, so the simulator cannot list it
    sameTitle,             // `entry` has the title `value`, as `first` has before it
    missingTextureFolder,  // `entry` has texture=`value`, and that folder is not beside the file
    texturesNotChecked,    // the folder beside the file could not be listed, for reason `value`
    // `entry` has the title `value`, as `first` in another file of the run, `file`, has
    sameTitleInAnotherFile,
    // as missingTextureFolder, where one folder beside the file, `near`, is named almost alike
    missingTextureFolderNearMiss,
    // the packages `file` (this file's) and `first` both hold a file at the path `value`: the
    // simulator merges them into one tree, where one hides the other
    samePathInAnotherPackage,
};

constexpr std::size_t kWarningKinds =
    static_cast<std::size_t>(WarningKind::samePathInAnotherPackage) + 1;

struct Warning {
    WarningKind kind = WarningKind::noTitle;
    Text entry;  // the entry's bracketed name, such as "[fltsim.3]"
    Text first;  // sameTitle, sameTitleInAnotherFile: the first entry with that title
    Text file;   // sameTitleInAnotherFile: the file that holds `first`
    Text value;  // the title, the texture value, or why the folder could not be listed
    Text near;   // missingTextureFolderNearMiss: the folder the user most likely meant
};

struct EntryWarnings {
    std::vector<Warning> shown;  // the first of them, in file order
    std::size_t total = 0;       // all of them
};

// Every finding, in file order:
// - an entry without a title;
// - an entry whose title an earlier entry has already (in any ASCII letter case): the simulator
//   tells aircraft apart by title and shows only one of them. The earlier one named is the first
//   entry with that title;
// - an entry whose texture=V names a folder texture.V (texture when V is empty) that is not among
//   `folders`, matched in ASCII letter case as Windows does. Values with a path separator are not
//   checked. In a package, neither is an empty value, nor any value when the file has no texture
//   folder beside it at all; and where a base_container is named, a folder missing beside the
//   file is warned of only when the base's folder was listed, has texture folders of its own, and
//   lacks it too. When exactly one folder beside the file is a near miss of the one named (the
//   same once letter case, '-', '_', '.' and spaces are set aside; or, past "texture.", one
//   character apart, or two neighbours swapped, for a value of 4 to 7 characters, two for a
//   longer one), the warning names it; never for an empty value.
// When the folders could not be listed, the texture check is skipped, and one finding ahead of the
// rest says why, if any entry had a texture to check. The first `most` are kept as warnings, with
// their arguments; the rest are only counted. `entries`, the number of entries where it is known,
// lets the check size its tables once.
EntryWarnings entryWarnings(const SectionList& list, const TextureFolders& folders,
                            std::size_t most, std::size_t entries = 0);

// What is wrong and what to do about it, in one line, without the file's path, appended to
// `line`: a report is built line by line without a copy of each.
void appendWordingOf(Text& line, const Warning& warning);
