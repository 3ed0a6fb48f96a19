// The kernel table in force, chosen once at registration from the portable and accelerated paths.
#include "fingerprint/kernels.h"

namespace {
KernelSet Active = portableKernels();
}

KernelSet portableKernels() {
    KernelSet set{};
    set.crc32 = crc32Portable;
    set.md5 = md5BlocksPortable;
    set.sha1 = sha1BlocksPortable;
    set.sha256 = sha256BlocksPortable;
    set.sha512 = sha512BlocksPortable;
    set.sha256Pair = nullptr;
    set.sha256PairCost = 200;
    set.sha512Pair = nullptr;
    set.sha512PairCost = 200;
    set.keccak = keccak1600AbsorbPortable;
    set.keccakLanes = nullptr;
    set.keccakLaneCount = 1;
    set.keccakLanesCost = 100;
    set.crc32Path = set.md5Path = set.sha1Path = set.sha256Path = set.sha512Path = set.sha256PairPath =
        set.sha512PairPath = set.keccakPath = set.keccakLanesPath = "portable";
    return set;
}

const KernelSet& activeKernels() { return Active; }

void setActiveKernels(const KernelSet& set) { Active = set; }

void chooseKernels() {
    KernelSet set = portableKernels();
    chooseAcceleratedKernels(set);
    Active = set;
}
