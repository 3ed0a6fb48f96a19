// The operations on controls by id: texts, states, the progress bar, colours, fonts, enabling.
#include "ui/controls.h"

#include <gtk/gtk.h>

#include <array>

#include "ui/control_names.h"
#include "ui/event_queue.h"
#include "ui/fonts_images.h"
#include "ui/keyboard_focus.h"
#include "ui/main_thread.h"
#include "ui/widget_style.h"

namespace {

// One CSS provider per control carries its text colour, so the colour can be replaced or removed.
std::array<GtkCssProvider*, ControlCount> ColourProviders{};

struct ProgressRange {
    double value = 0; // in the bar's units: a running job shows fractions of a pass
    int maximum = 100;
};
ProgressRange Progress;

void showProgress(GtkWidget* bar) {
    const double fraction =
        Progress.maximum > 0 ? static_cast<double>(Progress.value) / Progress.maximum : 0.0;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fraction < 0 ? 0 : (fraction > 1 ? 1 : fraction));
}

} // namespace

void setControlText(int id, const std::string& text) {
    if (!onMainThread("setControlText")) return;
    ProgramChange change;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    switch (controlKind(id)) {
    case ControlKind::Frame:
        gtk_frame_set_label(GTK_FRAME(widget), text.c_str());
        nameMainWindowControls();
        break;
    case ControlKind::ReadOnlyEntry:
    case ControlKind::Entry:
        gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
        break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
        gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
        ellipsizeCaption(widget);
        nameMainWindowControls();
        break;
    case ControlKind::Label:
        gtk_label_set_text(GTK_LABEL(widget), text.c_str());
        break;
    case ControlKind::ProgressBar:
    case ControlKind::Image:
        break;
    }
}

std::string controlText(int id) {
    if (!onMainThread("controlText")) return {};
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return {};
    const char* text = nullptr;
    switch (controlKind(id)) {
    case ControlKind::Frame:
        text = gtk_frame_get_label(GTK_FRAME(widget));
        break;
    case ControlKind::ReadOnlyEntry:
    case ControlKind::Entry:
        text = gtk_entry_get_text(GTK_ENTRY(widget));
        break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
        text = gtk_button_get_label(GTK_BUTTON(widget));
        break;
    case ControlKind::Label:
        text = gtk_label_get_text(GTK_LABEL(widget));
        break;
    case ControlKind::ProgressBar:
    case ControlKind::Image:
        break;
    }
    return text != nullptr ? text : "";
}

int controlState(int id) {
    if (!onMainThread("controlState")) return 0;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return 0;
    if (controlKind(id) == ControlKind::CheckBox)
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) ? 1 : 0;
    if (controlKind(id) == ControlKind::ProgressBar) return static_cast<int>(Progress.value);
    return 0;
}

void setControlState(int id, int value) {
    if (!onMainThread("setControlState")) return;
    ProgramChange change;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    if (controlKind(id) == ControlKind::CheckBox) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), value != 0);
    } else if (controlKind(id) == ControlKind::ProgressBar) {
        Progress.value = value;
        showProgress(widget);
    }
}

void setProgressValue(int id, double value) {
    if (!onMainThread("setProgressValue")) return;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr || controlKind(id) != ControlKind::ProgressBar) return;
    Progress.value = value;
    showProgress(widget);
}

double progressValue(int id) {
    if (!onMainThread("progressValue")) return 0.0;
    GtkWidget* widget = controlWidget(id);
    return widget != nullptr && controlKind(id) == ControlKind::ProgressBar ? Progress.value : 0.0;
}

void setProgressMaximum(int id, int maximum) {
    if (!onMainThread("setProgressMaximum")) return;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr || controlKind(id) != ControlKind::ProgressBar) return;
    Progress.maximum = maximum;
    showProgress(widget);
}

void setTextColour(int id, int rgb) {
    if (!onMainThread("setTextColour")) return;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    GtkStyleContext* context = gtk_widget_get_style_context(widget);
    if (ColourProviders[id] != nullptr) {
        gtk_style_context_remove_provider(context, GTK_STYLE_PROVIDER(ColourProviders[id]));
        g_object_unref(ColourProviders[id]);
        ColourProviders[id] = nullptr;
    }
    if (rgb < 0) return;
    // No transition: the theme would fade the text into its new colour over a fifth of a second.
    const std::string css = "* { color: " + cssColour(rgb) + "; transition: none; }";
    ColourProviders[id] = gtk_css_provider_new();
    gtk_css_provider_load_from_data(ColourProviders[id], css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(context, GTK_STYLE_PROVIDER(ColourProviders[id]),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
}

void enableControl(int id, bool on) {
    if (!onMainThread("enableControl")) return;
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return;
    if (!on) controlBeingDisabled(widget);
    gtk_widget_set_sensitive(widget, on);
}

bool controlEnabled(int id) {
    if (!onMainThread("controlEnabled")) return false;
    GtkWidget* widget = controlWidget(id);
    return widget != nullptr && gtk_widget_get_sensitive(widget);
}

void setControlFont(int id, int font) {
    if (!onMainThread("setControlFont")) return;
    if (GtkWidget* widget = controlWidget(id)) applyFont(widget, font);
}

void setClipboardText(const std::string& text) {
    if (!onMainThread("setClipboardText")) return;
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_text(clipboard, text.c_str(), static_cast<gint>(text.size()));
    // Lets the clipboard store at exit hand the text to the desktop's clipboard manager.
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
}

SlotFlags tickedSlots() {
    SlotFlags ticked{};
    for (int slot = 0; slot < SlotCount; ++slot)
        ticked[slot] = controlState(ControlId::algorithmCheckBox(slot)) == 1;
    return ticked;
}

void forgetControlColours() {
    for (GtkCssProvider*& provider : ColourProviders) {
        if (provider != nullptr) g_object_unref(provider);
        provider = nullptr;
    }
    Progress = ProgressRange{};
}
