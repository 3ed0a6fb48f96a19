// Program-wide state of the application shell: flags shared with other threads, fonts, images,
// the theme colour, and the start-up and shutdown steps the entry procedure runs.
#pragma once

#include <atomic>
#include <string>
#include <sys/types.h>

typedef struct _GdkPixbuf GdkPixbuf;

// The loop ends after the event during which this became 1.
extern std::atomic<int> QuitRequested;
// The help program started by F1 (0: none) and the HelpWatcher's active flag; the watcher thread
// and the main thread both read and clear them.
extern std::atomic<pid_t> HelpProcess;
extern std::atomic<int> HelpWatcherActive;
// Menu item id of the language item that carries the check mark; -1 while none does.
extern int CurrentLanguageItem;
extern std::string InitialFile;
// The main window's theme background (red + 256 * green + 65536 * blue); white until it exists.
extern int ThemeBackgroundColour;

// The processor the program was built for, as the title and the About window name it: a title that
// named another processor than the one the program runs on would mislead whoever reports a fault.
#if defined(__arm__)
#define HW_BUILD_ARCHITECTURE "arm32"
#elif defined(__aarch64__)
#define HW_BUILD_ARCHITECTURE "arm64"
#elif defined(__x86_64__)
#define HW_BUILD_ARCHITECTURE "x86-64"
#elif defined(__i386__)
#define HW_BUILD_ARCHITECTURE "x86"
#elif defined(__riscv) && __riscv_xlen == 64
#define HW_BUILD_ARCHITECTURE "riscv64"
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
#define HW_BUILD_ARCHITECTURE "ppc64le"
#elif defined(__s390x__)
#define HW_BUILD_ARCHITECTURE "s390x"
#else
#define HW_BUILD_ARCHITECTURE "other"
#endif
constexpr const char* BuildArchitecture = HW_BUILD_ARCHITECTURE;
constexpr const char* MainWindowTitle = "Hashwarden v1.0.0.0 (" HW_BUILD_ARCHITECTURE ") - Brightmoor";
constexpr const char* VersionLine = "v1.0.0.0 (" HW_BUILD_ARCHITECTURE ")";
constexpr const char* MakerWebAddress = "https://www.brightmoor.example/hashwarden/";
constexpr const char* HelpProgramName = "Leafscope.exe";
constexpr const char* WebOpenerName = "xdg-open";

// Font numbers.
enum FontNumber : int {
    ControlFont = 0,
    VerifyButtonFont = 1,
    DialogFont = 2,
    AboutTitleFont = 3,
    FontCount = 4
};
// Image numbers (2 is not used).
enum ImageNumber : int {
    LogoImage = 0,
    WebIcon = 1,
    InfoIcon = 3,
    QuestionIcon = 4,
    WarningIcon = 5,
    OpenIcon = 6,
    AboutIcon = 7,
    HelpIcon = 8,
    QuitIcon = 9,
    MatchMark = 10,    // a tick: the row matches the expected checksum
    MismatchMark = 11, // a cross: it does not
    ImageCount = 12
};

// Applies font `font` (a FontNumber; -1 = the toolkit's) to a widget and, by inheritance, its children.
void applyFont(void* widget, int font);
// The decoded image of an image number; null for an unknown number or one that failed to decode.
[[nodiscard]] GdkPixbuf* shellImage(int number);
// Decodes one PNG held in memory with libpng into 8-bit RGBA; null when it is not a usable PNG.
[[nodiscard]] GdkPixbuf* decodePng(const unsigned char* bytes, std::size_t size);

// The start-up steps up to and including the shown main window (no event loop), and the
// shutdown steps after it; runProgram is startShell + runEventLoop + shutDownShell. Tests use
// the parts. startShell returns 0 on success, else the exit status to end with.
int startShell(int& argc, char**& argv);
// Saves the settings, stops the help program, closes the windows and hands over the clipboard.
void shutDownShell();
// Releases the fonts, images and windows without saving anything (tests between runs).
void tearDownShellForTests();

// Start-up step 8 and shutdown step 4: the font table and the decoded images.
void loadFontsAndImages();
void releaseFontsAndImages();

// When not empty, replaces the ProgramFolder found at start-up (tests run from a temporary folder).
extern std::string ProgramFolderForTests;
