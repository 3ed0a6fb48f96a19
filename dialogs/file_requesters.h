// The file requesters: the toolkit's modal file chooser, for opening a file and for saving one.
#pragma once

#include <string>

// Shows the open requester titled `title`. A `startPath` ending in "/" opens that folder; any other
// non-empty one preselects that file; empty leaves the folder to the toolkit. `patternText` alternates
// display names and patterns ("Text|*.txt;*.md|All|*.*"; "*.*" is every file); filter `filterIndex` is
// preselected. Returns the chosen path, or the empty text when cancelled.
[[nodiscard]] std::string openFileRequester(const std::string& title, const std::string& startPath,
                                            const std::string& patternText, int filterIndex);

// Shows the save requester, proposing `initialFile` (folder part and name), with the same filters.
// Returns the chosen path, or the empty text when cancelled. An existing file is replaced without a
// question.
[[nodiscard]] std::string saveFileRequester(const std::string& title, const std::string& initialFile,
                                            const std::string& patternText, int filterIndex);
