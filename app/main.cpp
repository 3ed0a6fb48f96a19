// Hashwarden's entry point: everything else lives in the library that the tests link too.
#include "app/startup.h"

int main(int argc, char** argv) {
    return runProgram(argc, argv);
}
