// The command line: --help, --version and "--", and the file argument left after the toolkit's options.
#include "app/command_line.h"

#include "app/terminal_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* EndOfOptions = "--";

constexpr const char* UsageText =
    "Usage: hashwarden [GTK-OPTION...] [--] [FILE]\n"
    "Computes and verifies the checksums of a file in a window (GTK 3 on X11).\n"
    "\n"
    "  FILE       an existing file to put into the path field at start (a missing\n"
    "             file or a folder is left out, with one line on standard error);\n"
    "             nothing is computed until Verify is pressed\n"
    "  --         ends the options: the next argument is FILE, even one that\n"
    "             starts with \"-\"\n"
    "  --help     print this help and exit\n"
    "  --version  print the program's name and version and exit\n"
    "GTK's standard options, such as --display=DISPLAY, come before FILE.\n"
    "\n"
    "Files:\n"
    "  Hashwarden.lang beside the program file\n"
    "             the language pack: a folder or a ZIP archive\n"
    "  ~/.Brightmoor/Hashwarden/Hashwarden.prefs\n"
    "             the settings: the language and the ticked algorithms\n"
    "             (Hashwarden.prefs beside the program file instead, when it exists)\n"
    "Environment:\n"
    "  HOME       the folder that holds .Brightmoor/Hashwarden/\n"
    "  LANG       the language at the first start (English (UK) without a match)\n"
    "  DISPLAY    the X display to open\n"
    "  PATH       searched for the help viewer (F1) and for xdg-open (the web page)\n"
    "\n"
    "See hashwarden(1).\n";

constexpr const char* VersionText = "Hashwarden " HW_VERSION "\n"
                                    "Copyright (c) 2026 Brightmoor\n"
                                    "Released under the MIT licence: /usr/share/doc/hashwarden/copyright\n";

// GNU's rule: whatever the output went to, a write that failed is a failure of the program, and the
// terminal says why (a full disk shows only at the flush).
int printText(const char* text) {
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0) return 0;
    const int error = errno;
    std::fprintf(stderr, "hashwarden: write error: %s\n", std::strerror(error));
    return 1;
}

} // namespace

CommandLineRequest commandLineRequest(int argc, char** argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (std::strcmp(argv[i], EndOfOptions) == 0) break;
        if (std::strcmp(argv[i], "--help") == 0) return CommandLineRequest::Help;
        if (std::strcmp(argv[i], "--version") == 0) return CommandLineRequest::Version;
    }
    return CommandLineRequest::Run;
}

int printUsage() {
    return printText(UsageText);
}

int printVersion() {
    return printText(VersionText);
}

std::string initialFileArgument(int argc, char** argv) {
    int first = 1;
    if (first < argc && std::strcmp(argv[first], EndOfOptions) == 0) ++first;
    return first < argc && argv[first] != nullptr ? argv[first] : "";
}

std::string initialFileProblem(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
    if (S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
    // Non-blocking, so that a named pipe with no writer does not hold the start.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return std::strerror(errno);
    close(descriptor);
    return {};
}

void reportInitialFileProblem(const std::string& path) {
    const std::string problem = initialFileProblem(path);
    if (!problem.empty()) reportFileProblem(path, problem);
}
