// Which version of a file a job read: what the system says of the file when it is opened and after
// its last block, so that a digest is given only of content that stayed one version throughout.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <cstdint>
#include <string>

struct FileVersion {
    bool known = false; // the file could be looked at
    bool disk = false;  // a block device: its size comes from the device, not from its node
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = 0;    // -1: a disk that does not tell its size
    timespec modified{}; // st_mtim
    timespec changed{};  // st_ctim
    nlink_t links = 0;
};

// The open file's version (fstat; a disk's size from the device itself). Unknown when it fails.
[[nodiscard]] FileVersion fileVersionOf(int fd);
// The version of the file `path` names now, following links. Unknown when there is none.
[[nodiscard]] FileVersion fileVersionAt(const std::string& path);

// The same file, unchanged as far as the system tells: device, inode, size and modification time.
[[nodiscard]] bool sameFileVersion(const FileVersion& a, const FileVersion& b);

// Whether the content read from one open file may be of no single version of it: `opened` was taken
// as it was opened, `ended` after its last block, `bytesRead` counts every byte read, and
// `stillNamed` tells whether the path it was opened by still leads to the same file.
[[nodiscard]] bool changedWhileRead(const FileVersion& opened, const FileVersion& ended, int64_t bytesRead,
                                    bool stillNamed);
