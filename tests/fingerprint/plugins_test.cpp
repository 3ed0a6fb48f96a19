// Plugin contracts beyond the digests: bit sizes, the finished SHA-3 state, context wiping,
// SHA-1's keep-input workspace, CRC-32 chaining and leading zeros, bit-count carries, digest text.
#include <gtest/gtest.h>

#define OPENSSL_SUPPRESS_DEPRECATED // the low-level MD5 and SHA-1 contexts expose their bit counts
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fingerprint/crc32/crc32.h"
#include "fingerprint/engine.h"
#include "fingerprint/md5/md5.h"
#include "fingerprint/sha1/sha1.h"
#include "fingerprint/sha2/sha2.h"
#include "test_support.h"

namespace {

using testkit::Slots;

std::string runPlugin(int number, int bits, const std::string& message) {
    const FingerprintPlugin* plugin = findPlugin(number);
    FingerprintState* state = plugin->start(bits, 0);
    if (state == nullptr) return "no state";
    plugin->update(state, reinterpret_cast<const uint8_t*>(message.data()),
                   static_cast<uint32_t>(message.size()));
    plugin->finish(state);
    std::string text = digestText(state);
    plugin->destroy(state);
    return text;
}

bool allZero(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        if (p[i] != 0) return false;
    }
    return true;
}

class Plugins : public testing::Test {
  protected:
    static void SetUpTestSuite() { testkit::registerPluginsOnce(); }
};

TEST_F(Plugins, BitSizeZeroMeans256AndOnlyTheFourSizesStart) {
    for (int number : {PluginSha2, PluginSha3}) {
        const FingerprintPlugin* plugin = findPlugin(number);
        FingerprintState* state = plugin->start(0, 0);
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->digestBits, 256);
        plugin->destroy(state);
        EXPECT_EQ(runPlugin(number, 0, "abc"), runPlugin(number, 256, "abc"));
        for (int bits : {160, 128, 1, -1, 255, 1024})
            EXPECT_EQ(plugin->start(bits, 0), nullptr) << number << "/" << bits;
    }
}

TEST_F(Plugins, FixedSizePluginsIgnoreTheBitSize) {
    for (int number : {PluginCrc32, PluginMd5, PluginSha1}) {
        const std::string expected = runPlugin(number, 0, "bit size");
        for (int bits : {160, 512, -7, 12345})
            EXPECT_EQ(runPlugin(number, bits, "bit size"), expected) << number;
    }
}

TEST_F(Plugins, FinishedSha3StateIgnoresUpdatesAndFinishesAgainTheSame) {
    const FingerprintPlugin* plugin = findPlugin(PluginSha3);
    for (int bits : {224, 256, 384, 512}) {
        FingerprintState* state = plugin->start(bits, 0);
        ASSERT_NE(state, nullptr);
        plugin->update(state, reinterpret_cast<const uint8_t*>("abc"), 3);
        plugin->finish(state);
        const std::string first = digestText(state);
        const std::vector<uint8_t> more = testkit::randomBytes(1000, 5);
        plugin->update(state, more.data(), static_cast<uint32_t>(more.size()));
        plugin->finish(state);
        EXPECT_EQ(digestText(state), first) << bits;
        EXPECT_EQ(first, runPlugin(PluginSha3, bits, "abc"));
        plugin->destroy(state);
    }
}

TEST_F(Plugins, Md5FinalZeroesTheWholeContext) {
    Md5Context context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const uint8_t*>("message digest"), 14);
    uint8_t digest[16];
    MD5Final(digest, &context);
    EXPECT_TRUE(allZero(&context, sizeof context));
    EXPECT_EQ(testkit::oracleDigest(Slots[1], reinterpret_cast<const uint8_t*>("message digest"), 14),
              runPlugin(PluginMd5, 0, "message digest"));
}

TEST_F(Plugins, Sha1FinalWipesAllButKeepInput) {
    Sha1Context context;
    SHA1Init(&context, 1);
    const std::vector<uint8_t> bytes = testkit::randomBytes(200, 6);
    SHA1Update(&context, bytes.data(), 200);
    uint8_t digest[20];
    SHA1Final(digest, &context);
    EXPECT_TRUE(allZero(context.hash, sizeof context.hash));
    EXPECT_TRUE(allZero(context.bitCount, sizeof context.bitCount));
    EXPECT_TRUE(allZero(context.buffer, sizeof context.buffer));
    EXPECT_TRUE(allZero(context.workspace, sizeof context.workspace));
    EXPECT_EQ(context.keepInput, 1u);
}

TEST_F(Plugins, Sha1KeepInputLeavesTheCallersBytesAndGivesTheSameDigest) {
    const std::vector<uint8_t> original = testkit::randomBytes(64 * 20 + 17, 7);
    for (uint32_t keepInput : {0u, 1u}) {
        std::vector<uint8_t> bytes = original;
        Sha1Context context;
        SHA1Init(&context, keepInput);
        SHA1Update(&context, bytes.data(), 5); // later blocks start at an odd offset
        SHA1Update(&context, bytes.data() + 5, static_cast<uint32_t>(bytes.size() - 5));
        uint8_t digest[20];
        SHA1Final(digest, &context);
        FingerprintState state{160, {}};
        std::memcpy(state.digest, digest, 20);
        EXPECT_EQ(digestText(&state), testkit::oracleDigest(Slots[2], original.data(), original.size()))
            << keepInput;
        if (keepInput != 0) {
            EXPECT_EQ(bytes, original);
        }
    }
}

// With the workspace, the final padding that spills into a second block (56 to 63 bytes pending)
// is compressed from the copy twice; the digest must not change.
TEST_F(Plugins, Sha1KeepInputPaddingAtEveryBoundary) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(200, 13);
    for (uint32_t length : {0u, 55u, 56u, 63u, 64u, 119u, 120u, 127u}) {
        Sha1Context context;
        SHA1Init(&context, 1);
        SHA1Update(&context, bytes.data(), length);
        FingerprintState state{160, {}};
        SHA1Final(state.digest, &context);
        EXPECT_EQ(digestText(&state), testkit::oracleDigest(Slots[2], bytes.data(), length)) << length;
    }
}

// Only the head of an MD5, SHA-1 or SHA-2 state is zeroed when it starts. The allocator hands a
// new state the memory of the one just freed, so each row leaves a state full of another pass's
// count, hash, pending bytes and (once finished) a longer digest, then runs a pass in its place.
TEST_F(Plugins, StateInTheMemoryOfAnAbandonedOneStartsClean) {
    struct Row {
        const testkit::Slot& before;
        bool finishBefore; // MD5 and SHA-1 wipe their context when they finish
        const testkit::Slot& after;
    };
    const Row rows[] = {
        {Slots[1], false, Slots[1]}, {Slots[2], false, Slots[2]}, {Slots[6], true, Slots[3]},
        {Slots[5], true, Slots[4]},  {Slots[6], false, Slots[5]}, {Slots[4], false, Slots[6]},
    };
    // 356 bytes: the finished SHA-384/512 block keeps message bytes where SHA-256 keeps its count.
    const std::vector<uint8_t> bytes = testkit::randomBytes(356, 14);
    for (const Row& row : rows) {
        const FingerprintPlugin* before = findPlugin(row.before.plugin);
        FingerprintState* old = before->start(row.before.bits, 0);
        ASSERT_NE(old, nullptr);
        before->update(old, bytes.data(), 356);
        if (row.finishBefore) before->finish(old);
        before->destroy(old);

        const FingerprintPlugin* after = findPlugin(row.after.plugin);
        FingerprintState* state = after->start(row.after.bits, 0);
        ASSERT_NE(state, nullptr);
        after->update(state, bytes.data(), 100);
        after->finish(state);
        EXPECT_EQ(digestText(state), testkit::oracleDigest(row.after, bytes.data(), 100)) << row.after.name;
        const int length = state->digestBits / 8;
        EXPECT_TRUE(allZero(state->digest + length, sizeof state->digest - length)) << row.after.name;
        after->destroy(state);
    }
}

TEST_F(Plugins, Sha1TransformWithAndWithoutWorkspaceAgree) {
    const std::vector<uint8_t> block = testkit::randomBytes(64, 8);
    uint32_t withWorkspace[5] = {1, 2, 3, 4, 5};
    uint32_t without[5] = {1, 2, 3, 4, 5};
    uint8_t workspace[64] = {};
    std::vector<uint8_t> copy = block;
    SHA1Transform(withWorkspace, copy.data(), workspace);
    EXPECT_EQ(copy, block);
    SHA1Transform(without, copy.data(), nullptr);
    EXPECT_EQ(std::memcmp(withWorkspace, without, sizeof without), 0);
    EXPECT_NE(withWorkspace[0], 1u);
}

// The 64-bit bit counts of MD5 and SHA-1 carry from the low into the high word after 512 MiB.
// The exported contexts can start just below that point; OpenSSL's low-level contexts, set to the
// same chaining values and count, are the oracle.
TEST_F(Plugins, Md5AndSha1BitCountsCarryIntoTheHighWord) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(300, 9);
    constexpr uint32_t CarrySoon = 0xfffffe00; // 64 bytes before the low word overflows
    {
        Md5Context ours;
        MD5Init(&ours);
        ours.bitCount[0] = CarrySoon;
        MD5_CTX theirs;
        MD5_Init(&theirs);
        theirs.Nl = ours.bitCount[0];
        MD5Update(&ours, bytes.data(), 300);
        MD5_Update(&theirs, bytes.data(), 300);
        EXPECT_EQ(ours.bitCount[1], 1u);
        uint8_t a[16], b[16];
        MD5Final(a, &ours);
        MD5_Final(b, &theirs);
        EXPECT_EQ(std::memcmp(a, b, 16), 0);
    }
    {
        Sha1Context ours;
        SHA1Init(&ours, 0);
        ours.bitCount[0] = CarrySoon;
        SHA_CTX theirs;
        SHA1_Init(&theirs);
        theirs.Nl = ours.bitCount[0];
        SHA1Update(&ours, bytes.data(), 300);
        SHA1_Update(&theirs, bytes.data(), 300);
        EXPECT_EQ(ours.bitCount[1], 1u);
        uint8_t a[20], b[20];
        SHA1Final(a, &ours);
        SHA1_Final(b, &theirs);
        EXPECT_EQ(std::memcmp(a, b, 20), 0);
    }
}

// SHA-2 counts bytes in a low and a high 32-bit word: the carry comes after 4 GiB. The plugin's
// state can start just below it; OpenSSL's contexts with the same bit count are the oracle.
TEST_F(Plugins, Sha2ByteCountsCarryIntoTheHighWord) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(300, 11);
    constexpr uint32_t CarrySoon =
        0xffffff80; // 128 bytes before the overflow, a block boundary of both families
    const FingerprintPlugin* plugin = findPlugin(PluginSha2);
    {
        FingerprintState* head = plugin->start(256, 0);
        ASSERT_NE(head, nullptr);
        Sha256Context& ours = reinterpret_cast<Sha2State*>(head)->small;
        ours.byteCount[0] = CarrySoon;
        SHA256_CTX theirs;
        SHA256_Init(&theirs);
        theirs.Nl = CarrySoon << 3;
        theirs.Nh = CarrySoon >> 29;
        plugin->update(head, bytes.data(), 300);
        SHA256_Update(&theirs, bytes.data(), 300);
        EXPECT_EQ(ours.byteCount[1], 1u);
        plugin->finish(head);
        FingerprintState expected{256, {}};
        SHA256_Final(expected.digest, &theirs);
        EXPECT_EQ(digestText(head), digestText(&expected));
        plugin->destroy(head);
    }
    {
        FingerprintState* head = plugin->start(512, 0);
        ASSERT_NE(head, nullptr);
        Sha512Context& ours = reinterpret_cast<Sha2State*>(head)->large;
        ours.byteCount[0] = CarrySoon;
        SHA512_CTX theirs;
        SHA512_Init(&theirs);
        theirs.Nl = uint64_t{CarrySoon} << 3;
        plugin->update(head, bytes.data(), 300);
        SHA512_Update(&theirs, bytes.data(), 300);
        EXPECT_EQ(ours.byteCount[1], 1u);
        plugin->finish(head);
        FingerprintState expected{512, {}};
        SHA512_Final(expected.digest, &theirs);
        EXPECT_EQ(digestText(head), digestText(&expected));
        plugin->destroy(head);
    }
}

TEST_F(Plugins, Crc32ChainsAndIgnoresAnAbsentPointer) {
    const std::vector<uint8_t> bytes = testkit::randomBytes(1000, 10);
    uint32_t whole = crc32Update(bytes.data(), bytes.size(), 0);
    uint32_t chained = 0;
    for (std::size_t done = 0, piece = 1; done < bytes.size(); done += piece, piece = piece * 3 % 97 + 1)
        chained = crc32Update(bytes.data() + done, std::min(piece, bytes.size() - done), chained);
    EXPECT_EQ(chained, whole);
    EXPECT_EQ(crc32Update(nullptr, 10, whole), whole);
}

TEST_F(Plugins, Crc32TextKeepsLeadingZeros) {
    // Look for a 4-byte input whose CRC is below 0x10000000 (about one in sixteen).
    for (uint32_t n = 0;; ++n) {
        const std::string message(reinterpret_cast<const char*>(&n), 4);
        if (crc32Update(reinterpret_cast<const uint8_t*>(message.data()), 4, 0) >= 0x10000000) continue;
        const std::string text = runPlugin(PluginCrc32, 0, message);
        EXPECT_EQ(text.size(), 8u);
        EXPECT_EQ(text[0], '0');
        EXPECT_EQ(text, testkit::oracleDigest(Slots[0], reinterpret_cast<const uint8_t*>(message.data()), 4));
        break;
    }
}

// Every byte value through the pair table, 64 at a time in the longest digest; a bit size beyond
// 512 gives the 64 bytes there are, a negative one nothing.
TEST(DigestText, EveryByteValueAndTheLongestDigest) {
    for (int first = 0; first < 256; first += 64) {
        FingerprintState state{512, {}};
        std::string expected;
        for (int i = 0; i < 64; ++i) {
            state.digest[i] = static_cast<uint8_t>(first + i);
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", state.digest[i]);
            expected += pair;
        }
        EXPECT_EQ(digestText(&state), expected) << first;
        state.digestBits = 4096;
        EXPECT_EQ(digestText(&state), expected) << first;
        state.digestBits = -8;
        EXPECT_EQ(digestText(&state), "");
    }
}

TEST(DigestText, HighNibbleFirstAndEmptyForNoState) {
    FingerprintState state{32, {0x0a, 0xb0, 0x00, 0xff, 0x12}};
    EXPECT_EQ(digestText(&state), "0ab000ff");
    state.digestBits = 0;
    EXPECT_EQ(digestText(&state), "");
    EXPECT_EQ(digestText(nullptr), "");
}

} // namespace
