// Fuzz target: checksum lists. Every line read back must hold a checksum and a name that a line written
// anew in either form, with sha256sum's escapes, gives back exactly; the line's text is what the field
// may take (valid UTF-8, no line end), and the line found for a name is a line of that name.
#include <glib.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "calc/checksum_list.h"
#include "tests/fuzz/fuzz_support.h"

using fuzzsupport::fail;

namespace {

std::string escaped(const std::string& name) {
    std::string text;
    for (char c : name) {
        if (c == '\\')
            text += "\\\\";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else
            text += c;
    }
    return text;
}

void expectSame(const std::optional<ChecksumListLine>& again, const ChecksumListLine& line, const char* form) {
    if (!again) fail(form);
    if (again->checksum != line.checksum || again->name != line.name) fail(form);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    int lastNumber = 0;
    const std::vector<ChecksumListLine> list = readChecksumList(bytes);
    for (const ChecksumListLine& line : list) {
        if (line.number <= lastNumber) fail("the lines are not in order");
        lastNumber = line.number;
        if (line.text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            fail("a line end or NUL remains in the line's text");
        if (!g_utf8_validate(line.text.data(), static_cast<gssize>(line.text.size()), nullptr))
            fail("the line's text is not valid UTF-8");
        if (line.name.empty() || line.checksum.empty()) fail("a line without a name or a checksum");
        expectSame(parseChecksumLine("\\" + line.checksum + "  " + escaped(line.name)), line,
                   "the name does not come back from an escaped GNU line");
        expectSame(parseChecksumLine("\\MD5 (" + escaped(line.name) + ") = " + line.checksum), line,
                   "the name does not come back from an escaped BSD line");
        const ChecksumListLine* found = lineForFile(list, "/some/folder/" + std::string(baseName(line.name)));
        if (!baseName(line.name).empty() && (found == nullptr || baseName(found->name) != baseName(line.name)))
            fail("the line for a listed name is not found");
    }
    return 0;
}
