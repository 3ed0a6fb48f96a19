// The main window on a real display: places, texts, enabled sets, language switch, menus, keys,
// accessibility.
#include <atk/atk.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "calc/job_results.h"
#include "ui/accessibility.h"
#include "ui/main_thread.h"
#include "ui/result_rows.h"
#include "dialogs/about_window.h"
#include "dialogs/message_dialog.h"
#include "gui_test_support.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"

namespace {

struct Place {
    int id, x, y, width, height;
};

// The layout the window must have, written out independently of the program's own table.
std::vector<Place> expectedPlaces() {
    std::vector<Place> places = {
        {0, 5, 5, 990, 55}, {1, 10, 23, 855, 27}, {2, 870, 23, 120, 27}, {3, 5, 65, 990, 410}};
    const int rows[11] = {83, 115, 147, 179, 211, 243, 275, 307, 339, 371, 403};
    for (int slot = 0; slot < 11; ++slot) {
        places.push_back({4 + 3 * slot, 10, rows[slot], 100, 27});
        places.push_back({5 + 3 * slot, 115, rows[slot], 770, 27});
        places.push_back({6 + 3 * slot, 890, rows[slot], 100, 27});
    }
    const std::vector<Place> tail = {{37, 10, 440, 120, 27}, {38, 135, 440, 120, 27}, {39, 870, 440, 120, 27},
                                     {40, 5, 480, 990, 55},  {41, 10, 498, 855, 27},  {42, 870, 498, 120, 27},
                                     {43, 5, 545, 855, 27},  {44, 865, 540, 130, 35}};
    places.insert(places.end(), tail.begin(), tail.end());
    return places;
}

std::string menuLabel(GtkWidget* item) {
    // Titles carry their label directly; items hold [icon] + accel label in a box.
    if (const char* label = gtk_menu_item_get_label(GTK_MENU_ITEM(item)); label != nullptr && *label != '\0')
        return label;
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(item));
    if (GTK_IS_BOX(child)) {
        GList* parts = gtk_container_get_children(GTK_CONTAINER(child));
        std::string text;
        for (GList* part = parts; part != nullptr; part = part->next)
            if (GTK_IS_LABEL(part->data)) text = gtk_label_get_label(GTK_LABEL(part->data));
        g_list_free(parts);
        return text;
    }
    return GTK_IS_LABEL(child) ? gtk_label_get_label(GTK_LABEL(child)) : "";
}

int languageItemNamed(const std::string& name) {
    for (int id = MenuLanguageBase; id < menuItemIdCount(); ++id)
        if (menuItemText(id) == name) return id;
    return -1;
}

std::set<int> enabledControls() {
    std::set<int> enabled;
    for (int id = 0; id < MainControlCount; ++id)
        if (controlEnabled(id)) enabled.insert(id);
    return enabled;
}

std::set<int> alwaysEnabledInFilePhases() {
    std::set<int> ids = {0, 1, 2, 3, 40, 41, 42, 43};
    for (int slot = 0; slot < SlotCount; ++slot) {
        ids.insert(ControlId::algorithmCheckBox(slot));
        ids.insert(ControlId::resultEntry(slot));
    }
    return ids;
}

// Whether the scroller around the main window's layout shows either of its bars (one it does not show
// is unmapped, or until the first frame mapped with no room: 1 x 1 pixels).
bool scrollBarsShown(GtkWidget* scroller) {
    if (!GTK_IS_SCROLLED_WINDOW(scroller)) return false;
    bool shown = false;
    for (GtkWidget* bar : {gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(scroller)),
                           gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scroller))})
        shown = shown || (gtk_widget_get_mapped(bar) && gtk_widget_get_allocated_width(bar) > 1 &&
                          gtk_widget_get_allocated_height(bar) > 1);
    return shown;
}

class WindowTest : public ShellTest {};

TEST_F(WindowTest, FortyFiveControlsSitAtTheirPlacesInAFixedWindow) {
    writeTestLanguages();
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(MainWindow)),
              "Hashwarden v1.0.0.0 (" + runningArchitecture() + ") - Brightmoor");
    // The 1280 x 1024 screen holds the window: it keeps its fixed size and shows no scroll bars.
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(MainWindow)));
    GtkWidget* client = gtk_bin_get_child(GTK_BIN(MainWindow));
    EXPECT_EQ(gtk_widget_get_allocated_width(client), 1000);
    EXPECT_EQ(gtk_widget_get_allocated_height(client), 605);
    GtkWidget* scroller = gtk_widget_get_parent(gtk_widget_get_parent(controlWidget(ControlId::PathEntry)));
    ASSERT_TRUE(GTK_IS_SCROLLED_WINDOW(scroller));
    ASSERT_TRUE(waitForNextFrame(MainWindow));
    EXPECT_FALSE(scrollBarsShown(scroller));
    // Centred on the 1280 x 1024 screen of the test display.
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(MainWindow), &x, &y);
    EXPECT_NEAR(x, (1280 - 1000) / 2, 2);

    for (const Place& place : expectedPlaces()) {
        GtkWidget* widget = controlWidget(place.id);
        ASSERT_NE(widget, nullptr) << place.id;
        GtkAllocation allocation;
        gtk_widget_get_allocation(widget, &allocation);
        EXPECT_EQ(allocation.x, place.x) << "control " << place.id;
        EXPECT_EQ(allocation.y, place.y) << "control " << place.id;
        EXPECT_EQ(allocation.width, place.width) << "control " << place.id;
        EXPECT_EQ(allocation.height, place.height) << "control " << place.id;
    }
    // Read-only entries take no typing; the expected checksum does.
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(controlWidget(ControlId::PathEntry))));
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(controlWidget(ControlId::resultEntry(4)))));
    EXPECT_TRUE(gtk_editable_get_editable(GTK_EDITABLE(controlWidget(ControlId::ExpectedEntry))));
}

// With larger text (the desktop's text scaling: GDK_DPI_SCALE or the Xft resolution, both of which
// set the screen's resolution) the whole fixed layout grows by the same factor, rounded to whole
// pixels: every check box label stays whole and every control lies inside its window. At 1.5 the
// window no longer fits the 1280 x 1024 screen: it takes the screen, and the layout scrolls inside it.
TEST_F(WindowTest, LargerTextScalesTheWholeLayoutSoNothingIsCut) {
    writeTestLanguages();
    writeSettings("te_ST");
    double oldResolution = -1.0; // not set: the toolkit's 96
    for (const double scale : {1.0, 1.25, 1.5}) {
        SCOPED_TRACE(scale);
        // The screen exists once the toolkit has started, at the latest after the first start.
        if (GdkScreen* screen = gdk_screen_get_default()) {
            if (scale == 1.0) oldResolution = gdk_screen_get_resolution(screen);
            gdk_screen_set_resolution(screen, 96.0 * scale);
        } else {
            ASSERT_EQ(scale, 1.0);
        }
        ASSERT_TRUE(start());
        const auto at = [scale](int pixels) { return static_cast<int>(std::lround(pixels * scale)); };
        const bool fits = scale < 1.5;
        GtkWidget* client = gtk_bin_get_child(GTK_BIN(MainWindow));
        ASSERT_TRUE(pumpUntil([&] { return gtk_widget_get_allocated_width(client) > 1; }));
        EXPECT_EQ(gtk_widget_get_allocated_width(client), fits ? at(1000) : 1280);
        EXPECT_EQ(gtk_widget_get_allocated_height(client), fits ? at(605) : 1024);
        EXPECT_EQ(gtk_window_get_resizable(GTK_WINDOW(MainWindow)), !fits);
        ASSERT_TRUE(waitForNextFrame(MainWindow));
        EXPECT_EQ(scrollBarsShown(
                      gtk_widget_get_parent(gtk_widget_get_parent(controlWidget(ControlId::PathEntry)))),
                  !fits);
        // Inside the window's own area; in the main window, inside the layout the window scrolls over.
        const auto inside = [](GtkWidget* widget, GtkWidget* window, const std::string& what) {
            GtkWidget* area = gtk_bin_get_child(GTK_BIN(window));
            int width = gtk_widget_get_allocated_width(area);
            int height = gtk_widget_get_allocated_height(area);
            if (GTK_IS_LAYOUT(gtk_widget_get_parent(widget))) {
                area = gtk_widget_get_parent(widget);
                guint layoutWidth = 0, layoutHeight = 0;
                gtk_layout_get_size(GTK_LAYOUT(area), &layoutWidth, &layoutHeight);
                width = static_cast<int>(layoutWidth);
                height = static_cast<int>(layoutHeight);
            }
            GtkAllocation place;
            gtk_widget_get_allocation(widget, &place);
            int x = place.x, y = place.y;
            if (!GTK_IS_LAYOUT(area)) {
                ASSERT_TRUE(gtk_widget_translate_coordinates(widget, area, 0, 0, &x, &y)) << what;
            }
            EXPECT_GE(x, 0) << what;
            EXPECT_GE(y, 0) << what;
            EXPECT_LE(x + place.width, width) << what;
            EXPECT_LE(y + place.height, height) << what;
        };
        for (const Place& place : expectedPlaces()) {
            GtkAllocation allocation;
            gtk_widget_get_allocation(controlWidget(place.id), &allocation);
            EXPECT_EQ(allocation.x, at(place.x)) << "control " << place.id;
            EXPECT_EQ(allocation.y, at(place.y)) << "control " << place.id;
            EXPECT_EQ(allocation.width, at(place.width)) << "control " << place.id;
            EXPECT_EQ(allocation.height, at(place.height)) << "control " << place.id;
            inside(controlWidget(place.id), MainWindow, "control " + std::to_string(place.id));
        }
        for (int slot = 0; slot < SlotCount; ++slot) {
            GtkWidget* label = gtk_bin_get_child(GTK_BIN(controlWidget(ControlId::algorithmCheckBox(slot))));
            EXPECT_FALSE(pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(label))))
                << gtk_label_get_text(GTK_LABEL(label));
        }
        // Each frame's caption ends above the first control inside the frame.
        for (const auto& [frame, first] :
             {std::pair{ControlId::FileFrame, ControlId::PathEntry},
              std::pair{ControlId::AlgorithmFrame, ControlId::algorithmCheckBox(0)},
              std::pair{ControlId::VerificationFrame, ControlId::ExpectedEntry}}) {
            GtkWidget* caption = gtk_frame_get_label_widget(GTK_FRAME(controlWidget(frame)));
            int x = 0, y = 0;
            ASSERT_TRUE(gtk_widget_translate_coordinates(caption, controlWidget(first), 0, 0, &x, &y));
            EXPECT_LE(y + gtk_widget_get_allocated_height(caption), 0) << "frame " << frame;
        }

        // The About window and a question grow with the text too.
        openAbout();
        ASSERT_TRUE(pumpUntil([] {
            return gtk_widget_get_mapped(aboutWindow()) &&
                   gtk_widget_get_allocated_width(controlWidget(AboutOkButtonId)) > 1;
        }));
        EXPECT_EQ(gtk_widget_get_allocated_width(gtk_bin_get_child(GTK_BIN(aboutWindow()))), at(600));
        EXPECT_EQ(gtk_widget_get_allocated_height(gtk_bin_get_child(GTK_BIN(aboutWindow()))), at(250));
        for (int id = AboutLogoId; id <= AboutOkButtonId; ++id)
            inside(controlWidget(id), aboutWindow(), "About control " + std::to_string(id));
        closeAbout();
        answerNextDialog(DialogAnswer::Yes);
        EXPECT_EQ(runMessageDialog(QuestionPreset, "Question"), 1);
        const SeenDialog& seen = lastDialog();
        EXPECT_EQ(seen.width, at(440));
        EXPECT_EQ(seen.height, at(120));
        EXPECT_EQ(seen.rightButtonWidth, at(90));
        EXPECT_EQ(seen.rightButtonHeight, at(25));
        EXPECT_LE(seen.rightButtonY + seen.rightButtonHeight, seen.height);
        EXPECT_EQ(seen.secondButtonX, at(440) - at(190)); // each figure of "W - 190" rounded
        stop();
    }
    gdk_screen_set_resolution(gdk_screen_get_default(), oldResolution);
}

TEST_F(WindowTest, TextsComeFromTheLanguageInForce) {
    writeTestLanguages();
    writeSettings("te_ST", {0, 4});
    ASSERT_TRUE(start());
    EXPECT_EQ(CurrentLanguage, "te_ST");
    const std::pair<int, const char*> texts[] = {{0, "T:tMainFILE"},
                                                 {2, "T:tGenBROWSE"},
                                                 {3, "T:tMainALGORITHM"},
                                                 {6, "T:tMainCLIPBOARD"},
                                                 {36, "T:tMainCLIPBOARD"},
                                                 {37, "T:tMainCLIPBOARDALL"},
                                                 {38, "T:tMainSAVE"},
                                                 {39, "T:tMainDELETEALL"},
                                                 {40, "T:tMainVERIFICATION"},
                                                 {42, "T:tGenBROWSE"},
                                                 {44, "T:tMainVERIFY"},
                                                 {4, "CRC32"},
                                                 {13, "SHA2 - 224"},
                                                 {34, "SHA3 - 512"},
                                                 {1, ""},
                                                 {41, ""}};
    for (const auto& [id, text] : texts)
        EXPECT_EQ(controlText(id), text) << "control " << id;
    EXPECT_EQ(controlState(ControlId::algorithmCheckBox(0)), 1);
    EXPECT_EQ(controlState(ControlId::algorithmCheckBox(4)), 1);
    EXPECT_EQ(controlState(ControlId::algorithmCheckBox(1)), 0);
    EXPECT_EQ(menuLabel(menuTitleWidget(0)), "T:tMenuFILE");
    EXPECT_EQ(menuLabel(menuTitleWidget(2)), "T:tMenuHELP");
    EXPECT_EQ(menuItemText(MenuOpen), "T:tMenuOPEN");
    EXPECT_EQ(menuItemText(MenuOpenWeb), "T:tMenuOPENWEB");
    // The presets were filled before the catalogue and again after it.
    EXPECT_EQ(InfoPreset.title, "T:tGenMESSAGE");
    EXPECT_EQ(InfoPreset.buttons, "T:tGenOK");
    EXPECT_EQ(WarningQuestionPreset.buttons, "T:tGenNO|T:tGenYES");
    EXPECT_EQ(QuestionPreset.buttons, "T:tGenNO|T:tGenYES");
    EXPECT_EQ(WarningQuestionPreset.windowColour, ThemeBackgroundColour);
    EXPECT_EQ(QuestionPreset.separatorColour, ThemeBackgroundColour);
}

TEST_F(WindowTest, NoFileAndFileChosenEnableExactlyTheirSets) {
    ASSERT_TRUE(start());
    std::set<int> noFile = alwaysEnabledInFilePhases();
    EXPECT_EQ(enabledControls(), noFile);
    for (int item : {MenuOpen, MenuQuit, MenuAbout, MenuOpenWeb})
        EXPECT_TRUE(gtk_widget_get_sensitive(menuItemWidget(item))) << item;
    EXPECT_FALSE(gtk_widget_get_sensitive(menuItemWidget(MenuOpenHelp)));
    stop();

    const std::string file = scratch() + "data.bin";
    writeFileText(file, "abc");
    ASSERT_TRUE(start({file}));
    EXPECT_EQ(controlText(ControlId::PathEntry), file);
    std::set<int> fileChosen = noFile;
    fileChosen.insert({ControlId::DeleteAllButton, ControlId::VerifyButton});
    EXPECT_EQ(enabledControls(), fileChosen);
    EXPECT_FALSE(gtk_widget_get_sensitive(menuItemWidget(MenuOpenHelp)));
}

TEST_F(WindowTest, LanguageSwitchRecaptionsTheListedTextsAndMovesTheCheckMark) {
    writeTestLanguages();
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    const int testish = languageItemNamed("Testish");
    const int otherish = languageItemNamed("Otherish");
    ASSERT_GE(testish, MenuLanguageBase);
    ASSERT_GE(otherish, MenuLanguageBase);
    EXPECT_EQ(CurrentLanguageItem, testish);
    EXPECT_TRUE(menuItemChecked(testish));
    EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(menuItemWidget(testish))));
    setControlText(ControlId::PathEntry, "/kept/path");
    publishResult(2, "kept result");
    showResults();

    // The user picks Otherish: the toolkit activates the item, the loop dispatches the event.
    gtk_menu_item_activate(GTK_MENU_ITEM(menuItemWidget(otherish)));
    dispatchQueuedEvents();

    EXPECT_EQ(CurrentLanguage, "ot_HR");
    EXPECT_EQ(CurrentLanguageItem, otherish);
    EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(menuItemWidget(otherish))));
    EXPECT_FALSE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(menuItemWidget(testish))));
    for (int id : {0, 2, 3, 6, 9, 36, 37, 39, 40, 42})
        EXPECT_EQ(controlText(id).substr(0, 2), "O:") << id;
    EXPECT_EQ(controlText(ControlId::VerifyButton), "O:tMainVERIFY");
    EXPECT_EQ(controlText(ControlId::SaveButton), "T:tMainSAVE"); // Otherish lacks the key
    EXPECT_EQ(controlText(ControlId::PathEntry), "/kept/path");
    EXPECT_EQ(controlText(ControlId::resultEntry(2)), "kept result");
    EXPECT_EQ(controlText(ControlId::algorithmCheckBox(3)), "SHA2 - 224");
    EXPECT_EQ(menuLabel(menuTitleWidget(1)), "O:tMenuLANGUAGES");
    for (int id = MenuOpen; id <= MenuOpenWeb; ++id)
        EXPECT_EQ(menuItemText(id).substr(0, 2), "O:") << id;
    EXPECT_EQ(menuItemText(testish), "Testish");
    EXPECT_EQ(WarningQuestionPreset.buttons, "O:tGenNO|O:tGenYES");
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(MainWindow)),
              "Hashwarden v1.0.0.0 (" + runningArchitecture() + ") - Brightmoor");

    // Picking the checked language again does nothing at all, not even a reload.
    writeLanguageFile(packFolder(), "ot_HR", "Otherish", allKeysWithPrefix("CHANGED:"));
    gtk_menu_item_activate(GTK_MENU_ITEM(menuItemWidget(otherish)));
    dispatchQueuedEvents();
    EXPECT_EQ(controlText(ControlId::FileFrame), "O:tMainFILE");
    EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(menuItemWidget(otherish))));
}

TEST_F(WindowTest, LanguageItemsFollowTheTableOrderAndAnUninstalledLanguageChecksNone) {
    writeTestLanguages();
    writeLanguageFile(packFolder(), "th_RD", "Thirdish", allKeysWithPrefix("3:"));
    writeSettings("xx_XX"); // not installed: en_GB is in force, which is not installed either
    ASSERT_TRUE(start());
    EXPECT_EQ(CurrentLanguage, "en_GB");
    const std::vector<LanguageEntry> order = languagesInMenuOrder();
    ASSERT_EQ(order.size(), 3u);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const int id = MenuLanguageBase + static_cast<int>(k);
        EXPECT_EQ(menuItemText(id), order[k].displayName);
        EXPECT_FALSE(menuItemChecked(id));
    }
    EXPECT_EQ(CurrentLanguageItem, -1);
    EXPECT_EQ(controlText(ControlId::FileFrame), "");
    // The first switch checks the chosen item and leaves every other item as it was.
    const int third = languageItemNamed("Thirdish");
    gtk_menu_item_activate(GTK_MENU_ITEM(menuItemWidget(third)));
    dispatchQueuedEvents();
    EXPECT_EQ(CurrentLanguage, "th_RD");
    for (int id = MenuLanguageBase; id < menuItemIdCount(); ++id)
        EXPECT_EQ(menuItemChecked(id), id == third) << id;
    EXPECT_EQ(controlText(ControlId::FileFrame), "3:tMainFILE");
}

TEST_F(WindowTest, WithoutLanguagesEveryTextIsEmptyAndTheLanguagesMenuHasNoItems) {
    ASSERT_TRUE(start());
    EXPECT_EQ(CurrentLanguage, "en_GB");
    EXPECT_EQ(gtk_menu_item_get_submenu(GTK_MENU_ITEM(menuTitleWidget(1))), nullptr);
    EXPECT_EQ(menuItemIdCount(), MenuLanguageBase);
    EXPECT_EQ(controlText(ControlId::BrowseButton), "");
    EXPECT_EQ(controlText(ControlId::VerifyButton), "");
    EXPECT_EQ(InfoPreset.title, "");
    for (int id = 0; id < MainControlCount; ++id)
        EXPECT_NE(controlWidget(id), nullptr) << id;
}

TEST_F(WindowTest, MenuTextsBecomeMnemonicsAndShortcuts) {
    MenuText open = parseMenuText("&Open…\tCtrl+O");
    EXPECT_EQ(open.label, "_Open…");
    EXPECT_EQ(open.key, static_cast<unsigned>(GDK_KEY_o));
    EXPECT_EQ(open.modifiers, static_cast<unsigned>(GDK_CONTROL_MASK));
    MenuText save = parseMenuText("Save_as &x\tshift+alt+F5");
    EXPECT_EQ(save.label, "Save__as _x");
    EXPECT_EQ(save.key, static_cast<unsigned>(GDK_KEY_F5));
    EXPECT_EQ(save.modifiers, static_cast<unsigned>(GDK_SHIFT_MASK | GDK_MOD1_MASK));
    EXPECT_EQ(parseMenuText("Delete\tDEL").key, static_cast<unsigned>(GDK_KEY_Delete));
    EXPECT_EQ(parseMenuText("Help\\tF12").key, static_cast<unsigned>(GDK_KEY_F12)); // written without escapes
    EXPECT_EQ(parseMenuText("Help\\tF12").label, "Help");
    EXPECT_EQ(parseMenuText("Odd\tF13").key, 0u);
    EXPECT_EQ(parseMenuText("Odd\tCTRL+").key, 0u);
    EXPECT_EQ(parseMenuText("Plain").key, 0u);
}

TEST_F(WindowTest, MnemonicsOpenTheMenusAndShortcutsChooseItems) {
    LanguageTexts texts = allKeysWithPrefix("T:");
    texts["tMenuFILE"] = "&File";
    texts["tMenuQUIT"] = "&Quit\tCtrl+Q";
    writeLanguageFile(packFolder(), "te_ST", "Testish", texts);
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    GtkWidget* fileMenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menuTitleWidget(0)));
    ASSERT_NE(fileMenu, nullptr);
    sendKey(MainWindow, GDK_KEY_f, GDK_MOD1_MASK);
    EXPECT_TRUE(pumpUntil([&] { return gtk_widget_get_mapped(fileMenu); }));
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(fileMenu));
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(gtk_widget_get_parent(menuTitleWidget(0))));
    pumpUntil([&] { return !gtk_widget_get_mapped(fileMenu); });

    clearEventQueue();
    sendKey(MainWindow, GDK_KEY_q, GDK_CONTROL_MASK);
    Event event;
    ASSERT_TRUE(
        waitForEventWhereFor([](const Event& e) { return e.kind == MenuEvent; }, DefaultWaitMs, &event));
    EXPECT_EQ(event.id, MenuQuit);
}

TEST_F(WindowTest, F1RaisesHelpAlthoughTheItemIsDisabledAndShowsF1) {
    LanguageTexts texts = allKeysWithPrefix("T:");
    texts["tMenuOPENHELP"] = "&Help contents\tF1"; // the item shows F1 too
    writeLanguageFile(packFolder(), "te_ST", "Testish", texts);
    writeSettings("te_ST");
    ASSERT_TRUE(start());
    clearEventQueue();
    sendKey(MainWindow, GDK_KEY_F1);
    Event event;
    ASSERT_TRUE(
        waitForEventWhereFor([](const Event& e) { return e.kind == MenuEvent; }, DefaultWaitMs, &event));
    EXPECT_EQ(event.id, MenuOpenHelp);
    EXPECT_EQ(event.window, MainWindowNumber);
    EXPECT_FALSE(gtk_widget_get_sensitive(menuItemWidget(MenuOpenHelp)));
}

TEST_F(WindowTest, UserChangesRaiseEventsAndProgramChangesDoNot) {
    ASSERT_TRUE(start());
    dispatchQueuedEvents();
    clearEventQueue();
    setControlState(ControlId::algorithmCheckBox(2), 1);
    setControlText(ControlId::ExpectedEntry, "by program");
    setMenuCheck(MenuOpen, true); // the first check mark turns the item into a check item
    EXPECT_EQ(queuedEventCount(), 0);
    EXPECT_TRUE(GTK_IS_CHECK_MENU_ITEM(menuItemWidget(MenuOpen)));
    EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(menuItemWidget(MenuOpen))));
    EXPECT_EQ(menuItemText(MenuOpen), "");

    // The user ticks a box: one control event. Toolkit duplicates of the last queued event are
    // dropped; program events are always queued.
    gtk_button_clicked(GTK_BUTTON(controlWidget(ControlId::algorithmCheckBox(5))));
    gint position = 0;
    gtk_editable_insert_text(GTK_EDITABLE(controlWidget(ControlId::ExpectedEntry)), "x", 1, &position);
    postEvent(Event{ControlEvent, MainWindowNumber, ControlId::ExpectedEntry, EntryTextChanged, {}});
    postEvent(Event{JobFinishedEvent + 1, -1, -1, 0, {}});
    postEvent(Event{JobFinishedEvent + 1, -1, -1, 0, {}});
    ASSERT_EQ(queuedEventCount(), 4);
    Event first, second;
    ASSERT_TRUE(waitForEventWhereFor(nullptr, 100, &first));
    ASSERT_TRUE(waitForEventWhereFor(nullptr, 100, &second));
    EXPECT_EQ(first.kind, ControlEvent);
    EXPECT_EQ(first.id, ControlId::algorithmCheckBox(5));
    EXPECT_EQ(second.id, ControlId::ExpectedEntry);
    EXPECT_EQ(second.subtype, EntryTextChanged);
    EXPECT_EQ(controlState(ControlId::algorithmCheckBox(5)), 1);
    // Ticking changes nothing else in the window.
    EXPECT_FALSE(controlEnabled(ControlId::copyButton(5)));
}

// Only the main thread touches widgets: an operation from another thread is refused and counted, and
// leaves the window as it was.
TEST_F(WindowTest, OperationsOffTheMainThreadAreRefusedAndLeaveTheWindowAlone) {
    ASSERT_TRUE(start());
    const int before = toolkitCallsRefused();
    std::thread other([] {
        setControlText(ControlId::resultEntry(7), "from another thread");
        setProgressValue(ControlId::ProgressBar, 3);
        setEntryMark(ControlId::resultEntry(7), MatchMark, "x");
        enableMenuItem(MenuOpen, false);
    });
    other.join();
    EXPECT_EQ(toolkitCallsRefused(), before + 4);
    EXPECT_EQ(controlText(ControlId::resultEntry(7)), "");
    EXPECT_EQ(progressValue(ControlId::ProgressBar), 0.0);
    EXPECT_EQ(entryMark(ControlId::resultEntry(7)), -1);
    EXPECT_TRUE(gtk_widget_get_sensitive(menuItemWidget(MenuOpen)));
}

// Buttons whose captions repeat or say too little have names of their own, from the language in force:
// each Copy button names its algorithm, each Browse button what it looks for, and Copy all shows a
// caption of its own. A pack without the names, or with a broken placeholder, gets the shipped English.
TEST_F(WindowTest, RepeatedCaptionsAreNamedAfterWhatTheyActOn) {
    writeTestLanguages();
    LanguageTexts older = allKeysWithPrefix("3:");
    for (const char* key : {"tMainCOPYALL", "tMainCOPYONE", "tMainBROWSEFILE", "tMainBROWSEEXPECTED", "tMainCLIPBOARDALL"})
        older.erase(key);
    writeLanguageFile(packFolder(), "th_RD", "Thirdish", older);
    LanguageTexts broken = allKeysWithPrefix("4:");
    broken["tMainCOPYONE"] = "Copy";            // the algorithm would be lost
    writeLanguageFile(packFolder(), "fo_UR", "Fourthish", broken);
    LanguageTexts twice = allKeysWithPrefix("5:");
    twice["tMainCOPYONE"] = "%s copy %s";       // a second %s would be shown as it stands
    writeLanguageFile(packFolder(), "fi_VE", "Fifthish", twice);
    auto name = [](int id) {
        return std::string(atk_object_get_name(gtk_widget_get_accessible(controlWidget(id))) ?: "");
    };
    const struct {
        const char* language;
        std::string copy256, copyAllName, copyAllCaption, browseFile, browseExpected;
    } languages[] = {
        {"Testish", "T:tMainCOPYONE SHA2-256", "T:tMainCOPYALL", "T:tMainCLIPBOARDALL", "T:tMainBROWSEFILE",
         "T:tMainBROWSEEXPECTED"},
        {"Thirdish", "Copy SHA2-256", "Copy all results", "Copy all", "Browse for the file to check",
         "Browse for a checksum file"},
        {"Fourthish", "Copy SHA2-256", "4:tMainCOPYALL", "4:tMainCLIPBOARDALL", "4:tMainBROWSEFILE",
         "4:tMainBROWSEEXPECTED"},
        {"Fifthish", "Copy SHA2-256", "5:tMainCOPYALL", "5:tMainCLIPBOARDALL", "5:tMainBROWSEFILE",
         "5:tMainBROWSEEXPECTED"},
    };
    for (const auto& language : languages) {
        SCOPED_TRACE(language.language);
        writeSettings(language.language == std::string("Testish") ? "te_ST"
                      : language.language == std::string("Thirdish") ? "th_RD"
                      : language.language == std::string("Fourthish") ? "fo_UR"
                                                                     : "fi_VE");
        ASSERT_TRUE(start());
        EXPECT_EQ(name(ControlId::copyButton(4)), language.copy256);
        EXPECT_EQ(name(ControlId::CopyAllButton), language.copyAllName);
        EXPECT_EQ(controlText(ControlId::CopyAllButton), language.copyAllCaption);
        EXPECT_EQ(name(ControlId::BrowseButton), language.browseFile);
        EXPECT_EQ(name(ControlId::ExpectedBrowseButton), language.browseExpected);
        stop();
    }
}

// In the shipped packs: what a screen reader calls the Browse buttons and a Copy button, in the word
// order of each language, and the caption of Copy all, which is whole (not cut short) in every pack.
TEST_F(WindowTest, ShippedPacksNameTheButtonsInTheirOwnWordsAndCopyAllFits) {
    std::filesystem::copy(HW_LANGUAGE_PACK_DIR, packFolder(), std::filesystem::copy_options::recursive);
    const struct {
        const char* code;
        std::string copy256, copyAll, browseFile, browseExpected;
    } named[] = {
        {"de_DE", "SHA2-256 kopieren", "Alle kopieren", "Durchsuchen: zu prüfende Datei auswählen",
         "Durchsuchen: Prüfsummendatei auswählen"},
        {"pl_PL", "Kopiuj SHA2-256", "Kopiuj całość", "Przeglądaj – wybór pliku do sprawdzenia",
         "Przeglądaj – wybór pliku z sumą kontrolną"},
        {"en_GB", "Copy SHA2-256", "Copy all", "Browse for the file to check", "Browse for a checksum file"},
    };
    auto name = [](int id) { return accessibleName(controlWidget(id)); };
    for (const char* code : {"de_DE", "en_GB", "en_US", "es_ES", "fr_FR", "it_IT", "nl_NL", "pl_PL", "pt_BR", "ru_RU"}) {
        SCOPED_TRACE(code);
        writeSettings(code);
        ASSERT_TRUE(start());
        ASSERT_EQ(CurrentLanguage, code);
        for (const auto& language : named) {
            if (std::string(language.code) != code) continue;
            EXPECT_EQ(name(ControlId::copyButton(4)), language.copy256);
            EXPECT_EQ(controlText(ControlId::CopyAllButton), language.copyAll);
            EXPECT_EQ(name(ControlId::BrowseButton), language.browseFile);
            EXPECT_EQ(name(ControlId::ExpectedBrowseButton), language.browseExpected);
        }
        ASSERT_TRUE(waitForNextFrame(MainWindow));
        GtkWidget* caption = gtk_bin_get_child(GTK_BIN(controlWidget(ControlId::CopyAllButton)));
        EXPECT_FALSE(pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(caption))))
            << controlText(ControlId::CopyAllButton);
        EXPECT_NE(controlText(ControlId::CopyAllButton), controlText(ControlId::copyButton(0)));
        stop();
    }
}

// A long path shows its end, the file's own name, in the path field; its beginning scrolls out of view.
TEST_F(WindowTest, ALongPathShowsItsFileName) {
    std::string folder = scratch();
    for (int level = 0; level < 12; ++level)
        folder += "a-rather-long-folder-name-" + std::to_string(level) + "/";
    std::filesystem::create_directories(folder);
    const std::string file = folder + "the-file-itself.iso";
    writeFileText(file, "x");
    const std::vector<std::function<void()>> ways = {
        [&] { ASSERT_TRUE(start({file})); },
        [&] {
            ASSERT_TRUE(start());
            postEvent(Event{DropEvent, MainWindowNumber, ControlId::PathEntry, 0, file});
            dispatchQueuedEvents();
        },
    };
    for (std::size_t way = 0; way < ways.size(); ++way) {
        SCOPED_TRACE(way == 0 ? "command line" : "drop");
        ways[way]();
        GtkWidget* entry = controlWidget(ControlId::PathEntry);
        ASSERT_EQ(controlText(ControlId::PathEntry), file);
        ASSERT_TRUE(waitForNextFrame(MainWindow));
        int x = 0, y = 0;
        gtk_entry_get_layout_offsets(GTK_ENTRY(entry), &x, &y);
        PangoRectangle text{};
        pango_layout_get_pixel_extents(gtk_entry_get_layout(GTK_ENTRY(entry)), nullptr, &text);
        EXPECT_LT(x, 0) << "the path's beginning is out of view";
        EXPECT_LE(x + text.width, gtk_widget_get_allocated_width(entry)) << "its end is in view";
        stop();
    }
}

TEST_F(WindowTest, EveryControlHasAnAccessibleNameAndTabReachesEveryEnabledOne) {
    writeTestLanguages();
    writeSettings("te_ST");
    const std::string file = scratch() + "data.bin";
    writeFileText(file, "abc");
    ASSERT_TRUE(start({file}));
    auto name = [](int id) {
        const char* text = atk_object_get_name(gtk_widget_get_accessible(controlWidget(id)));
        return std::string(text != nullptr ? text : "");
    };
    // Buttons whose captions repeat say what they act on.
    EXPECT_EQ(name(ControlId::BrowseButton), "T:tMainBROWSEFILE");
    EXPECT_EQ(name(ControlId::ExpectedBrowseButton), "T:tMainBROWSEEXPECTED");
    EXPECT_EQ(name(ControlId::CopyAllButton), "T:tMainCOPYALL");
    EXPECT_EQ(name(ControlId::copyButton(0)), "T:tMainCOPYONE CRC32");
    EXPECT_EQ(name(ControlId::copyButton(10)), "T:tMainCOPYONE SHA3-512");
    EXPECT_EQ(name(ControlId::VerifyButton), "T:tMainVERIFY");
    EXPECT_EQ(name(ControlId::algorithmCheckBox(6)), "SHA2 - 512");
    EXPECT_EQ(name(ControlId::PathEntry), "T:tMainFILE");
    EXPECT_EQ(name(ControlId::ExpectedEntry), "T:tMainVERIFICATION");
    EXPECT_EQ(name(ControlId::resultEntry(9)), "SHA3 - 384");
    EXPECT_EQ(name(ControlId::ProgressBar), "Progress");
    AtkRelationSet* relations =
        atk_object_ref_relation_set(gtk_widget_get_accessible(controlWidget(ControlId::resultEntry(9))));
    AtkRelation* labelledBy = atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY);
    ASSERT_NE(labelledBy, nullptr);
    GPtrArray* targets = atk_relation_get_target(labelledBy);
    ASSERT_EQ(targets->len, 1u);
    EXPECT_EQ(g_ptr_array_index(targets, 0),
              gtk_widget_get_accessible(controlWidget(ControlId::algorithmCheckBox(9))));
    g_object_unref(relations);

    // Pressing Tab cycles through every enabled control that takes focus, and through nothing else.
    std::set<int> expected = {1, 2, 39, 41, 42, 44};
    for (int slot = 0; slot < SlotCount; ++slot) {
        expected.insert(ControlId::algorithmCheckBox(slot));
        expected.insert(ControlId::resultEntry(slot));
    }
    // Each press is handled completely before the next: its key release has reached the window and
    // the window has been laid out again. The toolkit lets the odd synthetic press pass without a
    // move (right after the first, while focus rings appear; on a busy machine now and then), so
    // presses go on until every control was reached, within eight rounds.
    // Focus rings always shown: otherwise the first press turns them on (and another test's window
    // taking the display's input focus can turn them off again), and a press that finds them off is
    // spent on laying the window out instead of moving the focus.
    g_object_set(gtk_settings_get_default(), "gtk-visible-focus", GTK_POLICY_ALWAYS, nullptr);
    int releases = 0;
    const gulong counter =
        g_signal_connect(MainWindow, "key-release-event",
                         G_CALLBACK(+[](GtkWidget*, GdkEventKey*, gpointer count) -> gboolean {
                             ++*static_cast<int*>(count);
                             return FALSE;
                         }),
                         &releases);
    std::set<int> focused;
    const int pressLimit = 8 * static_cast<int>(expected.size());
    for (int press = 0; press < pressLimit && focused != expected; ++press) {
        const int seen = releases;
        sendKey(MainWindow, GDK_KEY_Tab);
        ASSERT_TRUE(pumpUntil([&] { return releases > seen; }))
            << "Tab press " << press << " was not handled";
        ASSERT_TRUE(waitForNextFrame(MainWindow)) << "no frame after Tab press " << press;
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(MainWindow));
        for (int id = 0; id < MainControlCount; ++id)
            if (controlWidget(id) == focus) focused.insert(id);
    }
    g_signal_handler_disconnect(MainWindow, counter);
    EXPECT_EQ(focused, expected);
}

} // namespace
