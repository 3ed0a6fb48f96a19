// The file requesters: GtkFileChooserDialog with stock Cancel and Open or Save, the second the default,
// and the program's filter lists.
#include "dialogs/file_requesters.h"

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "ui/event_queue.h"
#include "ui/main_window.h"

namespace {

struct WidgetDestroyer {
    void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};
using RequesterPtr = std::unique_ptr<GtkWidget, WidgetDestroyer>;

std::vector<std::string> splitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

void addFilters(GtkFileChooser* chooser, const std::string& patternText, int filterIndex) {
    if (patternText.empty()) return;
    const std::vector<std::string> parts = splitAt(patternText, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, parts[i].c_str());
        for (const std::string& pattern : splitAt(parts[i + 1], ';'))
            if (!pattern.empty()) gtk_file_filter_add_pattern(filter, pattern == "*.*" ? "*" : pattern.c_str());
        gtk_file_chooser_add_filter(chooser, filter);
        if (static_cast<int>(i / 2) == filterIndex) gtk_file_chooser_set_filter(chooser, filter);
    }
}

// A requester of `action`, over the main window, local files only, with the filters in place.
RequesterPtr newRequester(GtkFileChooserAction action, const std::string& title, const std::string& patternText,
                          int filterIndex) {
    const bool save = action == GTK_FILE_CHOOSER_ACTION_SAVE;
    RequesterPtr dialog{gtk_file_chooser_dialog_new(
        title.c_str(), MainWindow != nullptr ? GTK_WINDOW(MainWindow) : nullptr, action,
        g_dgettext("gtk30", "_Cancel"), GTK_RESPONSE_CANCEL, g_dgettext("gtk30", save ? "_Save" : "_Open"),
        GTK_RESPONSE_ACCEPT, nullptr)};
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.get());
    gtk_dialog_set_default_response(GTK_DIALOG(dialog.get()), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    addFilters(chooser, patternText, filterIndex);
    return dialog;
}

// Runs the requester modally; the chosen path, or the empty text when cancelled.
std::string runRequester(const RequesterPtr& dialog) {
    const int response = gtk_dialog_run(GTK_DIALOG(dialog.get()));
    discardMainWindowInput(); // clicks queued before the requester are not acted on after it
    if (response != GTK_RESPONSE_ACCEPT) return {};
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog.get()));
    std::string path = chosen != nullptr ? chosen : "";
    g_free(chosen);
    return path;
}

// The save requester's own decision about a name taken with Save or Return, made while it is still
// open: the toolkit's own check (a folder typed in is entered, not taken) has run before it.
void onSaveResponse(GtkDialog* dialog, int response, gpointer data) {
    if (response != GTK_RESPONSE_ACCEPT) return;
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    const std::string name = chosen != nullptr ? chosen : "";
    g_free(chosen);
    if (name.empty()) return;
    const auto& check = *static_cast<const SaveNameCheck*>(data);
    if (!check(name)) g_signal_stop_emission_by_name(dialog, "response"); // stays open
}

} // namespace

std::string openFileRequester(const std::string& title, const std::string& startPath,
                              const std::string& patternText, int filterIndex) {
    const RequesterPtr dialog = newRequester(GTK_FILE_CHOOSER_ACTION_OPEN, title, patternText, filterIndex);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.get());
    if (!startPath.empty()) {
        if (startPath.back() == '/')
            gtk_file_chooser_set_current_folder(chooser, startPath.c_str());
        else
            gtk_file_chooser_set_filename(chooser, startPath.c_str());
    }
    return runRequester(dialog);
}

std::string saveFileRequester(const std::string& title, const std::string& initialFile,
                              const std::string& patternText, int filterIndex, const SaveNameCheck& check) {
    const RequesterPtr dialog = newRequester(GTK_FILE_CHOOSER_ACTION_SAVE, title, patternText, filterIndex);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.get());
    // The toolkit's question would name the link rather than the file replaced, have Replace as its
    // default, and leave no trace of the answer: the program asks its own in `check`.
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
    g_signal_connect(dialog.get(), "response", G_CALLBACK(onSaveResponse), const_cast<SaveNameCheck*>(&check));
    // Opens in the proposal's folder with its name typed in; no folder part leaves the folder to the toolkit.
    const std::size_t slash = initialFile.rfind('/');
    if (slash != std::string::npos)
        gtk_file_chooser_set_current_folder(chooser, initialFile.substr(0, slash + 1).c_str());
    gtk_file_chooser_set_current_name(chooser, initialFile.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
    return runRequester(dialog);
}
