// The file the user chose: the bytes of its name for every file operation, its display form in PathEntry.
#include "app/chosen_file.h"

#include <gtk/gtk.h>

#include <mutex>

#include "app/controls.h"
#include "app/main_window.h"
#include "app/toolkit_lock.h"

namespace {

std::mutex ChosenLock;
std::string ChosenBytes; // the name as given
std::string ChosenShown; // what PathEntry was given for it

// A long path shows its end, the file's own name, rather than the folders it begins with.
void showEndOfPath() {
    ToolkitLock lock;
    if (GtkWidget* entry = controlWidget(ControlId::PathEntry))
        gtk_editable_set_position(GTK_EDITABLE(entry), -1);
}

} // namespace

std::string fileNameForDisplay(const std::string& path) {
    gchar* shown = g_filename_display_name(path.c_str());
    std::string text = shown != nullptr ? shown : "";
    g_free(shown);
    return text;
}

void showChosenFile(const std::string& path) {
    const std::string shown = fileNameForDisplay(path);
    {
        std::lock_guard guard(ChosenLock);
        ChosenBytes = path;
        ChosenShown = shown;
    }
    setControlText(ControlId::PathEntry, shown);
    showEndOfPath();
}

std::string chosenFilePath() {
    const std::string shown = controlText(ControlId::PathEntry);
    std::lock_guard guard(ChosenLock);
    return shown == ChosenShown ? ChosenBytes : shown;
}
