// Where a save lands, and writing it by a new file put into place only once complete.
#include "files/safe_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <vector>

#include "files/process_umask.h"

void (*BeforePlacingSavedFile)() = nullptr;

namespace {

constexpr int MaxLinks = 40;        // as many as the kernel follows in one path
constexpr int TemporaryTries = 100; // random names taken by others before giving up
constexpr const char* TemporaryPrefix = ".hw-";
constexpr int TemporaryRandomLength = 6;

std::deque<std::string> componentsOf(const std::string& path) {
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::string folderOf(const std::string& absolute) {
    const std::size_t slash = absolute.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : absolute.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The mode a new file gets: what the process's umask leaves of rw-rw-rw-.
mode_t newFileMode() {
    return 0666 & ~processUmask();
}

bool writeAll(int fd, std::string_view text) {
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

// The new name is only as lasting as the folder's own record of it.
void flushFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
}

// A short hidden name: one built from the target's name would not fit beside a name near the
// 255-byte limit.
std::string temporaryName() {
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[TemporaryRandomLength] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u + ++counter;
        for (int i = 0; i < TemporaryRandomLength; ++i) random[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string name = TemporaryPrefix;
    for (const unsigned char byte : random) name += Letters[byte % (sizeof Letters - 1)];
    return name;
}

// The file being written: without a name (O_TMPFILE), or under `name` where the file system cannot.
struct NewFile {
    int fd = -1;
    std::string name;
};

NewFile createNewFile(int folder) {
    NewFile file;
    file.fd = openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (file.fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return file;
    for (int i = 0; i < TemporaryTries; ++i) {
        file.name = temporaryName();
        file.fd = openat(folder, file.name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file.fd >= 0 || errno != EEXIST) return file;
    }
    return file;
}

// Gives the nameless file `fd` the name `name` in `folder`.
int linkIn(int fd, int folder, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != ENOENT) return errno;
    // No /proc: the direct form, which only a process with CAP_DAC_READ_SEARCH may use.
    return linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// Puts the complete file in place of `name`: a new name directly, an old file replaced in one step by
// a rename from a short-lived temporary name.
int place(const NewFile& file, int folder, const std::string& name, bool replacing) {
    if (!file.name.empty()) return renameat(folder, file.name.c_str(), folder, name.c_str()) == 0 ? 0 : errno;
    if (!replacing) return linkIn(file.fd, folder, name);
    for (int i = 0; i < TemporaryTries; ++i) {
        const std::string temporary = temporaryName();
        const int linked = linkIn(file.fd, folder, temporary);
        if (linked == EEXIST) continue;
        if (linked != 0) return linked;
        if (renameat(folder, temporary.c_str(), folder, name.c_str()) == 0) return 0;
        const int error = errno;
        unlinkat(folder, temporary.c_str(), 0);
        return error;
    }
    return EEXIST;
}

int saveInFolder(int folder, const std::string& name, std::string_view text) {
    struct stat old {};
    const bool replacing = fstatat(folder, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (replacing && S_ISDIR(old.st_mode)) return EISDIR;
    // A link here now was not here when the way was checked: never written through.
    if (replacing && !S_ISREG(old.st_mode)) return NotAFileWithAnEnd;

    const NewFile file = createNewFile(folder);
    if (file.fd < 0) return errno;
    bool ok = writeAll(file.fd, text) && fsync(file.fd) == 0;
    if (ok && replacing) {
        // Another owner's file keeps its owner where the program may give it (it runs as root).
        if (fchown(file.fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) ok = false;
        ok = ok && fchmod(file.fd, old.st_mode & 07777) == 0;
    } else if (ok) {
        ok = fchmod(file.fd, newFileMode()) == 0;
    }
    int error = ok ? 0 : errno;
    if (error == 0 && BeforePlacingSavedFile != nullptr) BeforePlacingSavedFile();
    if (error == 0) error = place(file, folder, name, replacing);
    // Every byte was flushed above: closing cannot lose any.
    close(file.fd);
    if (error != 0 && !file.name.empty()) unlinkat(folder, file.name.c_str(), 0);
    return error;
}

} // namespace

bool mayFollowLink(uid_t linkOwner, mode_t folderMode, uid_t folderOwner, uid_t user) {
    const bool shared = (folderMode & S_ISVTX) != 0 && (folderMode & S_IWOTH) != 0;
    return linkOwner == user || !shared || linkOwner == folderOwner;
}

SaveTarget saveTarget(const std::string& path) {
    SaveTarget result;
    if (path.empty()) {
        result.failure = ENOENT;
        return result;
    }
    std::string start = path;
    if (path.front() != '/') {
        char* here = getcwd(nullptr, 0);
        if (here == nullptr) {
            result.failure = errno;
            return result;
        }
        start = std::string(here) + "/" + path;
        std::free(here);
    }
    // Each name looked at in turn, as the kernel walks a path; `current` holds no link.
    std::deque<std::string> left = componentsOf(start);
    std::string current = "/";
    int links = 0;
    while (!left.empty()) {
        const std::string name = left.front();
        left.pop_front();
        if (name == ".") continue;
        if (name == "..") {
            current = folderOf(current);
            continue;
        }
        const std::string candidate = joined(current, name);
        struct stat status {};
        if (lstat(candidate.c_str(), &status) != 0) {
            if (errno != ENOENT || !left.empty()) {
                result.failure = errno;
                return result;
            }
            result.path = candidate; // a new file
            return result;
        }
        if (!S_ISLNK(status.st_mode)) {
            current = candidate;
            continue;
        }
        struct stat folder {};
        if (stat(current.c_str(), &folder) != 0) {
            result.failure = errno;
            return result;
        }
        if (!mayFollowLink(status.st_uid, folder.st_mode, folder.st_uid, geteuid())) {
            result.failure = RefusedLink;
            result.refusedLink = candidate;
            return result;
        }
        std::vector<char> target(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 255) + 2);
        const ssize_t length = readlink(candidate.c_str(), target.data(), target.size());
        if (++links > MaxLinks || length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            result.failure = links > MaxLinks ? ELOOP : length < 0 ? errno : ENOENT;
            return result;
        }
        const std::string to(target.data(), static_cast<std::size_t>(length));
        if (to.front() == '/') current.assign(1, '/'); // (a string literal here upsets GCC 12's -Wrestrict)
        const std::deque<std::string> parts = componentsOf(to);
        left.insert(left.begin(), parts.begin(), parts.end());
    }
    result.path = current;
    result.exists = true;
    return result;
}

int saveFileSafely(const std::string& path, std::string_view text) {
    const SaveTarget target = saveTarget(path);
    if (target.failure != 0) return target.failure;
    struct stat status {};
    if (target.path == "/" || (lstat(target.path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))) return EISDIR;
    const std::string folder = folderOf(target.path);
    // Once the folder is open, every step names the file by it: a folder renamed or relinked in the
    // meantime cannot send the text anywhere else.
    const int folderFd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return errno;
    const int failure = saveInFolder(folderFd, nameOf(target.path), text);
    close(folderFd);
    if (failure == 0) flushFolder(folder);
    return failure;
}
