// The mark at the end of an entry: an image with a tooltip, and the same words for screen readers.
#pragma once

#include <string>

// An image (an ImageNumber; -1 = none) at the end of entry `id`, with `text` as the mark's tooltip, the
// entry's tooltip and its accessible description. No image clears both.
void setEntryMark(int id, int image, const std::string& text);
[[nodiscard]] int entryMark(int id); // the image shown; -1 for none
[[nodiscard]] std::string entryMarkText(int id); // the words of the mark shown; empty for none
