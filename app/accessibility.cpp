// Names, roles and descriptions for screen readers: the main window's buttons, images, dialog roles.
#include "app/accessibility.h"

#include <atk/atk.h>
#include <gtk/gtk.h>

#include "app/controls.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "calc/calculation.h"
#include "settings/language_catalogue.h"

namespace {

// "Browse…" and "Save..." announce a window to come; inside a longer name the dots are noise.
std::string withoutEllipsis(std::string caption) {
    for (const std::string ellipsis : {"\u2026", "..."})
        if (caption.size() >= ellipsis.size() &&
            caption.compare(caption.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0)
            return caption.substr(0, caption.size() - ellipsis.size());
    return caption;
}

// "SHA2-256: " is the results file's label; the name wants "SHA2-256".
std::string algorithmName(int slot) {
    std::string label = AlgorithmSlots[slot].resultLabel;
    while (!label.empty() && (label.back() == ' ' || label.back() == ':'))
        label.pop_back();
    return label;
}

std::string joined(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    if (second.empty()) return first;
    return first + " " + second;
}

} // namespace

std::string catalogueTextOr(const char* key, const char* shipped) {
    const std::string text = catalogueText(key);
    return text.empty() ? shipped : text;
}

void setAccessibleName(GtkWidget* widget, const std::string& name) {
    if (widget == nullptr) return;
    if (AtkObject* object = gtk_widget_get_accessible(widget)) atk_object_set_name(object, name.c_str());
}

void setAccessibleDescription(GtkWidget* widget, const std::string& description) {
    if (widget == nullptr) return;
    if (AtkObject* object = gtk_widget_get_accessible(widget))
        atk_object_set_description(object, description.c_str());
}

void setAccessibleRole(GtkWidget* widget, AccessibleRole role) {
    if (widget == nullptr) return;
    if (AtkObject* object = gtk_widget_get_accessible(widget))
        atk_object_set_role(object, role == AccessibleRole::Alert ? ATK_ROLE_ALERT : ATK_ROLE_DIALOG);
}

std::string accessibleName(GtkWidget* widget) {
    AtkObject* object = widget != nullptr ? gtk_widget_get_accessible(widget) : nullptr;
    const char* name = object != nullptr ? atk_object_get_name(object) : nullptr;
    return name != nullptr ? name : "";
}

void nameMainWindowButtons() {
    auto caption = [](int id) {
        GtkWidget* widget = controlWidget(id);
        if (widget == nullptr) return std::string();
        const char* text = GTK_IS_FRAME(widget) ? gtk_frame_get_label(GTK_FRAME(widget))
                                                : gtk_button_get_label(GTK_BUTTON(widget));
        return std::string(text != nullptr ? text : "");
    };
    for (int slot = 0; slot < SlotCount; ++slot) {
        const int id = ControlId::copyButton(slot);
        setAccessibleName(controlWidget(id), joined(withoutEllipsis(caption(id)), algorithmName(slot)));
    }
    setAccessibleName(controlWidget(ControlId::CopyAllButton),
                      catalogueTextOr("tMainCOPYALL", "Copy all results"));
    const std::pair<int, int> browseButtons[] = {
        {ControlId::BrowseButton, ControlId::FileFrame},
        {ControlId::ExpectedBrowseButton, ControlId::VerificationFrame}};
    for (const auto& [button, frame] : browseButtons)
        setAccessibleName(controlWidget(button), joined(withoutEllipsis(caption(button)), caption(frame)));
}

std::string imageMeaning(int image) {
    switch (image) {
    case InfoIcon:
        return catalogueTextOr("tGenINFORMATION", "Information");
    case QuestionIcon:
        return catalogueTextOr("tGenQUESTION", "Question");
    case WarningIcon:
        return catalogueTextOr("tGenWARNING", "Warning");
    case LogoImage:
        return "Hashwarden";
    default:
        return {};
    }
}
