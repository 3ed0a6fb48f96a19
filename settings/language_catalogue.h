// The language catalogue (text key → text), the table of available languages and the language packs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct LanguageEntry {
    std::string displayName;  // tLangFileNAME, trimmed; the text of its Languages menu item
    std::string code;         // file name without ".language", e.g. "de_DE"
};

constexpr int LanguageTableSlots = 512;
constexpr std::size_t MaxLanguageFileSize = 1 << 20;  // larger language files are skipped

// Slot of a display name in the language table: h = h * 65599 + UTF-16 code unit,
// from 0, 32-bit wrap, modulo 512.
[[nodiscard]] std::uint32_t languageNameHash(std::string_view utf8Name);
[[nodiscard]] int languageSlot(std::string_view utf8Name);

// Fills the language table from the pack at `packPath` (ProgramFolder +
// "Hashwarden.lang"): a folder of *.language files, or a ZIP archive of them.
void discoverLanguages(const std::string& packPath);
// Empties the language table (tests and re-discovery).
void clearLanguages();
// The available languages in the Languages menu's order: ascending hash slot, and
// within a slot the language added last first.
[[nodiscard]] std::vector<LanguageEntry> languagesInMenuOrder();
// The entry of a display name; nothing when no language has it.
[[nodiscard]] std::optional<LanguageEntry> findLanguage(std::string_view displayName);

// Keeps CurrentLanguage when an available language has it as its code, else "en_GB".
void chooseStartLanguage();
// Merges language `code` from the pack into the catalogue: keys it holds overwrite,
// all others keep their texts. False when the language file could not be read.
bool loadCatalogue(const std::string& packPath, const std::string& code);
// The text of a key; "" when the catalogue has none. Always valid UTF-8.
[[nodiscard]] std::string catalogueText(std::string_view key);
// The text of a key, or `shipped` (the program's own English) when the catalogue has none: for the
// texts added after the first language packs, which must not leave a control or message without words.
[[nodiscard]] std::string catalogueTextOr(std::string_view key, const char* shipped);
// As catalogueTextOr for a text with one "%s" in it, which `value` takes the place of. A pack's text
// without the "%s", or with it twice, would show garbage or lose the value: the shipped text is used
// instead.
[[nodiscard]] std::string catalogueTextWith(std::string_view key, const char* shipped, const std::string& value);
// Empties the catalogue (tests only; the program never clears it).
void clearCatalogue();
// A pick in the Languages menu: loads the language of that display name from
// ProgramFolder + "Hashwarden.lang" and makes its code CurrentLanguage. False, with
// nothing changed, when no available language has that name.
bool switchLanguage(std::string_view displayName);

// The path of the language pack: ProgramFolder + "Hashwarden.lang".
[[nodiscard]] std::string languagePackPath();
// The language files of a pack as (code, bytes) pairs, in pack order: the folder's
// *.language regular files, or the ZIP's top-level regular *.language entries, each at
// most MaxLanguageFileSize bytes; with `onlyCode` given, just that language's file.
// Reading an archive stops at the first damage, keeping what was read before it.
struct LanguageFileData {
    std::string code;
    std::string bytes;
};
[[nodiscard]] std::vector<LanguageFileData> readLanguagePack(const std::string& packPath,
                                                              std::string_view onlyCode = {});
