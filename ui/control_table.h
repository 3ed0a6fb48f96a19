// The table every control is reached through: its fixed id, its widget and its kind.
#pragma once

#include "calc/algorithm_slots.h"

typedef struct _GtkWidget GtkWidget;

// Control ids of the main window (0..44) and the About window (45..48).
namespace ControlId {
constexpr int FileFrame = 0;
constexpr int PathEntry = 1;
constexpr int BrowseButton = 2;
constexpr int AlgorithmFrame = 3;
constexpr int algorithmCheckBox(int slot) {
    return 4 + 3 * slot;
}
constexpr int resultEntry(int slot) {
    return 5 + 3 * slot;
}
constexpr int copyButton(int slot) {
    return 6 + 3 * slot;
}
// The slot whose Copy button `id` is; -1 for any other control.
constexpr int copyButtonSlot(int id) {
    return id >= copyButton(0) && id <= copyButton(SlotCount - 1) && (id - copyButton(0)) % 3 == 0
               ? (id - copyButton(0)) / 3
               : -1;
}
constexpr int CopyAllButton = 37;
constexpr int SaveButton = 38;
constexpr int DeleteAllButton = 39;
constexpr int VerificationFrame = 40;
constexpr int ExpectedEntry = 41;
constexpr int ExpectedBrowseButton = 42;
constexpr int ProgressBar = 43;
constexpr int VerifyButton = 44;
// The fixed ids after the rows follow the last row's Copy button.
static_assert(CopyAllButton == copyButton(SlotCount - 1) + 1, "a row more or less moves every id after them");
} // namespace ControlId

enum class ControlKind { Frame, ReadOnlyEntry, Entry, Button, CheckBox, ProgressBar, Image, Label };

constexpr int MainControlCount = ControlId::VerifyButton + 1; // 0..44: the main window
constexpr int ControlCount = MainControlCount + 4;             // 45..48: the About window
static_assert(MainControlCount == 45 && ControlCount == 49, "the ids are fixed: every part addresses controls by them");

// The widget of an id (null when absent) and its kind.
[[nodiscard]] GtkWidget* controlWidget(int id);
[[nodiscard]] ControlKind controlKind(int id);
void registerControl(int id, GtkWidget* widget, ControlKind kind);
void unregisterControl(int id);
