// Starting outside programs found through PATH: kept (with a handle to test and kill) or detached.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The file a program name stands for: a name without "/" is looked for in the folders of PATH
// (the first existing, non-empty, executable regular file); a name starting with "/" or "./"
// must itself be one. Empty when there is none.
[[nodiscard]] std::string findProgram(const std::string& name);
// Splits a parameter text at blanks, tabs and line feeds; a part in double quotes is one
// argument, without the quotes.
[[nodiscard]] std::vector<std::string> splitParameters(const std::string& parameters);

// Starts the program in `workingFolder` (none when empty) and keeps it: returns its process id,
// or 0 when it cannot be started.
[[nodiscard]] pid_t launchProgram(const std::string& name, const std::string& parameters,
                                  const std::string& workingFolder);
// Starts the program detached: nothing is kept and no zombie is left. False when it cannot start.
bool launchDetached(const std::string& name, const std::string& parameters, const std::string& workingFolder);
// Whether a kept program still runs; an ended one is reaped and forgotten.
[[nodiscard]] bool programRunning(pid_t process);
// Kills a kept program with SIGKILL and reaps it.
void killProgram(pid_t process);
