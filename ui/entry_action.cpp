// An action at the end of an entry: the entry's secondary icon, activatable, with the same choice in
// its context menu and under a shortcut, so that neither the mouse nor sight is needed for it.
#include "ui/entry_action.h"

#include <gtk/gtk.h>

#include "ui/control_table.h"
#include "ui/event_queue.h"
#include "ui/fonts_images.h"
#include "ui/main_thread.h"

namespace {

// The words of the action offered, kept on the entry itself; no data means none is offered.
constexpr const char* ActionKey = "hashwarden-action";

std::string actionWords(GtkWidget* entry) {
    const auto* words = static_cast<const char*>(g_object_get_data(G_OBJECT(entry), ActionKey));
    return words != nullptr ? words : "";
}

void chooseAction(int id) {
    GtkWidget* entry = controlWidget(id);
    if (entry == nullptr || actionWords(entry).empty() || !gtk_widget_is_sensitive(entry)) return;
    postEvent(Event{ControlEvent, MainWindowNumber, id, EntryActionChosen, {}});
}

void onIconPress(GtkEntry*, GtkEntryIconPosition position, GdkEvent*, gpointer id) {
    if (position == GTK_ENTRY_ICON_SECONDARY) chooseAction(GPOINTER_TO_INT(id));
}

void onMenuItemActivate(GtkMenuItem*, gpointer id) {
    chooseAction(GPOINTER_TO_INT(id));
}

// The context menu gets the action on top, with its shortcut shown beside it.
void onPopulatePopup(GtkEntry* entry, GtkWidget* popup, gpointer id) {
    const std::string words = actionWords(GTK_WIDGET(entry));
    if (words.empty() || !GTK_IS_MENU(popup)) return;
    GtkWidget* item = gtk_menu_item_new_with_label(words.c_str());
    if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(item)); GTK_IS_ACCEL_LABEL(label))
        gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), EntryActionKey, GDK_CONTROL_MASK);
    g_signal_connect(item, "activate", G_CALLBACK(onMenuItemActivate), id);
    GtkWidget* separator = gtk_separator_menu_item_new();
    gtk_menu_shell_prepend(GTK_MENU_SHELL(popup), separator);
    gtk_menu_shell_prepend(GTK_MENU_SHELL(popup), item);
    gtk_widget_show(separator);
    gtk_widget_show(item);
}

gboolean onKeyPress(GtkWidget*, GdkEventKey* key, gpointer id) {
    const guint modifiers = key->state & gtk_accelerator_get_default_mod_mask();
    if (modifiers != GDK_CONTROL_MASK || gdk_keyval_to_lower(key->keyval) != EntryActionKey) return FALSE;
    chooseAction(GPOINTER_TO_INT(id));
    return TRUE; // taken even when nothing is offered: the key does nothing else in an entry
}

} // namespace

void enableEntryAction(int id) {
    GtkWidget* widget = controlWidget(id);
    if (!onMainThread("enableEntryAction") || widget == nullptr || !GTK_IS_ENTRY(widget)) return;
    gpointer data = GINT_TO_POINTER(id);
    g_signal_connect(widget, "icon-press", G_CALLBACK(onIconPress), data);
    g_signal_connect(widget, "populate-popup", G_CALLBACK(onPopulatePopup), data);
    g_signal_connect(widget, "key-press-event", G_CALLBACK(onKeyPress), data);
}

void setEntryAction(int id, int image, const std::string& words) {
    GtkWidget* widget = controlWidget(id);
    if (!onMainThread("setEntryAction") || widget == nullptr || !GTK_IS_ENTRY(widget)) return;
    GtkEntry* entry = GTK_ENTRY(widget);
    GdkPixbuf* picture = image >= 0 && !words.empty() ? shellImage(image) : nullptr;
    const bool offered = picture != nullptr;
    if (offered == !actionWords(widget).empty() && (!offered || actionWords(widget) == words)) return;
    gtk_entry_set_icon_from_pixbuf(entry, GTK_ENTRY_ICON_SECONDARY, picture);
    gtk_entry_set_icon_tooltip_text(entry, GTK_ENTRY_ICON_SECONDARY, offered ? words.c_str() : nullptr);
    gtk_entry_set_icon_activatable(entry, GTK_ENTRY_ICON_SECONDARY, offered);
    g_object_set_data_full(G_OBJECT(widget), ActionKey, offered ? g_strdup(words.c_str()) : nullptr, g_free);
}

std::string entryActionText(int id) {
    GtkWidget* widget = controlWidget(id);
    if (!onMainThread("entryActionText") || widget == nullptr) return {};
    return actionWords(widget);
}
