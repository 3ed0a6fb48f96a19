// The first line of a checksum file, read without the toolkit (the expected-checksum field's source).
#include "calc/first_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/utf8.h"

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

// Closes the descriptor on every way out.
struct DescriptorCloser {
    int fd;
    ~DescriptorCloser() {
        if (fd >= 0) close(fd);
    }
};

} // namespace

std::string firstLineText(std::string_view bytes) {
    bytes = bytes.substr(0, ExpectedLineLimit);
    bytes = bytes.substr(0, std::min(bytes.find_first_of("\r\n"), bytes.size()));
    // The entry would cut a text at a NUL byte and the toolkit wants UTF-8: both are replaced, one
    // byte at a time, so what the user sees is exactly what the job compares.
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = bytes[at] == '\0' ? 0 : utf8SequenceLength(bytes, at);
        if (length == 0) {
            text += ReplacementCharacter;
            ++at;
        } else {
            text.append(bytes.substr(at, length));
            at += length;
        }
    }
    return text;
}

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
    return firstLineText(bytes);
}
