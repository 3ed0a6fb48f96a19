// Fuzz target: the settings loader, and a save of what it loaded read back unchanged.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/settings_file.h"
#include "tests/fuzz/fuzz_support.h"

using fuzzsupport::fail;

namespace {
constexpr const char* Keys[] = {"CRC32",   "MD5",     "SHA1",    "SHA2224", "SHA2256", "SHA2384",
                                "SHA2512", "SHA3224", "SHA3256", "SHA3384", "SHA3512"};
constexpr int KeyCount = 11;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzzsupport::scratchFolder();
    if (!fuzzsupport::writeBytes(folder + SettingsFileName, {reinterpret_cast<const char*>(data), size}))
        std::abort();
    CurrentLanguage = "unchanged";
    bool ticked[KeyCount];
    for (bool& flag : ticked)
        flag = true; // a key the file lacks must come back clear
    if (!loadSettings(folder, Keys, ticked)) fail("a readable settings file was not loaded");
    if (!fuzzsupport::isValidUtf8(CurrentLanguage)) fail("the language code is not valid UTF-8");
    if (CurrentLanguage.find_first_of("\r\n") != std::string::npos)
        fail("the language code holds a line break");

    // What was loaded, saved and loaded again, is what the program had: the language as it was,
    // and each ticked flag.
    const std::string language = CurrentLanguage;
    bool expected[KeyCount];
    std::copy(std::begin(ticked), std::end(ticked), expected);
    SettingsFolder = folder;
    if (!saveSettings(Keys, ticked)) fail("the settings could not be saved");
    CurrentLanguage.clear();
    for (bool& flag : ticked)
        flag = !flag;
    if (!loadSettings(folder, Keys, ticked)) fail("saved settings could not be loaded");
    if (CurrentLanguage != language) fail("the language changed on the way through the file");
    for (int i = 0; i < KeyCount; ++i)
        if (ticked[i] != expected[i]) fail("a ticked flag changed on the way through the file");
    return 0;
}
