// Process start-up and shutdown.
#include "app/startup.h"

#include "fingerprint/engine.h"

int runProgram(int, char**) {
    registerAllPlugins();
    return 0;
}
