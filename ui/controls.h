// Operations on the controls of the program's windows, addressed by fixed ids. Main thread only: each
// refuses a call from another thread (ui/main_thread.h).
#pragma once

#include <string>

#include "calc/algorithm_slots.h"
#include "ui/control_table.h"

// Setting a text or a state by program raises no control event.
void setControlText(int id, const std::string& text);
[[nodiscard]] std::string controlText(int id);
[[nodiscard]] int controlState(int id); // 1 for a ticked check box; the progress bar's value in whole units
void setControlState(int id, int value);
// The progress bar's value in its own units (0 to its maximum), fractions included.
void setProgressValue(int id, double value);
[[nodiscard]] double progressValue(int id);
void setProgressMaximum(int id, int maximum);
void setTextColour(int id, int rgb); // red + 256 * green + 65536 * blue; -1 = default
void enableControl(int id, bool on);
[[nodiscard]] bool controlEnabled(int id);
void setControlFont(int id, int font); // a FontNumber (ui/fonts_images.h); -1 = default

// The algorithm rows whose check boxes are ticked now.
[[nodiscard]] SlotFlags tickedSlots();

// The window is going: the colours set on its controls and the bar's range go with it.
void forgetControlColours();

// Puts UTF-8 text on the CLIPBOARD selection.
void setClipboardText(const std::string& text);
