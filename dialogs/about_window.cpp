// The About window (window 1): its events come through the main event loop, not a loop of its own.
#include "dialogs/about_window.h"

#include <gtk/gtk.h>

#include "ui/accessibility.h"
#include "ui/event_queue.h"
#include "ui/control_table.h"
#include "ui/fonts_images.h"
#include "ui/main_window.h"
#include "ui/program_identity.h"
#include "ui/widget_style.h"
#include "dialogs/message_dialog.h"
#include "settings/language_catalogue.h"

namespace {

constexpr int AboutWidth = 600;
constexpr int AboutHeight = 250;
constexpr const char* ProgramName = "Hashwarden";
constexpr const char* CreditsBlock = "\n"
                                     "The Hashwarden developers\n"
                                     "\n"
                                     "(c) 2026 Brightmoor\n"
                                     "Brightmoor\n"
                                     "\n"
                                     "https://www.brightmoor.example/hashwarden/\n";

GtkWidget* AboutWindow = nullptr;

void onOk(GtkButton*, gpointer) {
    postEvent(Event{ControlEvent, AboutWindowNumber, AboutOkButtonId, 0, {}});
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer) {
    postEvent(Event{CloseEvent, AboutWindowNumber, -1, 0, {}});
    return TRUE;
}

// Return answers OK and Escape closes, as in every other window that only tells something.
gboolean onKey(GtkWidget*, GdkEventKey* key, gpointer) {
    if (key->keyval == GDK_KEY_Return || key->keyval == GDK_KEY_KP_Enter) {
        postEvent(Event{ControlEvent, AboutWindowNumber, AboutOkButtonId, 0, {}});
        return TRUE;
    }
    if (key->keyval == GDK_KEY_Escape) {
        postEvent(Event{CloseEvent, AboutWindowNumber, -1, 0, {}});
        return TRUE;
    }
    return FALSE;
}

GtkWidget* place(GtkWidget* fixed, GtkWidget* widget, int id, ControlKind kind, int x, int y, int width,
                 int height) {
    gtk_widget_set_size_request(widget, scaled(width), scaled(height));
    gtk_fixed_put(GTK_FIXED(fixed), widget, scaled(x), scaled(y));
    registerControl(id, widget, kind);
    return widget;
}

} // namespace

std::string aboutBodyText() {
    return std::string(VersionLine) + "\n\n" + catalogueText("tAboutCODE") + CreditsBlock;
}

GtkWidget* aboutWindow() {
    return AboutWindow;
}

void openAbout() {
    if (AboutWindow != nullptr) return;
    const std::string body = aboutBodyText();
    const std::string title = catalogueText("tAboutTITLE");
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (window == nullptr) return;
    AboutWindow = window;
    gtk_window_set_title(GTK_WINDOW(window), title.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    if (MainWindow != nullptr) gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(MainWindow));
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    // Modal, so that its keys reach it even while the desktop's keyboard focus stays on the main window
    // (no window manager, or one that does not focus new windows): Escape and Return must close it.
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    setAccessibleRole(window, AccessibleRole::Dialog);
    // A pack without tAboutTITLE leaves the title empty; the window still says what it is.
    setAccessibleName(window, title.empty() ? std::string("About ") + ProgramName : title);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), nullptr);
    g_signal_connect(window, "key-press-event", G_CALLBACK(onKey), nullptr);
    setMainWindowSensitive(false);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, scaled(AboutWidth), scaled(AboutHeight));
    gtk_container_add(GTK_CONTAINER(window), fixed);

    GtkWidget* logo =
        shellImage(LogoImage) != nullptr ? gtk_image_new_from_pixbuf(shellImage(LogoImage)) : gtk_image_new();
    place(fixed, logo, AboutLogoId, ControlKind::Image, 5, 5, 128, 128);
    setAccessibleName(logo, imageMeaning(LogoImage));

    GtkWidget* name =
        place(fixed, gtk_label_new(ProgramName), AboutTitleTextId, ControlKind::Label, 150, 10, 445, 45);
    gtk_label_set_xalign(GTK_LABEL(name), 0.0f);
    applyFont(name, AboutTitleFont);

    // The body keeps its 445 x 160 place in every language and font: longer text scrolls.
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE); // show there is more
    gtk_widget_set_size_request(scroller, scaled(445), scaled(160));
    gtk_fixed_put(GTK_FIXED(fixed), scroller, scaled(150), scaled(55));
    GtkWidget* text = gtk_label_new(body.c_str());
    gtk_container_add(GTK_CONTAINER(scroller), text);
    registerControl(AboutBodyTextId, text, ControlKind::Label);
    if (GtkWidget* viewport = gtk_bin_get_child(GTK_BIN(scroller)); viewport != nullptr)
        gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
    gtk_label_set_xalign(GTK_LABEL(text), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(text), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(text), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(text), 1);
    gtk_label_set_selectable(GTK_LABEL(text), FALSE);
    applyFont(text, ControlFont);

    GtkWidget* ok = place(fixed, gtk_button_new_with_label(catalogueText("tGenOK").c_str()), AboutOkButtonId,
                          ControlKind::Button, AboutWidth - 105, 220, 100, 25);
    fitButtonHeight(ok);
    g_signal_connect(ok, "clicked", G_CALLBACK(onOk), nullptr);

    gtk_widget_show_all(window);
    gtk_widget_grab_focus(ok);
}

void closeAbout() {
    if (AboutWindow == nullptr) return;
    for (int id = AboutLogoId; id <= AboutOkButtonId; ++id)
        unregisterControl(id);
    gtk_widget_destroy(AboutWindow);
    AboutWindow = nullptr;
    setMainWindowSensitive(true);
}
