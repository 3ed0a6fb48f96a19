// What screen readers call the main window's controls, in the language in force.
#pragma once

// Entries take the caption of their frame or their row's check box as their name, also through the
// labelled-by relation. Buttons whose captions alone do not say what they act on have names of their
// own from the catalogue: each Copy button names its algorithm ("Copy SHA2-256"), Copy all its
// results, each Browse button what it looks for. Every such name holds the caption the button shows,
// so that speech input ("click Browse") finds the button by what the user sees on it; the packs' texts
// are written that way. Call again after a caption or the language changes.
void nameMainWindowControls();
// The labelled-by relations of the entries: once, when the window is built.
void relateEntriesToTheirLabels();
