// Tests of the key-value file format: parsing, lookups, integers, encodings, writing byte for byte.
#include <gtest/gtest.h>

#include "files/utf8.h"
#include "settings/key_value_file.h"
#include "test_support.h"

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string Bom = "\xEF\xBB\xBF";

// Every (group, key, value) of a document as the language loader sees it.
std::vector<std::string> walk(KeyValueFile& file) {
    std::vector<std::string> seen;
    EXPECT_TRUE(file.examineGroups());
    while (file.nextGroup()) {
        if (!file.examineKeys()) continue;
        while (file.nextKey()) seen.push_back(file.keyName() + "=" + file.keyValue());
        seen.push_back("|");
    }
    return seen;
}

}  // namespace

TEST(KeyValueFileRead, CrlfAndLfFilesLoadTheSame) {
    const std::string lf = "; note\n[General]\nCRC32 = 1\n\n\nMD5 = 0\n[Other]\nx = y\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    KeyValueFile a, b, c;
    a.openBytes(Bom + lf);
    b.openBytes(Bom + crlf);
    c.openBytes(Bom + "; note\r\r\n[General]\rCRC32 = 1\n\rMD5 = 0\r[Other]\r\nx = y");  // mixed runs, no final end
    EXPECT_EQ(a.serialise(), b.serialise());
    EXPECT_EQ(a.serialise(), c.serialise());
    EXPECT_EQ(a.entries().size(), 6u);
    EXPECT_EQ(a.serialise(), Bom + "\n; note\n[General]\nCRC32 = 1\nMD5 = 0\n[Other]\nx = y\n");
}

TEST(KeyValueFileRead, GroupsAndKeysIgnoreAsciiCaseOnly) {
    KeyValueFile file;
    file.openBytes(Bom + "[general]\ncrc32 = 1\n[\xC3\xA4]\nk = 2\n");
    EXPECT_TRUE(file.selectGroup("GENERAL"));
    EXPECT_EQ(file.readInteger("CRC32", -1), 1);
    EXPECT_EQ(file.readString("Crc32", "x"), "1");
    // Bytes outside A-Z/a-z compare exactly: "Ä" is not "ä".
    EXPECT_FALSE(file.selectGroup("\xC3\x84"));
    EXPECT_TRUE(file.selectGroup("\xC3\xA4"));
    EXPECT_EQ(file.readInteger("K", 0), 2);
}

TEST(KeyValueFileRead, FirstDuplicateWinsAndWriteReplacesIt) {
    KeyValueFile file;
    file.openBytes(Bom + "[G]\nkey = first\nKEY = second\n[g]\nkey = other group\n");
    ASSERT_TRUE(file.selectGroup("g"));
    EXPECT_EQ(file.readString("key", ""), "first");
    file.writeString("Key", "new");
    EXPECT_EQ(file.serialise(), Bom + "\n[G]\nKey = new\nKEY = second\n[g]\nkey = other group\n");
}

TEST(KeyValueFileRead, LineSyntax) {
    KeyValueFile file;
    file.openBytes(Bom +
                   "top = level\n"
                   "   ;indented comment  \n"
                   ";  two spaces\n"
                   "[ spaced ] trailing junk\n"
                   "\tkey\t =  value = with = signs  \n"
                   "novalue   \n"
                   "[unclosed\n"
                   "a=b\n"
                   "back = C:\\path\\n\n");
    const auto& e = file.entries();
    ASSERT_EQ(e.size(), 9u);
    EXPECT_EQ(e[1].kind, KeyValueFile::EntryKind::Comment);
    EXPECT_EQ(e[1].name, "indented comment  ");  // one space dropped, trailing blanks kept
    EXPECT_EQ(e[2].name, " two spaces");
    EXPECT_EQ(e[3].kind, KeyValueFile::EntryKind::Group);
    EXPECT_EQ(e[3].name, " spaced ");
    EXPECT_EQ(e[4].name, "key");
    EXPECT_EQ(e[4].value, "value = with = signs  ");  // stored untrimmed at the end
    EXPECT_EQ(e[5].name, "novalue");                  // no "=": a key with an empty value
    EXPECT_EQ(e[5].value, "");
    EXPECT_EQ(e[6].name, "unclosed");

    ASSERT_TRUE(file.selectGroup(" SPACED "));
    EXPECT_FALSE(file.selectGroup("spaced"));
    file.selectGroup(" spaced ");
    EXPECT_EQ(file.readString("key", ""), "value = with = signs");
    EXPECT_EQ(file.readString("novalue", "default"), "");  // present but empty
    ASSERT_TRUE(file.selectGroup("unclosed"));
    EXPECT_EQ(file.readString("back", ""), "C:\\path\\n");  // no escapes
    ASSERT_TRUE(file.selectGroup(""));
    EXPECT_EQ(file.readString("top", ""), "level");
}

TEST(KeyValueFileRead, ReadIntegerScansLikePercentD) {
    KeyValueFile file;
    file.openBytes(Bom +
                   "[N]\nblank =\nspaces =    \nneg =   -42\nplus = +7\nletters = abc\n"
                   "trail = 12abc\nsignonly = -\nhuge = 99999999999\ntiny = -99999999999\nmin = -2147483648\n");
    file.selectGroup("N");
    EXPECT_EQ(file.readInteger("blank", 5), 0);
    EXPECT_EQ(file.readInteger("spaces", 5), 0);
    EXPECT_EQ(file.readInteger("neg", 5), -42);
    EXPECT_EQ(file.readInteger("plus", 5), 7);
    EXPECT_EQ(file.readInteger("letters", 5), 0);
    EXPECT_EQ(file.readInteger("trail", 5), 12);
    EXPECT_EQ(file.readInteger("signonly", 5), 0);
    EXPECT_EQ(file.readInteger("absent", 5), 5);
    EXPECT_EQ(file.readInteger("huge", 0), INT32_MAX);
    EXPECT_EQ(file.readInteger("tiny", 0), INT32_MIN);
    EXPECT_EQ(file.readInteger("min", 0), INT32_MIN);
}

TEST(KeyValueFileRead, EncodingFromByteOrderMark) {
    KeyValueFile latin;
    latin.openBytes("[G]\nname = caf\xE9\n");  // ISO 8859-1 é
    latin.selectGroup("G");
    EXPECT_EQ(latin.readString("name", ""), "caf\xC3\xA9");

    KeyValueFile utf8WithoutMark;  // read byte by byte as ISO 8859-1
    utf8WithoutMark.openBytes("[G]\nname = caf\xC3\xA9\n");
    utf8WithoutMark.selectGroup("G");
    EXPECT_EQ(utf8WithoutMark.readString("name", ""), "caf\xC3\x83\xC2\xA9");

    KeyValueFile empty;
    empty.openBytes("");
    EXPECT_TRUE(empty.entries().empty());
    EXPECT_EQ(empty.serialise(), "");  // no encoding: no mark

    KeyValueFile markOnly;
    markOnly.openBytes(Bom);
    EXPECT_TRUE(markOnly.entries().empty());
    EXPECT_EQ(markOnly.serialise(), Bom + "\n");
}

TEST(KeyValueFileRead, InvalidUtf8BehindTheMarkIsReplaced) {
    KeyValueFile file;
    // Stray continuation byte, overlong "/", a surrogate, a code point above U+10FFFF,
    // a sequence cut off by the line end, then valid 2-, 3- and 4-byte characters.
    file.openBytes(Bom + "[G]\na = x\x80y\nb = \xC0\xAF\nc = \xED\xA0\x80\nd = \xF4\x90\x80\x80\ne = \xE2\x82\n"
                         "f = \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n");
    file.selectGroup("G");
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(file.readString("a", ""), "x" + fffd + "y");
    EXPECT_EQ(file.readString("b", ""), fffd + fffd);
    EXPECT_EQ(file.readString("c", ""), fffd + fffd + fffd);
    EXPECT_EQ(file.readString("d", ""), fffd + fffd + fffd + fffd);
    EXPECT_EQ(file.readString("e", ""), fffd);  // one maximal invalid prefix
    EXPECT_EQ(file.readString("f", ""), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(sanitiseUtf8(file.serialise()), file.serialise());
}

TEST(KeyValueFileRead, PendingGroupAndIteration) {
    KeyValueFile file;
    file.openBytes(Bom + "top = 1\n[A]\n; c\na1 = x\na2 =  y \n[B]\n[C]\nc1 = z\n");
    EXPECT_FALSE(file.selectGroup("missing"));
    EXPECT_EQ(file.readString("top", "d"), "d");
    EXPECT_EQ(file.readInteger("top", 9), 9);
    EXPECT_FALSE(file.examineKeys());
    EXPECT_FALSE(file.nextKey());
    // Top-level keys are never visited by group iteration.
    EXPECT_EQ(walk(file), (std::vector<std::string>{"a1=x", "a2=y", "|", "|", "c1=z", "|"}));
    EXPECT_FALSE(file.nextGroup());
}

TEST(KeyValueFileWrite, CreatedEmptyDocumentIsFourBytes) {
    TempDir dir;
    KeyValueFile file;
    ASSERT_TRUE(file.createFile(dir / "empty.prefs"));
    EXPECT_TRUE(file.closeFile());
    EXPECT_EQ(readFile(dir / "empty.prefs"), Bom + "\n");
}

TEST(KeyValueFileWrite, InsertionOrderCommentsAndPendingGroups) {
    TempDir dir;
    {
        KeyValueFile file;
        ASSERT_TRUE(file.createFile(dir / "t.prefs"));
        file.addComment("first");
        file.selectGroup("One");
        file.writeString("a", "1");
        file.selectGroup("Two");
        file.writeInteger("b", -5);
        file.selectGroup("one");  // existing group: new key goes to its end, before [Two]
        file.writeString("c", "3");
        file.addComment("after c");
        file.selectGroup("");  // top level: after the leading comment, before [One]
        file.writeString("top", "t");
        file.selectGroup("Two");
        file.addComment("under Two");
        file.writeString("B", "6");  // replaces b, taking the new spelling
        // The destructor writes the document out.
    }
    EXPECT_EQ(readFile(dir / "t.prefs"), Bom +
                                            "\n; first\ntop = t\n[One]\na = 1\nc = 3\n; after c\n[Two]\n"
                                            "; under Two\nB = 6\n");
    // Only the finished file is left in the folder.
    EXPECT_EQ(testsupport::listFolder(dir.path()), std::vector<std::string>{"t.prefs"});
}

TEST(KeyValueFileWrite, CreateFailsInMissingFolderAndWritesNothing) {
    TempDir dir;
    KeyValueFile file;
    EXPECT_FALSE(file.createFile(dir / "no/such/folder/x.prefs"));
    file.writeString("a", "b");
    EXPECT_TRUE(file.closeFile());
    EXPECT_FALSE(testsupport::exists(dir / "no"));
}

TEST(KeyValueFileWrite, OpenedDocumentIsOnlyWrittenWhenChanged) {
    TempDir dir;
    const std::string original = "[G]\r\nk=v\r\n";  // no mark, CRLF
    writeFile(dir / "f", original);
    {
        KeyValueFile file;
        ASSERT_TRUE(file.openFile(dir / "f"));
        file.selectGroup("G");
        EXPECT_EQ(file.readString("k", ""), "v");
    }
    EXPECT_EQ(readFile(dir / "f"), original);
    {
        KeyValueFile file;
        ASSERT_TRUE(file.openFile(dir / "f"));
        file.selectGroup("G");
        file.writeString("k", "w");
    }
    EXPECT_EQ(readFile(dir / "f"), Bom + "\n[G]\nk = w\n");
}

TEST(KeyValueFileWrite, DocumentReadFromMemoryIsNeverWrittenAnywhere) {
    TempDir dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    {
        KeyValueFile file;
        file.openBytes(Bom + "[G]\nk = v\n", "named.language");
        file.selectGroup("G");
        file.writeString("k", "changed");
        EXPECT_FALSE(file.closeFile());
    }
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_TRUE(testsupport::listFolder(dir.path()).empty());
}

TEST(KeyValueFileOpen, MissingFolderOrFifoFails) {
    TempDir dir;
    KeyValueFile file;
    EXPECT_FALSE(file.openFile(dir / "absent"));
    EXPECT_FALSE(file.openFile(dir.path()));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(file.openFile(dir / "fifo"));  // must not block
    EXPECT_FALSE(file.isOpen());
}
