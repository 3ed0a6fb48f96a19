// MainWindow: the window, its menu bar, its 45 controls in a fixed layout, drops and accessibility.
#include "app/main_window.h"

#include <gtk/gtk.h>

#include <array>
#include <cctype>
#include <vector>

#include "app/accessibility.h"
#include "app/controls.h"
#include "app/event_queue.h"
#include "app/events.h"
#include "app/keyboard_focus.h"
#include "app/shell.h"
#include "app/toolkit_lock.h"
#include "app/widget_style.h"
#include "app/work_area.h"
#include "calc/calculation.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"

GtkWidget* MainWindow = nullptr;

namespace {

constexpr int WindowWidth = 1000;
constexpr int WindowHeight = 605;
constexpr int RowTop = 83;
constexpr int RowStep = 32;
constexpr const char* ScreenStyleSheet =
    "button, entry {min-height: 20px;} tab {min-height: 20px;} button, scale {padding-bottom: 2px; "
    "padding-left: 2px; padding-right: 2px; padding-top: 2px} ";
constexpr guint ScreenStylePriority = 600;
constexpr const char* CheckBoxLabels[SlotCount] = {"CRC32",      "MD5",        "SHA1",       "SHA2 - 224",
                                                   "SHA2 - 256", "SHA2 - 384", "SHA2 - 512", "SHA3 - 224",
                                                   "SHA3 - 256", "SHA3 - 384", "SHA3 - 512"};

struct ControlRow {
    int id;
    ControlKind kind;
    int x, y, width, height;
    const char* textKey; // catalogue key of the text at creation, or null
    const char* fixedText;
    int font; // FontNumber, -1 for the toolkit's
    bool enabled;
};

std::vector<ControlRow> mainControlTable() {
    std::vector<ControlRow> table = {
        {ControlId::FileFrame, ControlKind::Frame, 5, 5, 990, 55, "tMainFILE", nullptr, -1, true},
        {ControlId::PathEntry, ControlKind::ReadOnlyEntry, 10, 23, 855, 27, nullptr, "", ControlFont, true},
        {ControlId::BrowseButton, ControlKind::Button, 870, 23, 120, 27, "tGenBROWSE", nullptr, ControlFont,
         true},
        {ControlId::AlgorithmFrame, ControlKind::Frame, 5, 65, 990, 410, "tMainALGORITHM", nullptr, -1, true},
    };
    for (int slot = 0; slot < SlotCount; ++slot) {
        const int top = RowTop + RowStep * slot;
        table.push_back({ControlId::algorithmCheckBox(slot), ControlKind::CheckBox, 10, top, 100, 27, nullptr,
                         CheckBoxLabels[slot], ControlFont, true});
        table.push_back({ControlId::resultEntry(slot), ControlKind::ReadOnlyEntry, 115, top, 770, 27, nullptr,
                         "", ControlFont, true});
        table.push_back({ControlId::copyButton(slot), ControlKind::Button, 890, top, 100, 27,
                         "tMainCLIPBOARD", nullptr, ControlFont, false});
    }
    const std::vector<ControlRow> tail = {
        {ControlId::CopyAllButton, ControlKind::Button, 10, 440, 120, 27, "tMainCLIPBOARD", nullptr,
         ControlFont, false},
        {ControlId::SaveButton, ControlKind::Button, 135, 440, 120, 27, "tMainSAVE", nullptr, ControlFont,
         false},
        {ControlId::DeleteAllButton, ControlKind::Button, 870, 440, 120, 27, "tMainDELETEALL", nullptr,
         ControlFont, false},
        {ControlId::VerificationFrame, ControlKind::Frame, 5, 480, 990, 55, "tMainVERIFICATION", nullptr, -1,
         true},
        {ControlId::ExpectedEntry, ControlKind::Entry, 10, 498, 855, 27, nullptr, "", ControlFont, true},
        {ControlId::ExpectedBrowseButton, ControlKind::Button, 870, 498, 120, 27, "tGenBROWSE", nullptr,
         ControlFont, true},
        {ControlId::ProgressBar, ControlKind::ProgressBar, 5, 545, 855, 27, nullptr, nullptr, -1, true},
        {ControlId::VerifyButton, ControlKind::Button, 865, 540, 130, 35, "tMainVERIFY", nullptr,
         VerifyButtonFont, false},
    };
    table.insert(table.end(), tail.begin(), tail.end());
    return table;
}

struct ControlRecord {
    GtkWidget* widget = nullptr;
    ControlKind kind = ControlKind::Label;
};
std::array<ControlRecord, ControlCount> Controls;
// One CSS provider per control carries its text colour, so the colour can be replaced or removed.
std::array<GtkCssProvider*, ControlCount> ColourProviders{};

struct MenuItemRecord {
    GtkWidget* item = nullptr;
    GtkWidget* label = nullptr; // the GtkAccelLabel showing the text
    std::string fullText;
    MenuText parsed;
    bool isCheckItem = false;
    bool checked = false;
};
std::vector<MenuItemRecord> MenuItems;
struct ProgressRange {
    double value = 0; // in the bar's units: a running job shows fractions of a pass
    int maximum = 100;
};
ProgressRange Progress;

std::array<GtkWidget*, MenuTitleCount> MenuTitles{};
GtkAccelGroup* AccelGroup = nullptr;
GtkWidget* MenuBar = nullptr;
GtkWidget* Layout = nullptr;

// --- events raised by the toolkit ---------------------------------------------------------

void postControlEvent(int id, int subtype = 0) {
    postEvent(Event{ControlEvent, MainWindowNumber, id, subtype, {}});
}

void onButtonClicked(GtkButton*, gpointer id) {
    postControlEvent(GPOINTER_TO_INT(id));
}
void onCheckToggled(GtkToggleButton*, gpointer id) {
    postControlEvent(GPOINTER_TO_INT(id));
}
void onEntryChanged(GtkEditable*, gpointer id) {
    postControlEvent(GPOINTER_TO_INT(id), EntryTextChanged);
}
gboolean onEntryFocusIn(GtkWidget*, GdkEvent*, gpointer id) {
    postControlEvent(GPOINTER_TO_INT(id), EntryFocusGained);
    return FALSE;
}
gboolean onEntryFocusOut(GtkWidget*, GdkEvent*, gpointer id) {
    postControlEvent(GPOINTER_TO_INT(id), EntryFocusLost);
    return FALSE;
}
gboolean onMainWindowDelete(GtkWidget*, GdkEvent*, gpointer) {
    postEvent(Event{CloseEvent, MainWindowNumber, -1, 0, {}});
    return TRUE; // the event loop decides; the window stays
}

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

gboolean onHelpKey(GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer) {
    postEvent(Event{MenuEvent, MainWindowNumber, MenuOpenHelp, 0, {}});
    return TRUE;
}

// PathEntry is read-only, and a read-only GtkEntry refuses drops; these handlers take file
// lists over from it.
gboolean onPathDragMotion(GtkWidget*, GdkDragContext*, gint, gint, guint, gpointer) {
    return TRUE;
}

// A file URI names a local file only without a host or with this machine's: file://server/path
// is a file on another machine, not the local /path.
bool isLocalHost(const gchar* host) {
    return host == nullptr || *host == '\0' || g_ascii_strcasecmp(host, "localhost") == 0 ||
           g_ascii_strcasecmp(host, g_get_host_name()) == 0;
}

// The toolkit finishes the drop itself (GTK_DEST_DEFAULT_DROP) once this returns.
void onPathDragDataReceived(GtkWidget* widget, GdkDragContext*, gint, gint, GtkSelectionData* data, guint,
                            guint, gpointer) {
    g_signal_stop_emission_by_name(widget, "drag-data-received");
    std::string names;
    bool any = false;
    if (data != nullptr) {
        if (gchar** uris = gtk_selection_data_get_uris(data)) {
            for (gchar** uri = uris; *uri != nullptr; ++uri) {
                gchar* host = nullptr;
                gchar* name = g_filename_from_uri(*uri, &host, nullptr); // null for non-file URIs
                const bool local = name != nullptr && isLocalHost(host);
                g_free(host);
                if (!local) {
                    g_free(name);
                    continue;
                }
                if (any) names += '\n';
                names += name;
                any = true;
                g_free(name);
            }
            g_strfreev(uris);
        }
    }
    postEvent(Event{DropEvent, MainWindowNumber, ControlId::PathEntry, 0, names});
}

// --- building ------------------------------------------------------------------------------

std::string textOf(const ControlRow& row) {
    if (row.textKey != nullptr) return catalogueText(row.textKey);
    return row.fixedText != nullptr ? row.fixedText : "";
}

// Controls keep their places and sizes whatever the language: a caption too long for its button
// or check box is shortened with an ellipsis instead of widening the control.
void fitCaption(GtkWidget* widget) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
    if (GTK_IS_LABEL(child)) gtk_label_set_ellipsize(GTK_LABEL(child), PANGO_ELLIPSIZE_END);
}

// The theme's spacing around the indicator would leave "SHA2 - 224" too little of its 100 pixels.
void tightenCheckBox(GtkWidget* box) {
    addWidgetStyle(box, "checkbutton { padding: 0; } check { margin: 0 3px 0 0; }");
}

// The theme draws a hair-thin trough at the bottom of the bar's place; fill the place instead.
void fillProgressHeight(GtkWidget* bar, int height) {
    addWidgetStyle(bar, "progressbar trough, progressbar progress { min-height: " +
                            std::to_string(height - 4) + "px; } progressbar trough { margin: 0; }");
}

void setAccessibleRelation(GtkWidget* target, GtkWidget* label) {
    AtkObject* targetObject = gtk_widget_get_accessible(target);
    AtkObject* labelObject = gtk_widget_get_accessible(label);
    if (targetObject == nullptr || labelObject == nullptr) return;
    atk_object_add_relationship(targetObject, ATK_RELATION_LABELLED_BY, labelObject);
    atk_object_add_relationship(labelObject, ATK_RELATION_LABEL_FOR, targetObject);
}

// Entries have no label of their own: they take the caption of their frame or the label of
// their row's check box, which screen readers find through the labelled-by relation too.
void updateEntryNames() {
    auto frameLabel = [](int id) {
        return std::string(gtk_frame_get_label(GTK_FRAME(Controls[id].widget)) ?: "");
    };
    if (Controls[ControlId::PathEntry].widget)
        setAccessibleName(Controls[ControlId::PathEntry].widget, frameLabel(ControlId::FileFrame));
    if (Controls[ControlId::ExpectedEntry].widget)
        setAccessibleName(Controls[ControlId::ExpectedEntry].widget,
                          frameLabel(ControlId::VerificationFrame));
    for (int slot = 0; slot < SlotCount; ++slot)
        if (Controls[ControlId::resultEntry(slot)].widget)
            setAccessibleName(Controls[ControlId::resultEntry(slot)].widget, CheckBoxLabels[slot]);
}

GtkWidget* createControl(const ControlRow& row) {
    const std::string text = textOf(row);
    GtkWidget* widget = nullptr;
    const int id = row.id;
    switch (row.kind) {
    case ControlKind::Frame:
        widget = gtk_frame_new(text.c_str());
        break;
    case ControlKind::ReadOnlyEntry:
    case ControlKind::Entry:
        widget = gtk_entry_new();
        gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
        gtk_editable_set_editable(GTK_EDITABLE(widget), row.kind == ControlKind::Entry);
        g_signal_connect(widget, "changed", G_CALLBACK(onEntryChanged), GINT_TO_POINTER(id));
        g_signal_connect(widget, "focus-in-event", G_CALLBACK(onEntryFocusIn), GINT_TO_POINTER(id));
        g_signal_connect(widget, "focus-out-event", G_CALLBACK(onEntryFocusOut), GINT_TO_POINTER(id));
        break;
    case ControlKind::Button:
        widget = gtk_button_new_with_label(text.c_str());
        fitCaption(widget);
        g_signal_connect(widget, "clicked", G_CALLBACK(onButtonClicked), GINT_TO_POINTER(id));
        break;
    case ControlKind::CheckBox:
        widget = gtk_check_button_new_with_label(text.c_str());
        fitCaption(widget);
        tightenCheckBox(widget);
        g_signal_connect(widget, "toggled", G_CALLBACK(onCheckToggled), GINT_TO_POINTER(id));
        break;
    case ControlKind::ProgressBar:
        widget = gtk_progress_bar_new();
        setAccessibleName(widget, ProgressBarName);
        fillProgressHeight(widget, scaled(row.height));
        Progress = ProgressRange{};
        break;
    case ControlKind::Image:
    case ControlKind::Label:
        widget = gtk_label_new(text.c_str());
        break;
    }
    gtk_widget_set_size_request(widget, scaled(row.width), scaled(row.height));
    gtk_layout_put(GTK_LAYOUT(Layout), widget, scaled(row.x), scaled(row.y));
    if (row.font >= 0) applyFont(widget, row.font);
    registerControl(id, widget, row.kind);
    return widget;
}

void enablePathDrops(GtkWidget* entry) {
    static GtkTargetEntry uriList = {const_cast<gchar*>("text/uri-list"), 0, 0};
    gtk_drag_dest_set(entry, GTK_DEST_DEFAULT_ALL, &uriList, 1, GDK_ACTION_COPY);
    g_signal_connect(entry, "drag-motion", G_CALLBACK(onPathDragMotion), nullptr);
    g_signal_connect(entry, "drag-data-received", G_CALLBACK(onPathDragDataReceived), nullptr);
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

void buildMenuBar(GtkWidget* box) {
    MenuBar = gtk_menu_bar_new();
    if (MenuBar == nullptr) return;
    gtk_box_pack_start(GTK_BOX(box), MenuBar, FALSE, FALSE, 0);
    MenuItems.assign(MenuLanguageBase, MenuItemRecord{});

    GtkWidget* fileMenu = newSubmenu(newMenuTitle(0, "tMenuFILE"));
    newMenuItem(MenuOpen, catalogueText("tMenuOPEN"), OpenIcon, false, fileMenu, -1);
    gtk_menu_shell_append(GTK_MENU_SHELL(fileMenu), gtk_separator_menu_item_new());
    newMenuItem(MenuQuit, catalogueText("tMenuQUIT"), QuitIcon, false, fileMenu, -1);

    GtkWidget* languagesTitle = newMenuTitle(1, "tMenuLANGUAGES");
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

    GtkWidget* helpMenu = newSubmenu(newMenuTitle(2, "tMenuHELP"));
    newMenuItem(MenuOpenHelp, catalogueText("tMenuOPENHELP"), HelpIcon, false, helpMenu, -1);
    enableMenuItem(MenuOpenHelp, false);
    gtk_menu_shell_append(GTK_MENU_SHELL(helpMenu), gtk_separator_menu_item_new());
    newMenuItem(MenuAbout, catalogueText("tMenuABOUT"), AboutIcon, false, helpMenu, -1);
    gtk_menu_shell_append(GTK_MENU_SHELL(helpMenu), gtk_separator_menu_item_new());
    newMenuItem(MenuOpenWeb, catalogueText("tMenuOPENWEB"), WebIcon, false, helpMenu, -1);
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

// --- public: building ---------------------------------------------------------------------------

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

bool openMainWindow() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (window == nullptr) return false;
    MainWindow = window;
    gtk_window_set_title(GTK_WINDOW(window), MainWindowTitle);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_NORMAL);
    g_signal_connect(window, "delete-event", G_CALLBACK(onMainWindowDelete), nullptr);

    GtkCssProvider* style = gtk_css_provider_new();
    gtk_css_provider_load_from_data(style, ScreenStyleSheet, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window), GTK_STYLE_PROVIDER(style),
                                              ScreenStylePriority);
    g_object_unref(style);

    AccelGroup = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(window), AccelGroup);
    g_object_set(gtk_settings_get_default(), "gtk-menu-images", TRUE, nullptr);
    return true;
}

void buildMenusAndControls() {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(MainWindow), box);
    buildMenuBar(box);

    // The client area is 1000 x 605 (at the layout scale) with the menu bar on top; the layout takes
    // the rest.
    int menuHeight = 0;
    if (MenuBar != nullptr) {
        gtk_widget_show_all(MenuBar);
        int minimum = 0;
        gtk_widget_get_preferred_height(MenuBar, &minimum, &menuHeight);
    }
    Layout = gtk_layout_new(nullptr, nullptr);
    GtkWidget* scroller = scrollerFittingWorkArea(MainWindow, Layout, scaled(WindowWidth),
                                                  scaled(WindowHeight) - menuHeight, menuHeight);
    gtk_box_pack_start(GTK_BOX(box), scroller, TRUE, TRUE, 0);

    for (const ControlRow& row : mainControlTable()) {
        GtkWidget* widget = createControl(row);
        if (row.id == ControlId::PathEntry) enablePathDrops(widget);
        if (!row.enabled) gtk_widget_set_sensitive(widget, FALSE);
    }
    setAccessibleRelation(Controls[ControlId::PathEntry].widget,
                          gtk_frame_get_label_widget(GTK_FRAME(Controls[ControlId::FileFrame].widget)));
    setAccessibleRelation(
        Controls[ControlId::ExpectedEntry].widget,
        gtk_frame_get_label_widget(GTK_FRAME(Controls[ControlId::VerificationFrame].widget)));
    for (int slot = 0; slot < SlotCount; ++slot)
        setAccessibleRelation(Controls[ControlId::resultEntry(slot)].widget,
                              Controls[ControlId::algorithmCheckBox(slot)].widget);
    updateEntryNames();
    nameMainWindowButtons();
    pressVerifyOnReturn(Controls[ControlId::ExpectedEntry].widget);

    GClosure* help = g_cclosure_new(G_CALLBACK(onHelpKey), nullptr, nullptr);
    gtk_accel_group_connect(AccelGroup, GDK_KEY_F1, static_cast<GdkModifierType>(0), GTK_ACCEL_VISIBLE, help);
    gtk_widget_show_all(box);
}

void destroyMainWindow() {
    if (MainWindow != nullptr) gtk_widget_destroy(MainWindow);
    MainWindow = nullptr;
    MenuBar = nullptr;
    Layout = nullptr;
    if (AccelGroup != nullptr) g_object_unref(AccelGroup);
    AccelGroup = nullptr;
    for (int id = 0; id < MainControlCount; ++id) {
        Controls[id] = ControlRecord{};
        if (ColourProviders[id] != nullptr) g_object_unref(ColourProviders[id]);
        ColourProviders[id] = nullptr;
    }
    MenuItems.clear();
    MenuTitles.fill(nullptr);
    CurrentLanguageItem = -1;
}

GtkWidget* controlWidget(int id) {
    return id >= 0 && id < ControlCount ? Controls[id].widget : nullptr;
}

void registerControl(int id, GtkWidget* widget, ControlKind kind) {
    if (id >= 0 && id < ControlCount) Controls[id] = ControlRecord{widget, kind};
}

void unregisterControl(int id) {
    if (id >= 0 && id < ControlCount) Controls[id] = ControlRecord{};
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

void setMainWindowSensitive(bool on) {
    if (MainWindow == nullptr) return;
    ToolkitLock lock;
    GtkWidget* client = gtk_bin_get_child(GTK_BIN(MainWindow));
    const bool was = gtk_widget_get_sensitive(client);
    if (was && !on) mainWindowInputStopping();
    gtk_widget_set_sensitive(client, on);
    if (!was && on) mainWindowInputResumed();
}

bool mainWindowSensitive() {
    if (MainWindow == nullptr) return false;
    ToolkitLock lock;
    return gtk_widget_get_sensitive(gtk_bin_get_child(GTK_BIN(MainWindow)));
}

void setLanguageTexts() {
    static constexpr const char* TitleKeys[MenuTitleCount] = {"tMenuFILE", "tMenuLANGUAGES", "tMenuHELP"};
    static constexpr const char* ItemKeys[MenuLanguageBase] = {"tMenuOPEN", "tMenuQUIT", "tMenuOPENHELP",
                                                               "tMenuABOUT", "tMenuOPENWEB"};
    for (int index = 0; index < MenuTitleCount; ++index)
        setMenuTitleText(index, catalogueText(TitleKeys[index]));
    for (int id = 0; id < MenuLanguageBase; ++id)
        setMenuItemText(id, catalogueText(ItemKeys[id]));
    setControlText(ControlId::FileFrame, catalogueText("tMainFILE"));
    setControlText(ControlId::BrowseButton, catalogueText("tGenBROWSE"));
    setControlText(ControlId::AlgorithmFrame, catalogueText("tMainALGORITHM"));
    for (int slot = 0; slot < SlotCount; ++slot)
        setControlText(ControlId::copyButton(slot), catalogueText("tMainCLIPBOARD"));
    setControlText(ControlId::CopyAllButton, catalogueText("tMainCLIPBOARD"));
    setControlText(ControlId::SaveButton, catalogueText("tMainSAVE"));
    setControlText(ControlId::DeleteAllButton, catalogueText("tMainDELETEALL"));
    setControlText(ControlId::VerificationFrame, catalogueText("tMainVERIFICATION"));
    setControlText(ControlId::ExpectedBrowseButton, catalogueText("tGenBROWSE"));
    setControlText(ControlId::VerifyButton,
                   catalogueText(JobRunning.load() == 1 ? "tMainCANCEL" : "tMainVERIFY"));
}

// --- control operations (app/controls.h) ---------------------------------------------------------

namespace {

void showProgress(GtkWidget* bar) {
    const double fraction =
        Progress.maximum > 0 ? static_cast<double>(Progress.value) / Progress.maximum : 0.0;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fraction < 0 ? 0 : (fraction > 1 ? 1 : fraction));
}

} // namespace

void setControlText(int id, const std::string& text) {
    ToolkitLock lock;
    ProgramChange change;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    switch (Controls[id].kind) {
    case ControlKind::Frame:
        gtk_frame_set_label(GTK_FRAME(widget), text.c_str());
        updateEntryNames();
        nameMainWindowButtons();
        break;
    case ControlKind::ReadOnlyEntry:
    case ControlKind::Entry:
        gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
        break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
        gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
        fitCaption(widget);
        nameMainWindowButtons();
        break;
    case ControlKind::Label:
        gtk_label_set_text(GTK_LABEL(widget), text.c_str());
        break;
    case ControlKind::ProgressBar:
    case ControlKind::Image:
        break;
    }
}

std::string controlText(int id) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return {};
    const char* text = nullptr;
    switch (Controls[id].kind) {
    case ControlKind::Frame:
        text = gtk_frame_get_label(GTK_FRAME(widget));
        break;
    case ControlKind::ReadOnlyEntry:
    case ControlKind::Entry:
        text = gtk_entry_get_text(GTK_ENTRY(widget));
        break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
        text = gtk_button_get_label(GTK_BUTTON(widget));
        break;
    case ControlKind::Label:
        text = gtk_label_get_text(GTK_LABEL(widget));
        break;
    case ControlKind::ProgressBar:
    case ControlKind::Image:
        break;
    }
    return text != nullptr ? text : "";
}

int controlState(int id) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return 0;
    if (Controls[id].kind == ControlKind::CheckBox)
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) ? 1 : 0;
    if (Controls[id].kind == ControlKind::ProgressBar) return static_cast<int>(Progress.value);
    return 0;
}

void setControlState(int id, int value) {
    ToolkitLock lock;
    ProgramChange change;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    if (Controls[id].kind == ControlKind::CheckBox) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), value != 0);
    } else if (Controls[id].kind == ControlKind::ProgressBar) {
        Progress.value = value;
        showProgress(widget);
    }
}

void setProgressValue(int id, double value) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr || Controls[id].kind != ControlKind::ProgressBar) return;
    Progress.value = value;
    showProgress(widget);
}

double progressValue(int id) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    return widget != nullptr && Controls[id].kind == ControlKind::ProgressBar ? Progress.value : 0.0;
}

void setProgressMaximum(int id, int maximum) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr || Controls[id].kind != ControlKind::ProgressBar) return;
    Progress.maximum = maximum;
    showProgress(widget);
}

void setTextColour(int id, int rgb) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    GtkStyleContext* context = gtk_widget_get_style_context(widget);
    if (ColourProviders[id] != nullptr) {
        gtk_style_context_remove_provider(context, GTK_STYLE_PROVIDER(ColourProviders[id]));
        g_object_unref(ColourProviders[id]);
        ColourProviders[id] = nullptr;
    }
    if (rgb < 0) return;
    // No transition: the theme would fade the text into its new colour over a fifth of a second.
    const std::string css = "* { color: " + cssColour(rgb) + "; transition: none; }";
    ColourProviders[id] = gtk_css_provider_new();
    gtk_css_provider_load_from_data(ColourProviders[id], css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(context, GTK_STYLE_PROVIDER(ColourProviders[id]),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
}

void enableControl(int id, bool on) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    if (!on) controlBeingDisabled(widget);
    gtk_widget_set_sensitive(widget, on);
}

bool controlEnabled(int id) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    return widget != nullptr && gtk_widget_get_sensitive(widget);
}

void setControlFont(int id, int font) {
    ToolkitLock lock;
    if (GtkWidget* widget = controlWidget(id)) applyFont(widget, font);
}

void enableMenuItem(int itemId, bool on) {
    ToolkitLock lock;
    if (validItem(itemId)) gtk_widget_set_sensitive(MenuItems[itemId].item, on);
}

void setMenuCheck(int itemId, bool on) {
    ToolkitLock lock;
    ProgramChange change;
    if (!validItem(itemId)) return;
    if (on && !MenuItems[itemId].isCheckItem) makeCheckItem(itemId);
    MenuItems[itemId].checked = on;
    if (MenuItems[itemId].isCheckItem)
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(MenuItems[itemId].item), on);
}

void setMenuTitleText(int titleIndex, const std::string& text) {
    ToolkitLock lock;
    if (GtkWidget* title = menuTitleWidget(titleIndex))
        gtk_menu_item_set_label(GTK_MENU_ITEM(title), parseMenuText(text).label.c_str());
}

void setMenuItemText(int itemId, const std::string& text) {
    ToolkitLock lock;
    if (!validItem(itemId)) return;
    MenuItems[itemId].fullText = text;
    attachAccelerator(MenuItems[itemId]);
}

std::string menuItemText(int itemId) {
    ToolkitLock lock;
    return validItem(itemId) ? MenuItems[itemId].fullText : std::string();
}

void setClipboardText(const std::string& text) {
    ToolkitLock lock;
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_text(clipboard, text.c_str(), static_cast<gint>(text.size()));
    // Lets the clipboard store at exit hand the text to the desktop's clipboard manager.
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
}
