// An action at the end of an editable entry: an image that does something when clicked, offered to the
// keyboard as an item of the entry's context menu and as a shortcut there. Choosing it posts the
// entry's ControlEvent with the subtype EntryActionChosen; the handler decides what it does.
#pragma once

#include <string>

// The shortcut in the focused entry: Ctrl+K ("keep" only the checksum). The toolkit's entries bind
// nothing to it.
constexpr unsigned EntryActionKey = 'k';

// Makes entry `id` offer its action (icon press, context menu, shortcut). Once, as the window is built.
void enableEntryAction(int id);
// Shows the action's image (an ImageNumber) with `words` as its tooltip, its accessible name and its
// menu item's text; -1 withdraws the action.
void setEntryAction(int id, int image, const std::string& words);
// The words of the action offered now; empty when none is.
[[nodiscard]] std::string entryActionText(int id);
