// Lines the program writes on standard error about a file, with the file's name escaped.
#include "app/terminal_text.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at `at`, or 0 (no overlong forms, surrogates or values above
// U+10FFFF).
std::size_t utf8Length(const std::string& s, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
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
        return 0;
    }
    if (at + length > s.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char c = byte(at + i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

void appendHex(std::string& out, unsigned char byte) {
    static constexpr char Digits[] = "0123456789abcdef";
    out += "\\x";
    out += Digits[byte >> 4];
    out += Digits[byte & 0x0F];
}

} // namespace

std::string terminalSafe(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            if (byte == '\\') out += '\\';
            out += text[i++];
            continue;
        }
        const std::size_t length = byte < 0x80 ? 0 : utf8Length(text, i);
        // U+0080 to U+009F (C2 80 to C2 9F) are the C1 controls, which some terminals obey.
        const bool c1Control = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (length > 0 && !c1Control) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        const std::size_t escaped = c1Control ? 2 : 1;
        for (std::size_t k = 0; k < escaped; ++k, ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c == '\n')
                out += "\\n";
            else if (c == '\t')
                out += "\\t";
            else if (c == '\r')
                out += "\\r";
            else
                appendHex(out, c);
        }
    }
    return out;
}

void reportFileProblem(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "hashwarden: %s: %s\n", terminalSafe(path).c_str(), reason.c_str());
}
