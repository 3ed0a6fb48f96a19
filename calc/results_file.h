// The results file: the name it is written under, and writing it without ever destroying a file.
#pragma once

#include <string>

// The extension rule of the save command: scanning back from the end, the name has an extension only
// when the scan stops at a "." that is neither the first character nor right after "/" or a backslash,
// and some text follows it (up to the end or a double quote).
[[nodiscard]] bool hasExtension(const std::string& name);
// The name under which a results file is written: ".txt" appended when it has no extension.
[[nodiscard]] std::string resultsFileName(const std::string& chosen);

// Writes `text` as the whole file `path`, replacing it if it exists, as editors save: into a new file
// beside it, flushed to the disk, then renamed over it. A replaced file keeps its permission bits (and
// its owner, where the program may give it); a link is followed to the file it names. Returns 0 when
// every byte is on the disk under that name; otherwise the errno of the step that failed (or
// NotAFileWithAnEnd for something there that is no regular file), and then the old file is as it was
// and nothing new is left behind.
[[nodiscard]] int saveFileSafely(const std::string& path, const std::string& text);
