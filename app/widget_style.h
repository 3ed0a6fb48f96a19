// Per-widget style sheets: colours, heights and spacing that one control needs and the theme lacks.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

// Adds `css` to the widget's own style (application priority); it applies to the widget's nodes.
void addWidgetStyle(GtkWidget* widget, const std::string& css);
// "#rrggbb" of a colour packed as red + 256 * green + 65536 * blue.
[[nodiscard]] std::string cssColour(int rgb);
