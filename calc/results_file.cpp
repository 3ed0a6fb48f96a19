// The results file: its name by the extension rule, and writing it by a new file renamed into place.
#include "calc/results_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "calc/file_failure.h"

namespace {

constexpr const char* DefaultExtension = ".txt";

// The file a save replaces: the one a link names, so that the link keeps pointing at the saved text.
std::string fileBehind(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path; // a link to nowhere: replaced like any file
    std::string target = resolved;
    std::free(resolved);
    return target;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The mode a new file gets: what the process's umask leaves of rw-rw-rw-.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// The rename is only as lasting as the folder's own record of it.
void flushFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
}

} // namespace

bool hasExtension(const std::string& name) {
    const std::size_t stop = name.find_last_of(" ./");
    if (stop == std::string::npos || name[stop] != '.') return false;
    if (stop == 0) return false;
    if (name[stop - 1] == '/' || name[stop - 1] == '\\') return false;
    std::size_t end = name.find('"', stop + 1);
    if (end == std::string::npos) end = name.size();
    return end > stop + 1;
}

std::string resultsFileName(const std::string& chosen) {
    return hasExtension(chosen) ? chosen : chosen + DefaultExtension;
}

int saveFileSafely(const std::string& path, const std::string& text) {
    const std::string target = fileBehind(path);
    struct stat old {};
    const bool replacing = stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode)) return EISDIR;
    if (replacing && !S_ISREG(old.st_mode)) return NotAFileWithAnEnd;

    // Hidden, beside the target: the rename stays within one file system and replaces in one step.
    const std::string folder = folderOf(target);
    std::string temporary = folder + "/." + nameOf(target) + ".XXXXXX";
    std::vector<char> pattern(temporary.begin(), temporary.end());
    pattern.push_back('\0');
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    temporary = pattern.data();

    bool ok = writeAll(fd, text) && fsync(fd) == 0;
    if (ok && replacing) {
        // Another owner's file keeps its owner where the program may give it (it runs as root).
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) ok = false;
        ok = ok && fchmod(fd, old.st_mode & 07777) == 0;
    } else if (ok) {
        ok = fchmod(fd, newFileMode()) == 0;
    }
    int error = ok ? 0 : errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return error;
    }
    flushFolder(folder);
    return 0;
}
