// Shared helpers of the engine tests: the eleven slots, an independent oracle, plugin runs and temporary
// files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <openssl/evp.h>

#include "calc/algorithm_slots.h"
#include "fingerprint/family_pass.h"

namespace testkit {

struct Slot {
    std::string name; // as hashwarden-bench names it: the program's name in lower case ("sha2-256")
    int plugin;
    int bits;
    std::size_t blockSize; // bytes per block of the algorithm (1 for CRC-32)
    const EVP_MD* oracle;  // OpenSSL's digest; none for CRC-32, which has a bitwise reference
};

// The algorithm slots in their fixed order, from the program's one table of algorithms.
extern const std::array<Slot, SlotCount> Slots;

// Registers the five plugins once per process.
void registerPluginsOnce();

// The digest text of `bytes` from the oracle: OpenSSL, or a bit-at-a-time CRC-32.
[[nodiscard]] std::string oracleDigest(const Slot& slot, const uint8_t* bytes, std::size_t size);

// The digest text through the plugin's start / update / finish, feeding the bytes in the given
// pieces (their sizes; whatever they leave over is fed last, and a piece may be 0 bytes).
[[nodiscard]] std::string pluginDigest(const Slot& slot, const uint8_t* bytes, std::size_t size,
                                       const std::vector<std::size_t>& pieces = {});

// Deterministic pseudo-random bytes.
[[nodiscard]] std::vector<uint8_t> randomBytes(std::size_t size, uint32_t seed);

// `bytes` in memory that ends where a page that cannot be read begins, so a read past the end faults.
class GuardedBytes {
  public:
    explicit GuardedBytes(const std::vector<uint8_t>& bytes);
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    ~GuardedBytes();
    // The last `count` bytes (count at most the size given).
    [[nodiscard]] const uint8_t* last(std::size_t count) const { return end_ - count; }

  private:
    uint8_t* mapping_ = nullptr;
    std::size_t size_ = 0;
    uint8_t* end_ = nullptr;
};

// The digests of `bits` (in that order) of `family` through one family pass, fed in pieces as
// pluginDigest feeds them.
[[nodiscard]] std::vector<std::string> familyDigests(PassFamily family, const std::vector<int>& bits, const uint8_t* bytes,
                                                     std::size_t size, const std::vector<std::size_t>& pieces = {});

// One known answer of tests/data: the algorithm's name as a slot's, the message, the digest text, and
// the line of the file it comes from.
struct KnownAnswer {
    std::string algorithm;
    std::vector<uint8_t> message;
    std::string digest;
    int line;
};
[[nodiscard]] std::vector<KnownAnswer> readKnownAnswers(const std::string& file);

// A file in a private temporary folder, removed with the object.
class TempFile {
  public:
    explicit TempFile(const std::vector<uint8_t>& bytes);
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();
    [[nodiscard]] const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

} // namespace testkit
