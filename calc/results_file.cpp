// The results file's name by the extension rule of the save command.
#include "calc/results_file.h"

namespace {

constexpr const char* DefaultExtension = ".txt";

} // namespace

bool hasExtension(const std::string& name) {
    const std::size_t stop = name.find_last_of(" ./");
    if (stop == std::string::npos || name[stop] != '.') return false;
    if (stop == 0) return false;
    if (name[stop - 1] == '/' || name[stop - 1] == '\\') return false;
    std::size_t end = name.find('"', stop + 1);
    if (end == std::string::npos) end = name.size();
    return end > stop + 1;
}

std::string resultsFileName(const std::string& chosen) {
    return hasExtension(chosen) ? chosen : chosen + DefaultExtension;
}
