// Tests of language discovery (folder and ZIP packs), the menu order, the start language and the catalogue.
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/language_catalogue.h"
#include "settings/settings_file.h"
#include "test_support.h"

using testsupport::exists;
using testsupport::languageFile;
using testsupport::listFolder;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::writeFile;
using testsupport::writeZip;
using testsupport::ZipMember;

namespace {

using Texts = std::vector<std::pair<std::string, std::string>>;

// The menu order as "name=code" items.
std::vector<std::string> menu() {
    std::vector<std::string> items;
    for (const LanguageEntry& entry : languagesInMenuOrder()) items.push_back(entry.displayName + "=" + entry.code);
    return items;
}

std::vector<std::string> languageFilesInTmp() {
    std::vector<std::string> found;
    for (const std::string& name : listFolder("/tmp"))
        if (name.ends_with(".language")) found.push_back(name);
    return found;
}

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearLanguages();
        clearCatalogue();
        CurrentLanguage.clear();
        ProgramFolder = dir.path();
        pack = dir / "Hashwarden.lang";
    }
    void TearDown() override {
        clearLanguages();
        clearCatalogue();
    }

    TempDir dir;
    std::string pack;
};

}  // namespace

TEST(LanguageHash, Utf16CodeUnitsWithWrap) {
    EXPECT_EQ(languageNameHash(""), 0u);
    EXPECT_EQ(languageNameHash("A"), 65u);
    EXPECT_EQ(languageNameHash("AB"), 65u * 65599u + 66u);
    EXPECT_EQ(languageNameHash("Deutsch"), 4228631000u);  // wraps at 32 bits
    EXPECT_EQ(languageNameHash("\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9"), 3846109336u);  // Русский
    EXPECT_EQ(languageNameHash("\xF0\x9F\x98\x80"), 0xD83Du * 65599u + 0xDE00u);  // a surrogate pair
    EXPECT_EQ(languageSlot("Deutsch"), 472);
    EXPECT_EQ(languageSlot("Nederlands"), 110);
    EXPECT_EQ(languageSlot("Langcm"), 472);
}

TEST_F(LanguageTest, FolderPackListsLanguageFilesOnly) {
    ASSERT_EQ(mkdir(pack.c_str(), 0755), 0);
    writeFile(pack + "/de_DE.language", languageFile("  Deutsch\t", {{"tGenOK", "OK"}}));
    writeFile(pack + "/fr_FR.language", languageFile("Fran\xC3\xA7" "ais", {}));
    writeFile(pack + "/nl_NL.language", languageFile("Nederlands", {}));
    writeFile(pack + "/xx_XX.LANGUAGE", languageFile("Capital", {}));
    writeFile(pack + "/readme.txt", languageFile("Text", {}));
    writeFile(pack + "/noheader.language", "\xEF\xBB\xBF[TEXTS]\ntGenOK = ok\n");
    ASSERT_EQ(mkdir((pack + "/folder.language").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((pack + "/fifo.language").c_str(), 0600), 0);  // must not hang discovery
    ASSERT_EQ(symlink("de_DE.language", (pack + "/linked.language").c_str()), 0);
    writeFile(pack + "/line\nbreak.language", languageFile("Broken", {}));  // its code could not be saved
    writeFile(pack + "/caf\xE9.language", languageFile("", {}));  // a Latin-1 name: no UTF-8 code, no menu text
    writeFile(pack + "/.language", languageFile("No code", {}));    // an empty code cannot be asked for
    writeFile(pack + "/huge.language", languageFile("Huge", {{"pad", std::string(MaxLanguageFileSize, 'x')}}));

    discoverLanguages(pack);
    // Ascending slot: Nederlands 110, Français 381, Deutsch 472 (and the link, the
    // same name, becomes one entry with one of the two codes).
    std::vector<std::string> items = menu();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0], "Nederlands=nl_NL");
    EXPECT_EQ(items[2], "Fran\xC3\xA7" "ais=fr_FR");
    EXPECT_TRUE(items[3] == "Deutsch=de_DE" || items[3] == "Deutsch=linked") << items[3];
    EXPECT_EQ(items[1], "noheader=noheader");  // no display name: the code stands in
    EXPECT_FALSE(findLanguage("Capital"));
    EXPECT_FALSE(findLanguage("Huge"));
    EXPECT_FALSE(findLanguage("Broken"));
    EXPECT_FALSE(findLanguage("caf\xE9"));
    EXPECT_FALSE(findLanguage("No code"));
}

TEST_F(LanguageTest, WithinOneSlotTheLanguageAddedLastComesFirst) {
    writeZip(pack, {{"de_DE.language", languageFile("Deutsch", {})},
                    {"xx_XX.language", languageFile("Langcm", {})},
                    {"nl_NL.language", languageFile("Nederlands", {})}});
    discoverLanguages(pack);
    EXPECT_EQ(menu(), (std::vector<std::string>{"Nederlands=nl_NL", "Langcm=xx_XX", "Deutsch=de_DE"}));

    clearLanguages();
    writeZip(pack, {{"xx_XX.language", languageFile("Langcm", {})}, {"de_DE.language", languageFile("Deutsch", {})}});
    discoverLanguages(pack);
    EXPECT_EQ(menu(), (std::vector<std::string>{"Deutsch=de_DE", "Langcm=xx_XX"}));
}

TEST_F(LanguageTest, SameDisplayNameTwiceKeepsOneEntryWithTheLastCode) {
    writeZip(pack, {{"de_DE.language", languageFile("Deutsch", {})},
                    {"nl_NL.language", languageFile("Nederlands", {})},
                    {"de_AT.language", languageFile("Deutsch", {})}});
    discoverLanguages(pack);
    EXPECT_EQ(menu(), (std::vector<std::string>{"Nederlands=nl_NL", "Deutsch=de_AT"}));
}

TEST_F(LanguageTest, StartLanguageMustBeInstalled) {
    ASSERT_EQ(mkdir(pack.c_str(), 0755), 0);
    writeFile(pack + "/de_DE.language", languageFile("Deutsch", {{"tGenOK", "Gut"}}));
    discoverLanguages(pack);

    CurrentLanguage = "de_DE";
    chooseStartLanguage();
    EXPECT_EQ(CurrentLanguage, "de_DE");
    CurrentLanguage = "sv_SE";  // named by the settings, but not installed
    chooseStartLanguage();
    EXPECT_EQ(CurrentLanguage, "en_GB");
    EXPECT_FALSE(loadCatalogue(pack, CurrentLanguage));  // en_GB is not there either
    EXPECT_EQ(catalogueText("tGenOK"), "");

    clearLanguages();
    CurrentLanguage = "";
    chooseStartLanguage();
    EXPECT_EQ(CurrentLanguage, "en_GB");
}

TEST_F(LanguageTest, StartUpWithOnlyGermanFollowsLang) {
    ASSERT_EQ(mkdir(pack.c_str(), 0755), 0);
    writeFile(pack + "/de_DE.language", languageFile("Deutsch", {{"tGenOK", "Gut"}}));
    ScopedEnv home("HOME", (dir / "home").c_str());
    ConfigFolder = configFolderFromHome();
    for (const auto& [lang, expected, okText] :
         {std::tuple<const char*, const char*, const char*>{"de_DE.UTF-8", "de_DE", "Gut"}, {nullptr, "en_GB", ""}}) {
        ScopedEnv langVar("LANG", lang);
        clearLanguages();
        clearCatalogue();
        CurrentLanguage.clear();
        bool ticked[1] = {};
        const char* const keys[1] = {"CRC32"};
        locateAndLoadSettings(keys, ticked);
        discoverLanguages(languagePackPath());
        chooseStartLanguage();
        loadCatalogue(languagePackPath(), CurrentLanguage);
        EXPECT_EQ(CurrentLanguage, expected);
        EXPECT_EQ(catalogueText("tGenOK"), okText);
        EXPECT_EQ(menu(), std::vector<std::string>{"Deutsch=de_DE"});  // offered either way
    }
}

TEST_F(LanguageTest, CatalogueLoadAndMergeOnSwitch) {
    ASSERT_EQ(mkdir(pack.c_str(), 0755), 0);
    writeFile(pack + "/en_GB.language",
              "\xEF\xBB\xBF" "tTopLevel = not loaded\n[LANGUAGE FILE]\ntLangFileNAME = English\ntLangFileLANGID = en\n"
              "[A]\ntGenOK =   OK  \ntGenYES = Yes\ntReqFINISHED = Done.\\nReally.\n[B]\ntGenOK = OK again\n");
    writeFile(pack + "/de_DE.language", languageFile("Deutsch", {{"tGenOK", "Gut"}, {"tgenyes", "ja"}}));
    discoverLanguages(pack);

    ASSERT_TRUE(loadCatalogue(pack, "en_GB"));
    EXPECT_EQ(catalogueText("tGenOK"), "OK again");  // the occurrence read last wins
    EXPECT_EQ(catalogueText("tGenYES"), "Yes");
    EXPECT_EQ(catalogueText("tReqFINISHED"), "Done.\\nReally.");  // no escape processing
    EXPECT_EQ(catalogueText("tLangFileLANGID"), "en");
    EXPECT_EQ(catalogueText("tTopLevel"), "");
    EXPECT_EQ(catalogueText("tNoSuchKey"), "");

    EXPECT_TRUE(switchLanguage("Deutsch"));
    EXPECT_EQ(CurrentLanguage, "de_DE");
    EXPECT_EQ(catalogueText("tGenOK"), "Gut");
    EXPECT_EQ(catalogueText("tGenYES"), "Yes");  // "tgenyes" is another key; the old text stays
    EXPECT_EQ(catalogueText("tgenyes"), "ja");
    EXPECT_EQ(catalogueText("tLangFileLANGID"), "en");

    EXPECT_FALSE(switchLanguage("Klingon"));
    EXPECT_EQ(CurrentLanguage, "de_DE");
    EXPECT_FALSE(loadCatalogue(pack, "../de_DE"));
}

TEST_F(LanguageTest, FolderAndZipPackGiveTheSameLanguagesAndTexts) {
    const std::vector<ZipMember> files = {
        {"en_GB.language", languageFile("English", {{"tGenOK", "OK"}, {"tGenNO", "No"}})},
        {"de_DE.language", languageFile("Deutsch", {{"tGenOK", "OK"}, {"tGenNO", "Nein"}})},
        {"pl_PL.language", "\xEF\xBB\xBF[LANGUAGE FILE]\ntLangFileNAME = Polski\n[X]\ntGenNO = Nie\n"},
    };
    const std::string folder = dir / "folder.lang";
    const std::string zip = dir / "pack.lang";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    for (const ZipMember& file : files) writeFile(folder + "/" + file.name, file.bytes);
    writeZip(zip, files);

    std::vector<std::vector<std::string>> seen;
    for (const std::string& path : {folder, zip}) {
        clearLanguages();
        discoverLanguages(path);
        std::vector<std::string> result = menu();
        for (const LanguageEntry& entry : languagesInMenuOrder()) {
            clearCatalogue();
            EXPECT_TRUE(loadCatalogue(path, entry.code)) << path << " " << entry.code;
            result.push_back(catalogueText("tGenOK") + "/" + catalogueText("tGenNO"));
        }
        seen.push_back(result);
    }
    EXPECT_EQ(seen[0].size(), 6u);
    EXPECT_EQ(seen[0], seen[1]);
}

TEST_F(LanguageTest, ZipEntriesAreFilteredAndNothingIsExtracted) {
    const std::string work = dir / "work/";
    ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
    const std::vector<std::string> tmpBefore = languageFilesInTmp();
    const std::string good = languageFile("Good", {{"tGenOK", "fine"}});
    writeZip(pack, {
                       {"../escape.language", languageFile("Escape", {})},
                       {dir / "absolute.language", languageFile("Absolute", {})},
                       {"sub/nested.language", languageFile("Nested", {})},
                       {"sub/", "", ZipMember::Kind::Folder},
                       {"dir.language/", "", ZipMember::Kind::Folder},
                       {"link.language", "", ZipMember::Kind::Symlink, "/etc/passwd"},
                       {"en_GB.LANGUAGE", languageFile("Capital", {})},
                       {"line\nbreak.language", languageFile("Broken", {})},
                       {"empty.language", ""},
                       {"big.language", languageFile("Big", {{"pad", std::string(MaxLanguageFileSize, 'x')}})},
                       // Compresses to a few kilobytes, expands to 16 MiB.
                       {"bomb.language", languageFile("Bomb", {{"pad", std::string(16 << 20, '\0')}})},
                       {"good.language", good},
                       // ZIP has no hard links: the writer stores this as an empty file.
                       {"hard.language", "", ZipMember::Kind::Hardlink, "good.language"},
                   });
    const std::vector<std::string> before = listFolder(dir.path());
    ASSERT_EQ(chdir(work.c_str()), 0);
    discoverLanguages(pack);
    const bool loaded = loadCatalogue(pack, "good");
    const bool escaped = loadCatalogue(pack, "../escape");
    ASSERT_EQ(chdir("/"), 0);

    EXPECT_EQ(menu(), std::vector<std::string>{"Good=good"});
    EXPECT_TRUE(loaded);
    EXPECT_FALSE(escaped);
    EXPECT_EQ(catalogueText("tGenOK"), "fine");
    EXPECT_EQ(listFolder(dir.path()), before);
    EXPECT_TRUE(listFolder(work).empty());
    EXPECT_EQ(languageFilesInTmp(), tmpBefore);
}

TEST_F(LanguageTest, DamagedArchivesYieldWhatWasReadBeforeTheDamage) {
    std::string pad(200000, ' ');
    std::uint32_t state = 12345;  // a fixed pseudo-random text: it barely compresses
    for (char& c : pad) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>('a' + (state >> 16) % 26);
    }
    writeZip(pack, {{"aa_AA.language", languageFile("First", {{"pad", pad}})},
                    {"bb_BB.language", languageFile("Second", {{"pad", pad}})},
                    {"cc_CC.language", languageFile("Third", {{"pad", pad}})}});
    const std::string whole = testsupport::readFile(pack);
    ASSERT_GT(whole.size(), 300000u);

    for (const std::size_t cut : {whole.size() - 10, whole.size() * 5 / 6, whole.size() / 2, std::size_t{30}}) {
        writeFile(pack, whole.substr(0, cut));
        clearLanguages();
        discoverLanguages(pack);
        std::vector<std::string> names;
        for (const LanguageEntry& entry : languagesInMenuOrder()) names.push_back(entry.code);
        std::sort(names.begin(), names.end());
        // Never a language from after the cut, and the ones wholly before it survive.
        const std::vector<std::string> all = {"aa_AA", "bb_BB", "cc_CC"};
        EXPECT_TRUE(std::includes(all.begin(), all.end(), names.begin(), names.end()));
        if (cut > whole.size() * 2 / 3) {
            EXPECT_GE(names.size(), 2u) << cut;
        }
        if (cut == 30) {
            EXPECT_TRUE(names.empty());
        }
    }

    // Flipped bytes inside compressed data.
    std::string damaged = whole;
    for (std::size_t i = whole.size() / 2; i < whole.size() / 2 + 64; ++i) damaged[i] = static_cast<char>(~damaged[i]);
    writeFile(pack, damaged);
    clearLanguages();
    discoverLanguages(pack);
    EXPECT_LE(languagesInMenuOrder().size(), 3u);
}

TEST_F(LanguageTest, PacksThatAreNoZipGiveNoLanguages) {
    const std::vector<std::string> tmpBefore = languageFilesInTmp();
    for (const std::string& bytes :
         {std::string(), std::string("this is not an archive\n"), std::string("PK\x03\x04garbage", 12),
          languageFile("Plain", {{"tGenOK", "x"}})}) {
        writeFile(pack, bytes);
        clearLanguages();
        discoverLanguages(pack);
        EXPECT_TRUE(languagesInMenuOrder().empty()) << bytes.size();
        EXPECT_FALSE(loadCatalogue(pack, "en_GB"));
    }
    ::unlink(pack.c_str());
    discoverLanguages(pack);
    EXPECT_TRUE(languagesInMenuOrder().empty());
    EXPECT_FALSE(loadCatalogue(pack, "en_GB"));
    EXPECT_EQ(languageFilesInTmp(), tmpBefore);
}
