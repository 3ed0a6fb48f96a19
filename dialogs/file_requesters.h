// The file requesters: the toolkit's modal file chooser, for opening a file and for saving one.
#pragma once

#include <string>

// Shows the open requester titled `title`. A `startPath` ending in "/" opens that folder; any other
// non-empty one preselects that file; empty leaves the folder to the toolkit. `patternText` alternates
// display names and patterns ("Text|*.txt;*.md|All|*.*"; "*.*" is every file); filter `filterIndex` is
// preselected. Returns the chosen path, or the empty text when cancelled.
[[nodiscard]] std::string openFileRequester(const std::string& title, const std::string& startPath,
                                            const std::string& patternText, int filterIndex);

// The name a save writes for the name the user chose (an extension added, say).
using WrittenName = std::string (*)(const std::string& chosen);

// What the save requester returns: the chosen path (empty when cancelled), and whether the toolkit
// asked before taking it as a file to replace and the user agreed.
struct SaveChoice {
    std::string path;
    bool replaceAgreed = false;
};

// Shows the save requester, proposing `initialFile` (folder part and name), with the same filters.
// When the chosen file exists and is the very file the save writes (`writtenName` leaves its name as
// it is), the toolkit asks before taking it, and No returns to the requester; any other existing file
// the save would replace is the caller's to ask about.
[[nodiscard]] SaveChoice saveFileRequester(const std::string& title, const std::string& initialFile,
                                           const std::string& patternText, int filterIndex,
                                           WrittenName writtenName);
