// Program-wide folders and settings: where "Hashwarden.prefs" lives, loading and saving it.
#pragma once

#include <cstddef>
#include <span>
#include <string>

inline constexpr const char* SettingsFileName = "Hashwarden.prefs";
inline constexpr const char* LanguagePackName = "Hashwarden.lang";
// A larger settings file is taken as unreadable and is never overwritten: on a small
// board reading it whole could exhaust memory, and it may hold something of the user's.
constexpr std::size_t MaxSettingsFileSize = 1 << 20;

// All folders end with "/". Tests may set them directly.
extern std::string ProgramFolder;   // folder of the running program file
extern std::string ConfigFolder;    // per-user folder: $HOME/.Brightmoor/Hashwarden/
extern std::string SettingsFolder;  // the folder the settings came from and go back to
extern std::string CurrentLanguage; // code of the language in force, e.g. "en_GB"

// The [General] group holds one 0/1 flag per key; the caller names the keys (the algorithms' settings
// keys, in its own order) and holds the flags, so that the file format knows no algorithm.
using FlagKeys = std::span<const char* const>;

// Sets ProgramFolder from /proc/self/exe (falling back to the folder part of argv0)
// and ConfigFolder from HOME.
void locateFolders(const char* argv0);
[[nodiscard]] std::string programFolderFromExe(const char* argv0);
[[nodiscard]] std::string configFolderFromHome();
// Creates each missing component of `folder` with mode 0700; failures are ignored.
void createFolderPath(const std::string& folder);

// Reads folder + "Hashwarden.prefs" into CurrentLanguage and `flags` (a flag per key: set for any
// value but 0, clear when the key is missing). False (and nothing changed) when the file cannot be
// opened or is over MaxSettingsFileSize.
bool loadSettings(const std::string& folder, FlagKeys keys, std::span<bool> flags);
// Writes CurrentLanguage and `flags` (as 0 or 1 under their keys) to SettingsFolder + "Hashwarden.prefs",
// replacing the old file only once the new one is complete (in place when the folder
// takes no new file), and removes temporary files that earlier saves left behind
// when killed. A file over MaxSettingsFileSize is left alone. Failures are silent;
// the result says whether the file was written.
bool saveSettings(FlagKeys keys, std::span<const bool> flags);
// Start-up: settings from ProgramFolder when present there; otherwise ConfigFolder
// (created when missing), then LANG, then "en_GB" for an empty language.
void locateAndLoadSettings(FlagKeys keys, std::span<bool> flags);
// The language code LANG names (text before the first "."); empty when unset.
[[nodiscard]] std::string languageFromEnvironment();
