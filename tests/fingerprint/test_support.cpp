// Shared helpers of the engine tests: the eleven slots, an independent oracle, plugin runs and temporary
// files.
#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

#include "fingerprint/engine.h"
#include "fingerprint/plugin_table.h"

namespace testkit {

const Slot Slots[11] = {
    {"crc32", PluginCrc32, 0, 1, nullptr},
    {"md5", PluginMd5, 0, 64, EVP_md5},
    {"sha1", PluginSha1, 0, 64, EVP_sha1},
    {"sha2-224", PluginSha2, 224, 64, EVP_sha224},
    {"sha2-256", PluginSha2, 256, 64, EVP_sha256},
    {"sha2-384", PluginSha2, 384, 128, EVP_sha384},
    {"sha2-512", PluginSha2, 512, 128, EVP_sha512},
    {"sha3-224", PluginSha3, 224, 144, EVP_sha3_224},
    {"sha3-256", PluginSha3, 256, 136, EVP_sha3_256},
    {"sha3-384", PluginSha3, 384, 104, EVP_sha3_384},
    {"sha3-512", PluginSha3, 512, 72, EVP_sha3_512},
};

void registerPluginsOnce() {
    static std::once_flag once;
    std::call_once(once, registerAllPlugins);
}

namespace {

std::string hex(const uint8_t* bytes, std::size_t size) {
    static constexpr char Alphabet[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(Alphabet[bytes[i] >> 4]);
        text.push_back(Alphabet[bytes[i] & 15]);
    }
    return text;
}

// The CRC-32 straight from its definition: one bit at a time, no tables.
uint32_t bitwiseCrc32(const uint8_t* bytes, std::size_t size) {
    uint32_t c = 0xffffffff;
    for (std::size_t i = 0; i < size; ++i) {
        c ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            c = (c >> 1) ^ (0xedb88320 & (0u - (c & 1)));
    }
    return ~c;
}

} // namespace

std::string oracleDigest(const Slot& slot, const uint8_t* bytes, std::size_t size) {
    if (slot.oracle == nullptr) {
        char text[9];
        std::snprintf(text, sizeof text, "%08x", bitwiseCrc32(bytes, size));
        return text;
    }
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes, size, digest, &length, slot.oracle(), nullptr) != 1) {
        ADD_FAILURE() << "OpenSSL could not compute " << slot.name;
        return "oracle failed";
    }
    return hex(digest, length);
}

std::string pluginDigest(const Slot& slot, const uint8_t* bytes, std::size_t size,
                         const std::vector<std::size_t>& pieces) {
    registerPluginsOnce();
    const FingerprintPlugin* plugin = findPlugin(slot.plugin);
    if (plugin == nullptr) return "no plugin";
    FingerprintState* state = plugin->start(slot.bits, 0);
    if (state == nullptr) return "no state";
    std::size_t done = 0;
    for (std::size_t piece : pieces) {
        piece = std::min(piece, size - done);
        plugin->update(state, bytes + done, static_cast<uint32_t>(piece));
        done += piece;
    }
    plugin->update(state, bytes + done, static_cast<uint32_t>(size - done));
    plugin->finish(state);
    std::string text = digestText(state);
    plugin->destroy(state);
    return text;
}

std::vector<uint8_t> randomBytes(std::size_t size, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(generator() >> 24);
    return bytes;
}

TempFile::TempFile(const std::vector<uint8_t>& bytes) {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern =
        std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/hwtestXXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) {
        ADD_FAILURE() << "cannot create a temporary file";
        return;
    }
    path_ = pattern;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ADD_FAILURE() << "cannot write " << path_;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
}

TempFile::~TempFile() {
    if (!path_.empty()) unlink(path_.c_str());
}

} // namespace testkit
