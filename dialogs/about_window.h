// The About window: logo, program name, version line, the language's About text and credits.
#pragma once

#include <string>

#include "ui/control_table.h"

typedef struct _GtkWidget GtkWidget;

// The About window's controls follow the main window's.
constexpr int AboutLogoId = MainControlCount;
constexpr int AboutTitleTextId = AboutLogoId + 1;
constexpr int AboutBodyTextId = AboutLogoId + 2;
constexpr int AboutOkButtonId = AboutLogoId + 3;
static_assert(AboutOkButtonId + 1 == ControlCount, "the control table holds the About window's controls");

// Opens the window over the disabled main window (MenuAbout).
void openAbout();
// Closes it and enables the main window again (OK button or close box).
void closeAbout();
// The open About window; null while closed.
[[nodiscard]] GtkWidget* aboutWindow();
// The body: version line, empty line, tAboutCODE as it stands, credits block.
[[nodiscard]] std::string aboutBodyText();
