// The standards' known answers from tests/data, through the plugins and through the file driver.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "fingerprint/engine.h"
#include "test_support.h"

namespace {

struct Vector {
    std::string algorithm;
    std::vector<uint8_t> message;
    std::string digest;
    int line;
};

std::vector<uint8_t> fromHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Reads "[algorithm]" headers and Text / Hex, Repeat, Digest lines; '#' starts a comment line.
std::vector<Vector> readVectors(const std::string& file) {
    std::ifstream in(std::string(HW_TEST_DATA_DIR) + "/" + file);
    EXPECT_TRUE(in) << "cannot open " << file;
    std::vector<Vector> vectors;
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
            Vector vector{algorithm, {}, value, number};
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

const testkit::Slot* slotNamed(const std::string& name) {
    for (const testkit::Slot& slot : testkit::Slots) {
        if (name == slot.name) return &slot;
    }
    return nullptr;
}

class KnownAnswers : public testing::TestWithParam<const char*> {};

TEST_P(KnownAnswers, PluginsAndFileDriverGiveThePublishedDigests) {
    testkit::registerPluginsOnce();
    std::vector<Vector> vectors = readVectors(GetParam());
    ASSERT_FALSE(vectors.empty());
    for (const Vector& vector : vectors) {
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
