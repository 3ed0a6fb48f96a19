// What a failure code of the program's file operations means to the user.
#pragma once

#include <string>

// The system's words for an errno value; the language's for a file that is neither a regular file nor
// a disk (NotAFileWithAnEnd) and for one that changed while a job read it (FileChangedWhileRead).
[[nodiscard]] std::string failureText(int failure);
