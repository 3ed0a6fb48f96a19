// The file requesters: the toolkit's modal file chooser, for opening a file and for saving one.
#pragma once

#include <functional>
#include <string>

// Shows the open requester titled `title`. A `startPath` ending in "/" opens that folder; any other
// non-empty one preselects that file; empty leaves the folder to the toolkit. `patternText` alternates
// display names and patterns ("Text|*.txt;*.md|All|*.*"; "*.*" is every file); filter `filterIndex` is
// preselected. Returns the chosen path, or the empty text when cancelled.
[[nodiscard]] std::string openFileRequester(const std::string& title, const std::string& startPath,
                                            const std::string& patternText, int filterIndex);

// Asked when the user takes a name in the save requester, before the requester closes: true lets it
// close with that name; false keeps it open for another name (the check has told the user why).
using SaveNameCheck = std::function<bool(const std::string& chosen)>;

// Shows the save requester, proposing `initialFile` (folder part and name), with the same filters.
// The toolkit asks nothing about an existing file: `check` decides about every name taken. Returns the
// chosen path, or the empty text when cancelled. The name field can still change after the check (the
// toolkit's completion, when the folder loads late): the caller checks the returned name again.
[[nodiscard]] std::string saveFileRequester(const std::string& title, const std::string& initialFile,
                                            const std::string& patternText, int filterIndex,
                                            const SaveNameCheck& check);
