// Fuzz target: a language pack that is a ZIP archive, given as its bytes.
#include <cstdint>
#include <string>

#include "tests/fuzz/language_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string pack = fuzzsupport::scratchFolder() + LanguagePackName;
    if (!fuzzsupport::writeBytes(pack, {reinterpret_cast<const char*>(data), size})) std::abort();
    fuzzsupport::discoverAndLoadEveryLanguage(pack);
    return 0;
}
