// The file the user chose: the bytes of its name for every file operation, its display form in PathEntry.
#pragma once

#include <string>

#include "calc/file_version.h"

// Linux file names are bytes, not necessarily UTF-8. Keeps `path` exactly as given and shows its
// display form (invalid sequences replaced) in PathEntry; the empty text clears both. The file's
// version as it is now is remembered with it.
void showChosenFile(const std::string& path);
// The chosen file's name as bytes, for hashing, folders and requesters. When PathEntry no longer
// shows the kept name's display form, its text is taken as the name.
[[nodiscard]] std::string chosenFilePath();
// The display form of a file name: valid UTF-8, as the toolkit shows file names.
[[nodiscard]] std::string fileNameForDisplay(const std::string& path);
// Everything up to and including the last "/"; empty when there is none.
[[nodiscard]] std::string folderPart(const std::string& path);
// The version of the chosen file that the rows describe now: the one a job read.
void rememberChosenFileVersion(const FileVersion& version);
// Whether `path` is the chosen file and still the same file as remembered (device, inode, size and
// modification time), so that rows made from it still describe it.
[[nodiscard]] bool isChosenFileUnchanged(const std::string& path);
