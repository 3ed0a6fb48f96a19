// The open file requester: GtkFileChooserDialog with stock Cancel and Open, Open the default.
#include "app/requesters.h"

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "app/event_queue.h"
#include "app/main_window.h"

namespace {

struct WidgetDestroyer {
    void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};

std::vector<std::string> splitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

} // namespace

void addRequesterFilters(GtkFileChooser* chooser, const std::string& patternText, int filterIndex) {
    if (patternText.empty()) return;
    const std::vector<std::string> parts = splitAt(patternText, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, parts[i].c_str());
        for (const std::string& pattern : splitAt(parts[i + 1], ';'))
            if (!pattern.empty())
                gtk_file_filter_add_pattern(filter, pattern == "*.*" ? "*" : pattern.c_str());
        gtk_file_chooser_add_filter(chooser, filter);
        if (static_cast<int>(i / 2) == filterIndex) gtk_file_chooser_set_filter(chooser, filter);
    }
}

std::string openFileRequester(const std::string& title, const std::string& startPath,
                              const std::string& patternText, int filterIndex) {
    std::unique_ptr<GtkWidget, WidgetDestroyer> dialog{gtk_file_chooser_dialog_new(
        title.c_str(), MainWindow != nullptr ? GTK_WINDOW(MainWindow) : nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
        g_dgettext("gtk30", "_Cancel"), GTK_RESPONSE_CANCEL, g_dgettext("gtk30", "_Open"),
        GTK_RESPONSE_ACCEPT, nullptr)};
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.get());
    gtk_dialog_set_default_response(GTK_DIALOG(dialog.get()), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    addRequesterFilters(chooser, patternText, filterIndex);
    if (!startPath.empty()) {
        if (startPath.back() == '/')
            gtk_file_chooser_set_current_folder(chooser, startPath.c_str());
        else
            gtk_file_chooser_set_filename(chooser, startPath.c_str());
    }
    const int response = gtk_dialog_run(GTK_DIALOG(dialog.get()));
    discardMainWindowInput();
    if (response != GTK_RESPONSE_ACCEPT) return {};
    gchar* chosen = gtk_file_chooser_get_filename(chooser);
    std::string result = chosen != nullptr ? chosen : "";
    g_free(chosen);
    return result;
}
