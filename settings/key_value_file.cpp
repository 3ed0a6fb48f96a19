// The grouped key = value text format of the settings file and the language files.
#include "settings/key_value_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "calc/process_umask.h"

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

std::string_view trimTrailingBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Length of the valid UTF-8 sequence at `at` (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 with `bad` set to the number of bytes that
// form the maximal invalid prefix, each such prefix becoming one U+FFFD.
std::size_t validSequenceLength(std::string_view s, std::size_t at, std::size_t& bad) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
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
        bad = 1;
        return 0;
    }
    std::size_t i = 1;
    for (; i < length; ++i) {
        if (at + i >= s.size()) break;
        const unsigned char c = byte(at + i);
        const unsigned char lo = i == 1 ? low : 0x80;
        const unsigned char hi = i == 1 ? high : 0xBF;
        if (c < lo || c > hi) break;
    }
    if (i == length) return length;
    bad = i;
    return 0;
}

// Where a save to `path` really lands: through a symbolic link to its target, so that
// a linked settings file stays a link.
std::string replacementTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            std::string target = real;
            std::free(real);
            return target;
        }
    }
    return path;
}

// Makes a rename in the folder of `path` survive a power cut, not just a crash.
void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::string trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return std::string(trimTrailingBlanks(text));
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

std::string sanitiseUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t bad = 0;
        const std::size_t length = validSequenceLength(bytes, at, bad);
        if (length > 0) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            out.append(ReplacementCharacter);
            at += bad;
        }
    }
    return out;
}

KeyValueFile::~KeyValueFile() { closeFile(); }

void KeyValueFile::reset() {
    path_.clear();
    tempPath_.clear();
    if (tempFd_ >= 0) ::close(tempFd_);
    tempFd_ = -1;
    inPlace_ = false;
    open_ = false;
    fromMemory_ = false;
    changed_ = false;
    hasEncoding_ = false;
    entries_.clear();
    currentGroup_ = NoEntry;
    cursor_ = NoEntry;
    pendingGroup_.clear();
    groupPending_ = false;
}

bool KeyValueFile::createFile(const std::string& path) {
    closeFile();
    const std::string target = replacementTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // A hidden name beside the target: rename() is atomic only within one file system.
    std::string pattern = folder + "." + base + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        // A writable file in a folder that is not (a settings file the administrator
        // made writable in a read-only program folder): only an in-place rewrite keeps it.
        const int existing = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (existing < 0) return false;
        struct stat st {};
        if (fstat(existing, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(existing);
            return false;
        }
        path_ = target;
        tempFd_ = existing;
        inPlace_ = true;
        open_ = true;
        changed_ = true;
        hasEncoding_ = true;
        return true;
    }
    struct stat st {};
    const mode_t mode = stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~processUmask());
    fchmod(fd, mode);
    path_ = target;
    tempPath_ = pattern;
    tempFd_ = fd;
    open_ = true;
    changed_ = true;
    hasEncoding_ = true;
    return true;
}

bool KeyValueFile::openFile(const std::string& path, std::size_t maxBytes) {
    closeFile();
    // Non-blocking so that a FIFO in place of the file cannot hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return false;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > maxBytes) {  // grew while being read
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    openBytes(bytes, path);
    fromMemory_ = false;
    return true;
}

void KeyValueFile::openBytes(std::string_view bytes, const std::string& name) {
    closeFile();
    path_ = name;
    open_ = true;
    fromMemory_ = true;
    load(bytes);
}

void KeyValueFile::load(std::string_view bytes) {
    std::string text;
    if (bytes.empty()) {
        hasEncoding_ = false;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == ByteOrderMark) {
        // The mark promises UTF-8; whatever is not becomes U+FFFD so that no invalid
        // byte ever reaches the toolkit.
        text = sanitiseUtf8(bytes.substr(3));
        hasEncoding_ = true;
    } else {
        text = latin1ToUtf8(bytes);
        hasEncoding_ = true;
    }

    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = 0;
        while (end < rest.size() && !isLineEnd(rest[end])) ++end;
        std::string_view line = rest.substr(0, end);
        while (end < rest.size() && isLineEnd(rest[end])) ++end;
        rest.remove_prefix(end);

        while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
        if (line.empty()) continue;  // blank lines are not entries
        Entry entry;
        if (line.front() == ';') {
            line.remove_prefix(1);
            if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
            entry.kind = EntryKind::Comment;
            entry.name = line;
        } else if (line.front() == '[') {
            line.remove_prefix(1);
            entry.kind = EntryKind::Group;
            entry.name = line.substr(0, line.find(']'));
        } else {
            const std::size_t equals = line.find('=');
            entry.kind = EntryKind::Key;
            entry.name = trimTrailingBlanks(line.substr(0, equals));
            if (equals != std::string_view::npos) {
                std::string_view value = line.substr(equals + 1);
                while (!value.empty() && isBlank(value.front())) value.remove_prefix(1);
                entry.value = value;
            }
        }
        entries_.push_back(std::move(entry));
    }
}

std::size_t KeyValueFile::groupStart() const { return currentGroup_ == NoEntry ? 0 : currentGroup_ + 1; }

std::size_t KeyValueFile::findKey(std::string_view key) const {
    for (std::size_t i = groupStart(); i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        if (entry.kind == EntryKind::Group) break;
        if (entry.kind == EntryKind::Key && equalsIgnoringAsciiCase(entry.name, key)) return i;
    }
    return NoEntry;
}

bool KeyValueFile::selectGroup(std::string_view name) {
    groupPending_ = false;
    pendingGroup_.clear();
    if (name.empty()) {
        currentGroup_ = NoEntry;
        cursor_ = NoEntry;
        return true;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].kind == EntryKind::Group && equalsIgnoringAsciiCase(entries_[i].name, name)) {
            currentGroup_ = i;
            cursor_ = i;
            return true;
        }
    }
    groupPending_ = true;
    pendingGroup_ = name;
    return false;
}

std::string KeyValueFile::readString(std::string_view key, std::string_view fallback) const {
    if (groupPending_) return std::string(fallback);
    const std::size_t at = findKey(key);
    if (at == NoEntry) return std::string(fallback);
    return trimBlanks(entries_[at].value);
}

std::int32_t KeyValueFile::readInteger(std::string_view key, std::int32_t fallback) const {
    if (groupPending_) return fallback;
    const std::size_t at = findKey(key);
    if (at == NoEntry) return fallback;
    const std::string& value = entries_[at].value;
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    std::int64_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10 + (value[i] - '0');
        if (number > std::int64_t{INT32_MAX} + 1) number = std::int64_t{INT32_MAX} + 1;  // saturate
    }
    if (negative) number = -number;
    if (number > INT32_MAX) number = INT32_MAX;
    return static_cast<std::int32_t>(number);
}

void KeyValueFile::materialisePendingGroup() {
    if (!groupPending_) return;
    entries_.push_back(Entry{EntryKind::Group, pendingGroup_, {}});
    currentGroup_ = entries_.size() - 1;
    cursor_ = currentGroup_;
    groupPending_ = false;
    pendingGroup_.clear();
}

void KeyValueFile::writeString(std::string_view key, std::string_view value) {
    if (!open_) return;
    materialisePendingGroup();
    std::size_t at = findKey(key);
    if (at != NoEntry) {
        entries_[at].name = key;
        entries_[at].value = value;
    } else {
        at = groupStart();
        while (at < entries_.size() && entries_[at].kind != EntryKind::Group) ++at;
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at),
                        Entry{EntryKind::Key, std::string(key), std::string(value)});
        if (currentGroup_ != NoEntry && currentGroup_ >= at) ++currentGroup_;
    }
    cursor_ = at;
    changed_ = true;
}

void KeyValueFile::writeInteger(std::string_view key, std::int32_t value) {
    writeString(key, std::to_string(value));
}

void KeyValueFile::addComment(std::string_view text) {
    if (!open_) return;
    materialisePendingGroup();
    const std::size_t at = cursor_ == NoEntry ? 0 : cursor_ + 1;
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at),
                    Entry{EntryKind::Comment, std::string(text), {}});
    if (currentGroup_ != NoEntry && currentGroup_ >= at) ++currentGroup_;
    cursor_ = at;
    changed_ = true;
}

bool KeyValueFile::examineGroups() {
    if (!open_) return false;
    currentGroup_ = NoEntry;
    cursor_ = NoEntry;
    groupPending_ = false;
    pendingGroup_.clear();
    return true;
}

bool KeyValueFile::nextGroup() {
    for (std::size_t i = groupStart(); i < entries_.size(); ++i) {
        if (entries_[i].kind == EntryKind::Group) {
            currentGroup_ = i;
            cursor_ = i;
            return true;
        }
    }
    return false;
}

bool KeyValueFile::examineKeys() {
    if (!open_ || groupPending_) return false;
    cursor_ = currentGroup_;
    return true;
}

bool KeyValueFile::nextKey() {
    if (!open_ || groupPending_) return false;
    for (std::size_t i = cursor_ == NoEntry ? 0 : cursor_ + 1; i < entries_.size(); ++i) {
        if (entries_[i].kind == EntryKind::Group) return false;
        if (entries_[i].kind == EntryKind::Key) {
            cursor_ = i;
            return true;
        }
    }
    return false;
}

std::string KeyValueFile::keyName() const {
    if (cursor_ == NoEntry || cursor_ >= entries_.size() || entries_[cursor_].kind != EntryKind::Key) return {};
    return entries_[cursor_].name;
}

std::string KeyValueFile::keyValue() const {
    if (cursor_ == NoEntry || cursor_ >= entries_.size() || entries_[cursor_].kind != EntryKind::Key) return {};
    return trimBlanks(entries_[cursor_].value);
}

std::string KeyValueFile::serialise() const {
    std::string out;
    if (hasEncoding_) {
        out.append(ByteOrderMark);
        out.push_back('\n');
    }
    for (const Entry& entry : entries_) {
        switch (entry.kind) {
        case EntryKind::Group: out += "[" + entry.name + "]"; break;
        case EntryKind::Comment: out += "; " + entry.name; break;
        case EntryKind::Key: out += entry.name + " = " + entry.value; break;
        }
        out.push_back('\n');
    }
    return out;
}

bool KeyValueFile::closeFile() {
    bool written = true;
    if (open_ && changed_ && fromMemory_) {
        // A document read from memory has nowhere to go.
        written = false;
    } else if (open_ && changed_) {
        if (tempFd_ < 0) {
            // An opened document that was changed: give it a temporary file now.
            const std::string target = path_;
            std::vector<Entry> entries = std::move(entries_);
            const bool encoding = hasEncoding_;
            open_ = false;
            if (!createFile(target)) {
                reset();
                return false;
            }
            entries_ = std::move(entries);
            hasEncoding_ = encoding;
        }
        // The new content becomes visible only by the rename, after it is safely on
        // disk; a kill or a full disk before that leaves the old file as it was.
        const std::string bytes = serialise();
        if (inPlace_) {
            written = ftruncate(tempFd_, 0) == 0 && writeAll(tempFd_, bytes) && fsync(tempFd_) == 0;
            written = ::close(tempFd_) == 0 && written;
            tempFd_ = -1;
        } else {
            written = writeAll(tempFd_, bytes) && fsync(tempFd_) == 0;
            written = ::close(tempFd_) == 0 && written;
            tempFd_ = -1;
            if (written) written = std::rename(tempPath_.c_str(), path_.c_str()) == 0;
            if (written) syncFolderOf(path_);
            if (!written) ::unlink(tempPath_.c_str());
        }
    } else if (tempFd_ >= 0 && !inPlace_) {
        ::unlink(tempPath_.c_str());
    }
    reset();
    return written;
}
