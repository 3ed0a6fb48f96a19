// What screen readers call the main window's controls: names built from the captions in force.
#include "ui/control_names.h"

#include <gtk/gtk.h>

#include <string>

#include "calc/algorithm_slots.h"
#include "settings/language_catalogue.h"
#include "ui/accessibility.h"
#include "ui/control_table.h"

namespace {

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
    // The names are the program's own additions: a pack without them, or with a broken placeholder,
    // gets the shipped English, never a nameless button.
    for (int slot = 0; slot < SlotCount; ++slot) {
        setAccessibleName(controlWidget(ControlId::resultEntry(slot)), AlgorithmSlots[slot].checkBoxLabel);
        setAccessibleName(controlWidget(ControlId::copyButton(slot)),
                          catalogueTextWith("tMainCOPYONE", "Copy %s", AlgorithmSlots[slot].name));
    }
    setAccessibleName(controlWidget(ControlId::CopyAllButton),
                      catalogueTextOr("tMainCOPYALL", "Copy all results"));
    setAccessibleName(controlWidget(ControlId::BrowseButton),
                      catalogueTextOr("tMainBROWSEFILE", "Browse for the file to check"));
    setAccessibleName(controlWidget(ControlId::ExpectedBrowseButton),
                      catalogueTextOr("tMainBROWSEEXPECTED", "Browse for a checksum file"));
}

void relateEntriesToTheirLabels() {
    relate(controlWidget(ControlId::PathEntry), frameLabel(ControlId::FileFrame));
    relate(controlWidget(ControlId::ExpectedEntry), frameLabel(ControlId::VerificationFrame));
    for (int slot = 0; slot < SlotCount; ++slot)
        relate(controlWidget(ControlId::resultEntry(slot)), controlWidget(ControlId::algorithmCheckBox(slot)));
}
