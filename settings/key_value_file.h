// The grouped key = value text format of the settings file and the language files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One document, loaded whole into memory as an ordered list of entries. Reads look a
// key up in the current group (ASCII case ignored, first match wins) and fall back to
// the caller's default; writes change the list, which is written out in one piece by
// closeFile (or the destructor). Everything inside a document is UTF-8.
struct KeyValueFile {
    enum class EntryKind { Group, Comment, Key };
    struct Entry {
        EntryKind kind = EntryKind::Key;
        std::string name;   // group name, comment text or key
        std::string value;  // value of a key entry, stored untrimmed at the end
    };

    KeyValueFile() = default;
    ~KeyValueFile();
    KeyValueFile(const KeyValueFile&) = delete;
    KeyValueFile& operator=(const KeyValueFile&) = delete;

    // Starts an empty, changed UTF-8 document for `path`. closeFile saves it as
    // saveFileSafely does (files/safe_file.h: a new file put in place once complete, so an
    // interrupted save never leaves a cut-off file behind, and links followed only by the
    // kernel's rule). When the folder takes no new file but `path` itself is writable,
    // closeFile rewrites `path` in place instead. False when the path leads to no file (a
    // missing folder, a refused link); later writes and closeFile then do nothing.
    [[nodiscard]] bool createFile(const std::string& path);
    // Loads an existing file for reading. False when it cannot be opened or read, or
    // holds more than `maxBytes` bytes.
    [[nodiscard]] bool openFile(const std::string& path, std::size_t maxBytes = static_cast<std::size_t>(-1));
    // Loads a document from bytes already in memory (a language file read out of an
    // archive); `name` is only kept as the document's path. Such a document is never
    // written out.
    void openBytes(std::string_view bytes, const std::string& name = {});

    // Empty name: the top level. Otherwise the first group of that name (ASCII case
    // ignored); when there is none the name becomes pending and false is returned.
    bool selectGroup(std::string_view name);
    [[nodiscard]] std::string readString(std::string_view key, std::string_view fallback) const;
    // Scanned like C's %d: blanks, sign, digits up to the first non-digit; no digits
    // read as 0; only an absent key gives the fallback. Saturates at the 32-bit range.
    [[nodiscard]] std::int32_t readInteger(std::string_view key, std::int32_t fallback) const;
    void writeString(std::string_view key, std::string_view value);
    void writeInteger(std::string_view key, std::int32_t value);
    void addComment(std::string_view text);

    bool examineGroups();
    bool nextGroup();
    bool examineKeys();
    bool nextKey();
    [[nodiscard]] std::string keyName() const;
    [[nodiscard]] std::string keyValue() const;  // trimmed of spaces and tabs

    // Writes the document out when it is changed, then forgets it. Returns false only
    // when a changed document could not be written (callers of the program ignore it).
    bool closeFile();

    // The exact bytes closeFile writes for the current entry list.
    [[nodiscard]] std::string serialise() const;
    [[nodiscard]] bool isOpen() const { return open_; }
    [[nodiscard]] const std::vector<Entry>& entries() const { return entries_; }

private:
    static constexpr std::size_t NoEntry = static_cast<std::size_t>(-1);

    void reset();
    void load(std::string_view bytes);
    [[nodiscard]] std::size_t groupStart() const;  // first index after the current header
    [[nodiscard]] std::size_t findKey(std::string_view key) const;
    void materialisePendingGroup();

    std::string path_;
    bool open_ = false;
    bool fromMemory_ = false;  // loaded by openBytes: there is no file to write back to
    bool changed_ = false;
    bool hasEncoding_ = false;  // false only for a document loaded from an empty file
    std::vector<Entry> entries_;
    std::size_t currentGroup_ = NoEntry;  // NoEntry: the top level
    std::size_t cursor_ = NoEntry;
    std::string pendingGroup_;
    bool groupPending_ = false;
};

// Spaces and tabs trimmed at both ends: keys, values and group names.
[[nodiscard]] std::string trimBlanks(std::string_view text);
