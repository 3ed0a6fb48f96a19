// Names, roles and descriptions for screen readers, set through the widgets' accessible objects.
#include "ui/accessibility.h"

#include <atk/atk.h>
#include <gtk/gtk.h>

#include "settings/language_catalogue.h"
#include "ui/fonts_images.h"

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

std::string imageMeaning(int image) {
    switch (image) {
    case InfoIcon:
        return catalogueTextOr("tGenINFORMATION", "Information");
    case QuestionIcon:
        return catalogueTextOr("tGenQUESTION", "Question");
    case WarningIcon:
        return catalogueTextOr("tGenWARNING", "Warning");
    case ErrorIcon:
        return catalogueTextOr("tGenERROR", "Error");
    case LogoImage:
        return "Hashwarden";
    default:
        return {};
    }
}
