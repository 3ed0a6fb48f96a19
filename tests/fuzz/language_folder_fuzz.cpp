// Fuzz target: a language pack that is a folder, built from the input as a few named entries.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "tests/fuzz/language_checks.h"

namespace {

// An entry name the file system accepts: no "/", no NUL, not "." or "..", not too long.
std::string entryName(FuzzedDataProvider& input) {
    std::string name = input.ConsumeRandomLengthString(64);
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    if (input.ConsumeBool()) name += ".language";
    if (name.empty() || name == "." || name == "..") name = "x.language";
    return name;
}

} // namespace

// Input: entries one after another, each a kind, a name and (for files) the bytes up to the next
// entry. Kinds: regular file, folder, symbolic link to an earlier entry, link to nowhere, FIFO.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string pack = fuzzsupport::scratchFolder() + LanguagePackName;
    fuzzsupport::removeTree(pack);
    if (mkdir(pack.c_str(), 0700) != 0) std::abort();
    FuzzedDataProvider input(data, size);
    std::string previous;
    for (int count = 0; count < 8 && input.remaining_bytes() > 0; ++count) {
        const int kind = input.ConsumeIntegralInRange(0, 9);
        const std::string name = entryName(input);
        const std::string path = pack + "/" + name;
        if (kind <= 5) {
            (void)fuzzsupport::writeBytes(path, input.ConsumeRandomLengthString(4096));
        } else if (kind == 6) {
            mkdir(path.c_str(), 0700);
        } else if (kind == 7) {
            (void)symlink(previous.empty() ? "." : previous.c_str(), path.c_str());
        } else if (kind == 8) {
            (void)symlink("/nonexistent/de_DE.language", path.c_str());
        } else {
            mkfifo(path.c_str(), 0600);
        }
        previous = name;
    }
    fuzzsupport::discoverAndLoadEveryLanguage(pack);
    return 0;
}
