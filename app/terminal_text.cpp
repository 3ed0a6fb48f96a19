// Lines the program writes on standard error about a file, with the file's name escaped.
#include "app/terminal_text.h"

#include <cstdio>

#include "files/utf8.h"

namespace {

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
        const std::size_t length = byte < 0x80 ? 0 : utf8SequenceLength(text, i);
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
