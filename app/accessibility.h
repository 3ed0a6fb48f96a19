// Names, roles and descriptions that screen readers and other assistive tools read from the windows.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

// The catalogue text of `key`, or the shipped English text when the language pack lacks the key (the
// names added after the first packs must not leave a control nameless).
[[nodiscard]] std::string catalogueTextOr(const char* key, const char* shipped);

enum class AccessibleRole { Alert, Dialog };
void setAccessibleName(GtkWidget* widget, const std::string& name);
void setAccessibleDescription(GtkWidget* widget, const std::string& description);
void setAccessibleRole(GtkWidget* widget, AccessibleRole role);
[[nodiscard]] std::string accessibleName(GtkWidget* widget);

// The names of the main window's buttons whose captions alone do not say what they act on: each Copy
// button names its algorithm ("Copy SHA2-256"), Copy all its results, each Browse button its field.
// Built from the captions in force, so they follow every language switch.
void nameMainWindowButtons();

// What an image of the shell pictures, in the language in force ("Information", "Warning", ...);
// empty for an image with no meaning of its own.
[[nodiscard]] std::string imageMeaning(int image);
