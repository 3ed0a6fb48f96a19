// Fuzz target: the first line of an expected-checksum file, checked against GLib's UTF-8 validation.
#include <glib.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "calc/first_line.h"
#include "tests/fuzz/fuzz_support.h"

using fuzzsupport::fail;

namespace {

// The reading the window used before it was made toolkit-free: GLib finds each invalid byte
// (NUL included), which becomes U+FFFD.
std::string glibFirstLine(std::string bytes) {
    bytes.resize(std::min(bytes.size(), ExpectedLineLimit));
    bytes.resize(std::min(bytes.find_first_of("\r\n"), bytes.size()));
    std::string text;
    const char* rest = bytes.data();
    const char* const end = bytes.data() + bytes.size();
    while (rest < end) {
        const char* validEnd = nullptr;
        g_utf8_validate(rest, end - rest, &validEnd);
        text.append(rest, validEnd);
        if (validEnd == end) break;
        text += "\xEF\xBF\xBD";
        rest = validEnd + 1;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string line = firstLineText(bytes);
    if (line != glibFirstLine(bytes)) fail("the first line differs from GLib's reading");
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        fail("a line end or NUL remains");
    if (!g_utf8_validate(line.data(), static_cast<gssize>(line.size()), nullptr))
        fail("the line is not valid UTF-8");

    const std::string path = fuzzsupport::scratchFolder() + "expected.txt";
    if (!fuzzsupport::writeBytes(path, bytes)) std::abort();
    if (readFirstLine(path) != line) fail("the file's first line differs from the bytes' first line");
    return 0;
}
