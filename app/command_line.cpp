// The command line: -h/--help, --version, unknown options and "--", and the file argument left after the
// toolkit's options.
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
constexpr int UsageErrorStatus = 2;

// The options gtk_init takes out of the command line (GTK's and the X11 back end's), and whether the
// next word is their value when it is not given after "=".
struct ToolkitOption {
    const char* name;
    bool takesValue;
};
constexpr ToolkitOption ToolkitOptions[] = {
    {"--display", true},    {"--class", true},     {"--name", true},
    {"--gtk-module", true}, {"--gtk-debug", true}, {"--gtk-no-debug", true},
    {"--gdk-debug", true},  {"--gdk-no-debug", true}, {"--g-fatal-warnings", false},
};

constexpr const char* UsageText =
    "Usage: hashwarden [GTK-OPTION...] [--] [FILE]\n"
    "Computes and verifies the checksums of a file in a window (GTK 3 on X11).\n"
    "\n"
    "  FILE       an existing file to put into the path field at start (a missing\n"
    "             file or a folder is left out, with one line on standard error);\n"
    "             nothing is computed until Verify is pressed\n"
    "  --         ends the options: the next argument is FILE, even one that\n"
    "             starts with \"-\"\n"
    "  -h, --help print this help and exit\n"
    "  --version  print the program's name and version and exit\n"
    "GTK's standard options, such as --display=DISPLAY, come before FILE; any other\n"
    "option ends the program with status 2.\n"
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

namespace {

// How many words the toolkit's option at argv[i] takes (1 or 2); 0 when it is not one of the toolkit's.
int toolkitOptionWords(int argc, char** argv, int i) {
    const std::string word = argv[i];
    for (const ToolkitOption& option : ToolkitOptions) {
        if (word == option.name) return option.takesValue && i + 1 < argc ? 2 : 1;
        if (option.takesValue && word.rfind(std::string(option.name) + "=", 0) == 0) return 1;
    }
    return 0;
}

// The request and, for an unknown option, the word that made it.
CommandLineRequest firstRequest(int argc, char** argv, std::string* unknown) {
    for (int i = 1; i < argc && argv[i] != nullptr;) {
        const char* word = argv[i];
        if (std::strcmp(word, EndOfOptions) == 0) break;
        if (std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0) return CommandLineRequest::Help;
        if (std::strcmp(word, "--version") == 0) return CommandLineRequest::Version;
        if (const int words = toolkitOptionWords(argc, argv, i); words > 0) {
            i += words;
            continue;
        }
        // A lone "-" is a file's name, as it always was.
        if (word[0] == '-' && word[1] != '\0') {
            if (unknown != nullptr) *unknown = word;
            return CommandLineRequest::UnknownOption;
        }
        ++i;
    }
    return CommandLineRequest::Run;
}

} // namespace

CommandLineRequest commandLineRequest(int argc, char** argv) {
    return firstRequest(argc, argv, nullptr);
}

std::string unknownOption(int argc, char** argv) {
    std::string unknown;
    (void)firstRequest(argc, argv, &unknown);
    return unknown;
}

int reportUnknownOption(int argc, char** argv) {
    std::fprintf(stderr, "hashwarden: unknown option '%s'\nTry 'hashwarden --help' for more information.\n",
                 terminalSafe(unknownOption(argc, argv)).c_str());
    return UsageErrorStatus;
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
