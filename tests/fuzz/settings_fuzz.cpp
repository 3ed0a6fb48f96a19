// Fuzz target: the settings loader, and a save of what it loaded read back unchanged.
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/settings_file.h"
#include "tests/fuzz/fuzz_support.h"

using fuzzsupport::fail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzzsupport::scratchFolder();
    if (!fuzzsupport::writeBytes(folder + SettingsFileName, {reinterpret_cast<const char*>(data), size}))
        std::abort();
    CurrentLanguage = "unchanged";
    for (int& flag : TickedFlags)
        flag = -7;
    if (!loadSettings(folder)) fail("a readable settings file was not loaded");
    if (!fuzzsupport::isValidUtf8(CurrentLanguage)) fail("the language code is not valid UTF-8");
    if (CurrentLanguage.find_first_of("\r\n") != std::string::npos)
        fail("the language code holds a line break");

    // What was loaded, saved and loaded again, is what the program had: the language as it was,
    // each ticked flag as 0 or 1.
    const std::string language = CurrentLanguage;
    int expected[SlotCount];
    for (int slot = 0; slot < SlotCount; ++slot)
        expected[slot] = TickedFlags[slot] != 0 ? 1 : 0;
    SettingsFolder = folder;
    if (!saveSettings()) fail("the settings could not be saved");
    CurrentLanguage.clear();
    if (!loadSettings(folder)) fail("saved settings could not be loaded");
    if (CurrentLanguage != language) fail("the language changed on the way through the file");
    for (int slot = 0; slot < SlotCount; ++slot)
        if (TickedFlags[slot] != expected[slot]) fail("a ticked flag changed on the way through the file");
    return 0;
}
