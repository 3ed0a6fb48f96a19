// The command line: the options answered on the terminal before anything starts, and the file argument.
#pragma once

#include <string>

enum class CommandLineRequest { Run, Help, Version, UnknownOption };

// The first option before a "--" decides: -h or --help, --version, or one that neither the program nor
// the toolkit knows; without any, the program runs (the toolkit's own options and a lone "-" are no
// request). Looked at before the toolkit starts, so no answer needs a display or touches the settings.
[[nodiscard]] CommandLineRequest commandLineRequest(int argc, char** argv);
// The first option that neither the program nor the toolkit knows, as given; empty when there is none.
[[nodiscard]] std::string unknownOption(int argc, char** argv);
// "hashwarden: unknown option 'X'" and a pointer to --help on standard error; returns the status 2.
[[nodiscard]] int reportUnknownOption(int argc, char** argv);

// Print the answer on standard output; 0 when it was written, else 1 (a full disk or a closed pipe).
[[nodiscard]] int printUsage();
[[nodiscard]] int printVersion();

// The initial file: the first argument the toolkit left, after a "--" the toolkit left in front of it.
// The toolkit drops a "--" only when no argument after it looks like an option (so "-- file" leaves
// "file", but "-- --help" leaves both words): the word standing first is then the end of the options.
[[nodiscard]] std::string initialFileArgument(int argc, char** argv);

// Why the initial file cannot be read ("No such file or directory", "Is a directory", "Permission
// denied"), from the system's own words; empty when it can.
[[nodiscard]] std::string initialFileProblem(const std::string& path);
// One line on standard error, "hashwarden: FILE: reason", when the initial file cannot be read. The
// window opens all the same; the line tells a terminal user why its path field stays empty.
void reportInitialFileProblem(const std::string& path);
