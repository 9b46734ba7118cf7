#include "files/FileReplacement.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/files/ReplaceWith.h"
#include "tests/support/Platform.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const std::string kOld = "[fltsim.1]\r\nold content\r\n";
const std::string kNew = "[fltsim.0]\r\nnew content\r\n";

// Opens and reads `target` whole, then begins its replacement and writes "new".
void readAndBegin(const fs::path& target, Replacement& replacement) {
    Cause why;
    ASSERT_TRUE(openOriginal(target.string().c_str(), replacement, why)) << why.kind;
    char buffer[64];
    std::size_t got = 0;
    do {
        ASSERT_TRUE(readOriginal(replacement, buffer, sizeof buffer, got, why)) << why.kind;
    } while (got > 0);
    ASSERT_TRUE(beginReplacement(replacement, why)) << why.kind;
    ASSERT_TRUE(writeReplacement(replacement, "new", 3, why));
}

// The folder holds the old file alone: nothing was written and no temporary file is left.
void expectUntouched(const TempFolder& folder) {
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), kOld);
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

TEST(Replacement, CommitReplacesTheWholeContent) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", kOld + kOld + kOld);
    EXPECT_EQ(replaceWith(folder / "aircraft.cfg", "short").kind, CauseKind::none);
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), "short");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

TEST(Replacement, AbandoningLeavesTheFileAndNoTemporaryFile) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", kOld);
    Replacement replacement;
    readAndBegin(folder / "aircraft.cfg", replacement);
    EXPECT_EQ(filesIn(folder.path()).size(), 2u) << "the temporary file stands beside";
    abandonReplacement(replacement);
    expectUntouched(folder);
}

TEST(Replacement, GoingOutOfScopeLeavesTheFileAndNoTemporaryFile) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", kOld);
    {
        Replacement replacement;
        readAndBegin(folder / "aircraft.cfg", replacement);
    }
    expectUntouched(folder);
}

// What cannot be replaced is refused before anything is created beside it.
TEST(Replacement, RefusesWhatItCannotReplace) {
    TempFolder folder;
    fs::create_directory(folder / "folder.cfg");
    writeBytes(folder / "read-only.cfg", kOld);
    fs::permissions(folder / "read-only.cfg",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);  // the read-only attribute on Windows
    // A run ended while the file stood aside: its content is there, and the cause says where.
    const fs::path aside = folder / "ended.cfg.tmp-7-0.old";
    writeBytes(aside, kOld);
    const struct {
        const char* name;
        CauseKind kind;
        std::string path;  // the file the cause names
    } rows[] = {
        {"missing.cfg", CauseKind::cannotOpen, ""},
        {"folder.cfg", CauseKind::notRegularFile, ""},
        {"read-only.cfg", CauseKind::readOnly, ""},
        {"ended.cfg", CauseKind::cannotOpenContentLeftAside, aside.string()},
    };
    for (const auto& row : rows) {
        const Cause why = replaceWith(folder / row.name, "new");
        EXPECT_EQ(why.kind, row.kind) << row.name;
        EXPECT_STREQ(why.path.c_str(), row.path.c_str()) << row.name;
        if (kPosix && row.kind != CauseKind::notRegularFile && row.kind != CauseKind::readOnly) {
            EXPECT_STREQ(why.reason.c_str(), "No such file or directory") << row.name;
        }
    }
    EXPECT_EQ(readBytes(folder / "read-only.cfg"), kOld);
    EXPECT_EQ(filesIn(folder.path()),
              (std::vector<std::string>{"ended.cfg.tmp-7-0.old", "folder.cfg", "read-only.cfg"}));
}

// Windows finds a name in any letter case but creates one in the case it is given: the user's
// own spelling of the file must survive a rewrite.
TEST(Replacement, KeepsTheNamesOwnLetterCase) {
    TempFolder folder;
    writeBytes(folder / "Aircraft.cfg", kOld);
    EXPECT_EQ(replaceWith(folder / (kPosix ? "Aircraft.cfg" : "aircraft.cfg"), kNew).kind,
              CauseKind::none);
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"Aircraft.cfg"});
    EXPECT_EQ(readBytes(folder / "Aircraft.cfg"), kNew);
}

TEST(Replacement, RewritesTheFileBehindASymbolicLinkAndKeepsTheLink) {
    TempFolder folder;
    fs::create_directory(folder / "real");
    writeBytes(folder / "real" / "aircraft.cfg", kOld);
    std::error_code refused;  // Windows lets only some users make links
    fs::create_symlink(fs::path("real") / "aircraft.cfg", folder / "aircraft.cfg", refused);
    if (refused) {
        GTEST_SKIP() << "cannot make a symbolic link here: " << refused.message();
    }
    ASSERT_EQ(replaceWith(folder / "aircraft.cfg", "new").kind, CauseKind::none);
    EXPECT_TRUE(fs::is_symlink(folder / "aircraft.cfg"));
    EXPECT_EQ(readBytes(folder / "real" / "aircraft.cfg"), "new");
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"aircraft.cfg", "real"}));
    EXPECT_EQ(filesIn(folder / "real"), std::vector<std::string>{"aircraft.cfg"});
}

// The backup goes beside the file itself, never into the folder of a link to it, where others may
// read what was private; and a link that leads to the backup's own name still gets a backup.
TEST(Replacement, KeepsTheBackupBesideTheFileALinkLeadsTo) {
    struct Row {
        const char* real;  // where the file is, from the case's folder
        const char* link;  // the link to it that is given
    };
    for (const Row& row :
         {Row{"real/aircraft.cfg", "aircraft.cfg"}, Row{"aircraft.cfg.bak", "aircraft.cfg"}}) {
        TempFolder folder;
        fs::create_directory(folder / "real");
        writeBytes(folder / row.real, kOld);
        std::error_code refused;  // Windows lets only some users make links
        fs::create_symlink(fs::path(row.real), folder / row.link, refused);
        if (refused) {
            GTEST_SKIP() << "cannot make a symbolic link here: " << refused.message();
        }
        Interference backup;
        backup.backup = folder / (std::string(row.real) + ".bak");
        ASSERT_EQ(replaceWith(folder / row.link, kNew, backup).kind, CauseKind::none) << row.real;
        EXPECT_TRUE(fs::is_symlink(folder / row.link)) << row.real;
        EXPECT_EQ(readBytes(folder / row.real), kNew) << row.real;
        EXPECT_EQ(readBytes(folder / (std::string(row.real) + ".bak")), kOld) << row.real;
        EXPECT_FALSE(fs::exists(folder / (std::string(row.link) + ".bak")) &&
                     fs::path(row.link).string() + ".bak" != row.real)
            << row.real;
    }
}

// A backup name that holds a file whose loss the user would not expect refuses the rewrite before
// anything is written: a read-only file, and another name of the file itself, which renaming the
// file over would leave as it is, losing the old content and leaving the moved file behind.
TEST(Replacement, RefusesABackupNameThatWouldLoseWhatItHolds) {
    enum class Backup { readOnly, hardLink };
    for (const Backup kind : {Backup::readOnly, Backup::hardLink}) {
        TempFolder folder;
        const fs::path target = folder / "aircraft.cfg";
        const fs::path bak = folder / "aircraft.cfg.bak";
        writeBytes(target, kOld);
        if (kind == Backup::readOnly) {
            writeBytes(bak, "kept");
            fs::permissions(
                bak, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove);
        } else {
            std::error_code refused;
            fs::create_hard_link(target, bak, refused);
            if (refused) {
                continue;  // a file system without hard links cannot hold this one
            }
        }
        Interference backup;
        backup.backup = bak;
        EXPECT_EQ(replaceWith(target, kNew, backup).kind, kind == Backup::readOnly
                                                              ? CauseKind::backupNameTaken
                                                              : CauseKind::backupIsTheFile);
        EXPECT_EQ(readBytes(target), kOld);
        EXPECT_EQ(readBytes(bak), kind == Backup::readOnly ? "kept" : kOld);
        EXPECT_EQ(filesIn(folder.path()),
                  (std::vector<std::string>{"aircraft.cfg", "aircraft.cfg.bak"}));
        fs::permissions(bak, fs::perms::owner_write, fs::perm_options::add);
    }
}

// Where the system can only rename over a name, the name stands for the old file or the new one
// at every step, backup or not, and the backup is the old content.
const fs::path* gMustStand = nullptr;
bool gStoodThroughout = true;
TEST(Replacement, WithOnlyARenameTheNameNeverStandsForNothing) {
    for (const bool withBackup : {false, true}) {
        TempFolder folder;
        const fs::path target = folder / "aircraft.cfg";
        writeBytes(target, kOld);
        Interference renameOnly;
        renameOnly.renames = Interference::Renames::renameOnly;
        if (withBackup) {
            renameOnly.backup = folder / "aircraft.cfg.bak";
        }
        gMustStand = &target;
        gStoodThroughout = true;
        CallsDouble::eachCall = [] {
            gStoodThroughout = gStoodThroughout && fs::exists(*gMustStand);
        };
        ASSERT_EQ(replaceWith(target, kNew, renameOnly).kind, CauseKind::none);
        CallsDouble::eachCall = nullptr;
        EXPECT_TRUE(gStoodThroughout) << withBackup;
        EXPECT_EQ(readBytes(target), kNew);
        if (withBackup) {
            EXPECT_EQ(readBytes(folder / "aircraft.cfg.bak"), kOld);
        }
        EXPECT_EQ(filesIn(folder.path()).size(), withBackup ? 2u : 1u);
    }
}

// The files that learn which renames the system offers are the program's own; one that a folder
// would not let go (a folder that only lets files be added) is named for the user to delete.
TEST(Replacement, AProbeFileThatCannotBeRemovedIsNamed) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    std::string leftovers;
    Interference stuck;
    stuck.fault = Fault::removeProbe;
    stuck.leftovers = &leftovers;
    EXPECT_EQ(replaceWith(target, kNew, stuck).kind, CauseKind::none);
    EXPECT_EQ(readBytes(target), kNew);
    const std::vector<std::string> names = filesIn(folder.path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(leftovers, (folder / names[1]).string());
}

// A step out of order is the program's mistake, and must not read like a file-system failure.
TEST(Replacement, StepsOutOfOrderAreTheProgramsFault) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", kOld);
    Replacement replacement;
    readAndBegin(folder / "aircraft.cfg", replacement);
    abandonReplacement(replacement);
    Cause why;
#ifdef NDEBUG
    EXPECT_FALSE(commitReplacement(replacement, why));
    EXPECT_EQ(why.kind, CauseKind::stepsOutOfOrder);
    Replacement unopened;
    EXPECT_FALSE(beginReplacement(unopened, why));
    EXPECT_EQ(why.kind, CauseKind::stepsOutOfOrder);
#else
    // A build that checks itself stops at the mistake.
    EXPECT_DEATH(commitReplacement(replacement, why), "out of order");
#endif
    expectUntouched(folder);
}

// Whatever another program does to the file while it is processed, nothing is written over it:
// its change stays, and the run is refused.
TEST(Replacement, RefusesAFileThatChangedWhileItWasProcessed) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    const std::string edited = "[fltsim.7]\r\nthe user's own edit\r\n";
    // As touch -r, cp -p and rsync --inplace -t do: only the time of last change of any kind
    // shows the edit.
    auto rewriteKeepingTheTime = [&](const std::string& content) {
        const auto written = fs::last_write_time(target);
        waitForTheFileClock(target);
        std::fstream inPlace(target, std::ios::in | std::ios::out | std::ios::binary);
        inPlace.write(content.data(), static_cast<std::streamsize>(content.size()));
        inPlace.close();
        fs::last_write_time(target, written);
    };
    const struct {
        const char* name;
        Interference interference;
        std::string leftAt;  // the content the change leaves, or "" when it removes the file
    } rows[] = {
        {"an editor saves a new file over it",
         {{},
          [&] {
              writeBytes(folder / "editor.tmp", edited);
              fs::rename(folder / "editor.tmp", target);
          },
          {}},
         edited},
        {"it is truncated and rewritten in place during the read",
         {[&] { writeBytes(target, "[fl"); }, {}, {}},
         "[fl"},
        {"it grows during the read",
         {[&] { writeBytes(target, kOld + "more\r\n"); }, {}, {}},
         kOld + "more\r\n"},
        {"it is rewritten in place with content of the same size",
         {{},
          [&] {
              writeBytes(target, kNew);
              fs::last_write_time(target, fs::last_write_time(target) + std::chrono::seconds(2));
          },
          {}},
         kNew},
        {"it is rewritten in place during the read, its time of last write put back",
         {[&] { rewriteKeepingTheTime(kNew); }, {}, {}},
         kNew},
        {"it is rewritten in place, its time of last write put back",
         {{}, [&] { rewriteKeepingTheTime(kNew); }, {}},
         kNew},
        {"it is made read-only",
         {{},
          [&] {
              waitForTheFileClock(target);
              fs::permissions(target, fs::perms::owner_write | fs::perms::group_write,
                              fs::perm_options::remove);
          },
          {}},
         kOld},
        {"it is removed", {{}, [&] { fs::remove(target); }, {}}, ""},
        {"an editor saves at the very last moment",
         {{},
          {},
          [&] {
              writeBytes(folder / "editor.tmp", edited);
              fs::rename(folder / "editor.tmp", target);
          }},
         edited},
    };
    // Every way of putting the new file in place: by a swap of names; by moving the file aside,
    // where there is none; and by a rename over it, where neither a swap nor a rename without
    // replacing is offered, so that nothing happens after the last check.
    using Renames = Interference::Renames;
    for (const Renames renames : {Renames::all, Renames::noSwap, Renames::renameOnly}) {
        for (const auto& row : rows) {
            if (renames == Renames::renameOnly && row.interference.afterSwap) {
                continue;
            }
            std::error_code missing;  // after the row that removes it
            fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, missing);
            writeBytes(target, kOld);
            Interference interference = row.interference;
            interference.renames = renames;
            EXPECT_EQ(replaceWith(target, "renumbered", interference).kind, CauseKind::changed)
                << row.name << ", renames " << static_cast<int>(renames);
            if (row.leftAt.empty()) {
                EXPECT_TRUE(filesIn(folder.path()).empty()) << row.name;
                continue;
            }
            EXPECT_EQ(readBytes(target), row.leftAt) << row.name;
            EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"}) << row.name;
        }
    }
}

// A folder may let the temporary file be made but not removed (append-only, or without the
// right to delete): the cause then names what was left, so that the user can delete it.
TEST(Replacement, ATemporaryFileThatCannotBeRemovedIsNamed) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    fs::path temporary;
    Interference stuck;
    stuck.atTheLastMoment = [&] {
        for (const std::string& name : filesIn(folder.path())) {
            if (name != "aircraft.cfg") {
                temporary = folder / name;
            }
        }
        writeBytes(target, kNew);  // an edit, so that the replace is refused and rolled back
        fs::remove(temporary);     // and something that no file removal takes away
        fs::create_directory(temporary);
        writeBytes(temporary / "keep", "x");
    };
    const Cause cause = replaceWith(target, "renumbered", stuck);
    EXPECT_EQ(cause.kind, CauseKind::changed);
    EXPECT_STREQ(cause.leftBehind.c_str(), temporary.string().c_str());
    // One pattern on every platform, the one the README tells users they may delete.
    EXPECT_EQ(temporary.filename().string().rfind("aircraft.cfg.tmp-", 0), 0u);
}

// Where names cannot be swapped (on Windows, and on file systems without the exchange), the file
// is moved aside before the new one takes its name: another program's save, whenever it lands,
// is never overwritten, and the file read is never lost.
TEST(Replacement, WithoutASwapNoSaveIsOverwritten) {
    for (const bool whileAside : {false, true}) {
        TempFolder folder;
        const fs::path target = folder / "aircraft.cfg";
        const std::string edited = "[fltsim.7]\r\nthe user's own edit\r\n";
        writeBytes(target, kOld);
        Interference save;
        save.renames = Interference::Renames::noSwap;
        (whileAside ? save.afterSwap : save.beforeSwap) = [&] {
            writeBytes(folder / "editor.tmp", edited);
            fs::rename(folder / "editor.tmp", target);
        };
        const Cause cause = replaceWith(target, "renumbered", save);
        EXPECT_EQ(readBytes(target), edited) << whileAside;
        if (!whileAside) {
            EXPECT_EQ(cause.kind, CauseKind::changed);
            EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
            continue;
        }
        const fs::path aside = leftBeside(folder.path());
        ASSERT_FALSE(aside.empty());
        EXPECT_EQ(readBytes(aside), kOld);
        EXPECT_EQ(cause.kind, CauseKind::changedOriginalLeftAside);
        EXPECT_STREQ(cause.path.c_str(), aside.string().c_str());
    }
}

// A primitive that fails at any step, with whatever renames the file system offers: the file holds
// its old content or, once placed, its new, the cause says which step failed, and no temporary
// file is left. Where only a rename over the file is offered, it is still replaced.
TEST(Replacement, AFailureAtAnyStepLosesNothing) {
    using Renames = Interference::Renames;
    const struct {
        Renames renames;
        Fault fault;
        int callsBefore;  // the probe of what the file system offers makes the first calls
        CauseKind cause;  // none when the file is replaced
    } rows[] = {
        {Renames::all, Fault::none, 0, CauseKind::none},
        {Renames::noSwap, Fault::none, 0, CauseKind::none},
        {Renames::renameOnly, Fault::none, 0, CauseKind::none},
        {Renames::all, Fault::create, 0, CauseKind::cannotCreateTemporary},
        {Renames::all, Fault::write, 0, CauseKind::cannotWrite},
        {Renames::all, Fault::attributes, 0, CauseKind::cannotKeepOwnerAndPermissions},
        {Renames::all, Fault::flush, 0, CauseKind::cannotFlush},
        {Renames::all, Fault::close, 1, CauseKind::cannotClose},
        {Renames::all, Fault::identity, 1, CauseKind::cannotReadBack},
        {Renames::all, Fault::exchange, 1, CauseKind::cannotCreateTemporary},
        {Renames::all, Fault::exchange, 2, CauseKind::cannotReplace},
        {Renames::all, Fault::identity, 2, CauseKind::cannotReplace},
        {Renames::noSwap, Fault::renameIfFree, 1, CauseKind::cannotReplace},
        {Renames::noSwap, Fault::renameIfFree, 2, CauseKind::cannotReplace},
        {Renames::renameOnly, Fault::renameOver, 0, CauseKind::cannotReplace},
    };
    for (const auto& row : rows) {
        if (!kPosix && row.fault == Fault::exchange) {
            continue;  // Windows cannot swap names: there is no swap to fail
        }
        TempFolder folder;
        const fs::path target = folder / "aircraft.cfg";
        writeBytes(target, kOld);
        Interference fault;
        fault.renames = row.renames;
        fault.fault = row.fault;
        fault.callsBefore = row.callsBefore;
        const Cause cause = replaceWith(target, kNew, fault);
        const std::string name = std::to_string(static_cast<int>(row.renames)) + "/" +
                                 std::to_string(static_cast<int>(row.fault)) + "/" +
                                 std::to_string(row.callsBefore);
        EXPECT_EQ(cause.kind, row.cause) << name;
        // The system's own words for the injected error, whatever they are.
        EXPECT_EQ(cause.reason.empty(), row.cause == CauseKind::none) << name;
        EXPECT_EQ(readBytes(target), row.cause == CauseKind::none ? kNew : kOld) << name;
        EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"}) << name;
    }
}

// The backup is the very file the replace took out, whatever renames the file system offers, and
// replaces an older one; a name that holds anything else stops the run before it writes; a backup
// that cannot take its name is left where it was taken out, and named.
TEST(Replacement, KeepsWhatItTookOutAsTheBackup) {
    using Renames = Interference::Renames;
    for (const Renames renames : {Renames::all, Renames::noSwap, Renames::renameOnly}) {
        const std::string name = std::to_string(static_cast<int>(renames));
        TempFolder folder;
        const fs::path target = folder / "aircraft.cfg";
        writeBytes(target, kOld);
        writeBytes(folder / "aircraft.cfg.bak", "an older backup");
        std::string leftAs;
        Interference backup;
        backup.renames = renames;
        backup.backup = folder / "aircraft.cfg.bak";
        backup.backupLeftAs = &leftAs;
        EXPECT_EQ(replaceWith(target, kNew, backup).kind, CauseKind::none) << name;
        EXPECT_EQ(readBytes(target), kNew) << name;
        EXPECT_EQ(readBytes(folder / "aircraft.cfg.bak"), kOld) << name;
        EXPECT_EQ(leftAs, (folder / "aircraft.cfg.bak").string()) << name;
        EXPECT_EQ(filesIn(folder.path()),
                  (std::vector<std::string>{"aircraft.cfg", "aircraft.cfg.bak"}))
            << name;

        fs::remove(folder / "aircraft.cfg.bak");
        fs::create_directory(folder / "aircraft.cfg.bak");
        const Cause taken = replaceWith(target, kOld, backup);
        EXPECT_EQ(taken.kind, CauseKind::backupNameTaken) << name;
        EXPECT_STREQ(taken.path.c_str(), (folder / "aircraft.cfg.bak").string().c_str()) << name;
        EXPECT_EQ(readBytes(target), kNew) << name;
        fs::remove(folder / "aircraft.cfg.bak");
        if (renames == Renames::renameOnly) {
            continue;  // there the backup's rename is the move aside, whose failure is tested above
        }
        backup.fault = Fault::renameOver;
        EXPECT_EQ(replaceWith(target, kOld, backup).kind, CauseKind::none) << name;
        EXPECT_EQ(readBytes(target), kOld) << name;
        ASSERT_NE(leftAs, (folder / "aircraft.cfg.bak").string()) << name;
        EXPECT_EQ(readBytes(leftAs), kNew) << name;
        EXPECT_EQ(filesIn(folder.path()),
                  (std::vector<std::string>{"aircraft.cfg", fs::path(leftAs).filename().string()}))
            << name;
    }
}

// A scanner that holds the new file without sharing its deletion is waited for before the old file
// is moved aside, so that the name never stands for nothing while the wait lasts.
TEST(Replacement, ANewFileHeldByAnotherProgramNeverLeavesTheNameEmpty) {
    if (kPosix) {
        GTEST_SKIP() << "only Windows keeps a held file from being renamed";
    }
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    std::ifstream scanner;
    bool movedAside = false;
    Interference held;
    held.renames = Interference::Renames::noSwap;
    held.atTheLastMoment = [&] {
        for (const std::string& name : filesIn(folder.path())) {
            if (name != "aircraft.cfg") {
                scanner.open(folder / name);  // shared for reading and writing, not deletion
            }
        }
    };
    held.afterSwap = [&] { movedAside = true; };
    EXPECT_EQ(replaceWith(target, kNew, held).kind, CauseKind::cannotReplace);
    EXPECT_FALSE(movedAside);
    scanner.close();
    EXPECT_EQ(readBytes(target), kOld);
}

// Whatever takes the name before the replace stays, and the temporary file goes.
TEST(Replacement, AFolderPutInItsPlaceIsKept) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    Interference folderInstead;
    folderInstead.atTheLastMoment = [&] {
        fs::remove(target);
        fs::create_directory(target);
        writeBytes(target / "keep", "x");
    };
    EXPECT_EQ(replaceWith(target, "renumbered", folderInstead).kind, CauseKind::changed);
    EXPECT_EQ(readBytes(target / "keep"), "x");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

}  // namespace
