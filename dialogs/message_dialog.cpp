// MessageDialog: a fixed-layout modal window with icon, wrapped text, a band and one or two buttons.
#include "dialogs/message_dialog.h"

#include <gtk/gtk.h>

#include "ui/accessibility.h"
#include "ui/event_queue.h"
#include "ui/fonts_images.h"
#include "ui/main_window.h"
#include "ui/widget_style.h"
#include "settings/language_catalogue.h"

DialogPreset InfoPreset;
DialogPreset WarningQuestionPreset;
DialogPreset QuestionPreset;

namespace {

constexpr int ButtonWidth = 90;
constexpr int ButtonHeight = 25;
constexpr int BandHeight = 35;

MessageDialogParts OpenDialog;

void setBackground(GtkWidget* widget, int rgb) {
    addWidgetStyle(widget, "* { background-color: " + cssColour(rgb) + "; background-image: none; }");
}

void setForeground(GtkWidget* widget, int rgb) {
    addWidgetStyle(widget, "* { color: " + cssColour(rgb) + "; }");
}

// The window a dialog stands over: a modal window open now (a file requester asking before it takes a
// name), else the main window.
GtkWindow* dialogParent() {
    GtkWindow* parent = MainWindow != nullptr ? GTK_WINDOW(MainWindow) : nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (gtk_window_get_modal(window) && gtk_widget_get_mapped(GTK_WIDGET(window)) &&
            GTK_WIDGET(window) != MainWindow)
            parent = window;
    }
    g_list_free(windows);
    return parent;
}

} // namespace

void fitButtonHeight(GtkWidget* button) {
    // The screen-wide style gives buttons at least 26 pixels; these are 25 high (at the layout scale).
    addWidgetStyle(button, "* { min-height: " + std::to_string(scaled(ButtonHeight) - 6) +
                               "px; padding-top: 2px; padding-bottom: 2px; }");
}

namespace {

void postDialogEvent(int kind, int id) {
    postEvent(Event{kind, DialogWindowNumber, id, 0, {}});
}

void onButton(GtkButton*, gpointer id) {
    postDialogEvent(ControlEvent, GPOINTER_TO_INT(id));
}

gboolean onKey(GtkWidget*, GdkEventKey* key, gpointer) {
    if (key->keyval == GDK_KEY_Escape) {
        postDialogEvent(MenuEvent, DialogEscapeItem);
        return TRUE;
    }
    if (key->keyval == GDK_KEY_Return || key->keyval == GDK_KEY_KP_Enter) {
        postDialogEvent(MenuEvent, DialogReturnItem);
        return TRUE;
    }
    return FALSE;
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer) {
    postDialogEvent(CloseEvent, -1);
    return TRUE;
}

void fillCommon(DialogPreset& preset, int height, int image, int textColour, int8_t secondButtonPlace) {
    preset = DialogPreset{};
    preset.width = 440;
    preset.height = height;
    preset.image = image;
    preset.textColour = textColour;
    preset.font = DialogFont;
    preset.separatorKind = 3;
    preset.windowColour = 0xFFFFFF;
    preset.separatorColour = 0xFFFFFF;
    preset.secondButtonPlace = secondButtonPlace;
}

} // namespace

std::string expandLineBreaks(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 'N')) {
            result += '\n';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

void fillPresets() {
    fillCommon(InfoPreset, 160, InfoIcon, -1, 0);
    fillCommon(WarningQuestionPreset, 120, WarningIcon, 0x000000, 1);
    fillCommon(QuestionPreset, 120, QuestionIcon, -1, 1);
    fillPresetTexts();
}

void fillPresetTexts() {
    const std::string title = catalogueText("tGenMESSAGE");
    const std::string noYes = catalogueText("tGenNO") + "|" + catalogueText("tGenYES");
    InfoPreset.title = title;
    InfoPreset.buttons = catalogueText("tGenOK");
    WarningQuestionPreset.title = title;
    WarningQuestionPreset.buttons = noYes;
    QuestionPreset.title = title;
    QuestionPreset.buttons = noYes;
}

void setPresetColours(int rgb) {
    for (DialogPreset* preset : {&InfoPreset, &WarningQuestionPreset, &QuestionPreset}) {
        preset->windowColour = rgb;
        preset->separatorColour = rgb;
    }
}

MessageDialogParts openMessageDialog() {
    return OpenDialog;
}

DialogKind presetKind(const DialogPreset& preset) {
    const bool twoButtons = preset.buttons.find('|') != std::string::npos &&
                            (preset.secondButtonPlace == 0 || preset.secondButtonPlace == 1);
    return twoButtons ? DialogKind::Question : DialogKind::Information;
}

std::string dialogKindWord(DialogKind kind) {
    switch (kind) {
    case DialogKind::Question:
        return catalogueTextOr("tGenQUESTION", "Question");
    case DialogKind::Error:
        return catalogueTextOr("tGenERROR", "Error");
    case DialogKind::Information:
        break;
    }
    return catalogueTextOr("tGenINFORMATION", "Information");
}

int runMessageDialog(DialogPreset& preset, const std::string& text) {
    return runMessageDialog(preset, text, presetKind(preset));
}

int runMessageDialog(DialogPreset& preset, const std::string& text, DialogKind kind, DefaultButton defaultButton) {
    const std::string message = expandLineBreaks(text);
    std::string rightText = preset.buttons;
    std::string secondText;
    bool twoButtons = false;
    if (const std::size_t bar = preset.buttons.find('|'); bar != std::string::npos) {
        secondText = preset.buttons.substr(0, bar);
        const std::size_t end = preset.buttons.find('|', bar + 1);
        rightText =
            preset.buttons.substr(bar + 1, end == std::string::npos ? std::string::npos : end - bar - 1);
        twoButtons = preset.secondButtonPlace == 0 || preset.secondButtonPlace == 1;
    }

    // An error shows the error sign, whatever the preset's: the "i" would tell a screen reader's user
    // and everyone else that all is well.
    const int image = kind == DialogKind::Error ? ErrorIcon : preset.image;
    GdkPixbuf* icon = image >= 0 ? shellImage(image) : nullptr;
    // Every figure at the layout scale; the icon keeps its pixels in a place of the scaled size.
    const int iconWidth = icon != nullptr ? scaled(gdk_pixbuf_get_width(icon)) : 0;
    const int iconHeight = icon != nullptr ? scaled(gdk_pixbuf_get_height(icon)) : 0;
    const int W = scaled(preset.width);
    int H = scaled(preset.height);
    if (icon != nullptr && iconHeight + scaled(9) >= H) H = iconHeight + scaled(10);
    const int buttonWidth = scaled(ButtonWidth);
    const int buttonHeight = scaled(ButtonHeight);
    const int bandHeight = scaled(BandHeight);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (window == nullptr) return 0;
    // Over the About window the main window is already off and must stay so afterwards.
    const bool wasSensitive = mainWindowSensitive();
    setMainWindowSensitive(false);
    gtk_window_set_title(GTK_WINDOW(window), preset.title.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    if (GtkWindow* parent = dialogParent(); parent != nullptr) {
        gtk_window_set_transient_for(GTK_WINDOW(window), parent);
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);
    } else {
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    }
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    if (preset.windowColour != -1) setBackground(window, preset.windowColour);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, W, H);
    gtk_container_add(GTK_CONTAINER(window), fixed);

    MessageDialogParts parts;
    parts.window = window;
    // A screen reader reads an alert's text as it appears; a question is a dialog waiting for an answer.
    // Either way it says which kind it is, whatever the title (every preset's is "Message").
    setAccessibleRole(window, kind == DialogKind::Question ? AccessibleRole::Dialog : AccessibleRole::Alert);
    setAccessibleDescription(window, dialogKindWord(kind));
    int textX = scaled(5);
    int textWidth = W - scaled(10);
    if (icon != nullptr) {
        parts.icon = gtk_image_new_from_pixbuf(icon);
        setAccessibleName(parts.icon, imageMeaning(image));
        gtk_widget_set_size_request(parts.icon, iconWidth, iconHeight);
        gtk_fixed_put(GTK_FIXED(fixed), parts.icon, scaled(5), scaled(5));
        textX = iconWidth + scaled(10);
        textWidth = W - iconWidth - scaled(15);
    }
    // The text wraps at its control's width; the scroller keeps the label's natural height (which
    // GtkFixed would otherwise give the window) out of the dialog's fixed size.
    parts.textArea = gtk_scrolled_window_new(nullptr, nullptr);
    // A scroller takes the focus by default, which would make an unnamed Tab stop between the
    // buttons; the text never needs scrolling by keyboard.
    gtk_widget_set_can_focus(parts.textArea, FALSE);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(parts.textArea), GTK_POLICY_NEVER,
                                   GTK_POLICY_EXTERNAL);
    gtk_widget_set_size_request(parts.textArea, textWidth, H - scaled(40));
    parts.text = gtk_label_new(message.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(parts.text), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(parts.text), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_xalign(GTK_LABEL(parts.text), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(parts.text), 0.0f);
    gtk_label_set_max_width_chars(GTK_LABEL(parts.text), 1); // no wider than the text area
    gtk_widget_set_valign(parts.text, GTK_ALIGN_START);
    if (preset.font != -1) applyFont(parts.text, preset.font);
    if (preset.textColour != -1) setForeground(parts.text, preset.textColour);
    gtk_container_add(GTK_CONTAINER(parts.textArea), parts.text);
    if (GtkWidget* viewport = gtk_bin_get_child(GTK_BIN(parts.textArea)); viewport != nullptr) {
        gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
        if (preset.windowColour != -1) setBackground(viewport, preset.windowColour);
    }
    gtk_fixed_put(GTK_FIXED(fixed), parts.textArea, textX, scaled(5));

    if (preset.separatorKind >= 1 && preset.separatorKind <= 3) {
        parts.separator = gtk_event_box_new();
        const int x = preset.separatorKind == 1 ? textX : 0;
        const int width = preset.separatorKind == 1 ? textWidth : W;
        const int height = preset.separatorKind == 3 ? bandHeight : scaled(1);
        gtk_widget_set_size_request(parts.separator, width, height);
        if (preset.separatorColour != -1) setBackground(parts.separator, preset.separatorColour);
        gtk_fixed_put(GTK_FIXED(fixed), parts.separator, x, H - bandHeight);
    }

    parts.rightButton = gtk_button_new_with_label(rightText.c_str());
    gtk_widget_set_size_request(parts.rightButton, buttonWidth, buttonHeight);
    fitButtonHeight(parts.rightButton);
    gtk_fixed_put(GTK_FIXED(fixed), parts.rightButton, W - scaled(95), H - scaled(30));
    g_signal_connect(parts.rightButton, "clicked", G_CALLBACK(onButton),
                     GINT_TO_POINTER(DialogRightButtonId));
    if (twoButtons) {
        parts.secondButton = gtk_button_new_with_label(secondText.c_str());
        gtk_widget_set_size_request(parts.secondButton, buttonWidth, buttonHeight);
        fitButtonHeight(parts.secondButton);
        const int x = preset.secondButtonPlace == 1 ? W - scaled(190)
                                                    : (icon != nullptr ? iconWidth + scaled(10) : scaled(5));
        gtk_fixed_put(GTK_FIXED(fixed), parts.secondButton, x, H - scaled(30));
        g_signal_connect(parts.secondButton, "clicked", G_CALLBACK(onButton),
                         GINT_TO_POINTER(DialogSecondButtonId));
    }
    g_signal_connect(window, "key-press-event", G_CALLBACK(onKey), nullptr);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), nullptr);
    gtk_widget_show_all(window);
    const bool secondIsDefault = defaultButton == DefaultButton::Second && parts.secondButton != nullptr;
    GtkWidget* defaultWidget = secondIsDefault ? parts.secondButton : parts.rightButton;
    gtk_widget_set_can_default(defaultWidget, TRUE);
    gtk_widget_grab_default(defaultWidget);
    gtk_widget_grab_focus(defaultWidget);
    const int returnResult = secondIsDefault ? 0 : 1;
    OpenDialog = parts;

    // The dialog's own loop: it takes only its own events; everything else (the job's end event
    // above all) stays queued, in order, for the main loop.
    int result = -1;
    while (result < 0) {
        const Event event = waitForEventWhere([](const Event& e) { return e.window == DialogWindowNumber; });
        if (event.kind == ControlEvent && event.id == DialogRightButtonId)
            result = 1;
        else if (event.kind == ControlEvent && event.id == DialogSecondButtonId)
            result = 0;
        else if (event.kind == MenuEvent && event.id == DialogReturnItem)
            result = returnResult;
        else if (event.kind == MenuEvent && event.id == DialogEscapeItem)
            result = 0;
        else if (event.kind == CloseEvent)
            result = 0;
    }
    OpenDialog = MessageDialogParts{};
    gtk_widget_destroy(window);
    discardWindowEvents(DialogWindowNumber);
    discardMainWindowInput();
    setMainWindowSensitive(wasSensitive);
    return result;
}

bool askQuestion(const char* key) {
    return runMessageDialog(WarningQuestionPreset, catalogueText(key)) == 1;
}

bool askQuestionWith(const char* key, const char* shipped, const std::string& value, DefaultButton defaultButton) {
    return runMessageDialog(WarningQuestionPreset, catalogueTextWith(key, shipped, value),
                            presetKind(WarningQuestionPreset), defaultButton) == 1;
}
