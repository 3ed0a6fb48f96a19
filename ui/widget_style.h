// Per-widget style sheets: colours, heights and spacing that one control needs and the theme lacks.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

// Adds `css` to the widget's own style (application priority); it applies to the widget's nodes.
void addWidgetStyle(GtkWidget* widget, const std::string& css);
// Controls keep their places and sizes whatever the language: a caption too long for its button or
// check box is shortened with an ellipsis instead of widening the control.
void ellipsizeCaption(GtkWidget* button);
// "#rrggbb" of a colour packed as red + 256 * green + 65536 * blue.
[[nodiscard]] std::string cssColour(int rgb);

// The fixed layouts (main window, dialogs, About window) are given for text at 96 dots per inch.
// With larger text (the desktop's text scaling, GDK_DPI_SCALE) every position and size grows by
// the same factor, so captions still fit their controls. Read once at start from the screen.
void readLayoutScale();
[[nodiscard]] double layoutScale();
// A layout figure at the scale in force, rounded to whole pixels; unchanged at 1.0.
[[nodiscard]] int scaled(int pixels);
