// One UTF-8 validator, after RFC 3629's table of well-formed byte sequences, and the conversions built on it.
#include "files/utf8.h"

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t at, std::size_t* invalidPrefix) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        if (invalidPrefix != nullptr) *invalidPrefix = 1;
        return 0;
    }
    std::size_t i = 1;
    for (; i < length && at + i < text.size(); ++i) {
        const unsigned char c = byte(at + i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) break;
    }
    if (i == length) return length;
    if (invalidPrefix != nullptr) *invalidPrefix = i;
    return 0;
}

std::string sanitiseUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t invalid = 0;
        const std::size_t length = utf8SequenceLength(bytes, at, &invalid);
        if (length > 0) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            out.append(ReplacementCharacter);
            at += invalid;
        }
    }
    return out;
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}
