// Verification: the expected checksum loaded from a file, and the exact compare that colours each result.
#include "calc/verification.h"

#include <glib.h>

#include <cstdio>
#include <memory>

#include "app/controls.h"
#include "app/event_loop.h"
#include "app/requesters.h"
#include "calc/calculation.h"
#include "settings/language_catalogue.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The entry would cut a text at a NUL byte and the toolkit wants UTF-8: both are replaced, so what
// the user sees is exactly what the job compares.
std::string validUtf8(const std::string& bytes) {
    std::string text;
    const char* rest = bytes.data();
    const char* const end = bytes.data() + bytes.size();
    while (rest < end) {
        const char* validEnd = nullptr;
        g_utf8_validate(rest, end - rest, &validEnd);
        text.append(rest, validEnd);
        if (validEnd == end) break;
        text += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
        rest = validEnd + 1;
    }
    return text;
}

}  // namespace

std::optional<std::string> readFirstLine(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file{std::fopen(path.c_str(), "rb")};
    if (!file) return std::nullopt;
    std::string line;
    for (int c; line.size() < ExpectedLineLimit && (c = std::fgetc(file.get())) != EOF;) {
        if (c == '\n' || c == '\r') break;
        line += static_cast<char>(c);
    }
    return validUtf8(line);
}

void loadExpectedChecksum() {
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(controlText(ControlId::PathEntry)),
                                                 catalogueText("tReqOPENPATTERN"), 0);
    if (chosen.empty()) return;
    if (std::optional<std::string> line = readFirstLine(chosen)) setControlText(ControlId::ExpectedEntry, *line);
}

void verifyResult(int slot, const std::string& result, const std::string& expected) {
    // Whole text, case-sensitive, nothing trimmed: a checksum matches only as the job writes it.
    const bool match = result == expected;
    JobControlLock lock;
    setTextColour(ControlId::resultEntry(slot), match ? MatchColour : MismatchColour);
}
