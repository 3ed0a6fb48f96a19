// The plugin registry, the streaming file driver and the digest text of the fingerprint engine.
#include "fingerprint/engine.h"

#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>

#include "fingerprint/read_ahead.h"

static_assert(sizeof(off_t) == 8, "the engine needs 64-bit file offsets (_FILE_OFFSET_BITS=64)");

namespace {

FingerprintPlugin Registry[RegistryCapacity];
int RegistryCount = 0;

thread_local BlockGate Gate = nullptr;

} // namespace

FingerprintPlugin* findPlugin(int32_t number) {
    if (number == FirstPlugin) return RegistryCount > 0 ? &Registry[0] : nullptr;
    for (int i = 0; i < RegistryCount; ++i) {
        if (Registry[i].number == number) return &Registry[i];
    }
    return nullptr;
}

FingerprintPlugin* registerPlugin(int32_t number) {
    // -1 is the lookup key for the first entry and could never be found by its number.
    if (number == FirstPlugin || RegistryCount >= RegistryCapacity || findPlugin(number) != nullptr)
        return nullptr;
    FingerprintPlugin* entry = &Registry[RegistryCount++];
    *entry = FingerprintPlugin{};
    entry->number = number;
    return entry;
}

bool registerPluginOperations(const FingerprintPlugin& plugin) {
    FingerprintPlugin* entry = registerPlugin(plugin.number);
    if (entry == nullptr) return false;
    *entry = plugin;
    return true;
}

void setBlockGate(BlockGate gate) {
    Gate = gate;
}

namespace {

// "000102...feff": the two characters of every byte value, so each digest byte costs one load.
constexpr auto HexPairs = [] {
    constexpr char Alphabet[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (int value = 0; value < 256; ++value) {
        pairs[2 * value] = Alphabet[value >> 4];
        pairs[2 * value + 1] = Alphabet[value & 0x0f];
    }
    return pairs;
}();

} // namespace

std::string digestText(const FingerprintState* state) {
    if (state == nullptr) return {};
    int count = state->digestBits / 8;
    if (count < 0) count = 0;
    if (count > static_cast<int>(sizeof state->digest)) count = sizeof state->digest;
    // Written into a local array and copied once: appending character by character checked the
    // string's capacity twice per byte, which cost more than the last block of a pass.
    char text[2 * sizeof state->digest];
    char* out = text;
    for (const uint8_t* byte = state->digest; byte != state->digest + count; ++byte, out += 2)
        std::memcpy(out, &HexPairs[2 * *byte], 2);
    return std::string(text, 2 * static_cast<std::size_t>(count));
}

FingerprintStatePtr startFingerprint(const FingerprintPlugin* entry, int bits) {
    // An entry whose operations were never filled in cannot be run.
    if (entry == nullptr || entry->start == nullptr || entry->update == nullptr || entry->finish == nullptr ||
        entry->destroy == nullptr)
        return FingerprintStatePtr(nullptr, FingerprintStateDestroyer{});
    return FingerprintStatePtr(entry->start(bits, 0), FingerprintStateDestroyer{entry->destroy});
}

std::string fileFingerprint(const char* name, int plugin, int bits, int64_t offset, int64_t length) {
    const FingerprintPlugin* entry = findPlugin(plugin);
    // A length below -1 would make the read size negative.
    if (entry == nullptr || name == nullptr || length < -1) return {};

    // Names are UTF-8 already, which is what the file system takes.
    filereader::UniqueFd file(filereader::openForReading(name));
    if (file.fd < 0) return {};

    const FingerprintStatePtr state = startFingerprint(entry, bits);
    if (!state) return {};

    // A file that cannot be positioned (a pipe) would otherwise be hashed from its start.
    if (offset >= 1 && lseek(file.fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(-1))
        return {};

    // Declared after the file, so its thread has ended before the descriptor closes.
    filereader::BlockReader reader(file.fd, FingerprintReadSize, length);
    if (!reader.ready()) return {};
    for (;;) {
        const filereader::Block block = reader.next();
        if (block.count < 0) return {};
        entry->update(state.get(), block.bytes, static_cast<uint32_t>(block.count));
        if (block.count != static_cast<int64_t>(FingerprintReadSize)) break;
        // The block is kept until the gate lets the pass go on: the reader, one block ahead,
        // then sleeps instead of reading further while the job is held.
        if (Gate != nullptr && !Gate()) return {};
        reader.release();
    }
    entry->finish(state.get());
    return digestText(state.get());
}
