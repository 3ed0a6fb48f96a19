// Independent digests for the calculation tests: OpenSSL's libcrypto and zlib, never the program's engine.
#pragma once

#include <openssl/evp.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "calc/algorithm_slots.h"
#include "tests/fingerprint/oracle_names.h"

namespace calc_test {

inline std::string hexText(const unsigned char* bytes, std::size_t count) {
    static constexpr char Alphabet[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += Alphabet[bytes[i] >> 4];
        text += Alphabet[bytes[i] & 15];
    }
    return text;
}

// The digest text of a whole file for a slot, read in its own way (64 KiB chunks).
inline std::string oracleDigest(const std::string& path, int slot) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::fopen(path.c_str(), "rb"), std::fclose};
    if (!file) return {};
    std::vector<unsigned char> chunk(1 << 16);
    if (AlgorithmSlots[slot].plugin == PluginCrc32) {
        uLong crc = crc32(0L, Z_NULL, 0);
        for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0;)
            crc = crc32(crc, chunk.data(), static_cast<uInt>(got));
        const unsigned char bytes[4] = {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                                        static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
        return hexText(bytes, 4);
    }
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context{EVP_MD_CTX_new(), EVP_MD_CTX_free};
    EVP_DigestInit_ex(context.get(), EVP_get_digestbyname(oracleName(AlgorithmSlots[slot].plugin, AlgorithmSlots[slot].bits).c_str()), nullptr);
    for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0;)
        EVP_DigestUpdate(context.get(), chunk.data(), got);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    return hexText(digest, length);
}

}  // namespace calc_test
