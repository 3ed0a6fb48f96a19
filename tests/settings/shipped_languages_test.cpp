// Reads every shipped language file through the program's own code and checks it is complete and well formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "files/utf8.h"
#include "settings/key_value_file.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"

namespace {

const std::string FolderPack = HW_LANGUAGE_PACK_DIR;
const std::string ZipPack = HW_LANGUAGE_PACK_ZIP;

const std::vector<std::string> ShippedCodes = {"de_DE", "en_GB", "en_US", "es_ES", "fr_FR",
                                               "it_IT", "nl_NL", "pl_PL", "pt_BR", "ru_RU"};

// Every key the program looks up.
const std::vector<std::string> TextKeys = {
    "tMenuFILE",       "tMenuOPEN",           "tMenuQUIT",        "tMenuLANGUAGES",
    "tMenuHELP",       "tMenuOPENHELP",       "tMenuABOUT",       "tMenuOPENWEB",
    "tMainFILE",       "tMainALGORITHM",      "tMainCLIPBOARD",   "tMainSAVE",
    "tMainDELETEALL",  "tMainVERIFICATION",   "tMainVERIFY",      "tMainCANCEL",
    "tMainMATCH",      "tMainMISMATCH",       "tMainCOPYALL",
    "tMainCLIPBOARDALL", "tMainCOPYONE",      "tMainBROWSEFILE",  "tMainBROWSEEXPECTED",
    "tMainWHYCASE",    "tMainWHYSPACES",      "tMainWHYBOM",      "tMainWHYLIST",
    "tMainWHYLISTSAME", "tMainWHYLISTOTHER",  "tMainWHYLABEL",    "tMainWHYLENGTH",
    "tMainOR",         "tMainUSECHECKSUM",    "tMainUSELISTED",   "tMainWHYOTHERFILE",
    "tMainWHYLISTED",  "tMainWHYNOTTICKED",
    "tGenINFORMATION", "tGenQUESTION",        "tGenWARNING",      "tGenERROR",
    "tGenBROWSE",      "tGenMESSAGE",         "tGenOK",           "tGenNO",
    "tGenYES",         "tReqOPENFILE",        "tReqOPENPATTERN",  "tReqSAVEDATA",
    "tReqSAVEPATTERN", "tReqSAVEFAILED",      "tReqSURETOEXIT",   "tReqINPROGRESSQUIT",
    "tReqCANCEL",      "tReqDELETEALL",       "tReqCLIPBOARD",    "tReqFINISHED",
    "tReqCANCELLED",   "tReqOVERWRITE",       "tReqSAVELINK",     "tInfoERRORCALCULATE",
    "tInfoNOTAFILE",   "tInfoNOTHINGTICKED",  "tInfoCHANGED",
    "tAboutTITLE",     "tAboutCODE",
    "tLangFileNAME",   "tLangFileLANGID",     "tLangFileVERSION", "tLangFileDATE",
    "tLangFileAUTHOR", "tLangFileSOFTWARE"};

// The keys whose texts take a value in place of their one "%s".
const std::set<std::string> PlaceholderKeys = {
    "tMainCOPYONE",      "tMainWHYLISTOTHER", "tMainWHYLABEL",     "tMainWHYLENGTH", "tMainUSELISTED",
    "tMainWHYOTHERFILE", "tMainWHYLISTED",    "tMainWHYNOTTICKED", "tReqOVERWRITE",  "tReqSAVELINK"};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// One code point of UTF-8 at `at`, lower-cased for Latin and Cyrillic capitals.
char32_t foldedCodePoint(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    char32_t point = byte(at);
    if (point >= 0xF0)
        point = ((point & 0x07) << 18) | ((byte(at + 1) & 0x3F) << 12) | ((byte(at + 2) & 0x3F) << 6) |
                (byte(at + 3) & 0x3F);
    else if (point >= 0xE0)
        point = ((point & 0x0F) << 12) | ((byte(at + 1) & 0x3F) << 6) | (byte(at + 2) & 0x3F);
    else if (point >= 0xC0)
        point = ((point & 0x1F) << 6) | (byte(at + 1) & 0x3F);
    if ((point >= 'A' && point <= 'Z') || (point >= 0xC0 && point <= 0xDE && point != 0xD7) ||
        (point >= 0x410 && point <= 0x42F))
        point += 0x20;
    return point;
}

// The key of a shortcut, read the way the main window reads it: upper-cased, optional "SHIFT+",
// "CTRL+" and "ALT+" (each at most once), then one printable character, "F1" to "F12" or "DEL".
// Returns the shortcut in a canonical form, or "" when the window would attach no accelerator.
std::string canonicalShortcut(const std::string& shortcut) {
    std::string upper = shortcut;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    const std::size_t plus = upper.rfind('+');
    const std::string keyName = plus == std::string::npos ? upper : upper.substr(plus + 1);
    std::set<std::string> modifiers;
    if (plus != std::string::npos)
        for (const std::string& modifier : split(upper.substr(0, plus), '+')) {
            if (modifier != "SHIFT" && modifier != "CTRL" && modifier != "ALT") return "";
            if (!modifiers.insert(modifier).second) return "";
        }
    const bool character = keyName.size() == 1 && std::isgraph(static_cast<unsigned char>(keyName[0]));
    bool function = false;
    if (keyName.size() >= 2 && keyName.size() <= 3 && keyName[0] == 'F' &&
        keyName.find_first_not_of("0123456789", 1) == std::string::npos) {
        const int number = std::stoi(keyName.substr(1));
        function = number >= 1 && number <= 12 && keyName[1] != '0';
    }
    if (!character && !function && keyName != "DEL") return "";
    std::string canonical;
    for (const std::string& modifier : modifiers)
        canonical += modifier + "+";
    return canonical + keyName;
}

struct MenuTextParts {
    char32_t mnemonic = 0; // folded; 0 when malformed
    std::string shortcut;  // canonical, "" when there is none
};

// Checks a menu title or item text. The window takes the label up to a tab (or the two characters
// backslash t, as a file without escapes may write it); "&" marks the mnemonic.
MenuTextParts checkMenuText(const std::string& code, const std::string& key, const std::string& text,
                            bool shortcutAllowed) {
    MenuTextParts parts;
    std::size_t tab = text.find('\t');
    std::size_t skip = 1;
    if (const std::size_t escaped = text.find("\\t"); escaped < tab) {
        tab = escaped;
        skip = 2;
    }
    const std::string label = text.substr(0, tab);
    EXPECT_EQ(std::count(label.begin(), label.end(), '&'), 1) << code << " " << key << ": one mnemonic";
    const std::size_t amp = label.find('&');
    if (amp == std::string::npos || amp + 1 >= label.size()) {
        ADD_FAILURE() << code << " " << key << ": '&' must mark a character";
        return parts;
    }
    EXPECT_NE(label[amp + 1], ' ') << code << " " << key;
    if (tab != std::string::npos) {
        EXPECT_TRUE(shortcutAllowed) << code << " " << key << ": menu titles take no shortcut";
        parts.shortcut = canonicalShortcut(text.substr(tab + skip));
        EXPECT_FALSE(parts.shortcut.empty())
            << code << " " << key << ": shortcut '" << text.substr(tab + skip) << "'";
    }
    parts.mnemonic = foldedCodePoint(label, amp + 1);
    return parts;
}

std::size_t codePoints(const std::string& text) {
    return std::count_if(text.begin(), text.end(),
                         [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

// Lines a dialog text takes when wrapped at `width` characters (code points), "\n" breaking lines.
int wrappedLines(const std::string& text, std::size_t width) {
    int lines = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\\n", start);
        std::size_t column = 0;
        int lineCount = 1;
        for (const std::string& word : split(text.substr(start, end - start), ' ')) {
            const std::size_t length = codePoints(word);
            if (column > 0 && column + 1 + length > width) {
                ++lineCount;
                column = length;
            } else {
                column += (column > 0 ? 1 : 0) + length;
            }
        }
        lines += lineCount;
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

void checkFilterList(const std::string& code, const std::string& key, const std::string& text) {
    const std::vector<std::string> parts = split(text, '|');
    ASSERT_GE(parts.size(), 2u) << code << " " << key;
    ASSERT_EQ(parts.size() % 2, 0u) << code << " " << key << ": name and patterns alternate";
    bool everyFile = false;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        EXPECT_FALSE(trimBlanks(parts[i]).empty()) << code << " " << key << ": filter name";
        for (const std::string& pattern : split(parts[i + 1], ';')) {
            EXPECT_GE(pattern.size(), 3u) << code << " " << key;
            EXPECT_TRUE(pattern.starts_with("*.")) << code << " " << key << ": " << pattern;
            EXPECT_EQ(pattern.find_first_of(" \t*", 2), pattern == "*.*" ? 2u : std::string::npos)
                << code << " " << key << ": " << pattern;
            everyFile = everyFile || pattern == "*.*";
        }
    }
    EXPECT_TRUE(everyFile) << code << " " << key << ": offers every file";
}

class ShippedLanguages : public ::testing::Test {
  protected:
    void SetUp() override {
        clearLanguages();
        clearCatalogue();
    }
    void TearDown() override {
        clearLanguages();
        clearCatalogue();
    }
};

} // namespace

TEST_F(ShippedLanguages, FilesAreUtf8AndTheSameInBothPackForms) {
    const std::vector<LanguageFileData> folder = readLanguagePack(FolderPack);
    const std::vector<LanguageFileData> zip = readLanguagePack(ZipPack);
    std::map<std::string, std::string> fromFolder, fromZip;
    for (const auto& file : folder)
        fromFolder[file.code] = file.bytes;
    for (const auto& file : zip)
        fromZip[file.code] = file.bytes;
    EXPECT_EQ(fromFolder, fromZip);
    std::vector<std::string> codes;
    for (const auto& [code, bytes] : fromFolder) {
        codes.push_back(code);
        EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << code;
        EXPECT_EQ(sanitiseUtf8(bytes), bytes) << code;
        EXPECT_EQ(bytes.find('\r'), std::string::npos) << code;
    }
    EXPECT_EQ(codes, ShippedCodes);
}

TEST_F(ShippedLanguages, EveryKeyHasATextAndTheTextsAreWellFormed) {
    discoverLanguages(FolderPack);
    const std::vector<LanguageEntry> languages = languagesInMenuOrder();
    ASSERT_EQ(languages.size(), ShippedCodes.size()) << "display names must be unique";

    for (const LanguageEntry& language : languages) {
        const std::string& code = language.code;
        clearCatalogue();
        ASSERT_TRUE(loadCatalogue(FolderPack, code)) << code;
        for (const std::string& key : TextKeys)
            EXPECT_FALSE(catalogueText(key).empty()) << code << " " << key;

        // Nothing more, and nothing twice: a misspelt key would leave its text unused, a repeated one
        // would silently override the first, and a key above the first group is never loaded.
        KeyValueFile file;
        ASSERT_TRUE(file.openFile(FolderPack + "/" + code + ".language")) << code;
        std::set<std::string> keysInFile;
        bool inGroup = false;
        for (const KeyValueFile::Entry& entry : file.entries()) {
            inGroup = inGroup || entry.kind == KeyValueFile::EntryKind::Group;
            if (entry.kind != KeyValueFile::EntryKind::Key) continue;
            EXPECT_TRUE(inGroup) << code << " " << entry.name << ": before the first group";
            EXPECT_TRUE(keysInFile.insert(entry.name).second)
                << code << " " << entry.name << ": written twice";
            EXPECT_NE(std::find(TextKeys.begin(), TextKeys.end(), entry.name), TextKeys.end())
                << code << " " << entry.name << ": not a key of the catalogue";
        }
        EXPECT_EQ(keysInFile.size(), TextKeys.size()) << code;
        (void)file.closeFile();
        EXPECT_EQ(catalogueText("tLangFileNAME"), language.displayName);
        EXPECT_EQ(catalogueText("tLangFileLANGID"), code);
        EXPECT_EQ(catalogueText("tLangFileAUTHOR"), "The Hashwarden developers");
        EXPECT_EQ(catalogueText("tLangFileSOFTWARE"), "Hashwarden");

        // Mnemonics must differ within the menu bar and within each menu; shortcuts all belong to
        // the window, so they must differ across every menu (F1 is the window's own, for Help).
        const std::vector<std::vector<std::pair<std::string, bool>>> menus = {
            {{"tMenuFILE", false}, {"tMenuLANGUAGES", false}, {"tMenuHELP", false}},
            {{"tMenuOPEN", true}, {"tMenuQUIT", true}},
            {{"tMenuOPENHELP", true}, {"tMenuABOUT", true}, {"tMenuOPENWEB", true}}};
        std::map<std::string, std::string> shortcuts;
        for (const auto& items : menus) {
            std::set<char32_t> mnemonics;
            for (const auto& [key, shortcutAllowed] : items) {
                const MenuTextParts parts = checkMenuText(code, key, catalogueText(key), shortcutAllowed);
                EXPECT_TRUE(mnemonics.insert(parts.mnemonic).second)
                    << code << " " << key << ": mnemonic used twice";
                if (!parts.shortcut.empty() && key != "tMenuOPENHELP") {
                    EXPECT_TRUE(shortcuts.emplace(parts.shortcut, key).second)
                        << code << " " << key << ": shortcut " << parts.shortcut << " also on "
                        << shortcuts[parts.shortcut];
                }
            }
        }
        EXPECT_EQ(shortcuts.count("F1"), 0u) << code << ": F1 is the window's Help key";
        EXPECT_NE(catalogueText("tMenuOPENHELP").find("\tF1"), std::string::npos) << code;

        checkFilterList(code, "tReqOPENPATTERN", catalogueText("tReqOPENPATTERN"));
        checkFilterList(code, "tReqSAVEPATTERN", catalogueText("tReqSAVEPATTERN"));
        EXPECT_EQ(split(catalogueText("tReqOPENPATTERN"), '|')[1], "*.*")
            << code << ": every file is the first filter";

        // Texts outside menus carry no "&" or tab; the only escape is backslash n, and the
        // About text (shown as it stands) has none.
        for (const std::string& key : TextKeys) {
            const std::string text = catalogueText(key);
            if (!key.starts_with("tMenu")) {
                EXPECT_EQ(text.find('\t'), std::string::npos) << code << " " << key;
                EXPECT_EQ(text.find('&'), std::string::npos) << code << " " << key;
            }
            for (std::size_t at = text.find('\\'); at != std::string::npos; at = text.find('\\', at + 2))
                EXPECT_TRUE(at + 1 < text.size() && text[at + 1] == 'n') << code << " " << key;
            // The program fills in one "%s" and shows every other "%" as it stands.
            const std::size_t percent = text.find('%');
            const bool placeholder = PlaceholderKeys.contains(key);
            EXPECT_EQ(std::count(text.begin(), text.end(), '%'), placeholder ? 1 : 0) << code << " " << key;
            EXPECT_EQ(percent != std::string::npos && text.compare(percent, 2, "%s") == 0, placeholder)
                << code << " " << key;
        }
        EXPECT_NE(catalogueText("tMainCLIPBOARDALL"), catalogueText("tMainCLIPBOARD")) << code;
        EXPECT_LE(codePoints(catalogueText("tMainCLIPBOARDALL")), 14u)
            << code << ": fits its 120-pixel button";
        EXPECT_EQ(catalogueText("tAboutCODE").find('\\'), std::string::npos) << code;

        // The dialog texts: a statement and a question (or advice) on lines of their own, a
        // one-sentence text on one; and all of it within the dialog's text area (360 pixels wide,
        // about 40 characters of its bold font a line; four lines in the 120-pixel dialogs, six in
        // the 160-pixel ones, seven of the end message's smaller lines there).
        for (const std::string& key : TextKeys) {
            const std::string text = catalogueText(key);
            const bool twoParts = key == "tReqINPROGRESSQUIT" || key == "tReqDELETEALL" ||
                                  key == "tReqSAVEFAILED" || key == "tReqCLIPBOARD" || key == "tReqOVERWRITE" ||
                                  key == "tReqSAVELINK";
            std::size_t breaks = 0;
            for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 2))
                ++breaks;
            EXPECT_EQ(breaks, twoParts ? 1u : 0u) << code << " " << key << ": " << text;
            EXPECT_FALSE(text.starts_with("\\n") || text.ends_with("\\n")) << code << " " << key;
        }
        for (const std::string key :
             {"tReqSURETOEXIT", "tReqINPROGRESSQUIT", "tReqCANCEL", "tReqDELETEALL", "tReqCLIPBOARD"})
            EXPECT_LE(wrappedLines(catalogueText(key), 40), 4)
                << code << " " << key << ": " << catalogueText(key);
        // And as the program completes them: a 30-character file name in place of "%s"; a failure's
        // reason on a line of its own (the system's longest, or the pack's own), below the failure count
        // in the end message.
        const auto withName = [](std::string text) {
            if (const std::size_t at = text.find("%s"); at != std::string::npos)
                text.replace(at, 2, std::string(30, 'n'));
            return text;
        };
        const std::string saveFailed = catalogueText("tReqSAVEFAILED") + "\\n";
        const std::string notAFile = catalogueText("tInfoNOTAFILE");
        const std::string count = "\\n\\n" + catalogueText("tInfoERRORCALCULATE") + "  11\\n";
        const struct {
            std::string text;
            int lines;
        } completed[] = {{withName(catalogueText("tReqOVERWRITE")), 4},
                         {withName(catalogueText("tReqSAVELINK")), 6},
                         {saveFailed + "No space left on device", 6},
                         {saveFailed + "Read-only file system", 6},
                         {saveFailed + notAFile, 6},
                         {catalogueText("tReqFINISHED") + count + notAFile, 7},
                         {catalogueText("tReqCANCELLED") + count + notAFile, 7},
                         {catalogueText("tReqFINISHED") + count + catalogueText("tInfoCHANGED"), 7},
                         {catalogueText("tReqFINISHED") + "\\n\\n" + catalogueText("tInfoNOTHINGTICKED"), 6}};
        for (const auto& dialog : completed)
            EXPECT_LE(wrappedLines(dialog.text, 40), dialog.lines) << code << ": " << dialog.text;
    }
}

// The verdict and its reasons are read out one after the other: the verdict is a sentence of its own,
// the reasons that say what the field may hold name it by the caption the window shows above it, and
// the word that joins algorithm names is one word.
TEST_F(ShippedLanguages, VerdictsAreSentencesAndReasonsNameTheFieldByItsCaption) {
    const auto folded = [](const std::string& text) {
        std::u32string points;
        for (std::size_t at = 0; at < text.size(); ++at)
            if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) points += foldedCodePoint(text, at);
        return points;
    };
    for (const std::string& code : ShippedCodes) {
        clearCatalogue();
        ASSERT_TRUE(loadCatalogue(FolderPack, code)) << code;
        for (const std::string key : {"tMainMATCH", "tMainMISMATCH"})
            EXPECT_TRUE(catalogueText(key).ends_with(".")) << code << " " << key << ": " << catalogueText(key);
        const std::u32string caption = folded(catalogueText("tMainVERIFICATION"));
        for (const std::string key : {"tMainWHYLIST", "tMainWHYLABEL"})
            EXPECT_NE(folded(catalogueText(key)).find(caption), std::u32string::npos)
                << code << " " << key << ": " << catalogueText(key);
        const std::string joiner = catalogueText("tMainOR");
        EXPECT_EQ(joiner.find_first_of(" ,;/"), std::string::npos) << code << ": " << joiner;
    }
}

TEST_F(ShippedLanguages, EachLanguageHasASlotOfItsOwnInTheMenu) {
    discoverLanguages(ZipPack);
    std::vector<std::string> names;
    std::set<int> slots;
    for (const LanguageEntry& language : languagesInMenuOrder()) {
        names.push_back(language.displayName);
        slots.insert(languageSlot(language.displayName));
    }
    // Distinct slots make the menu order independent of the order the files are found in.
    EXPECT_EQ(slots.size(), ShippedCodes.size());
    EXPECT_EQ(names, (std::vector<std::string>{"Nederlands", "Русский", "Italiano", "Español", "Polski",
                                               "Português (Brasil)", "Français", "Deutsch", "English (US)",
                                               "English (UK)"}));
}

TEST_F(ShippedLanguages, SwitchingBetweenShippedLanguages) {
    ProgramFolder = FolderPack.substr(0, FolderPack.rfind('/') + 1);
    discoverLanguages(languagePackPath());
    CurrentLanguage = "xx_XX";
    chooseStartLanguage();
    ASSERT_EQ(CurrentLanguage, "en_GB");
    loadCatalogue(languagePackPath(), CurrentLanguage);
    EXPECT_EQ(catalogueText("tGenYES"), "Yes");
    ASSERT_TRUE(switchLanguage("Deutsch"));
    EXPECT_EQ(CurrentLanguage, "de_DE");
    EXPECT_EQ(catalogueText("tGenYES"), "Ja");
    ASSERT_TRUE(switchLanguage("Русский"));
    EXPECT_EQ(catalogueText("tGenYES"), "Да");
}
