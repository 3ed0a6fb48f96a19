// SHA-3 (FIPS 202): the plugin of the four SHA3 lengths.
#pragma once

#include "fingerprint/engine.h"

// The plugin's number and operations, for the plugin table to register.
[[nodiscard]] FingerprintPlugin sha3Plugin();
