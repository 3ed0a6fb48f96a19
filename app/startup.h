// Process start-up and shutdown: the program's entry procedure.
#pragma once

// Runs the whole program; returns the process exit status.
int runProgram(int argc, char** argv);
