// How the program's file operations report why they failed: an errno value, or one of its own.
#pragma once

// A file that opens but is neither a regular file nor a disk (a pipe, a socket, a character device
// such as /dev/zero): no read of it would ever end, and no save may replace it. Not an errno value.
constexpr int NotAFileWithAnEnd = -1;

// A file whose size, modification or change time moved between its opening and its last block, or
// whose bytes read do not match its size: what was read may be of no version of it, so it has no
// digest. Not an errno value.
constexpr int FileChangedWhileRead = -2;

// A save that would have to follow a link another user placed in a shared folder (files/safe_file.h).
// Not an errno value.
constexpr int RefusedLink = -3;
