// The About window: logo, program name, version line, the language's About text and credits.
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;

constexpr int AboutLogoId = 45;
constexpr int AboutTitleTextId = 46;
constexpr int AboutBodyTextId = 47;
constexpr int AboutOkButtonId = 48;

// Opens the window over the disabled main window (MenuAbout).
void openAbout();
// Closes it and enables the main window again (OK button or close box).
void closeAbout();
// The open About window; null while closed.
[[nodiscard]] GtkWidget* aboutWindow();
// The body: version line, empty line, tAboutCODE as it stands, credits block.
[[nodiscard]] std::string aboutBodyText();
