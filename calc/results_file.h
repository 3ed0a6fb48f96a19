// The results file: the name it is written under, where it lands, and writing it without ever destroying a
// file.
#pragma once

#include <sys/types.h>

#include <string>

// The extension rule of the save command: scanning back from the end, the name has an extension only
// when the scan stops at a "." that is neither the first character nor right after "/" or a backslash,
// and some text follows it (up to the end or a double quote).
[[nodiscard]] bool hasExtension(const std::string& name);
// The name under which a results file is written: ".txt" appended when it has no extension.
[[nodiscard]] std::string resultsFileName(const std::string& chosen);

// A save that would have to follow a link another user placed in a shared folder. Not an errno value
// (nor NotAFileWithAnEnd).
constexpr int RefusedLink = -2;

// Whether a link may be followed, by the rule the kernel applies with fs.protected_symlinks, which the
// program keeps whatever the machine's setting: when `user` owns the link, or its folder is not both
// sticky and world-writable, or the folder's owner owns the link.
[[nodiscard]] bool mayFollowLink(uid_t linkOwner, mode_t folderMode, uid_t folderOwner, uid_t user);

// Where a save of `path` lands: every link on the way followed by the rule above.
struct SaveTarget {
    int failure = 0;          // 0, the errno of the step that failed, or RefusedLink
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
[[nodiscard]] int saveFileSafely(const std::string& path, const std::string& text);

// For tests: called once the new file is complete, just before it gets its name.
extern void (*BeforePlacingSavedFile)();
