// File names on standard error: one line whatever the name holds, and nothing a terminal would obey.
#include <gtest/gtest.h>

#include <string>

#include "app/terminal_text.h"

namespace {

TEST(TerminalSafe, EscapesControlsBackslashesAndBrokenUtf8AndKeepsText) {
    const struct {
        std::string name, shown;
    } cases[] = {
        {"report.txt", "report.txt"},
        {"gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80", "gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"two\nlines", "two\\nlines"},
        {"tab\there\rback", "tab\\there\\rback"},
        {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"C:\\temp", "C:\\\\temp"},                            // so that "\n" in a name cannot pass for a line break
        {"csi \xC2\x9B" "31m", "csi \\xc2\\x9b31m"},           // U+009B, a C1 control as UTF-8
        {"nbsp\xC2\xA0", "nbsp\xC2\xA0"},                       // U+00A0 is text
        {"latin1 \xE9t\xE9", "latin1 \\xe9t\\xe9"},             // not UTF-8
        {"cut \xE2\x82", "cut \\xe2\\x82"},                     // a sequence cut short
        {"overlong \xC0\xAF", "overlong \\xc0\\xaf"},
        {"surrogate \xED\xA0\x80", "surrogate \\xed\\xa0\\x80"},
    };
    for (const auto& c : cases) EXPECT_EQ(terminalSafe(c.name), c.shown) << testing::PrintToString(c.name);
}

} // namespace
