// Names, roles and descriptions that screen readers and other assistive tools read from the windows.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

enum class AccessibleRole { Alert, Dialog };
void setAccessibleName(GtkWidget* widget, const std::string& name);
void setAccessibleDescription(GtkWidget* widget, const std::string& description);
void setAccessibleRole(GtkWidget* widget, AccessibleRole role);
[[nodiscard]] std::string accessibleName(GtkWidget* widget);

// What an image of the program pictures, in the language in force ("Information", "Warning", ...);
// empty for an image with no meaning of its own.
[[nodiscard]] std::string imageMeaning(int image);
