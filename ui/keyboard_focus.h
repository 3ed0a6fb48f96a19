// The main window's keyboard focus across dialogs, and Return in the expected checksum.
#pragma once

typedef struct _GtkWidget GtkWidget;

// Called as the main window stops and starts taking input (a dialog or the About window opens and
// closes): the control that had the focus gets it back, or Verify (then Browse) when that control
// can no longer take it, as after a job or Clear all.
void mainWindowInputStopping(GtkWidget* mainWindow);
void mainWindowInputResumed(GtkWidget* mainWindow);

// Before a control of the main window is disabled: when it has the focus, the focus moves on to Verify
// or Browse instead of leaving the window with none (Clear all disables itself).
void controlBeingDisabled(GtkWidget* widget);

// Return in the expected-checksum entry presses Verify while Verify can be pressed.
void pressVerifyOnReturn(GtkWidget* expectedEntry);
