// CRC-32 (ISO-HDLC, the checksum of ZIP and PNG): its context and the chainable update.
#pragma once

#include "fingerprint/engine.h"

#include <cstddef>
#include <cstdint>

struct Crc32Context {
    uint32_t crc; // CRC of the bytes so far, in its final (inverted) form; 0 at the start
};

// CRC of `count` more bytes chained onto `crc`; an absent byte pointer leaves `crc` as it is.
[[nodiscard]] uint32_t crc32Update(const uint8_t* bytes, std::size_t count, uint32_t crc);

// The plugin's number and operations, for the plugin table to register.
[[nodiscard]] FingerprintPlugin crc32Plugin();
