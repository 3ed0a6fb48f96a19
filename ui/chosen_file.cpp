// The file the user chose: the bytes of its name for every file operation, its display form in PathEntry.
#include "ui/chosen_file.h"

#include <gtk/gtk.h>

#include <mutex>

#include "ui/controls.h"

namespace {

std::mutex ChosenLock;
std::string ChosenBytes;   // the name as given
std::string ChosenShown;   // what PathEntry was given for it
FileVersion ChosenVersion; // the version of it the rows describe

// A long path shows its end, the file's own name, rather than the folders it begins with.
void showEndOfPath() {
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
    const FileVersion version = fileVersionAt(path);
    {
        std::lock_guard guard(ChosenLock);
        ChosenBytes = path;
        ChosenShown = shown;
        ChosenVersion = version;
    }
    setControlText(ControlId::PathEntry, shown);
    showEndOfPath();
}

std::string chosenFilePath() {
    const std::string shown = controlText(ControlId::PathEntry);
    std::lock_guard guard(ChosenLock);
    return shown == ChosenShown ? ChosenBytes : shown;
}

void rememberChosenFileVersion(const FileVersion& version) {
    std::lock_guard guard(ChosenLock);
    ChosenVersion = version;
}

bool isChosenFileUnchanged(const std::string& path) {
    if (path != chosenFilePath()) return false;
    const FileVersion now = fileVersionAt(path);
    std::lock_guard guard(ChosenLock);
    return sameFileVersion(now, ChosenVersion);
}

std::string folderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
