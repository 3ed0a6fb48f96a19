// The save file requester of the results export: a modal toolkit file chooser in save form.
#pragma once

#include <string>

// Shows the chooser with `title`, proposing `initialFile` (folder part and name) and offering the
// filters of `filterList` ("name|pattern;pattern|name|pattern", "*.*" for every file) with filter
// `selectedFilter` preselected. Returns the chosen path, or the empty text when cancelled.
// An existing file is replaced without a question.
[[nodiscard]] std::string saveFileRequester(const std::string& title, const std::string& initialFile,
                                            const std::string& filterList, int selectedFilter);
