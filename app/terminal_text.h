// Lines the program writes on standard error about a file.
#pragma once

#include <string>

// `text` safe to write on a terminal in one line: control characters (C0, DEL, and C1 as UTF-8), a
// backslash and bytes that are not UTF-8 become backslash escapes (\n, \t, \r, \\, \xHH), so that a
// file name can neither break the line nor send the terminal a command. Valid UTF-8 text is kept.
[[nodiscard]] std::string terminalSafe(const std::string& text);

// "hashwarden: FILE: reason" on standard error, the file's name made terminalSafe.
void reportFileProblem(const std::string& path, const std::string& reason);
