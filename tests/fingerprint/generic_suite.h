// The generic property suite over all eleven slots, run with one set of block functions in force.
#pragma once

#include "fingerprint/kernels.h"

namespace testkit {

// Each check puts `kernels` in force, compares every slot with the oracle and reports through
// GoogleTest (the first mismatch per slot, with its length and pieces). The caller restores
// whatever set it wants afterwards (chooseKernels() or setActiveKernels()).

// Every length from 0 to 4200 bytes, fed whole.
void checkEveryLength(const KernelSet& kernels);
// 0 to 2 blocks plus the padding boundaries of every block size (55/56/63/64/65, 111/112/127/128/129,
// each SHA-3 rate -1/rate/+1), at every start address modulo 8.
void checkPaddingBoundaries(const KernelSet& kernels);
// `inputs` random messages per slot (up to 3 KiB, some past 1 MiB) fed in random pieces
// (0-byte updates, single bytes, block-sized and odd sizes) from odd start addresses.
void checkRandomPieces(const KernelSet& kernels, int inputs);

} // namespace testkit
