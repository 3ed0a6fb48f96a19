// The cost model the job weighs its passes with, in one place: the time per byte of each algorithm's
// pass, what one call of a kernel that runs several states costs against one state's on this processor,
// and from both the time of a pass of several lengths of one family.
#pragma once

#include <vector>

#include "fingerprint/family_pass.h"
#include "fingerprint/kernels.h"

// Rough time per byte of one algorithm's pass, in tenths of a nanosecond (x86-64, page-cached file);
// only the order matters.
[[nodiscard]] int passCostPerByte(int plugin, int bits);

// Puts into `set` what a call of each of its chosen multi-state kernels costs against one state's, in
// hundredths (sha256PairCost, sha512PairCost, keccakLanesCost), as measured on this processor's family:
// the costs are facts of the processor, not of the kernel. A kernel not in force keeps the cost that
// makes a shared pass never worth it.
void setSharedCallCosts(KernelSet& set);

// The time of one pass of `family` over lengths whose own passes take `costs` (in any unit) with the
// kernels in force: a Keccak call permutes all its lanes once for each block of its smallest rate, a
// SHA-2 pair runs its blocks once for both, each at the kernel's cost against one state's; a length
// alone in its call runs as it would alone.
[[nodiscard]] int familyPassCost(PassFamily family, std::vector<int> costs);
