// The kernel table in force, chosen once at registration from the portable and accelerated paths.
#include "fingerprint/kernels.h"

namespace {
KernelSet Active = portableKernels();
}

KernelSet portableKernels() {
    return KernelSet{crc32Portable,        md5BlocksPortable,  sha1BlocksPortable,
                     sha256BlocksPortable, sha512BlocksPortable, keccak1600AbsorbPortable,
                     "portable",           "portable",         "portable",
                     "portable",           "portable",         "portable"};
}

const KernelSet& activeKernels() { return Active; }

void setActiveKernels(const KernelSet& set) { Active = set; }

void chooseKernels() {
    KernelSet set = portableKernels();
    chooseAcceleratedKernels(set);
    Active = set;
}
