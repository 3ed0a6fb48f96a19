// The mark at the end of an entry: one of the shell's images with a tooltip, and the same words as
// the entry's accessible description, so what the mark says does not depend on seeing it.
#include <gtk/gtk.h>

#include "app/controls.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "app/toolkit_lock.h"

namespace {

// The image number shown, kept on the entry itself (plus one: no data reads as 0).
constexpr const char* MarkKey = "hashwarden-mark";

} // namespace

void setEntryMark(int id, int image, const std::string& text) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr || !GTK_IS_ENTRY(widget)) return;
    GtkEntry* entry = GTK_ENTRY(widget);
    GdkPixbuf* picture = image >= 0 ? shellImage(image) : nullptr;
    const bool shown = picture != nullptr;
    gtk_entry_set_icon_from_pixbuf(entry, GTK_ENTRY_ICON_SECONDARY, picture);
    gtk_entry_set_icon_tooltip_text(entry, GTK_ENTRY_ICON_SECONDARY, shown ? text.c_str() : nullptr);
    // The mark only tells, it does nothing when clicked or focused.
    gtk_entry_set_icon_activatable(entry, GTK_ENTRY_ICON_SECONDARY, FALSE);
    if (AtkObject* accessible = gtk_widget_get_accessible(widget))
        atk_object_set_description(accessible, shown ? text.c_str() : "");
    g_object_set_data(G_OBJECT(widget), MarkKey, GINT_TO_POINTER(shown ? image + 1 : 0));
}

int entryMark(int id) {
    ToolkitLock lock;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return -1;
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), MarkKey)) - 1;
}
