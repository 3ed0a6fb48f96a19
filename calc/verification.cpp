// Verification: the expected checksum loaded from a file, and the exact compare that colours each result.
#include "calc/verification.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/chosen_file.h"
#include "app/controls.h"
#include "app/event_loop.h"
#include "app/requesters.h"
#include "calc/calculation.h"
#include "settings/language_catalogue.h"

namespace {

// Closes the descriptor on every way out.
struct DescriptorCloser {
    int fd;
    ~DescriptorCloser() {
        if (fd >= 0) close(fd);
    }
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
    // Without waiting: a named pipe or a device picked by mistake must not stall the window.
    const DescriptorCloser file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) return std::nullopt;
    std::string bytes(ExpectedLineLimit, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t count = read(file.fd, bytes.data() + got, bytes.size() - got);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        const char* fresh = bytes.data() + got;
        got += static_cast<std::size_t>(count);
        if (std::memchr(fresh, '\n', static_cast<std::size_t>(count)) != nullptr ||
            std::memchr(fresh, '\r', static_cast<std::size_t>(count)) != nullptr)
            break;
    }
    bytes.resize(got);
    bytes.resize(std::min(bytes.find_first_of("\r\n"), bytes.size()));
    return validUtf8(bytes);
}

void loadExpectedChecksum() {
    const std::string chosen = openFileRequester(catalogueText("tReqOPENFILE"), folderPart(chosenFilePath()),
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
