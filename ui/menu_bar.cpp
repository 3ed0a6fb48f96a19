// The main window's menu bar: File, Languages and Help, built from the catalogue's texts.
#include "ui/menu_bar.h"

#include <gtk/gtk.h>

#include <array>
#include <cctype>
#include <vector>

#include "settings/language_catalogue.h"
#include "settings/settings_file.h"
#include "ui/event_queue.h"
#include "ui/fonts_images.h"
#include "ui/main_thread.h"

int CurrentLanguageItem = -1;

namespace {

struct MenuItemRecord {
    GtkWidget* item = nullptr;
    GtkWidget* label = nullptr; // the GtkAccelLabel showing the text
    std::string fullText;
    MenuText parsed;
    bool isCheckItem = false;
    bool checked = false;
};
std::vector<MenuItemRecord> MenuItems;

std::array<GtkWidget*, MenuTitleCount> MenuTitles{};
GtkAccelGroup* AccelGroup = nullptr;
GtkWidget* MenuBar = nullptr;

void onMenuItemActivate(GtkMenuItem* item, gpointer idPointer) {
    const int id = GPOINTER_TO_INT(idPointer);
    postEvent(Event{MenuEvent, MainWindowNumber, id, 0, {}});
    // A check item toggles itself when chosen; the check mark is the program's to set, so put
    // back what the program last set (the language switch then moves it).
    if (GTK_IS_CHECK_MENU_ITEM(item) && id < static_cast<int>(MenuItems.size())) {
        ProgramChange change;
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), MenuItems[id].checked);
    }
}

void attachAccelerator(MenuItemRecord& record) {
    if (record.parsed.key != 0)
        gtk_widget_remove_accelerator(record.item, AccelGroup, record.parsed.key,
                                      static_cast<GdkModifierType>(record.parsed.modifiers));
    record.parsed = parseMenuText(record.fullText);
    gtk_label_set_text_with_mnemonic(GTK_LABEL(record.label), record.parsed.label.c_str());
    if (record.parsed.key != 0)
        gtk_widget_add_accelerator(record.item, "activate", AccelGroup, record.parsed.key,
                                   static_cast<GdkModifierType>(record.parsed.modifiers), GTK_ACCEL_VISIBLE);
}

// An item whose child is [icon] + accel label, so that icon, mnemonic and shortcut all show.
GtkWidget* newMenuItem(int id, const std::string& fullText, int icon, bool checkItem, GtkWidget* menu,
                       int position) {
    if (static_cast<int>(MenuItems.size()) <= id) MenuItems.resize(id + 1);
    MenuItemRecord& record = MenuItems[id];
    GtkWidget* item = checkItem ? gtk_check_menu_item_new() : gtk_menu_item_new();
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    if (icon >= 0 && shellImage(icon) != nullptr)
        gtk_box_pack_start(GTK_BOX(box), gtk_image_new_from_pixbuf(shellImage(icon)), FALSE, FALSE, 0);
    GtkWidget* label = gtk_accel_label_new("");
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_accel_label_set_accel_widget(GTK_ACCEL_LABEL(label), item);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), item);
    gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(item), box);
    record.item = item;
    record.label = label;
    record.fullText = fullText;
    record.isCheckItem = checkItem;
    record.parsed = MenuText{};
    attachAccelerator(record);
    g_signal_connect(item, "activate", G_CALLBACK(onMenuItemActivate), GINT_TO_POINTER(id));
    if (position < 0)
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    else
        gtk_menu_shell_insert(GTK_MENU_SHELL(menu), item, position);
    gtk_widget_show_all(item);
    return item;
}

GtkWidget* newMenuTitle(int index, const char* key) {
    GtkWidget* title = gtk_menu_item_new_with_mnemonic(parseMenuText(catalogueText(key)).label.c_str());
    gtk_menu_shell_append(GTK_MENU_SHELL(MenuBar), title);
    MenuTitles[index] = title;
    return title;
}

GtkWidget* newSubmenu(GtkWidget* title) {
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(menu), AccelGroup);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(title), menu);
    return menu;
}

bool makeMenuBar(GtkWidget* box) {
    MenuBar = gtk_menu_bar_new();
    if (MenuBar == nullptr) return false;
    gtk_box_pack_start(GTK_BOX(box), MenuBar, FALSE, FALSE, 0);
    MenuItems.assign(MenuLanguageBase, MenuItemRecord{});

    GtkWidget* fileMenu = newSubmenu(newMenuTitle(0, MenuTitleKeys[0]));
    newMenuItem(MenuOpen, catalogueText(MenuItemKeys[MenuOpen]), OpenIcon, false, fileMenu, -1);
    gtk_menu_shell_append(GTK_MENU_SHELL(fileMenu), gtk_separator_menu_item_new());
    newMenuItem(MenuQuit, catalogueText(MenuItemKeys[MenuQuit]), QuitIcon, false, fileMenu, -1);

    GtkWidget* languagesTitle = newMenuTitle(1, MenuTitleKeys[1]);
    const std::vector<LanguageEntry> languages = languagesInMenuOrder();
    CurrentLanguageItem = -1;
    if (!languages.empty()) {
        GtkWidget* languageMenu = newSubmenu(languagesTitle);
        for (std::size_t k = 0; k < languages.size(); ++k) {
            const int id = MenuLanguageBase + static_cast<int>(k);
            newMenuItem(id, languages[k].displayName, -1, true, languageMenu, -1);
            if (languages[k].code == CurrentLanguage) {
                setMenuCheck(id, true);
                CurrentLanguageItem = id;
            }
        }
    }

    GtkWidget* helpMenu = newSubmenu(newMenuTitle(2, MenuTitleKeys[2]));
    newMenuItem(MenuOpenHelp, catalogueText(MenuItemKeys[MenuOpenHelp]), HelpIcon, false, helpMenu, -1);
    enableMenuItem(MenuOpenHelp, false);
    gtk_menu_shell_append(GTK_MENU_SHELL(helpMenu), gtk_separator_menu_item_new());
    newMenuItem(MenuAbout, catalogueText(MenuItemKeys[MenuAbout]), AboutIcon, false, helpMenu, -1);
    gtk_menu_shell_append(GTK_MENU_SHELL(helpMenu), gtk_separator_menu_item_new());
    newMenuItem(MenuOpenWeb, catalogueText(MenuItemKeys[MenuOpenWeb]), WebIcon, false, helpMenu, -1);
    return true;
}

bool validItem(int itemId) {
    return itemId >= 0 && itemId < static_cast<int>(MenuItems.size()) && MenuItems[itemId].item != nullptr;
}

// The first check mark turns a plain item into a check item in the same place, keeping its
// id, action, shortcut and text, without its icon.
void makeCheckItem(int itemId) {
    MenuItemRecord& record = MenuItems[itemId];
    GtkWidget* old = record.item;
    GtkWidget* menu = gtk_widget_get_parent(old);
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    const int position = g_list_index(children, old);
    g_list_free(children);
    const bool sensitive = gtk_widget_get_sensitive(old);
    const std::string fullText = record.fullText;
    if (record.parsed.key != 0)
        gtk_widget_remove_accelerator(old, AccelGroup, record.parsed.key,
                                      static_cast<GdkModifierType>(record.parsed.modifiers));
    record.parsed = MenuText{};
    gtk_widget_destroy(old);
    newMenuItem(itemId, fullText, -1, true, menu, position);
    gtk_widget_set_sensitive(MenuItems[itemId].item, sensitive);
}


} // namespace

MenuText parseMenuText(const std::string& fullText) {
    MenuText result;
    // Language files write the separator as a tab or, having no escapes, as the two characters "\t".
    std::size_t tab = fullText.find('\t');
    std::size_t skip = 1;
    const std::size_t escaped = fullText.find("\\t");
    if (escaped != std::string::npos && (tab == std::string::npos || escaped < tab)) {
        tab = escaped;
        skip = 2;
    }
    const std::string label = fullText.substr(0, tab);
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_') {
            result.label += "__";
        } else if (label[i] == '&' && i + 1 < label.size()) {
            result.label += '_';
        } else {
            result.label += label[i];
        }
    }
    if (tab == std::string::npos) return result;
    std::string shortcut = fullText.substr(tab + skip);
    for (char& c : shortcut)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::size_t plus = shortcut.rfind('+');
    const std::string keyName = plus == std::string::npos ? shortcut : shortcut.substr(plus + 1);
    const std::string modifiers = plus == std::string::npos ? "" : shortcut.substr(0, plus + 1);
    unsigned int mods = 0;
    if (modifiers.find("SHIFT+") != std::string::npos) mods |= GDK_SHIFT_MASK;
    if (modifiers.find("CTRL+") != std::string::npos) mods |= GDK_CONTROL_MASK;
    if (modifiers.find("ALT+") != std::string::npos) mods |= GDK_MOD1_MASK;
    unsigned int key = 0;
    if (keyName.size() == 1) {
        key =
            gdk_unicode_to_keyval(static_cast<guint32>(std::tolower(static_cast<unsigned char>(keyName[0]))));
    } else if (keyName == "DEL") {
        key = GDK_KEY_Delete;
    } else if (keyName.size() >= 2 && keyName[0] == 'F') {
        const int number = std::atoi(keyName.c_str() + 1);
        if (number >= 1 && number <= 12 && keyName.find_first_not_of("0123456789", 1) == std::string::npos)
            key = GDK_KEY_F1 + static_cast<unsigned int>(number - 1);
    }
    if (key != 0) {
        result.key = key;
        result.modifiers = mods;
    }
    return result;
}

GtkWidget* menuItemWidget(int itemId) {
    return validItem(itemId) ? MenuItems[itemId].item : nullptr;
}
GtkWidget* menuTitleWidget(int titleIndex) {
    return titleIndex >= 0 && titleIndex < MenuTitleCount ? MenuTitles[titleIndex] : nullptr;
}
int menuItemIdCount() {
    return static_cast<int>(MenuItems.size());
}
bool menuItemChecked(int itemId) {
    return validItem(itemId) && MenuItems[itemId].checked;
}

void enableMenuItem(int itemId, bool on) {
    if (!onMainThread("enableMenuItem")) return;
    if (validItem(itemId)) gtk_widget_set_sensitive(MenuItems[itemId].item, on);
}

void setMenuCheck(int itemId, bool on) {
    if (!onMainThread("setMenuCheck")) return;
    ProgramChange change;
    if (!validItem(itemId)) return;
    if (on && !MenuItems[itemId].isCheckItem) makeCheckItem(itemId);
    MenuItems[itemId].checked = on;
    if (MenuItems[itemId].isCheckItem)
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(MenuItems[itemId].item), on);
}

void setMenuTitleText(int titleIndex, const std::string& text) {
    if (!onMainThread("setMenuTitleText")) return;
    if (GtkWidget* title = menuTitleWidget(titleIndex))
        gtk_menu_item_set_label(GTK_MENU_ITEM(title), parseMenuText(text).label.c_str());
}

void setMenuItemText(int itemId, const std::string& text) {
    if (!onMainThread("setMenuItemText")) return;
    if (!validItem(itemId)) return;
    MenuItems[itemId].fullText = text;
    attachAccelerator(MenuItems[itemId]);
}

std::string menuItemText(int itemId) {
    if (!onMainThread("menuItemText")) return {};
    return validItem(itemId) ? MenuItems[itemId].fullText : std::string();
}

bool buildMenuBar(GtkWidget* box, GtkAccelGroup* accelerators) {
    AccelGroup = accelerators;
    return makeMenuBar(box);
}

GtkWidget* menuBarWidget() {
    return MenuBar;
}

void forgetMenuBar() {
    MenuBar = nullptr;
    AccelGroup = nullptr;
    MenuItems.clear();
    MenuTitles.fill(nullptr);
    CurrentLanguageItem = -1;
}
