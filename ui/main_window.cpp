// MainWindow: the window, its 45 controls in a fixed layout, the events they raise and file drops.
#include "ui/main_window.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "calc/algorithm_slots.h"
#include "settings/language_catalogue.h"
#include "ui/accessibility.h"
#include "ui/control_names.h"
#include "ui/entry_action.h"
#include "ui/controls.h"
#include "ui/event_queue.h"
#include "ui/fonts_images.h"
#include "ui/keyboard_focus.h"
#include "ui/main_thread.h"
#include "ui/menu_bar.h"
#include "ui/program_identity.h"
#include "ui/widget_style.h"
#include "ui/work_area.h"

GtkWidget* MainWindow = nullptr;
int ThemeBackgroundColour = 0xFFFFFF;

namespace {

constexpr int WindowWidth = 1000;
constexpr int WindowHeight = 605;
constexpr int RowTop = 83;
constexpr int RowStep = 32;
constexpr int RowHeight = 27;
// Copy all, Save and Clear all stand in the Algorithms frame below the last row.
constexpr int FrameButtonsTop = 440;
static_assert(RowTop + RowStep * (SlotCount - 1) + RowHeight <= FrameButtonsTop, "a row more needs a taller frame");
constexpr const char* ScreenStyleSheet =
    "button, entry {min-height: 20px;} tab {min-height: 20px;} button, scale {padding-bottom: 2px; "
    "padding-left: 2px; padding-right: 2px; padding-top: 2px} ";
constexpr guint ScreenStylePriority = 600;

struct ControlRow {
    int id;
    ControlKind kind;
    int x, y, width, height;
    const char* textKey;   // catalogue key of the text, which follows the language; or null
    const char* fixedText; // the text without a key; with one, the shipped text for a pack without it
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
        table.push_back({ControlId::algorithmCheckBox(slot), ControlKind::CheckBox, 10, top, 100, RowHeight, nullptr,
                         AlgorithmSlots[slot].checkBoxLabel, ControlFont, true});
        table.push_back({ControlId::resultEntry(slot), ControlKind::ReadOnlyEntry, 115, top, 770, RowHeight, nullptr,
                         "", ControlFont, true});
        table.push_back({ControlId::copyButton(slot), ControlKind::Button, 890, top, 100, RowHeight,
                         "tMainCLIPBOARD", nullptr, ControlFont, false});
    }
    const std::vector<ControlRow> tail = {
        // Copy all's own caption is an addition to the first packs: it must never read like a row's Copy.
        {ControlId::CopyAllButton, ControlKind::Button, 10, FrameButtonsTop, 120, 27, "tMainCLIPBOARDALL", "Copy all",
         ControlFont, false},
        {ControlId::SaveButton, ControlKind::Button, 135, FrameButtonsTop, 120, 27, "tMainSAVE", nullptr, ControlFont,
         false},
        {ControlId::DeleteAllButton, ControlKind::Button, 870, FrameButtonsTop, 120, 27, "tMainDELETEALL", nullptr,
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

GtkAccelGroup* AccelGroup = nullptr;
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
    if (row.textKey != nullptr)
        return row.fixedText != nullptr ? catalogueTextOr(row.textKey, row.fixedText) : catalogueText(row.textKey);
    return row.fixedText != nullptr ? row.fixedText : "";
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
        ellipsizeCaption(widget);
        g_signal_connect(widget, "clicked", G_CALLBACK(onButtonClicked), GINT_TO_POINTER(id));
        break;
    case ControlKind::CheckBox:
        widget = gtk_check_button_new_with_label(text.c_str());
        ellipsizeCaption(widget);
        tightenCheckBox(widget);
        g_signal_connect(widget, "toggled", G_CALLBACK(onCheckToggled), GINT_TO_POINTER(id));
        break;
    case ControlKind::ProgressBar:
        widget = gtk_progress_bar_new();
        setAccessibleName(widget, ProgressBarName);
        fillProgressHeight(widget, scaled(row.height));
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

} // namespace

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

void buildMainWindow() {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(MainWindow), box);
    const bool menus = buildMenuBar(box, AccelGroup);

    // The client area is 1000 x 605 (at the layout scale) with the menu bar on top; the layout takes
    // the rest.
    int menuHeight = 0;
    if (menus) {
        gtk_widget_show_all(menuBarWidget());
        int minimum = 0;
        gtk_widget_get_preferred_height(menuBarWidget(), &minimum, &menuHeight);
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
    relateEntriesToTheirLabels();
    nameMainWindowControls();
    pressVerifyOnReturn(controlWidget(ControlId::ExpectedEntry));
    enableEntryAction(ControlId::ExpectedEntry);

    GClosure* help = g_cclosure_new(G_CALLBACK(onHelpKey), nullptr, nullptr);
    gtk_accel_group_connect(AccelGroup, GDK_KEY_F1, static_cast<GdkModifierType>(0), GTK_ACCEL_VISIBLE, help);
    gtk_widget_show_all(box);
}

void destroyMainWindow() {
    if (MainWindow != nullptr) gtk_widget_destroy(MainWindow);
    MainWindow = nullptr;
    Layout = nullptr;
    if (AccelGroup != nullptr) g_object_unref(AccelGroup);
    AccelGroup = nullptr;
    for (int id = 0; id < MainControlCount; ++id)
        unregisterControl(id);
    forgetControlColours();
    forgetMenuBar();
}

void setMainWindowSensitive(bool on) {
    if (!onMainThread("setMainWindowSensitive") || MainWindow == nullptr) return;
    GtkWidget* client = gtk_bin_get_child(GTK_BIN(MainWindow));
    const bool was = gtk_widget_get_sensitive(client);
    if (was && !on) mainWindowInputStopping(MainWindow);
    gtk_widget_set_sensitive(client, on);
    if (!was && on) mainWindowInputResumed(MainWindow);
}

bool mainWindowSensitive() {
    if (!onMainThread("mainWindowSensitive") || MainWindow == nullptr) return false;
    return gtk_widget_get_sensitive(gtk_bin_get_child(GTK_BIN(MainWindow)));
}

void setLanguageTexts(bool jobRunning) {
    for (int index = 0; index < MenuTitleCount; ++index)
        setMenuTitleText(index, catalogueText(MenuTitleKeys[index]));
    for (int id = 0; id < MenuLanguageBase; ++id)
        setMenuItemText(id, catalogueText(MenuItemKeys[id]));
    for (const ControlRow& row : mainControlTable())
        if (row.textKey != nullptr && row.id != ControlId::VerifyButton) setControlText(row.id, textOf(row));
    setControlText(ControlId::VerifyButton,
                   catalogueText(jobRunning ? "tMainCANCEL" : "tMainVERIFY"));
}

