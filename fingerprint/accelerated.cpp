// Overlays the accelerated kernels of this CPU onto the portable set (none are built yet).
#include "fingerprint/kernels.h"

void chooseAcceleratedKernels(KernelSet&) {}
