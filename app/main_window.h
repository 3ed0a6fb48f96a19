// MainWindow: building the window, its menus and 45 controls, and the control table that every
// control operation goes through.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

extern GtkWidget* MainWindow; // null until opened

enum class ControlKind { Frame, ReadOnlyEntry, Entry, Button, CheckBox, ProgressBar, Image, Label };

constexpr int ControlCount = 49; // 0..44 MainWindow, 45..48 About window
constexpr int MenuTitleCount = 3;
constexpr int MainControlCount = 45;
constexpr const char* ProgressBarName = "Progress";

// Step 16: opens the main window hidden (title, size, fixed, centred, style sheet, accelerator
// group). False when it cannot be opened.
[[nodiscard]] bool openMainWindow();
// Step 17: the menu bar, controls 0 to 44 and the F1 shortcut.
void buildMenusAndControls();
// Closes the main window and forgets its controls and menus.
void destroyMainWindow();

// Control table: the widget of an id (null when absent) and its kind.
[[nodiscard]] GtkWidget* controlWidget(int id);
void registerControl(int id, GtkWidget* widget, ControlKind kind);
void unregisterControl(int id);

// Menu items and titles as built (null when absent); the number of item ids in use.
[[nodiscard]] GtkWidget* menuItemWidget(int itemId);
[[nodiscard]] GtkWidget* menuTitleWidget(int titleIndex);
[[nodiscard]] int menuItemIdCount();
[[nodiscard]] bool menuItemChecked(int itemId);

// Makes the whole main window (controls and menus) sensitive or not.
void setMainWindowSensitive(bool on);
// Whether the main window takes input; a dialog puts back what it found.
[[nodiscard]] bool mainWindowSensitive();
// Sets every text that follows the language (menu titles, items 0 to 4, captions and buttons).
void setLanguageTexts();

// A menu text split into the label shown (GTK mnemonic form) and its shortcut, if any.
struct MenuText {
    std::string label;          // "&" turned into GTK's "_", "_" doubled
    unsigned int key = 0;       // GDK key value; 0 for none
    unsigned int modifiers = 0; // GdkModifierType
};
[[nodiscard]] MenuText parseMenuText(const std::string& fullText);
