#include "checks/EntryChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sections/SectionFile.h"
#include "tests/checks/SectionsOf.h"

namespace {

// Real files write a value in many ways; each must read as the simulators read it.
TEST(ValuesIn, ReadsAValueAsTheSimulatorsDo) {
    const struct {
        const char* body;
        const char* title;    // none when the key is not set
        const char* texture;  // none when the key is not set
    } rows[] = {
        {"title=A320 Club\n", "A320 Club", nullptr},
        {"  Title = \"A320 Club\" ; note\n", "A320 Club", nullptr},
        {"TITLE\t=\tA320 Club // pasted\n", "A320 Club", nullptr},
        {"title = \"A;B // C\" ; quoted, so the comment marks are the title's\n", "A;B // C",
         nullptr},
        {"title=\n", "", nullptr},
        {"atc_id=title\ntitle_short=x\n;title=commented out\ntextures=x\n", nullptr, nullptr},
        {"sim=a\ntitle=first\ntitle=second\n", "first", nullptr},
        {"title=last line without a break", "last line without a break", nullptr},
        {"Texture = \"Club\"\ntitle=A\ntexture=second\n", "A", "Club"},
        {"texture=\ntitle=A\n", "A", ""},
    };
    for (const auto& row : rows) {
        const Text body(row.body);
        const EntryValues values = valuesIn(body);
        EXPECT_EQ(values.title.set, row.title != nullptr) << row.body;
        if (values.title.set && row.title != nullptr) {
            EXPECT_EQ(values.title.chars, row.title) << row.body;
        }
        EXPECT_EQ(values.texture.set, row.texture != nullptr) << row.body;
        if (values.texture.set && row.texture != nullptr) {
            EXPECT_EQ(values.texture.chars, row.texture) << row.body;
        }
    }
}

struct Expected {
    WarningKind kind;
    const char* entry;
    const char* first;
    const char* value;
    const char* near = "";
};

TextureFolders listed(const char* names) {
    TextureFolders folders;
    folders.listed = true;
    folders.names = names;
    return folders;
}

// What each finding names: the entries, the title, the texture value, the first entry with that
// title, or why the folders went unchecked.
TEST(EntryWarnings, NameWhatHidesAnEntry) {
    TextureFolders unlisted;
    unlisted.why = "Permission denied";
    using K = WarningKind;
    const struct {
        const char* file;
        TextureFolders folders;
        std::vector<Expected> warnings;
    } rows[] = {
        // The third copy of a title is named beside the first entry with it, not the second.
        {"[general]\ntitle=X\n[fltsim.0]\ntitle=A\n[fltsim.1]\ntitle=B\n[fltsim.2]\ntitle = a\n"
         "[fltsim.3]\ntitle=\"A\"\n[fltsim.4]\ntitle=b ; pasted\n",
         listed(""),
         {{K::sameTitle, "[fltsim.2]", "[fltsim.0]", "a"},
          {K::sameTitle, "[fltsim.3]", "[fltsim.0]", "A"},
          {K::sameTitle, "[fltsim.4]", "[fltsim.1]", "b"}}},
        // An empty title is a title all the same; what is not an entry needs none.
        {"title=A\n[fltsim.0]\n[FLTSIM.1]\ntitle=\n[fltsim.2]\ntitle=\n[x]\ntitle=\n"
         "[general] ; see fltsim.1\n[ FltSim.9 unclosed\n",
         listed(""),
         {{K::noTitle, "[fltsim.0]", "", ""},
          {K::sameTitle, "[fltsim.2]", "[FLTSIM.1]", ""},
          {K::noTitle, "[ FltSim.9 unclosed", "", ""}}},
        // Folders match in any letter case; a value with a path separator is not looked for.
        {"[fltsim.0]\ntitle=A\ntexture=Club\n[fltsim.1]\ntitle=B\ntexture=\n"
         "[fltsim.2]\ntitle=C\ntexture=Red\n[fltsim.3]\ntitle=D\ntexture=..\\x\n"
         "[fltsim.4]\ntitle=E\ntexture=a/b\n[fltsim.5]\ntitle=F\ntexture=TEXTURE.club\n",
         listed("TEXTURE.club/Texture/textures.Red/model/"),
         {{K::missingTextureFolder, "[fltsim.2]", "", "Red"},
          {K::missingTextureFolder, "[fltsim.5]", "", "TEXTURE.club"}}},
        {"[fltsim.0]\ntitle=A\ntexture=\n",
         listed("texture./texture../"),
         {{K::missingTextureFolder, "[fltsim.0]", "", ""}}},
        // A folder that cannot be listed: one note ahead of the rest, in place of the texture
        // warnings; none when no entry has a texture to check.
        {"[fltsim.0]\ntexture=A\n[fltsim.1]\ntitle=B\ntexture=B\n",
         unlisted,
         {{K::texturesNotChecked, "", "", "Permission denied"},
          {K::noTitle, "[fltsim.0]", "", ""}}},
        {"[fltsim.0]\ntitle=A\ntexture=..\\A\n", unlisted, {}},
        // A near miss is named when it is the only one: by marks and letter case alone, however
        // many, or by a character or a swap of two in a value of 4 to 7.
        {"[fltsim.0]\ntitle=A\ntexture=N208PX\n[fltsim.1]\ntitle=B\ntexture=n-2-0-8 p.x\n"
         "[fltsim.2]\ntitle=C\ntexture=Bleu\n[fltsim.3]\ntitle=D\ntexture=Gren\n"
         "[fltsim.4]\ntitle=E\ntexture=Orange\n",
         listed("texture.N208-PX/texture.Blue/texture.Green/texture.Grey/texture.Ocean/"),
         {{K::missingTextureFolderNearMiss, "[fltsim.0]", "", "N208PX", "texture.N208-PX"},
          {K::missingTextureFolderNearMiss, "[fltsim.1]", "", "n-2-0-8 p.x", "texture.N208-PX"},
          {K::missingTextureFolderNearMiss, "[fltsim.2]", "", "Bleu", "texture.Blue"},
          {K::missingTextureFolder, "[fltsim.3]", "", "Gren"},
          {K::missingTextureFolder, "[fltsim.4]", "", "Orange"}}},
        // Only the part past "texture." counts edits, fewer in a short value, and an empty value
        // gets no guess.
        {"[fltsim.0]\ntitle=A\ntexture=AB\n",
         listed("texture.N2/"),
         {{K::missingTextureFolder, "[fltsim.0]", "", "AB"}}},
        {"[fltsim.0]\ntitle=A\ntexture=N1\n[fltsim.1]\ntitle=B\ntexture=\n",
         listed("texture.X/"),
         {{K::missingTextureFolder, "[fltsim.0]", "", "N1"},
          {K::missingTextureFolder, "[fltsim.1]", "", ""}}},
        {"[fltsim.0]\ntitle=A\ntexture=Blau\n[fltsim.1]\ntitle=B\ntexture=Lufthnsa\n",
         listed("texture.Blue/texture.Lufthansa1/"),
         {{K::missingTextureFolder, "[fltsim.0]", "", "Blau"},
          {K::missingTextureFolderNearMiss, "[fltsim.1]", "", "Lufthnsa", "texture.Lufthansa1"}}},
    };
    for (const auto& row : rows) {
        SectionList list = sectionsOf(row.file);
        const EntryWarnings found = entryWarnings(list, row.folders, 100);
        EXPECT_EQ(found.total, row.warnings.size()) << row.file;
        ASSERT_EQ(found.shown.size(), row.warnings.size()) << row.file;
        for (std::size_t i = 0; i < row.warnings.size(); ++i) {
            const Warning& got = found.shown[i];
            const Expected& want = row.warnings[i];
            EXPECT_EQ(got.kind, want.kind) << row.file << " #" << i;
            EXPECT_STREQ(got.entry.c_str(), want.entry) << row.file << " #" << i;
            EXPECT_STREQ(got.first.c_str(), want.first) << row.file << " #" << i;
            EXPECT_STREQ(got.value.c_str(), want.value) << row.file << " #" << i;
            EXPECT_STREQ(got.near.c_str(), want.near) << row.file << " #" << i;
        }
        releaseSections(list);
    }
}

// A package's aircraft may take its textures from another package, which the simulator merges
// with it; outside a package, the folders beside the file are all there is.
TEST(EntryWarnings, InAPackageTexturesMayComeFromElsewhere) {
    const char* const file =
        "[VARIATION]\nbase_container = \"..\\Base\"\n"
        "[fltsim.0]\ntitle=A\ntexture=\n[fltsim.1]\ntitle=B\ntexture=Shared\n";
    TextureFolders beside = listed("texture.Own/");
    TextureFolders none = listed("");
    TextureFolders baseUnlisted = beside;
    baseUnlisted.baseNamed = true;
    TextureFolders baseHasIt = baseUnlisted;
    baseHasIt.baseListed = true;
    baseHasIt.baseNames = "TEXTURE.shared/";
    TextureFolders baseLacksIt = baseHasIt;
    baseLacksIt.baseNames = "texture.Other/";
    TextureFolders baseHasNone = baseHasIt;
    baseHasNone.baseNames = "";
    const struct {
        bool inPackage;
        TextureFolders folders;
        std::vector<const char*> values;  // of the missing texture folders warned of
    } rows[] = {
        {false, beside, {"", "Shared"}},
        {true, beside, {"Shared"}},  // an empty texture= is the base aircraft's
        {false, none, {"", "Shared"}},
        {true, none, {}},  // an override without texture folders of its own
        {true, baseUnlisted, {}},
        {true, baseHasIt, {}},
        {true, baseLacksIt, {"Shared"}},
        {true, baseHasNone, {}},  // the base takes its textures from elsewhere too
        {false, baseHasIt, {"", "Shared"}},
    };
    for (const auto& row : rows) {
        SectionList list = sectionsOf(file);
        TextureFolders folders = row.folders;
        folders.inPackage = row.inPackage;
        const EntryWarnings found = entryWarnings(list, folders, 100);
        std::vector<const char*> values;
        for (const Warning& warning : found.shown) {
            EXPECT_EQ(warning.kind, WarningKind::missingTextureFolder);
            values.push_back(warning.value.c_str());
        }
        ASSERT_EQ(values.size(), row.values.size()) << row.inPackage << " " << folders.baseNames;
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_STREQ(values[i], row.values[i]);
        }
        releaseSections(list);
    }
}

// base_container is read from [VARIATION] only, as any value is read.
TEST(BaseContainerIn, ReadsTheVariationSection) {
    const struct {
        const char* file;
        const char* base;  // none when not set
    } rows[] = {
        {"[VARIATION]\nbase_container = \"..\\Base\"\n", "..\\Base"},
        {"[fltsim.0]\ntitle=A\n  [Variation] ; copied\nBASE_Container=../Base ; note\n", "../Base"},
        {"[general]\nbase_container=..\\Base\n[variation]\nbase_containers=x\n", nullptr},
    };
    for (const auto& row : rows) {
        SectionList list = sectionsOf(row.file);
        const EntryValue base = baseContainerIn(list);
        EXPECT_EQ(base.set, row.base != nullptr) << row.file;
        if (base.set && row.base != nullptr) {
            EXPECT_EQ(base.chars, row.base) << row.file;
        }
        releaseSections(list);
    }
}

// Past `most`, warnings are counted and not kept: the first `most` are, the note first of all.
TEST(EntryWarnings, KeepTheFirstAndCountTheRest) {
    TextureFolders unlisted;
    const struct {
        std::size_t most;
        TextureFolders folders;
        std::vector<const char*> entries;  // of the warnings kept; none for the note
    } rows[] = {
        {0, unlisted, {}},
        {2, unlisted, {"", "[fltsim.0]"}},
        {3, unlisted, {"", "[fltsim.0]", "[fltsim.1]"}},
        {4, unlisted, {"", "[fltsim.0]", "[fltsim.1]", "[fltsim.2]"}},
        {2, listed("texture.A/"), {"[fltsim.0]", "[fltsim.1]"}},
        {3, listed("texture.A/"), {"[fltsim.0]", "[fltsim.1]", "[fltsim.2]"}},
    };
    for (const auto& row : rows) {
        SectionList list = sectionsOf("[fltsim.0]\ntexture=A\n[fltsim.1]\n[fltsim.2]\n");
        const EntryWarnings found = entryWarnings(list, row.folders, row.most);
        EXPECT_EQ(found.total, row.folders.listed ? 3u : 4u) << row.most;
        ASSERT_EQ(found.shown.size(), row.entries.size()) << row.most;
        for (std::size_t i = 0; i < row.entries.size(); ++i) {
            EXPECT_STREQ(found.shown[i].entry.c_str(), row.entries[i]) << row.most << " #" << i;
        }
        releaseSections(list);
    }
}

}  // namespace
