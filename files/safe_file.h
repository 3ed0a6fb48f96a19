// Writing a file without ever destroying one: where a save lands (links followed only by the kernel's
// rule for shared folders) and a new file put in place of the old only once complete. The results file
// and the settings file are both saved this way.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "files/file_failure.h"

// Whether a link may be followed, by the rule the kernel applies with fs.protected_symlinks, which the
// program keeps whatever the machine's setting: when `user` owns the link, or its folder is not both
// sticky and world-writable, or the folder's owner owns the link.
[[nodiscard]] bool mayFollowLink(uid_t linkOwner, mode_t folderMode, uid_t folderOwner, uid_t user);

// Where a save of `path` lands: every link on the way followed by the rule above.
struct SaveTarget {
    int failure = 0;          // 0, the errno of the step that failed, or RefusedLink (files/file_failure.h)
    std::string path;         // the file replaced or created (absolute); empty on a failure
    std::string refusedLink;  // with RefusedLink: the link that was not followed
    bool exists = false;      // something is there under `path` now
};
[[nodiscard]] SaveTarget saveTarget(const std::string& path);

// Writes `text` as the whole file `path`, replacing it if it exists, as editors save: a new file beside
// it, flushed to the disk, then put in its place in one step. A replaced file keeps its permission bits
// (and its owner, where the program may give it); a link is followed to the file it names only where
// saveTarget follows it. The new file has no name until it is complete (where the file system allows
// it; elsewhere a short hidden one), so a save killed on the way leaves nothing behind. Returns 0 when
// every byte is on the disk under that name; otherwise RefusedLink, NotAFileWithAnEnd for something
// there that is no regular file, or the errno of the step that failed; then the old file is as it was
// and nothing new is left behind.
[[nodiscard]] int saveFileSafely(const std::string& path, std::string_view text);

// For tests: called once the new file is complete, just before it gets its name.
extern void (*BeforePlacingSavedFile)();
