// The grouped key = value text format of the settings file and the language files.
#include "settings/key_value_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/safe_file.h"
#include "files/utf8.h"

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

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

// Rewrites `path` itself: for a settings file the administrator made writable in a folder that takes
// no new file. Only a regular file, reached by the same rule for links as a save.
bool rewriteInPlace(const std::string& path, std::string_view bytes) {
    const SaveTarget target = saveTarget(path);
    if (target.failure != 0 || !target.exists) return false;
    const int fd = ::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st {};
    bool written = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) == 0;
    while (written && !bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) continue;
        written = count > 0;
        if (written) bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    written = written && fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

}  // namespace

std::string trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return std::string(trimTrailingBlanks(text));
}

KeyValueFile::~KeyValueFile() { closeFile(); }

void KeyValueFile::reset() {
    path_.clear();
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
    // Nothing is written before closeFile; here only whether the path can lead to a file at all.
    if (saveTarget(path).failure != 0) return false;
    path_ = path;
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
        // The new content becomes visible in one step, once it is safely on disk; a kill or a full disk
        // before that leaves the old file as it was.
        const std::string bytes = serialise();
        const int failure = saveFileSafely(path_, bytes);
        written = failure == 0;
        // A writable file in a folder that is not (a settings file the administrator made writable in
        // a read-only program folder): only an in-place rewrite keeps it.
        if (failure == EACCES || failure == EPERM) written = rewriteInPlace(path_, bytes);
    }
    reset();
    return written;
}
