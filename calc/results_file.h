// The results file's name: the extension rule of the save command. It is written by saveFileSafely
// (files/safe_file.h).
#pragma once

#include <string>

// The extension rule of the save command: scanning back from the end, the name has an extension only
// when the scan stops at a "." that is neither the first character nor right after "/" or a backslash,
// and some text follows it (up to the end or a double quote).
[[nodiscard]] bool hasExtension(const std::string& name);
// The name under which a results file is written: ".txt" appended when it has no extension.
[[nodiscard]] std::string resultsFileName(const std::string& chosen);
