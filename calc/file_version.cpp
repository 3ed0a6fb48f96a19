// Which version of a file a job read: its status when opened and after its last block.
#include "calc/file_version.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

FileVersion versionFrom(const struct stat& status) {
    FileVersion version;
    version.known = true;
    version.disk = S_ISBLK(status.st_mode);
    version.device = status.st_dev;
    version.inode = status.st_ino;
    version.size = static_cast<int64_t>(status.st_size);
    version.modified = status.st_mtim;
    version.changed = status.st_ctim;
    version.links = status.st_nlink;
    return version;
}

// A disk's node says size 0; the device knows its own (-1 when it will not tell).
void takeDiskSize(int fd, FileVersion& version) {
    if (!version.disk) return;
    uint64_t bytes = 0;
    version.size = ioctl(fd, BLKGETSIZE64, &bytes) == 0 ? static_cast<int64_t>(bytes) : -1;
}

} // namespace

FileVersion fileVersionOf(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0) return {};
    FileVersion version = versionFrom(status);
    takeDiskSize(fd, version);
    return version;
}

FileVersion fileVersionAt(const std::string& path) {
    struct stat status {};
    if (path.empty() || stat(path.c_str(), &status) != 0) return {};
    if (!S_ISBLK(status.st_mode)) return versionFrom(status);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return versionFrom(status);
    const FileVersion version = fileVersionOf(fd);
    close(fd);
    return version;
}

bool sameFileVersion(const FileVersion& a, const FileVersion& b) {
    return a.known && b.known && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           sameTime(a.modified, b.modified);
}

bool changedWhileRead(const FileVersion& opened, const FileVersion& ended, int64_t bytesRead,
                      bool stillNamed) {
    if (!opened.known || !ended.known) return true;
    // A write moves the modification time, a truncation or an append the size too; content written
    // after the reader passed it but before the size was taken shows as bytes the size does not match.
    if (ended.size != opened.size || !sameTime(ended.modified, opened.modified)) return true;
    if (ended.size >= 0 && bytesRead != ended.size) return true;
    if (sameTime(ended.changed, opened.changed)) return false;
    // The change time also catches a write whose modification time was put back (a copy keeping the
    // times). But renaming, linking and unlinking move it too, and leave the content as it was read, so
    // the change time alone counts only while the file kept its names: a chmod then fails the file,
    // which is the safe side.
    return stillNamed && ended.links == opened.links;
}
