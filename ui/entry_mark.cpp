// The mark at the end of an entry: one of the shell's images with a tooltip, and the same words as
// the entry's own tooltip and its accessible description, so what the mark says does not depend on seeing it.
#include "ui/entry_mark.h"

#include <gtk/gtk.h>

#include "ui/control_table.h"
#include "ui/fonts_images.h"
#include "ui/main_thread.h"

namespace {

// The image number shown, kept on the entry itself (plus one: no data reads as 0).
constexpr const char* MarkKey = "hashwarden-mark";

} // namespace

void setEntryMark(int id, int image, const std::string& text) {
    GtkWidget* widget = controlWidget(id);
    if (!onMainThread("setEntryMark") || widget == nullptr || !GTK_IS_ENTRY(widget)) return;
    GtkEntry* entry = GTK_ENTRY(widget);
    GdkPixbuf* picture = image >= 0 ? shellImage(image) : nullptr;
    const bool shown = picture != nullptr;
    gtk_entry_set_icon_from_pixbuf(entry, GTK_ENTRY_ICON_SECONDARY, picture);
    gtk_entry_set_icon_tooltip_text(entry, GTK_ENTRY_ICON_SECONDARY, shown ? text.c_str() : nullptr);
    // The mark only tells, it does nothing when clicked or focused.
    gtk_entry_set_icon_activatable(entry, GTK_ENTRY_ICON_SECONDARY, FALSE);
    // The entry's own tooltip says the same, so that a keyboard user reads it on the focused row (Ctrl+F1)
    // without pointing at the mark.
    gtk_widget_set_tooltip_text(widget, shown ? text.c_str() : nullptr);
    if (AtkObject* accessible = gtk_widget_get_accessible(widget))
        atk_object_set_description(accessible, shown ? text.c_str() : "");
    g_object_set_data(G_OBJECT(widget), MarkKey, GINT_TO_POINTER(shown ? image + 1 : 0));
}

int entryMark(int id) {
    GtkWidget* widget = controlWidget(id);
    if (!onMainThread("entryMark") || widget == nullptr) return -1;
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), MarkKey)) - 1;
}

std::string entryMarkText(int id) {
    GtkWidget* widget = controlWidget(id);
    if (!onMainThread("entryMarkText") || widget == nullptr || entryMark(id) < 0) return {};
    gchar* text = gtk_entry_get_icon_tooltip_text(GTK_ENTRY(widget), GTK_ENTRY_ICON_SECONDARY);
    std::string words = text != nullptr ? text : "";
    g_free(text);
    return words;
}
