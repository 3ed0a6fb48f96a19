// The main window's keyboard focus across dialogs, and Return in the expected checksum: a keyboard
// user must not lose the place after every question, nor need the mouse to start a job.
#include "ui/keyboard_focus.h"

#include <gtk/gtk.h>

#include "ui/control_table.h"

namespace {

// Cleared by the toolkit should the control go away while a dialog is open.
GtkWidget* FocusBefore = nullptr;

void forgetFocus() {
    if (FocusBefore != nullptr)
        g_object_remove_weak_pointer(G_OBJECT(FocusBefore), reinterpret_cast<gpointer*>(&FocusBefore));
    FocusBefore = nullptr;
}

bool canTakeFocus(GtkWidget* widget) {
    return widget != nullptr && gtk_widget_is_sensitive(widget) && gtk_widget_get_visible(widget) &&
           gtk_widget_get_can_focus(widget);
}

// Verify, then Browse: the controls a keyboard user goes on from once the focused one is gone.
void focusFallback(GtkWidget* first) {
    for (GtkWidget* candidate :
         {first, controlWidget(ControlId::VerifyButton), controlWidget(ControlId::BrowseButton)}) {
        if (canTakeFocus(candidate)) {
            gtk_widget_grab_focus(candidate);
            return;
        }
    }
}

void onExpectedActivate(GtkEntry*, gpointer) {
    GtkWidget* verify = controlWidget(ControlId::VerifyButton);
    if (!canTakeFocus(verify)) return;
    // The entry is disabled for the job; the focus waits on the button, which reads Cancel meanwhile.
    gtk_widget_grab_focus(verify);
    gtk_button_clicked(GTK_BUTTON(verify));
}

} // namespace

void mainWindowInputStopping(GtkWidget* mainWindow) {
    if (mainWindow == nullptr) return;
    forgetFocus();
    FocusBefore = gtk_window_get_focus(GTK_WINDOW(mainWindow));
    if (FocusBefore != nullptr)
        g_object_add_weak_pointer(G_OBJECT(FocusBefore), reinterpret_cast<gpointer*>(&FocusBefore));
}

void mainWindowInputResumed(GtkWidget* mainWindow) {
    if (mainWindow == nullptr) return;
    GtkWidget* focus = FocusBefore;
    forgetFocus();
    focusFallback(focus);
}

void controlBeingDisabled(GtkWidget* widget) {
    GtkWidget* window = gtk_widget_get_toplevel(widget);
    if (!GTK_IS_WINDOW(window) || gtk_window_get_focus(GTK_WINDOW(window)) != widget) return;
    // Taken off first, so that the fallback does not pick the control itself.
    gtk_widget_set_sensitive(widget, FALSE);
    focusFallback(nullptr);
}

void pressVerifyOnReturn(GtkWidget* expectedEntry) {
    g_signal_connect(expectedEntry, "activate", G_CALLBACK(onExpectedActivate), nullptr);
}
