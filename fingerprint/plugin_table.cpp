// The program's five fingerprint plugins: the one place that knows them all, above the registry and
// the plugins, so that neither has to call the other.
#include "fingerprint/plugin_table.h"

#include "fingerprint/crc32/crc32.h"
#include "fingerprint/engine.h"
#include "fingerprint/kernels.h"
#include "fingerprint/md5/md5.h"
#include "fingerprint/sha1/sha1.h"
#include "fingerprint/sha2/sha2.h"
#include "fingerprint/sha3/sha3.h"

void registerAllPlugins() {
    // The kernels are chosen with the first registration only: a later call must not undo the choice
    // a test or the benchmark has put in force.
    if (findPlugin(PluginCrc32) == nullptr) chooseKernels();
    for (const FingerprintPlugin& plugin : {crc32Plugin(), md5Plugin(), sha1Plugin(), sha2Plugin(), sha3Plugin()})
        (void)registerPluginOperations(plugin);
}
