// What screen readers call the main window's controls: names built from the captions in force.
#include "ui/control_names.h"

#include <gtk/gtk.h>

#include <string>

#include "calc/algorithm_slots.h"
#include "settings/language_catalogue.h"
#include "ui/accessibility.h"
#include "ui/control_table.h"

namespace {

// "Browse…" and "Save..." announce a window to come; inside a longer name the dots are noise.
std::string withoutEllipsis(std::string caption) {
    for (const std::string ellipsis : {"\u2026", "..."})
        if (caption.size() >= ellipsis.size() &&
            caption.compare(caption.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0)
            return caption.substr(0, caption.size() - ellipsis.size());
    return caption;
}

std::string joined(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    if (second.empty()) return first;
    return first + " " + second;
}

std::string caption(int id) {
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return {};
    const char* text = GTK_IS_FRAME(widget) ? gtk_frame_get_label(GTK_FRAME(widget))
                                            : gtk_button_get_label(GTK_BUTTON(widget));
    return text != nullptr ? text : "";
}

void relate(GtkWidget* target, GtkWidget* label) {
    AtkObject* targetObject = target != nullptr ? gtk_widget_get_accessible(target) : nullptr;
    AtkObject* labelObject = label != nullptr ? gtk_widget_get_accessible(label) : nullptr;
    if (targetObject == nullptr || labelObject == nullptr) return;
    atk_object_add_relationship(targetObject, ATK_RELATION_LABELLED_BY, labelObject);
    atk_object_add_relationship(labelObject, ATK_RELATION_LABEL_FOR, targetObject);
}

GtkWidget* frameLabel(int frame) {
    GtkWidget* widget = controlWidget(frame);
    return widget != nullptr ? gtk_frame_get_label_widget(GTK_FRAME(widget)) : nullptr;
}

} // namespace

void nameMainWindowControls() {
    setAccessibleName(controlWidget(ControlId::PathEntry), caption(ControlId::FileFrame));
    setAccessibleName(controlWidget(ControlId::ExpectedEntry), caption(ControlId::VerificationFrame));
    for (int slot = 0; slot < SlotCount; ++slot) {
        setAccessibleName(controlWidget(ControlId::resultEntry(slot)), AlgorithmSlots[slot].checkBoxLabel);
        const int copy = ControlId::copyButton(slot);
        setAccessibleName(controlWidget(copy), joined(withoutEllipsis(caption(copy)), AlgorithmSlots[slot].name));
    }
    setAccessibleName(controlWidget(ControlId::CopyAllButton),
                      catalogueTextOr("tMainCOPYALL", "Copy all results"));
    const std::pair<int, int> browseButtons[] = {{ControlId::BrowseButton, ControlId::FileFrame},
                                                 {ControlId::ExpectedBrowseButton, ControlId::VerificationFrame}};
    for (const auto& [button, frame] : browseButtons)
        setAccessibleName(controlWidget(button), joined(withoutEllipsis(caption(button)), caption(frame)));
}

void relateEntriesToTheirLabels() {
    relate(controlWidget(ControlId::PathEntry), frameLabel(ControlId::FileFrame));
    relate(controlWidget(ControlId::ExpectedEntry), frameLabel(ControlId::VerificationFrame));
    for (int slot = 0; slot < SlotCount; ++slot)
        relate(controlWidget(ControlId::resultEntry(slot)), controlWidget(ControlId::algorithmCheckBox(slot)));
}
