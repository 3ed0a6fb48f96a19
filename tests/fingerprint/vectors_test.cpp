// The standards' known answers from tests/data, through the plugins and through the file driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fingerprint/engine.h"
#include "test_support.h"

namespace {

const testkit::Slot* slotNamed(const std::string& name) {
    for (const testkit::Slot& slot : testkit::Slots) {
        if (name == slot.name) return &slot;
    }
    return nullptr;
}

class KnownAnswers : public testing::TestWithParam<const char*> {};

TEST_P(KnownAnswers, PluginsAndFileDriverGiveThePublishedDigests) {
    testkit::registerPluginsOnce();
    std::vector<testkit::KnownAnswer> vectors = testkit::readKnownAnswers(GetParam());
    ASSERT_FALSE(vectors.empty());
    for (const testkit::KnownAnswer& vector : vectors) {
        const testkit::Slot* slot = slotNamed(vector.algorithm);
        ASSERT_NE(slot, nullptr) << GetParam() << ":" << vector.line << ": unknown algorithm "
                                 << vector.algorithm;
        SCOPED_TRACE(std::string(GetParam()) + ":" + std::to_string(vector.line));
        EXPECT_EQ(testkit::pluginDigest(*slot, vector.message.data(), vector.message.size()), vector.digest);
        testkit::TempFile file(vector.message);
        EXPECT_EQ(fileFingerprint(file.path(), slot->plugin, slot->bits), vector.digest);
    }
}

INSTANTIATE_TEST_SUITE_P(Standards, KnownAnswers,
                         testing::Values("crc32.txt", "md5.txt", "sha1.txt", "sha2.txt", "sha3.txt"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
