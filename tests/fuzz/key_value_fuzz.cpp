// Fuzz target: the key-value file reader, with the round trip written out and read back.
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/key_value_file.h"
#include "tests/fuzz/fuzz_support.h"

using fuzzsupport::fail;

namespace {

bool sameEntries(const KeyValueFile& a, const KeyValueFile& b) {
    const auto& x = a.entries();
    const auto& y = b.entries();
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i].kind != y[i].kind || x[i].name != y[i].name || x[i].value != y[i].value) return false;
    return true;
}

// Walks every group and key as the catalogue loader does; each read must be answerable.
void walk(KeyValueFile& file) {
    file.examineGroups();
    while (file.nextGroup()) {
        if (!file.examineKeys()) continue;
        while (file.nextKey()) {
            const std::string name = file.keyName();
            if (!fuzzsupport::isValidUtf8(name) || !fuzzsupport::isValidUtf8(file.keyValue()))
                fail("a key or value is not valid UTF-8");
            (void)file.readInteger(name, 0);
            (void)file.readString(name, "");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    KeyValueFile first;
    first.openBytes(bytes);
    for (const KeyValueFile::Entry& entry : first.entries())
        if (!fuzzsupport::isValidUtf8(entry.name) || !fuzzsupport::isValidUtf8(entry.value))
            fail("an entry is not valid UTF-8");

    const std::string written = first.serialise();
    KeyValueFile second;
    second.openBytes(written);
    if (!sameEntries(first, second)) fail("written back and read again, the groups, keys or values differ");
    if (second.serialise() != written) fail("writing a document read back changes its bytes");

    walk(second);
    // Writes into the first group read (the program's own group names hold no "]"), then the
    // round trip once more.
    std::string group = "General";
    for (const KeyValueFile::Entry& entry : first.entries())
        if (entry.kind == KeyValueFile::EntryKind::Group) {
            group = entry.name;
            break;
        }
    second.selectGroup(group);
    second.writeString("Key", "value");
    second.addComment("note");
    KeyValueFile third;
    third.openBytes(second.serialise());
    if (!sameEntries(second, third)) fail("a changed document does not survive the round trip");
    return 0;
}
