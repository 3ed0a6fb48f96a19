// The program's own modal message and question window, and its three presets.
#pragma once

#include <cstdint>
#include <string>

typedef struct _GtkWidget GtkWidget;

struct DialogPreset {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 440;
    int32_t height = 160;
    std::string title;
    int32_t windowColour = 0xFFFFFF;
    int8_t textFlags = 0;
    int32_t textColour = -1;
    int32_t font = -1;
    int32_t image = -1;
    std::string buttons;
    int32_t separatorKind = 3;
    int32_t separatorColour = 0xFFFFFF;
    int8_t secondButtonPlace = 0;
};

extern DialogPreset InfoPreset;
extern DialogPreset WarningQuestionPreset;
extern DialogPreset QuestionPreset;

// What a dialog tells a screen reader it is: a message (information), a question, or an error.
enum class DialogKind { Information, Question, Error };
// A preset with two buttons asks a question; one with one button informs.
[[nodiscard]] DialogKind presetKind(const DialogPreset& preset);
// The kind in the language in force ("Information", "Question", "Error").
[[nodiscard]] std::string dialogKindWord(DialogKind kind);

// The button that has the focus when a dialog opens and that Return presses. A question whose Yes
// destroys something (replacing a file) defaults to No, so that a hurried Return keeps the file.
enum class DefaultButton { Right, Second };

// 1 for the right-hand button or Return; 0 for the left-hand button, Escape or the close box.
int runMessageDialog(DialogPreset& preset, const std::string& text);
// The same for a message of another kind than its preset's: an error shows the error sign instead of
// the preset's, and says it is an error. With DefaultButton::Second and two buttons, Return gives 0.
int runMessageDialog(DialogPreset& preset, const std::string& text, DialogKind kind,
                     DefaultButton defaultButton = DefaultButton::Right);
// WarningQuestionPreset with the catalogue text of `key`; true for Yes.
bool askQuestion(const char* key);
// The same for a text with one "%s" that `value` takes the place of (catalogueTextWith).
bool askQuestionWith(const char* key, const char* shipped, const std::string& value,
                     DefaultButton defaultButton = DefaultButton::Right);

// Start-up: sizes, icons, fonts, colours and texts of the three presets.
void fillPresets();
// Titles and button texts from the catalogue (start-up and every language switch).
void fillPresetTexts();
// The window and separator colour of all three presets (the main window's theme background).
void setPresetColours(int rgb);

// Keeps a push button at the 25-pixel height of the dialogs despite the screen-wide style.
void fitButtonHeight(GtkWidget* button);

// Every backslash followed by n or N becomes a line feed.
[[nodiscard]] std::string expandLineBreaks(const std::string& text);

// The parts of the dialog that is open now (all null while none is), for tests and tools.
struct MessageDialogParts {
    GtkWidget* window = nullptr;
    GtkWidget* icon = nullptr;
    GtkWidget* textArea = nullptr; // the text control's place in the window
    GtkWidget* text = nullptr;     // the label inside it
    GtkWidget* separator = nullptr;
    GtkWidget* rightButton = nullptr;  // Yes / OK
    GtkWidget* secondButton = nullptr; // No; null with one button
};
[[nodiscard]] MessageDialogParts openMessageDialog();
// Ids of the dialog's own events (window DialogWindowNumber).
constexpr int DialogRightButtonId = 1;
constexpr int DialogSecondButtonId = 2;
constexpr int DialogEscapeItem = 1;
constexpr int DialogReturnItem = 2;
