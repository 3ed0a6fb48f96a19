// The program's own modal message and question window, and its three presets.
#pragma once

#include <cstdint>
#include <string>

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

// 1 for the right-hand button or Return; 0 for the left-hand button, Escape or the close box.
int MessageDialog(DialogPreset& preset, const std::string& text);
// WarningQuestionPreset with the catalogue text of `key`; true for Yes.
bool askQuestion(const char* key);
