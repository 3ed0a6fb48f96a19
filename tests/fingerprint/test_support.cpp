// Shared helpers of the engine tests: the eleven slots, an independent oracle, plugin runs and temporary
// files.
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>

#include "fingerprint/engine.h"
#include "fingerprint/family_pass.h"
#include "fingerprint/plugin_table.h"
#include "fingerprint/sha3/sha3_parameters.h"
#include "oracle_names.h"

namespace testkit {

namespace {

// Bytes per block: the unit in which the kernels consume their input.
std::size_t blockSizeOf(int plugin, int bits) {
    switch (plugin) {
    case PluginCrc32:
        return 1;
    case PluginSha2:
        return bits > 256 ? 128 : 64;
    case PluginSha3:
        return sha3Rate(bits);
    default:
        return 64;
    }
}

std::array<Slot, SlotCount> slotsOfTheProgram() {
    std::array<Slot, SlotCount> slots;
    for (int slot = 0; slot < SlotCount; ++slot) {
        const AlgorithmSlot& algorithm = AlgorithmSlots[slot];
        std::string name = algorithm.name;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        const std::string oracle = oracleName(algorithm.plugin, algorithm.bits);
        slots[slot] = {name, algorithm.plugin, algorithm.bits, blockSizeOf(algorithm.plugin, algorithm.bits),
                       oracle.empty() ? nullptr : EVP_get_digestbyname(oracle.c_str())};
    }
    return slots;
}

} // namespace

const std::array<Slot, SlotCount> Slots = slotsOfTheProgram();

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
    if (EVP_Digest(bytes, size, digest, &length, slot.oracle, nullptr) != 1) {
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

namespace {

std::vector<uint8_t> fromHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

} // namespace

// Reads "[algorithm]" headers and Text / Hex, Repeat, Digest lines; '#' starts a comment line.
std::vector<KnownAnswer> readKnownAnswers(const std::string& file) {
    std::ifstream in(std::string(HW_TEST_DATA_DIR) + "/" + file);
    EXPECT_TRUE(in) << "cannot open " << file;
    std::vector<KnownAnswer> vectors;
    std::string line, algorithm;
    std::vector<uint8_t> unit;
    long repeat = 1;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            algorithm = line.substr(1, line.find(']') - 1);
            continue;
        }
        std::size_t equals = line.find(" =");
        std::string key = line.substr(0, equals);
        std::string value = line.size() > equals + 3 ? line.substr(equals + 3) : "";
        if (key == "Text") {
            unit.assign(value.begin(), value.end());
        } else if (key == "Hex") {
            unit = fromHex(value);
        } else if (key == "Repeat") {
            repeat = std::stol(value);
        } else if (key == "Digest") {
            KnownAnswer vector{algorithm, {}, value, number};
            for (long i = 0; i < repeat; ++i)
                vector.message.insert(vector.message.end(), unit.begin(), unit.end());
            vectors.push_back(std::move(vector));
            unit.clear();
            repeat = 1;
        } else {
            ADD_FAILURE() << file << ":" << number << ": unknown key " << key;
        }
    }
    return vectors;
}

GuardedBytes::GuardedBytes(const std::vector<uint8_t>& bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    size_ = (bytes.size() + page - 1) / page * page + page;
    void* mapping = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        ADD_FAILURE() << "cannot map " << size_ << " bytes";
        size_ = 0;
        return;
    }
    mapping_ = static_cast<uint8_t*>(mapping);
    uint8_t* guard = mapping_ + size_ - page;
    EXPECT_EQ(mprotect(guard, page, PROT_NONE), 0);
    end_ = guard;
    if (!bytes.empty()) std::memcpy(end_ - bytes.size(), bytes.data(), bytes.size());
}

GuardedBytes::~GuardedBytes() {
    if (mapping_ != nullptr) munmap(mapping_, size_);
}

std::vector<std::string> familyDigests(PassFamily family, const std::vector<int>& bits, const uint8_t* bytes,
                                       std::size_t size, const std::vector<std::size_t>& pieces) {
    registerPluginsOnce();
    FamilyPassPtr pass = startFamilyPass(family, bits);
    if (!pass) return std::vector<std::string>(bits.size(), "no family pass");
    std::size_t done = 0;
    for (std::size_t piece : pieces) {
        piece = std::min(piece, size - done);
        updateFamilyPass(*pass, bytes + done, static_cast<uint32_t>(piece));
        done += piece;
    }
    updateFamilyPass(*pass, bytes + done, static_cast<uint32_t>(size - done));
    finishFamilyPass(*pass);
    std::vector<std::string> digests;
    for (std::size_t member = 0; member < bits.size(); ++member)
        digests.push_back(familyDigestText(*pass, member));
    return digests;
}

} // namespace testkit
