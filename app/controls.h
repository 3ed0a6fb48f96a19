// Operations on the controls and menu items of the program's windows, addressed by fixed ids.
// Each may be called from the main thread or from the calculation thread: it takes the toolkit's
// global lock for its duration and flushes the display before releasing it.
#pragma once

#include <string>

// Control ids of the main window (0..44) and the About window (45..48).
namespace ControlId {
constexpr int FileFrame = 0;
constexpr int PathEntry = 1;
constexpr int BrowseButton = 2;
constexpr int AlgorithmFrame = 3;
constexpr int algorithmCheckBox(int slot) {
    return 4 + 3 * slot;
}
constexpr int resultEntry(int slot) {
    return 5 + 3 * slot;
}
constexpr int copyButton(int slot) {
    return 6 + 3 * slot;
}
constexpr int CopyAllButton = 37;
constexpr int SaveButton = 38;
constexpr int DeleteAllButton = 39;
constexpr int VerificationFrame = 40;
constexpr int ExpectedEntry = 41;
constexpr int ExpectedBrowseButton = 42;
constexpr int ProgressBar = 43;
constexpr int VerifyButton = 44;
} // namespace ControlId

// Menu item ids; language items follow from MenuLanguageBase on.
constexpr int MenuOpen = 0;
constexpr int MenuQuit = 1;
constexpr int MenuOpenHelp = 2;
constexpr int MenuAbout = 3;
constexpr int MenuOpenWeb = 4;
constexpr int MenuLanguageBase = 5;

constexpr int SlotCount = 11;

// Setting a text or a state by program raises no control event.
void setControlText(int id, const std::string& text);
[[nodiscard]] std::string controlText(int id);
[[nodiscard]] int controlState(int id); // 1 for a ticked check box; the progress bar's value in whole units
void setControlState(int id, int value);
// The progress bar's value in its own units (0 to its maximum), fractions included.
void setProgressValue(int id, double value);
[[nodiscard]] double progressValue(int id);
void setProgressMaximum(int id, int maximum);
void setTextColour(int id, int rgb); // red + 256 * green + 65536 * blue; -1 = default
// An entry's mark: an image (an ImageNumber of the shell; -1 = none) at its end, with `text` as the
// mark's tooltip and the entry's accessible description. No image clears both.
void setEntryMark(int id, int image, const std::string& text);
[[nodiscard]] int entryMark(int id); // the image shown; -1 for none
void enableControl(int id, bool on);
[[nodiscard]] bool controlEnabled(int id);
void setControlFont(int id, int font); // a font number of the shell (app/shell.h); -1 = default

void enableMenuItem(int itemId, bool on);
void setMenuCheck(int itemId, bool on);
void setMenuTitleText(int titleIndex, const std::string& text);
void setMenuItemText(int itemId, const std::string& text);
[[nodiscard]] std::string menuItemText(int itemId);

// Puts UTF-8 text on the CLIPBOARD selection (main thread).
void setClipboardText(const std::string& text);
