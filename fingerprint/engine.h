// The fingerprint engine: plugin registry and the streaming file driver that turns a file into digest text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Plugin numbers are part of the engine's interface and never change.
constexpr int PluginMd5 = 1;
constexpr int PluginCrc32 = 2;
constexpr int PluginSha1 = 3;
constexpr int PluginSha2 = 4;
constexpr int PluginSha3 = 5;

// Lookup key meaning "the first plugin registered"; no plugin uses it.
constexpr int FirstPlugin = -1;

constexpr std::size_t FingerprintReadSize = 1 << 20;
constexpr int RegistryCapacity = 64;

// Common head of every plugin's state, followed by the plugin's own context.
struct FingerprintState {
    int32_t digestBits; // 32, 128, 160, 224, 256, 384 or 512
    uint8_t digest[64]; // first digestBits/8 bytes in output order, rest zero
};

struct FingerprintPlugin {
    int32_t number;
    FingerprintState* (*start)(int32_t bits, uint32_t flags); // none for an unsupported size
    void (*update)(FingerprintState* state, const uint8_t* bytes, uint32_t count);
    void (*finish)(FingerprintState* state); // exactly once per state
    void (*destroy)(FingerprintState* state);
};

// Registry: 64 entries, appended in registration order, never removed. registerPlugin returns
// none for a number already registered, for FirstPlugin and when all entries are taken; the caller
// fills the four operations of the entry it gets.
[[nodiscard]] FingerprintPlugin* registerPlugin(int32_t number);
[[nodiscard]] FingerprintPlugin* findPlugin(int32_t number);
// Registers a whole plugin, its number and its operations; false (and the registry unchanged) when
// registerPlugin gives no entry for its number.
bool registerPluginOperations(const FingerprintPlugin& plugin);

// A plugin's state, destroyed by its own plugin.
struct FingerprintStateDestroyer {
    void (*destroy)(FingerprintState*) = nullptr;
    void operator()(FingerprintState* state) const { destroy(state); }
};
using FingerprintStatePtr = std::unique_ptr<FingerprintState, FingerprintStateDestroyer>;

// A new state of the plugin for `bits`, or none: no plugin, an entry whose operations were never
// filled in, a bit size the plugin does not take, no memory.
[[nodiscard]] FingerprintStatePtr startFingerprint(const FingerprintPlugin* entry, int bits);

// Streams the file through the plugin and returns lowercase hexadecimal digest text;
// the empty text on any failure (unknown plugin, unopenable file, read error, bad bit size).
[[nodiscard]] std::string fileFingerprint(const char* name, int plugin, int bits = 0, int64_t offset = 0,
                                          int64_t length = -1);

// Two lowercase hex characters per digest byte; an absent state gives the empty text.
[[nodiscard]] std::string digestText(const FingerprintState* state);

// A hook that fileFingerprint calls on the calling thread between blocks, so that a caller can
// hold the work (the calculation job waits there while a question about cancelling is open) or
// abandon it: when the gate returns false, fileFingerprint stops reading and returns the empty text.
// The driver reads one block ahead on a thread of its own: while the gate holds, that block may
// already have been read, but nothing after it. Per thread; none by default.
using BlockGate = bool (*)();
void setBlockGate(BlockGate gate);
