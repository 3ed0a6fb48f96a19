// The save file requester: GtkFileChooserDialog in save form, with the program's filter lists.
#include "calc/save_requester.h"

#include <gtk/gtk.h>

#include <memory>
#include <vector>

namespace {

struct WidgetDestroyer {
    void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};
struct GFreer {
    void operator()(gchar* text) const { g_free(text); }
};

std::vector<std::string> splitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

// One toolkit filter per name and pattern pair; "*.*" is every file, dotted or not.
void addFilters(GtkFileChooser* chooser, const std::string& filterList, int selectedFilter) {
    if (filterList.empty()) return;
    const std::vector<std::string> parts = splitAt(filterList, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, parts[i].c_str());
        for (const std::string& pattern : splitAt(parts[i + 1], ';'))
            gtk_file_filter_add_pattern(filter, pattern == "*.*" ? "*" : pattern.c_str());
        gtk_file_chooser_add_filter(chooser, filter);
        if (static_cast<int>(i / 2) == selectedFilter) gtk_file_chooser_set_filter(chooser, filter);
    }
}

GtkWindow* activeToplevel() {
    GList* windows = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* item = windows; item != nullptr && found == nullptr; item = item->next)
        if (gtk_window_is_active(GTK_WINDOW(item->data))) found = GTK_WINDOW(item->data);
    g_list_free(windows);
    return found;
}

}  // namespace

std::string saveFileRequester(const std::string& title, const std::string& initialFile,
                              const std::string& filterList, int selectedFilter) {
    std::unique_ptr<GtkWidget, WidgetDestroyer> dialog{gtk_file_chooser_dialog_new(
        title.c_str(), activeToplevel(), GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL, "_Save",
        GTK_RESPONSE_ACCEPT, nullptr)};
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.get());
    gtk_dialog_set_default_response(GTK_DIALOG(dialog.get()), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    addFilters(chooser, filterList, selectedFilter);

    const std::size_t slash = initialFile.rfind('/');
    if (slash != std::string::npos) gtk_file_chooser_set_current_folder(chooser, initialFile.substr(0, slash + 1).c_str());
    gtk_file_chooser_set_current_name(chooser, initialFile.substr(slash == std::string::npos ? 0 : slash + 1).c_str());

    if (gtk_dialog_run(GTK_DIALOG(dialog.get())) != GTK_RESPONSE_ACCEPT) return {};
    std::unique_ptr<gchar, GFreer> chosen{gtk_file_chooser_get_filename(chooser)};
    return chosen ? std::string(chosen.get()) : std::string();
}
