// The main window on screens too small for it: it takes the work area and its controls scroll.
#pragma once

typedef struct _GtkWidget GtkWidget;

// Puts `layout` (the fixed layout of `contentWidth` x `contentHeight` pixels under the menu bar of
// `menuHeight`) into a scroller and returns the scroller, to be packed where the layout would be.
// Where the screen's work area holds the whole window nothing changes: the window keeps its fixed
// size and shows no scroll bars. Where it does not, the window becomes resizable, takes the work
// area, and the controls scroll inside it; the keyboard focus scrolls the focused control into view.
// A window that fits without a window manager's frame is judged again with it, once the window is
// shown: a title bar that would push Verify off the screen makes it scroll too.
[[nodiscard]] GtkWidget* scrollerFittingWorkArea(GtkWidget* window, GtkWidget* layout, int contentWidth,
                                                 int contentHeight, int menuHeight);

// Whether the window took the work area at start (it scrolls) or kept its fixed size.
[[nodiscard]] bool mainWindowScrolls();

// After a job the rows are what the user reads: the view goes back to the rows' start, where the
// algorithm names stand, however far right the focused control (Verify) took it. Vertically nothing
// moves, so the focused control stays in view there.
void scrollToRowsStart();
