// Program-wide folders and settings: where "Hashwarden.prefs" lives, loading and saving it.
#include "settings/settings_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "settings/key_value_file.h"

std::string ProgramFolder;
std::string ConfigFolder;
std::string SettingsFolder;
std::string CurrentLanguage;

namespace {

constexpr const char* LanguageGroup = "Language";
constexpr const char* LanguageKey = "Language";
constexpr const char* GeneralGroup = "General";
constexpr const char* SettingsComment = "Hashwarden Preferences";
constexpr const char* ConfigSubfolder = ".Brightmoor/Hashwarden/";
constexpr const char* FallbackLanguage = "en_GB";

std::string folderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    std::string value = home ? home : "";
    if (value.empty()) {
        // Without HOME the account's home from the password database serves, so the
        // settings do not end up below whatever folder the program was started in.
        std::vector<char> buffer(16384);
        passwd entry {};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
            value = found->pw_dir;
    }
    if (value.size() > 1 && value.back() != '/') value.push_back('/');
    return value;
}

// True for the names mkstemp gives the save's temporary files: "." + the settings
// file's name + "." + six letters or digits.
bool isLeftoverName(std::string_view name) {
    const std::string prefix = std::string(".") + SettingsFileName + ".";
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) return false;
    for (const char c : name.substr(prefix.size()))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// A save killed between creating its temporary file and renaming it leaves that file
// behind; nothing else would ever remove it. Only the user's own regular files of
// exactly that name form are touched.
void removeLeftoverTemporaryFiles(const std::string& folder) {
    DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
    if (!listing) return;
    const int folderFd = dirfd(listing);
    while (const dirent* entry = readdir(listing)) {
        if (!isLeftoverName(entry->d_name)) continue;
        struct stat st {};
        if (fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode) && st.st_uid == geteuid()) unlinkat(folderFd, entry->d_name, 0);
    }
    closedir(listing);
}

bool isOversized(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) > MaxSettingsFileSize;
}

}  // namespace

std::string programFolderFromExe(const char* argv0) {
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) break;
        if (static_cast<std::size_t>(length) < buffer.size())
            return folderPart(std::string(buffer.data(), static_cast<std::size_t>(length)));
        buffer.resize(buffer.size() * 2);
    }
    return folderPart(argv0 ? argv0 : "");
}

std::string configFolderFromHome() { return homeFolder() + ConfigSubfolder; }

void locateFolders(const char* argv0) {
    ProgramFolder = programFolderFromExe(argv0);
    ConfigFolder = configFolderFromHome();
}

void createFolderPath(const std::string& folder) {
    // Each prefix up to a "/", without that "/": "/home", "/home/ann", ...
    for (std::size_t slash = folder.find('/'); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        if (slash == 0) continue;  // the root itself
        const std::string prefix = folder.substr(0, slash);
        struct stat st {};
        if (stat(prefix.c_str(), &st) != 0) mkdir(prefix.c_str(), 0700);
    }
    if (!folder.empty() && folder.back() != '/') {
        struct stat st {};
        if (stat(folder.c_str(), &st) != 0) mkdir(folder.c_str(), 0700);
    }
}

bool loadSettings(const std::string& folder, FlagKeys keys, std::span<bool> flags) {
    KeyValueFile file;
    if (!file.openFile(folder + SettingsFileName, MaxSettingsFileSize)) return false;
    file.selectGroup(LanguageGroup);
    CurrentLanguage = file.readString(LanguageKey, "");
    file.selectGroup(GeneralGroup);
    for (std::size_t i = 0; i < keys.size() && i < flags.size(); ++i) flags[i] = file.readInteger(keys[i], 0) != 0;
    file.closeFile();
    return true;
}

bool saveSettings(FlagKeys keys, std::span<const bool> flags) {
    const std::string path = SettingsFolder + SettingsFileName;
    if (isOversized(path)) return false;
    removeLeftoverTemporaryFiles(SettingsFolder);
    KeyValueFile file;
    if (!file.createFile(path)) return false;
    file.addComment(SettingsComment);
    file.selectGroup(LanguageGroup);
    file.writeString(LanguageKey, CurrentLanguage);
    file.selectGroup(GeneralGroup);
    for (std::size_t i = 0; i < keys.size() && i < flags.size(); ++i) file.writeInteger(keys[i], flags[i] ? 1 : 0);
    return file.closeFile();
}

std::string languageFromEnvironment() {
    const char* lang = std::getenv("LANG");
    if (!lang) return {};
    const std::string value = lang;
    return value.substr(0, value.find('.'));
}

void locateAndLoadSettings(FlagKeys keys, std::span<bool> flags) {
    SettingsFolder = ProgramFolder;
    if (loadSettings(ProgramFolder, keys, flags)) return;
    struct stat st {};
    if (stat(ConfigFolder.c_str(), &st) != 0) createFolderPath(ConfigFolder);
    loadSettings(ConfigFolder, keys, flags);
    SettingsFolder = ConfigFolder;
    if (CurrentLanguage.empty()) CurrentLanguage = languageFromEnvironment();
    if (CurrentLanguage.empty()) CurrentLanguage = FallbackLanguage;
}
