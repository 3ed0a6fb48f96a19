// MainWindow: the program's one long-lived window, its fixed layout of 45 controls, and its input.
#pragma once

typedef struct _GtkWidget GtkWidget;

extern GtkWidget* MainWindow; // null until opened
// The main window's theme background (red + 256 * green + 65536 * blue); white until it exists.
extern int ThemeBackgroundColour;

constexpr const char* ProgressBarName = "Progress";

// Opens the main window hidden: title, size, fixed, centred, the screen's style sheet and the
// accelerator group. False when it cannot be opened.
[[nodiscard]] bool openMainWindow();
// The menu bar, controls 0 to 44 and the F1 shortcut.
void buildMainWindow();
// Closes the main window and forgets its controls and menus.
void destroyMainWindow();

// Makes the whole main window (controls and menus) sensitive or not.
void setMainWindowSensitive(bool on);
// Whether the main window takes input; a dialog puts back what it found.
[[nodiscard]] bool mainWindowSensitive();
// Sets every text that follows the language: menu titles, items 0 to 4, captions and buttons; Verify
// reads Cancel while a job runs.
void setLanguageTexts(bool jobRunning);
