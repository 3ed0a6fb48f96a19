// Helpers for the settings and language tests: scratch folders, files, environment, ZIP packs.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

// A private folder below /tmp, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir() {
        std::string pattern = "/tmp/hw-settings-test-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
    }
    ~TempDir() {
        nftw(
            path_.c_str(),
            [](const char* file, const struct stat*, int, struct FTW*) { return ::remove(file); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder with its trailing "/".
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Names in a folder, "." and ".." left out, sorted.
std::vector<std::string> listFolder(const std::string& folder);

// Sets or unsets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_.c_str(), old_->c_str(), 1);
        else unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// One member of a ZIP archive written by writeZip.
struct ZipMember {
    enum class Kind { File, Folder, Symlink, Hardlink };
    ZipMember(std::string name_, std::string bytes_, Kind kind_ = Kind::File, std::string linkTarget_ = {})
        : name(std::move(name_)), bytes(std::move(bytes_)), kind(kind_), linkTarget(std::move(linkTarget_)) {}
    std::string name;
    std::string bytes;
    Kind kind;
    std::string linkTarget;
};

void writeZip(const std::string& path, const std::vector<ZipMember>& members);

// A minimal language file (UTF-8 with byte order mark) with a display name and texts.
std::string languageFile(const std::string& displayName, const std::vector<std::pair<std::string, std::string>>& texts,
                         const std::string& group = "TEXTS");

}  // namespace testsupport
