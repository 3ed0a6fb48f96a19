// The file requester for opening: a modal toolkit file chooser with the program's filter lists.
#pragma once

#include <string>

typedef struct _GtkFileChooser GtkFileChooser;

// Shows the chooser titled `title`. A `startPath` ending in "/" opens that folder; any other
// non-empty one preselects that file; empty leaves the folder to the toolkit. `patternText`
// alternates display names and patterns ("Text|*.txt;*.md|All|*.*"; "*.*" is every file);
// filter `filterIndex` is preselected. Returns the chosen path, or the empty text when cancelled.
[[nodiscard]] std::string openFileRequester(const std::string& title, const std::string& startPath,
                                            const std::string& patternText, int filterIndex);

// Adds the filters of `patternText` to a chooser and preselects filter `filterIndex`; shared with
// the save requester of the results export.
void addRequesterFilters(GtkFileChooser* chooser, const std::string& patternText, int filterIndex);
