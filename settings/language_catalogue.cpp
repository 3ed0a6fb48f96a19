// The language catalogue (text key → text), the table of available languages and the language packs.
#include "settings/language_catalogue.h"

#include <archive.h>
#include <archive_entry.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "files/utf8.h"
#include "settings/key_value_file.h"
#include "settings/settings_file.h"

namespace {

constexpr std::string_view LanguageExtension = ".language";
constexpr const char* HeaderGroup = "LANGUAGE FILE";
constexpr const char* DisplayNameKey = "tLangFileNAME";
constexpr const char* FallbackLanguage = "en_GB";
constexpr std::uint32_t NameHashFactor = 65599;
constexpr std::size_t ArchiveBlockSize = 16384;

// The language table: LanguageTableSlots buckets, each listing the most recently added
// language first, which is the Languages menu's order within a slot.
std::array<std::vector<LanguageEntry>, LanguageTableSlots> LanguageTable;

// Texts may be read from the calculation thread while the main thread switches language.
std::mutex CatalogueLock;
std::unordered_map<std::string, std::string> Catalogue;

struct ArchiveDeleter {
    void operator()(archive* handle) const { archive_read_free(handle); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveDeleter>;

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
};

// A pack member counts only when it can be nothing but a plain language file name.
bool isTopLevelLanguageName(std::string_view name) {
    if (name.size() < LanguageExtension.size()) return false;
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos) return false;
    return name.substr(name.size() - LanguageExtension.size()) == LanguageExtension;
}

// The code ends up in the settings file as a value, so it may hold no line breaks or
// other control characters and must be UTF-8 like the rest of that file (it is also the
// menu item of a language without a name). An empty code could not be asked for alone.
bool isUsableCode(std::string_view code) {
    return !code.empty() && sanitiseUtf8(code) == code &&
           std::none_of(code.begin(), code.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string codeOf(std::string_view name) { return std::string(name.substr(0, name.size() - LanguageExtension.size())); }

// The whole of a regular file, when it is at most MaxLanguageFileSize bytes.
bool readSmallFile(const std::string& path, std::string& bytes) {
    FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) return false;
    struct stat st {};
    if (fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (static_cast<std::uint64_t>(st.st_size) > MaxLanguageFileSize) return false;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > MaxLanguageFileSize) return false;  // grew while being read
    }
}

void readFolderPack(const std::string& packPath, std::string_view onlyCode, std::vector<LanguageFileData>& out) {
    if (!onlyCode.empty()) {
        std::string bytes;
        if (readSmallFile(packPath + "/" + std::string(onlyCode) + std::string(LanguageExtension), bytes))
            out.push_back({std::string(onlyCode), std::move(bytes)});
        return;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(packPath.c_str()), closedir);
    if (!folder) return;
    while (const dirent* item = readdir(folder.get())) {
        const std::string name = item->d_name;
        if (fnmatch("*.language", name.c_str(), 0) != 0 || !isUsableCode(codeOf(name))) continue;
        std::string bytes;
        if (readSmallFile(packPath + "/" + name, bytes)) out.push_back({codeOf(name), std::move(bytes)});
    }
}

// Entries are read straight into memory: nothing is extracted under a name chosen by
// the archive, so no entry can place or overwrite a file anywhere.
void readArchivePack(const std::string& packPath, std::string_view onlyCode, std::vector<LanguageFileData>& out) {
    ArchivePtr reader(archive_read_new());
    if (!reader) return;
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), packPath.c_str(), ArchiveBlockSize) != ARCHIVE_OK) return;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF || status < ARCHIVE_WARN) return;  // end, or damage: keep what we have
        const char* rawName = archive_entry_pathname_utf8(entry);
        if (!rawName) rawName = archive_entry_pathname(entry);
        if (!rawName) continue;
        const std::string_view name = rawName;
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) != nullptr ||
            archive_entry_symlink(entry) != nullptr || !isTopLevelLanguageName(name))
            continue;
        const std::string code = codeOf(name);
        if (!isUsableCode(code)) continue;
        if (archive_entry_size_is_set(entry) &&
            (archive_entry_size(entry) <= 0 ||
             static_cast<std::uint64_t>(archive_entry_size(entry)) > MaxLanguageFileSize))
            continue;

        std::string bytes;
        char buffer[65536];
        bool usable = true;
        for (;;) {
            const la_ssize_t got = archive_read_data(reader.get(), buffer, sizeof buffer);
            if (got == 0) break;
            if (got < 0) {
                if (got == ARCHIVE_FATAL) return;
                usable = false;
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
            // The declared size may lie; the bytes themselves are what counts.
            if (bytes.size() > MaxLanguageFileSize) {
                usable = false;
                break;
            }
        }
        // Other languages are read too, not skipped: skipping trusts the sizes in the entry
        // headers where reading does not, so in a damaged archive a language discovery offers
        // could not be loaded afterwards.
        if (!usable || bytes.empty() || (!onlyCode.empty() && code != onlyCode)) continue;
        out.push_back({code, std::move(bytes)});
        if (!onlyCode.empty()) return;
    }
}

// UTF-16 code units of a UTF-8 text (already valid: language texts are sanitised on load).
std::vector<std::uint16_t> utf16Units(std::string_view utf8) {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::uint32_t point = lead;
        std::size_t length = 1;
        if (lead >= 0xF0) {
            point = lead & 0x07;
            length = 4;
        } else if (lead >= 0xE0) {
            point = lead & 0x0F;
            length = 3;
        } else if (lead >= 0xC0) {
            point = lead & 0x1F;
            length = 2;
        }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            point = (point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (point >= 0x10000) {
            point -= 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 + (point >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + (point & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(point));
        }
    }
    return units;
}

void addLanguage(const std::string& displayName, const std::string& code) {
    auto& bucket = LanguageTable[static_cast<std::size_t>(languageSlot(displayName))];
    for (LanguageEntry& entry : bucket) {
        if (entry.displayName == displayName) {
            entry.code = code;  // two files with one name: the one read last wins
            return;
        }
    }
    bucket.insert(bucket.begin(), LanguageEntry{displayName, code});
}

}  // namespace

std::uint32_t languageNameHash(std::string_view utf8Name) {
    std::uint32_t hash = 0;
    for (const std::uint16_t unit : utf16Units(utf8Name)) hash = hash * NameHashFactor + unit;
    return hash;
}

int languageSlot(std::string_view utf8Name) {
    return static_cast<int>(languageNameHash(utf8Name) % LanguageTableSlots);
}

std::string languagePackPath() { return ProgramFolder + LanguagePackName; }

std::vector<LanguageFileData> readLanguagePack(const std::string& packPath, std::string_view onlyCode) {
    std::vector<LanguageFileData> files;
    if (onlyCode.find('/') != std::string_view::npos || (!onlyCode.empty() && !isUsableCode(onlyCode))) return files;
    struct stat st {};
    const bool exists = stat(packPath.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        readFolderPack(packPath, onlyCode, files);
    } else if (exists && S_ISREG(st.st_mode) && st.st_size > 0) {
        readArchivePack(packPath, onlyCode, files);
    }
    return files;
}

void clearLanguages() {
    for (auto& bucket : LanguageTable) bucket.clear();
}

void discoverLanguages(const std::string& packPath) {
    for (const LanguageFileData& file : readLanguagePack(packPath)) {
        KeyValueFile document;
        document.openBytes(file.bytes, file.code);
        document.selectGroup(HeaderGroup);
        std::string name = document.readString(DisplayNameKey, "");
        // A file without a name would give an empty menu item nobody can recognise.
        if (name.empty()) name = file.code;
        addLanguage(name, file.code);
    }
}

std::vector<LanguageEntry> languagesInMenuOrder() {
    std::vector<LanguageEntry> order;
    for (const auto& bucket : LanguageTable) order.insert(order.end(), bucket.begin(), bucket.end());
    return order;
}

std::optional<LanguageEntry> findLanguage(std::string_view displayName) {
    for (const LanguageEntry& entry : LanguageTable[static_cast<std::size_t>(languageSlot(displayName))])
        if (entry.displayName == displayName) return entry;
    return std::nullopt;
}

void chooseStartLanguage() {
    for (const auto& bucket : LanguageTable)
        for (const LanguageEntry& entry : bucket)
            if (entry.code == CurrentLanguage) return;
    CurrentLanguage = FallbackLanguage;
}

bool loadCatalogue(const std::string& packPath, const std::string& code) {
    const std::vector<LanguageFileData> files = readLanguagePack(packPath, code);
    if (files.empty()) return false;
    KeyValueFile document;
    document.openBytes(files.front().bytes, code);
    // Keys before the first group are not part of the language; within the file the
    // occurrence read last wins.
    std::lock_guard lock(CatalogueLock);
    document.examineGroups();
    while (document.nextGroup()) {
        if (!document.examineKeys()) continue;
        while (document.nextKey()) Catalogue[document.keyName()] = document.keyValue();
    }
    return true;
}

std::string catalogueText(std::string_view key) {
    std::lock_guard lock(CatalogueLock);
    const auto found = Catalogue.find(std::string(key));
    return found == Catalogue.end() ? std::string() : found->second;
}

std::string catalogueTextOr(std::string_view key, const char* shipped) {
    std::string text = catalogueText(key);
    return text.empty() ? std::string(shipped) : text;
}

namespace {

constexpr std::string_view Placeholder = "%s";

bool holdsOnePlaceholder(const std::string& text) {
    const std::size_t first = text.find(Placeholder);
    return first != std::string::npos && text.find(Placeholder, first + Placeholder.size()) == std::string::npos;
}

} // namespace

std::string catalogueTextWith(std::string_view key, const char* shipped, const std::string& value) {
    std::string text = catalogueText(key);
    if (!holdsOnePlaceholder(text)) text = shipped;
    const std::size_t at = text.find(Placeholder);
    if (at != std::string::npos) text.replace(at, Placeholder.size(), value);
    return text;
}

void clearCatalogue() {
    std::lock_guard lock(CatalogueLock);
    Catalogue.clear();
}

bool switchLanguage(std::string_view displayName) {
    const std::optional<LanguageEntry> entry = findLanguage(displayName);
    if (!entry) return false;
    loadCatalogue(languagePackPath(), entry->code);
    CurrentLanguage = entry->code;
    return true;
}
