// The save file requester: GtkFileChooserDialog in save form, with the program's filter lists.
#include "calc/save_requester.h"

#include <gtk/gtk.h>

#include <memory>

#include "app/event_queue.h"
#include "app/main_window.h"
#include "app/requesters.h"

namespace {

struct WidgetDestroyer {
    void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};
struct GFreer {
    void operator()(gchar* text) const { g_free(text); }
};

}  // namespace

std::string saveFileRequester(const std::string& title, const std::string& initialFile,
                              const std::string& filterList, int selectedFilter) {
    std::unique_ptr<GtkWidget, WidgetDestroyer> dialog{gtk_file_chooser_dialog_new(
        title.c_str(), MainWindow != nullptr ? GTK_WINDOW(MainWindow) : nullptr, GTK_FILE_CHOOSER_ACTION_SAVE,
        g_dgettext("gtk30", "_Cancel"), GTK_RESPONSE_CANCEL, g_dgettext("gtk30", "_Save"), GTK_RESPONSE_ACCEPT,
        nullptr)};
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.get());
    gtk_dialog_set_default_response(GTK_DIALOG(dialog.get()), GTK_RESPONSE_ACCEPT);
    // Saving over an existing results file asks nothing: the command replaces it.
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    addRequesterFilters(chooser, filterList, selectedFilter);

    // Opens in the proposal's folder with its name typed in; no folder part leaves the folder to the toolkit.
    const std::size_t slash = initialFile.rfind('/');
    if (slash != std::string::npos) gtk_file_chooser_set_current_folder(chooser, initialFile.substr(0, slash + 1).c_str());
    gtk_file_chooser_set_current_name(chooser, initialFile.substr(slash == std::string::npos ? 0 : slash + 1).c_str());

    const int response = gtk_dialog_run(GTK_DIALOG(dialog.get()));
    discardMainWindowInput();  // clicks queued before the requester are not acted on after it
    if (response != GTK_RESPONSE_ACCEPT) return {};
    std::unique_ptr<gchar, GFreer> chosen{gtk_file_chooser_get_filename(chooser)};
    return chosen ? std::string(chosen.get()) : std::string();
}
