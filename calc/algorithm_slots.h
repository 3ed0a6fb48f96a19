// The eleven algorithm slots: every per-algorithm fact of the program in one table, in the fixed order.
#pragma once

#include <array>

#include "fingerprint/engine.h"

constexpr int SlotCount = 11;

struct AlgorithmSlot {
    const char* checkBoxLabel; // the row's caption, never translated: "SHA2 - 256"
    const char* name;          // how texts and screen readers name it: "SHA2-256"
    const char* resultLabel;   // the results file's label: "SHA2-256: "
    const char* settingsKey;   // the settings file's key: "SHA2256"
    int plugin;
    int bits;
    int digestDigits; // hexadecimal digits of its digest
};

inline constexpr AlgorithmSlot AlgorithmSlots[SlotCount] = {
    {"CRC32", "CRC32", "CRC32: ", "CRC32", PluginCrc32, 0, 8},
    {"MD5", "MD5", "MD5: ", "MD5", PluginMd5, 0, 32},
    {"SHA1", "SHA1", "SHA1: ", "SHA1", PluginSha1, 0, 40},
    {"SHA2 - 224", "SHA2-224", "SHA2-224: ", "SHA2224", PluginSha2, 224, 56},
    {"SHA2 - 256", "SHA2-256", "SHA2-256: ", "SHA2256", PluginSha2, 256, 64},
    {"SHA2 - 384", "SHA2-384", "SHA2-384: ", "SHA2384", PluginSha2, 384, 96},
    {"SHA2 - 512", "SHA2-512", "SHA2-512: ", "SHA2512", PluginSha2, 512, 128},
    {"SHA3 - 224", "SHA3-224", "SHA3-224: ", "SHA3224", PluginSha3, 224, 56},
    {"SHA3 - 256", "SHA3-256", "SHA3-256: ", "SHA3256", PluginSha3, 256, 64},
    {"SHA3 - 384", "SHA3-384", "SHA3-384: ", "SHA3384", PluginSha3, 384, 96},
    {"SHA3 - 512", "SHA3-512", "SHA3-512: ", "SHA3512", PluginSha3, 512, 128},
};

// One flag per slot: the ticked rows, or the algorithms of a job. The one form of the ticked state
// besides the check boxes themselves.
using SlotFlags = std::array<bool, SlotCount>;

// The settings file's keys in slot order, for the settings file, which knows no algorithm of its own.
inline constexpr std::array<const char*, SlotCount> SlotSettingsKeys = [] {
    std::array<const char*, SlotCount> keys{};
    for (int slot = 0; slot < SlotCount; ++slot)
        keys[slot] = AlgorithmSlots[slot].settingsKey;
    return keys;
}();
