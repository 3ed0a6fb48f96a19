// The shipped packs on the real window: every caption is whole on its control, and every button's
// name for screen readers holds the caption it shows, so that a spoken "click <caption>" finds it.
#include <filesystem>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"
#include "ui/accessibility.h"

namespace {

const char* const ShippedCodes[] = {"de_DE", "en_GB", "en_US", "es_ES", "fr_FR",
                                    "it_IT", "nl_NL", "pl_PL", "pt_BR", "ru_RU"};

// A text as speech input compares it: case folded, normalised, without the ellipsis that only says
// "a window follows" and without mnemonic underscores.
std::string spoken(const std::string& text) {
    std::string bare;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 3, "…") == 0) {
            at += 3;
        } else if (text.compare(at, 3, "...") == 0) {
            at += 3;
        } else if (text[at] == '_') {
            ++at;
        } else {
            bare += text[at++];
        }
    }
    gchar* normal = g_utf8_normalize(bare.c_str(), -1, G_NORMALIZE_ALL_COMPOSE);
    gchar* folded = g_utf8_casefold(normal != nullptr ? normal : "", -1);
    std::string result = folded;
    g_free(folded);
    g_free(normal);
    while (!result.empty() && result.back() == ' ')
        result.pop_back();
    return result;
}

// The label that shows a control's caption: a button's or check box's child, a frame's caption.
GtkWidget* captionLabel(int id) {
    GtkWidget* widget = controlWidget(id);
    if (widget == nullptr) return nullptr;
    GtkWidget* label = GTK_IS_FRAME(widget) ? gtk_frame_get_label_widget(GTK_FRAME(widget))
                                            : gtk_bin_get_child(GTK_BIN(widget));
    return GTK_IS_LABEL(label) ? label : nullptr;
}

std::vector<int> captionedControls() {
    std::vector<int> ids;
    for (int id = 0; id < MainControlCount; ++id) {
        const ControlKind kind = controlKind(id);
        if (kind == ControlKind::Frame || kind == ControlKind::Button || kind == ControlKind::CheckBox)
            ids.push_back(id);
    }
    return ids;
}

// Whole: the label is not cut short with an ellipsis, and the room it got holds all of its text.
void expectWholeCaption(int id) {
    GtkWidget* label = captionLabel(id);
    ASSERT_NE(label, nullptr) << "control " << id;
    const std::string text = gtk_label_get_text(GTK_LABEL(label));
    EXPECT_FALSE(text.empty()) << "control " << id;
    EXPECT_FALSE(pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(label))))
        << "control " << id << ": " << text;
    int natural = 0;
    gtk_widget_get_preferred_width(label, nullptr, &natural);
    EXPECT_LE(natural, gtk_widget_get_allocated_width(label)) << "control " << id << ": " << text;
}

class CaptionsTest : public ShellTest {
  protected:
    void startIn(const std::string& code) {
        if (!std::filesystem::exists(packFolder()))
            std::filesystem::copy(HW_LANGUAGE_PACK_DIR, packFolder(),
                                  std::filesystem::copy_options::recursive);
        writeSettings(code);
        ASSERT_TRUE(start());
        ASSERT_EQ(CurrentLanguage, code);
    }
};

} // namespace

TEST_F(CaptionsTest, EveryButtonsNameHoldsTheCaptionItShows) {
    for (const char* code : ShippedCodes) {
        SCOPED_TRACE(code);
        startIn(code);
        int buttons = 0;
        for (int id : captionedControls()) {
            if (controlKind(id) != ControlKind::Button) continue;
            ++buttons;
            const std::string caption = spoken(controlText(id));
            const std::string name = spoken(accessibleName(controlWidget(id)));
            EXPECT_FALSE(caption.empty()) << "control " << id;
            EXPECT_NE(name.find(caption), std::string::npos)
                << "control " << id << ": name \"" << accessibleName(controlWidget(id)) << "\", caption \""
                << controlText(id) << "\"";
        }
        // The Copy buttons, both Browse buttons, Copy all, Save, Clear all and Verify.
        EXPECT_EQ(buttons, SlotCount + 6);
        stop();
    }
}

TEST_F(CaptionsTest, EveryCaptionIsWholeOnItsControl) {
    for (const char* code : ShippedCodes) {
        SCOPED_TRACE(code);
        startIn(code);
        ASSERT_TRUE(waitForNextFrame(MainWindow));
        for (int id : captionedControls())
            expectWholeCaption(id);
        // The Verify button says Cancel while a calculation runs.
        setControlText(ControlId::VerifyButton, catalogueText("tMainCANCEL"));
        ASSERT_TRUE(waitForNextFrame(MainWindow));
        expectWholeCaption(ControlId::VerifyButton);
        stop();
    }
}
