// Process start-up and shutdown: the program's entry procedure and its parts.
#pragma once

#include <string>

// Runs the whole program; returns the process exit status.
int runProgram(int argc, char** argv);

// The start-up steps up to and including the shown main window (no event loop), and the shutdown
// steps after it; runProgram is startShell + runEventLoop + shutDownShell. Tests use the parts.
// startShell returns 0 on success, else the exit status to end with.
int startShell(int& argc, char**& argv);
// Saves the settings, stops the help program, closes the windows and hands over the clipboard.
void shutDownShell();
// Releases the fonts, images and windows without saving anything (tests between runs).
void tearDownShellForTests();

// The file named on the command line (empty: none).
extern std::string InitialFile;
// When not empty, replaces the ProgramFolder found at start-up (tests run from a temporary folder).
extern std::string ProgramFolderForTests;
