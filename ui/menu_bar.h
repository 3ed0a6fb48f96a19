// The main window's menu bar: its titles and items with icons, mnemonics, shortcuts and check marks.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkAccelGroup GtkAccelGroup;

// Menu item ids; language items follow from MenuLanguageBase on.
constexpr int MenuOpen = 0;
constexpr int MenuQuit = 1;
constexpr int MenuOpenHelp = 2;
constexpr int MenuAbout = 3;
constexpr int MenuOpenWeb = 4;
constexpr int MenuLanguageBase = 5;
constexpr int MenuTitleCount = 3;

// The catalogue keys of the three titles and of the items before the languages, by index and id: the
// menu bar is built and re-worded from these alone.
inline constexpr const char* MenuTitleKeys[MenuTitleCount] = {"tMenuFILE", "tMenuLANGUAGES", "tMenuHELP"};
inline constexpr const char* MenuItemKeys[MenuLanguageBase] = {"tMenuOPEN", "tMenuQUIT", "tMenuOPENHELP",
                                                               "tMenuABOUT", "tMenuOPENWEB"};

// Menu item id of the language item that carries the check mark; -1 while none does.
extern int CurrentLanguageItem;

// Builds the three menus into a new menu bar packed at the top of `box`, with their shortcuts in
// `accelerators`; false (and no menus) when the bar cannot be made.
bool buildMenuBar(GtkWidget* box, GtkAccelGroup* accelerators);
// Forgets the menus (their widgets go with the window).
void forgetMenuBar();
[[nodiscard]] GtkWidget* menuBarWidget(); // null when there is none

// Setting a check mark by program raises no menu event. The first check mark turns a plain item into a
// check item in the same place, keeping its id, action, shortcut and text, without its icon.
void enableMenuItem(int itemId, bool on);
void setMenuCheck(int itemId, bool on);
void setMenuTitleText(int titleIndex, const std::string& text);
void setMenuItemText(int itemId, const std::string& text);
[[nodiscard]] std::string menuItemText(int itemId);

// Menu items and titles as built (null when absent); the number of item ids in use.
[[nodiscard]] GtkWidget* menuItemWidget(int itemId);
[[nodiscard]] GtkWidget* menuTitleWidget(int titleIndex);
[[nodiscard]] int menuItemIdCount();
[[nodiscard]] bool menuItemChecked(int itemId);

// A menu text split into the label shown (GTK mnemonic form) and its shortcut, if any.
struct MenuText {
    std::string label;          // "&" turned into GTK's "_", "_" doubled
    unsigned int key = 0;       // GDK key value; 0 for none
    unsigned int modifiers = 0; // GdkModifierType
};
[[nodiscard]] MenuText parseMenuText(const std::string& fullText);
