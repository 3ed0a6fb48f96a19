// Shared by the language pack fuzz targets: discovery, then every offered language loaded.
#pragma once

#include <string>

#include "settings/language_catalogue.h"
#include "settings/settings_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace fuzzsupport {

// What the Languages menu shows must be usable: a readable, non-empty name that finds its own
// entry, and a code that fits on one settings line. Each offered language must load.
inline void discoverAndLoadEveryLanguage(const std::string& packPath) {
    clearLanguages();
    clearCatalogue();
    discoverLanguages(packPath);
    for (const LanguageEntry& entry : languagesInMenuOrder()) {
        if (std::getenv("HW_FUZZ_VERBOSE"))
            std::fprintf(stderr, "language: code \"%s\", name \"%s\"\n", entry.code.c_str(),
                         entry.displayName.c_str());
        if (entry.displayName.empty() || !isValidUtf8(entry.displayName))
            fail("a menu name is empty or not UTF-8");
        if (entry.code.empty() || entry.code.find_first_of("/\r\n") != std::string::npos)
            fail("a language code is empty or holds a slash or line break");
        const auto found = findLanguage(entry.displayName);
        if (!found || found->code != entry.code) fail("a menu name does not find its own language");
        if (!loadCatalogue(packPath, entry.code)) fail("a language the menu offers cannot be loaded");
        if (!isValidUtf8(catalogueText("tLangFileNAME"))) fail("a catalogue text is not valid UTF-8");
    }
    // A code no pack holds, and one that tries to leave the pack.
    if (loadCatalogue(packPath, "../Hashwarden")) fail("a code with a slash was loaded");
    (void)loadCatalogue(packPath, "xx_XX");
}

} // namespace fuzzsupport
