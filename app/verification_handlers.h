// The expected checksum: loaded from a checksum file the user picks, compared with the rows whenever it
// or they change, and reduced to the bare checksum by the field's own action.
#pragma once

// The ExpectedBrowseButton: the open requester, then the chosen file's line of a checksum list, or the
// file's first line, into ExpectedEntry.
void loadExpectedChecksum();
// The expected checksum has changed (typed, pasted or loaded): the rows are compared with it at once.
void expectedChecksumChanged();
// The field's action (its icon, its menu item, Ctrl+K): the text becomes the bare checksum it offers.
void useOfferedChecksum();
// Compares every result with the text in the field now and shows the verdicts, and offers the field's
// action where it applies. Called whenever the field, the results or the chosen file change; reads
// nothing but the field and the results.
void showVerdicts();
