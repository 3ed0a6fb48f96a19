// Checksum lists: the GNU and BSD line forms, the clear-signed armour around them, and the line that
// names a given file.
#include "calc/checksum_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "calc/algorithm_slots.h"
#include "calc/first_line.h"

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

bool isChecksumOfAnAlgorithm(std::string_view text) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), isHexDigit)) return false;
    return std::any_of(std::begin(AlgorithmSlots), std::end(AlgorithmSlots), [&](const AlgorithmSlot& slot) {
        return static_cast<std::size_t>(slot.digestDigits) == text.size();
    });
}

namespace {

// The escapes `sha256sum` writes after a leading backslash. An unknown escape is kept as written, so a
// name that only looks escaped is not changed.
std::string unescaped(std::string_view name) {
    std::string plain;
    plain.reserve(name.size());
    for (std::size_t at = 0; at < name.size(); ++at) {
        if (name[at] == '\\' && at + 1 < name.size()) {
            const char next = name[at + 1];
            if (next == '\\' || next == 'n' || next == 'r') {
                plain += next == '\\' ? '\\' : next == 'n' ? '\n' : '\r';
                ++at;
                continue;
            }
        }
        plain += name[at];
    }
    return plain;
}

// "ALGO (name) = checksum". The name may hold brackets and " = " itself: the last ") = " ends it.
std::optional<ChecksumListLine> parseBsdLine(std::string_view line, bool escaped) {
    const std::size_t open = line.find(" (");
    const std::size_t close = line.rfind(") = ");
    if (open == 0 || open == std::string_view::npos || close == std::string_view::npos || close < open + 2)
        return std::nullopt;
    const std::string_view algorithm = line.substr(0, open);
    if (std::any_of(algorithm.begin(), algorithm.end(), isBlank)) return std::nullopt;
    const std::string_view checksum = line.substr(close + 4);
    const std::string_view name = line.substr(open + 2, close - open - 2);
    if (!isChecksumOfAnAlgorithm(checksum) || name.empty()) return std::nullopt;
    ChecksumListLine parsed;
    parsed.checksum = checksum;
    parsed.name = escaped ? unescaped(name) : std::string(name);
    parsed.algorithm = algorithm;
    return parsed;
}

// "checksum  name" (text mode), "checksum *name" (binary mode), or one blank alone.
std::optional<ChecksumListLine> parseGnuLine(std::string_view line, bool escaped) {
    const std::size_t end = std::find_if(line.begin(), line.end(), isBlank) - line.begin();
    if (end == line.size() || !isChecksumOfAnAlgorithm(line.substr(0, end))) return std::nullopt;
    std::string_view name = line.substr(end + 1);
    if (!name.empty() && (name.front() == '*' || name.front() == ' ')) name.remove_prefix(1);
    if (name.empty()) return std::nullopt;
    ChecksumListLine parsed;
    parsed.checksum = line.substr(0, end);
    parsed.name = escaped ? unescaped(name) : std::string(name);
    return parsed;
}

bool startsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

} // namespace

std::optional<ChecksumListLine> parseChecksumLine(std::string_view line) {
    const bool escaped = !line.empty() && line.front() == '\\';
    if (escaped) line.remove_prefix(1);
    if (std::optional<ChecksumListLine> bsd = parseBsdLine(line, escaped)) return bsd;
    return parseGnuLine(line, escaped);
}

std::vector<ChecksumListLine> readChecksumList(std::string_view bytes) {
    // Where the clear-signed armour stands: its header lines ("Hash: SHA256") run up to the first
    // blank line, and the signature block from its BEGIN line to its END line.
    enum class Armour { None, Header, Signature };
    Armour armour = Armour::None;
    std::vector<ChecksumListLine> lines;
    int number = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view raw = bytes.substr(start, end - start);
        start = end + (bytes.substr(end, 2) == "\r\n" ? 2 : 1);
        ++number;

        std::string_view line = raw;
        if (number == 1 && startsWith(line, ByteOrderMark)) line.remove_prefix(ByteOrderMark.size());
        if (armour == Armour::Header) {
            if (line.find_first_not_of(" \t") == std::string_view::npos) armour = Armour::None;
            continue;
        }
        if (armour == Armour::Signature) {
            if (startsWith(line, "-----END PGP SIGNATURE-----")) armour = Armour::None;
            continue;
        }
        if (startsWith(line, "-----BEGIN PGP SIGNED MESSAGE-----")) {
            armour = Armour::Header;
            continue;
        }
        if (startsWith(line, "-----BEGIN PGP SIGNATURE-----")) {
            armour = Armour::Signature;
            continue;
        }
        if (line.empty() || line.front() == '#') continue;
        std::optional<ChecksumListLine> parsed = parseChecksumLine(line);
        if (!parsed) continue;
        parsed->number = number;
        parsed->text = firstLineText(raw);
        lines.push_back(std::move(*parsed));
    }
    return lines;
}

std::string_view baseName(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

const ChecksumListLine* lineForFile(const std::vector<ChecksumListLine>& list, std::string_view path,
                                   const std::vector<int>& preferredDigits) {
    const std::string_view wanted = baseName(path);
    if (wanted.empty()) return nullptr;
    const ChecksumListLine* first = nullptr;
    for (const ChecksumListLine& line : list) {
        if (baseName(line.name) != wanted) continue;
        if (std::find(preferredDigits.begin(), preferredDigits.end(), static_cast<int>(line.checksum.size())) !=
            preferredDigits.end())
            return &line;
        if (first == nullptr) first = &line;
    }
    return first;
}

std::optional<std::string> readChecksumFile(const std::string& path) {
    // Without waiting: a named pipe or a device picked by mistake must not stall the window.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat status {};
    // Only a regular file is read past its first line: a device would give bytes without end.
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const std::size_t limit = regular ? ChecksumListLimit : ExpectedLineLimit;
    std::string bytes(std::min<std::size_t>(limit, regular ? static_cast<std::size_t>(status.st_size) + 1
                                                           : ExpectedLineLimit),
                      '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() >= limit) break;
            bytes.resize(std::min(limit, bytes.size() * 2)); // the file grew since its size was read
        }
        const ssize_t count = read(fd, bytes.data() + got, bytes.size() - got);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        const char* fresh = bytes.data() + got;
        got += static_cast<std::size_t>(count);
        if (!regular && (std::memchr(fresh, '\n', static_cast<std::size_t>(count)) != nullptr ||
                         std::memchr(fresh, '\r', static_cast<std::size_t>(count)) != nullptr))
            break;
    }
    close(fd);
    bytes.resize(got);
    return bytes;
}
