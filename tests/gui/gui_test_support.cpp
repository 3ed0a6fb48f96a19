// Support for GUI tests: temporary folders, test language packs, a loop with a deadline, and
// answers to the program's dialogs and file requesters given through their real widgets.
#include "gui_test_support.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "dialogs/about_window.h"
#include "dialogs/message_dialog.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"

namespace {

constexpr guint AnswerPollMs = 5;
constexpr gint64 RecheckMs = 20;
constexpr int FolderWaitTicks = 400;
constexpr const char* AllKeys[] = {"tMenuFILE",
                                   "tMenuOPEN",
                                   "tMenuQUIT",
                                   "tMenuLANGUAGES",
                                   "tMenuHELP",
                                   "tMenuOPENHELP",
                                   "tMenuABOUT",
                                   "tMenuOPENWEB",
                                   "tMainFILE",
                                   "tMainALGORITHM",
                                   "tMainCLIPBOARD",
                                   "tMainSAVE",
                                   "tMainDELETEALL",
                                   "tMainVERIFICATION",
                                   "tMainVERIFY",
                                   "tMainCANCEL",
                                   "tMainCOPYALL",
                                   "tMainCOPYONE",
                                   "tMainCLIPBOARDALL",
                                   "tMainBROWSEFILE",
                                   "tMainBROWSEEXPECTED",
                                   "tMainMATCH",
                                   "tMainMISMATCH",
                                   "tMainWHYCASE",
                                   "tMainWHYSPACES",
                                   "tMainWHYBOM",
                                   "tMainWHYLIST",
                                   "tMainWHYLISTSAME",
                                   "tMainWHYLISTOTHER",
                                   "tMainWHYLABEL",
                                   "tMainWHYLENGTH",
                                   "tGenBROWSE",
                                   "tGenMESSAGE",
                                   "tGenOK",
                                   "tGenNO",
                                   "tGenYES",
                                   "tGenINFORMATION",
                                   "tGenQUESTION",
                                   "tGenWARNING",
                                   "tGenERROR",
                                   "tReqOPENFILE",
                                   "tReqOPENPATTERN",
                                   "tReqSAVEDATA",
                                   "tReqSAVEFAILED",
                                   "tReqOVERWRITE",
                                   "tReqSAVEPATTERN",
                                   "tReqSURETOEXIT",
                                   "tReqINPROGRESSQUIT",
                                   "tReqCANCEL",
                                   "tReqDELETEALL",
                                   "tReqCLIPBOARD",
                                   "tReqFINISHED",
                                   "tReqCANCELLED",
                                   "tInfoERRORCALCULATE",
                                   "tInfoNOTAFILE",
                                   "tInfoNOTHINGTICKED",
                                   "tMainOR",
                                   "tMainUSECHECKSUM",
                                   "tMainUSELISTED",
                                   "tMainWHYOTHERFILE",
                                   "tMainWHYLISTED",
                                   "tMainWHYNOTTICKED",
                                   "tAboutTITLE",
                                   "tAboutCODE",
                                   "tLangFileLANGID"};

// The keys whose texts hold a "%s" for a value (sorted).
const std::string PlaceholderKeys[] = {"tMainCOPYONE",      "tMainUSELISTED",    "tMainWHYLABEL",
                                       "tMainWHYLENGTH",    "tMainWHYLISTED",    "tMainWHYLISTOTHER",
                                       "tMainWHYNOTTICKED", "tMainWHYOTHERFILE", "tReqOVERWRITE"};

SeenDialog LastDialog;
int DialogsAnswered = 0;
std::string LastRequesterFolder;

struct PendingAnswer {
    DialogAnswer answer;
};

std::string buttonText(GtkWidget* button) {
    const char* label = button != nullptr ? gtk_button_get_label(GTK_BUTTON(button)) : nullptr;
    return label != nullptr ? label : "";
}

gboolean answerDialogWhenShown(gpointer data) {
    auto* pending = static_cast<PendingAnswer*>(data);
    const MessageDialogParts parts = openMessageDialog();
    if (parts.window == nullptr || !gtk_widget_get_mapped(parts.window) ||
        gtk_widget_get_allocated_width(parts.rightButton) <= 1)
        return G_SOURCE_CONTINUE;

    SeenDialog seen;
    seen.shown = true;
    seen.title = gtk_window_get_title(GTK_WINDOW(parts.window)) ?: "";
    seen.text = gtk_label_get_text(GTK_LABEL(parts.text));
    seen.rightButtonText = buttonText(parts.rightButton);
    seen.hasSecondButton = parts.secondButton != nullptr;
    seen.secondButtonText = buttonText(parts.secondButton);
    GtkWidget* area = gtk_bin_get_child(GTK_BIN(parts.window));
    seen.width = gtk_widget_get_allocated_width(area);
    seen.height = gtk_widget_get_allocated_height(area);
    GtkAllocation allocation;
    gtk_widget_get_allocation(parts.rightButton, &allocation);
    seen.rightButtonX = allocation.x;
    seen.rightButtonY = allocation.y;
    seen.rightButtonWidth = allocation.width;
    seen.rightButtonHeight = allocation.height;
    if (parts.secondButton != nullptr) {
        gtk_widget_get_allocation(parts.secondButton, &allocation);
        seen.secondButtonX = allocation.x;
        seen.secondButtonY = allocation.y;
    }
    gtk_widget_get_allocation(parts.textArea, &allocation);
    seen.textX = allocation.x;
    seen.textY = allocation.y;
    seen.textWidth = allocation.width;
    if (parts.separator != nullptr) {
        gtk_widget_get_allocation(parts.separator, &allocation);
        seen.hasSeparator = true;
        seen.separatorX = allocation.x;
        seen.separatorY = allocation.y;
        seen.separatorWidth = allocation.width;
        seen.separatorHeight = allocation.height;
    }
    GtkWidget* mainArea = MainWindow != nullptr ? gtk_bin_get_child(GTK_BIN(MainWindow)) : nullptr;
    seen.mainWindowSensitive = mainArea != nullptr && gtk_widget_is_sensitive(mainArea);
    AtkObject* window = gtk_widget_get_accessible(parts.window);
    seen.role = atk_role_get_name(atk_object_get_role(window));
    seen.description = atk_object_get_description(window) ?: "";
    if (parts.icon != nullptr)
        seen.iconName = atk_object_get_name(gtk_widget_get_accessible(parts.icon)) ?: "";
    LastDialog = seen;

    switch (pending->answer) {
    case DialogAnswer::Yes:
        gtk_button_clicked(GTK_BUTTON(parts.rightButton));
        break;
    case DialogAnswer::No:
        if (parts.secondButton != nullptr) gtk_button_clicked(GTK_BUTTON(parts.secondButton));
        break;
    case DialogAnswer::Return:
    case DialogAnswer::Escape:
        sendKey(parts.window, pending->answer == DialogAnswer::Return ? GDK_KEY_Return : GDK_KEY_Escape);
        break;
    case DialogAnswer::CloseBox:
        gtk_window_close(GTK_WINDOW(parts.window)); // the same delete event as the title bar's close box
        break;
    }
    ++DialogsAnswered;
    delete pending;
    return G_SOURCE_REMOVE;
}

struct PendingRequester {
    std::string path;
    std::function<void()> whenShown;
    bool replace = true; // the answer to the toolkit's question before replacing a file
    bool pathSet = false;
    bool accepted = false;
    GtkWidget* chooser = nullptr; // the chooser answered; cleared by the toolkit as it goes
    int folderTicks = 0;
    int selectTicks = 0;
};
int ToolkitReplaceQuestions = 0;

// The toolkit's own question before a save replaces a file: a message dialog over the chooser.
GtkWidget* findReplaceQuestion(GtkWidget* chooser) {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = windows; item != nullptr && found == nullptr; item = item->next)
        if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data)) &&
            gtk_window_get_transient_for(GTK_WINDOW(item->data)) == GTK_WINDOW(chooser))
            found = GTK_WIDGET(item->data);
    g_list_free(windows);
    return found;
}

GtkWidget* findFileChooser() {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = windows; item != nullptr && found == nullptr; item = item->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data)))
            found = GTK_WIDGET(item->data);
    g_list_free(windows);
    return found;
}

gboolean answerRequesterWhenShown(gpointer data) {
    auto* pending = static_cast<PendingRequester*>(data);
    GtkWidget* dialog = nullptr;
    if (pending->accepted) {
        // Answered: a save may still ask before replacing; done once the chooser has gone.
        dialog = pending->chooser;
        if (dialog == nullptr) {
            delete pending;
            return G_SOURCE_REMOVE;
        }
        if (GtkWidget* question = findReplaceQuestion(dialog)) {
            ++ToolkitReplaceQuestions;
            gtk_dialog_response(GTK_DIALOG(question), pending->replace ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
            // No returns to the chooser: the test meant to write nothing, so it is cancelled.
            if (!pending->replace) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        }
        return G_SOURCE_CONTINUE;
    }
    dialog = findFileChooser();
    if (dialog == nullptr) return G_SOURCE_CONTINUE;
    if (pending->whenShown) {
        std::exchange(pending->whenShown, nullptr)();
        return G_SOURCE_CONTINUE;
    }
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    if (!pending->pathSet) {
        if (pending->path.empty()) {
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
            delete pending;
            return G_SOURCE_REMOVE;
        }
        // The chooser settles its start folder asynchronously; record it once known (in Recent
        // mode it stays unknown, so give up on it after a while).
        gchar* folder = gtk_file_chooser_get_current_folder(chooser);
        if (folder == nullptr && ++pending->folderTicks < FolderWaitTicks) return G_SOURCE_CONTINUE;
        LastRequesterFolder = folder != nullptr ? folder : "";
        g_free(folder);
        if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SAVE) {
            // A file to be written need not exist: give the folder and type the name.
            const std::size_t slash = pending->path.rfind('/');
            gtk_file_chooser_set_current_folder(chooser, pending->path.substr(0, slash + 1).c_str());
            gtk_file_chooser_set_current_name(chooser, pending->path.substr(slash + 1).c_str());
        } else {
            gtk_file_chooser_set_filename(chooser, pending->path.c_str());
        }
        pending->pathSet = true;
        return G_SOURCE_CONTINUE;
    }
    // The chooser selects the file once its folder has loaded; answer only then.
    gchar* selected = gtk_file_chooser_get_filename(chooser);
    const bool ready = selected != nullptr && pending->path == selected;
    g_free(selected);
    if (!ready) {
        // On a busy machine the folder can finish loading after the path was given, and the
        // chooser then changes it: an open chooser's folder reload (its monitor reporting a file
        // written just before) drops the selection, and a save chooser's name entry completes a
        // typed "notes" to an existing "notes.txt". Give the path again from time to time; once
        // the folder has loaded it stays.
        if (++pending->selectTicks % 50 == 0) {
            if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_OPEN)
                gtk_file_chooser_set_filename(chooser, pending->path.c_str());
            else
                gtk_file_chooser_set_current_name(chooser, pending->path.substr(pending->path.rfind('/') + 1).c_str());
        }
        return G_SOURCE_CONTINUE;
    }
    pending->accepted = true;
    pending->chooser = dialog;
    g_object_add_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&pending->chooser));
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    return G_SOURCE_CONTINUE;
}

std::string makeTempFolder(const char* pattern) {
    std::string name = std::string(g_get_tmp_dir()) + "/" + pattern;
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const char* made = mkdtemp(buffer.data());
    return made != nullptr ? std::string(made) : std::string();
}

} // namespace

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    return iterateUntil(done, timeoutMs);
}

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(timeoutMs) * 1000;
    while (!done()) {
        const gint64 left = (deadline - g_get_monotonic_time()) / 1000;
        if (left <= 0) return false;
        Event event;
        // Short slices, so that conditions outside the queue (a file appearing) are seen soon.
        if (waitForEventWhereFor(nullptr, static_cast<int>(left < RecheckMs ? left : RecheckMs), &event))
            dispatchEvent(event);
    }
    return true;
}

void dispatchQueuedEvents() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    Event event;
    while (waitForEventWhereFor(nullptr, 50, &event))
        dispatchEvent(event);
}

void sendKey(GtkWidget* toplevel, unsigned int keyval, unsigned int modifiers) {
    GdkWindow* window = gtk_widget_get_window(toplevel);
    if (window == nullptr) return;
    GdkDisplay* display = gdk_window_get_display(window);
    guint16 keycode = 0;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) &&
        count > 0)
        keycode = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.state = modifiers;
        event->key.keyval = keyval;
        event->key.hardware_keycode = keycode;
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gdk_display_put_event(display, event);
        gdk_event_free(event);
    }
}

bool waitForNextFrame(GtkWidget* toplevel, int timeoutMs) {
    GdkFrameClock* clock = gtk_widget_get_frame_clock(toplevel);
    if (clock == nullptr) return false;
    bool painted = false;
    const gulong handler = g_signal_connect(clock, "after-paint",
                                            G_CALLBACK(+[](GdkFrameClock*, gpointer done) { *static_cast<bool*>(done) = true; }),
                                            &painted);
    gtk_widget_queue_draw(toplevel);  // a frame even when nothing else asks for one
    const bool done = pumpUntil([&] { return painted; }, timeoutMs);
    g_signal_handler_disconnect(clock, handler);
    return done;
}

bool withNoRoomForNewThreads(const std::function<void()>& action) {
    long pages = 0;
    {
        std::ifstream statm("/proc/self/statm");
        statm >> pages;
    }
    rlimit saved{};
    if (pages <= 0 || getrlimit(RLIMIT_AS, &saved) != 0) return false;
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (512 << 10);
    if (setrlimit(RLIMIT_AS, &tight) != 0) return false;
    action();
    return setrlimit(RLIMIT_AS, &saved) == 0;
}

void answerNextDialog(DialogAnswer answer) {
    LastDialog = SeenDialog{};
    g_timeout_add(AnswerPollMs, answerDialogWhenShown, new PendingAnswer{answer});
}

const SeenDialog& lastDialog() {
    return LastDialog;
}
int dialogsAnswered() {
    return DialogsAnswered;
}

void answerNextFileRequester(const std::string& path, std::function<void()> whenShown, bool replace) {
    LastRequesterFolder.clear();
    g_timeout_add(AnswerPollMs, answerRequesterWhenShown, new PendingRequester{path, std::move(whenShown), replace});
}

int toolkitReplaceQuestions() {
    return ToolkitReplaceQuestions;
}

const std::string& lastRequesterFolder() {
    return LastRequesterFolder;
}

LanguageTexts allKeysWithPrefix(const std::string& prefix) {
    LanguageTexts texts;
    for (const char* key : AllKeys)
        texts[key] = prefix + key + (std::binary_search(std::begin(PlaceholderKeys), std::end(PlaceholderKeys), std::string(key)) ? " %s" : "");
    return texts;
}

void writeLanguageFile(const std::string& packFolder, const std::string& code, const std::string& displayName,
                       const LanguageTexts& texts) {
    std::filesystem::create_directories(packFolder);
    std::ostringstream file;
    file << "\xEF\xBB\xBF\n[LANGUAGE FILE]\ntLangFileNAME = " << displayName << "\n[TEXTS]\n";
    for (const auto& [key, text] : texts)
        file << key << " = " << text << "\n";
    writeFileText(packFolder + "/" + code + ".language", file.str());
}

std::string readFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFileText(const std::string& path, const std::string& text, int mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    chmod(path.c_str(), static_cast<mode_t>(mode));
}

void ShellTest::SetUp() {
    // These tests read the window's accessible objects in-process; the bridge to the desktop's
    // accessibility bus would only add a round trip to that bus for every key press and focus
    // change, and the first test of a run starts the bus. Tests from outside use the bridge of the
    // program's own process.
    setenv("NO_AT_BRIDGE", "1", 1);
    root_ = makeTempFolder("hw-gui-XXXXXX");
    ASSERT_FALSE(root_.empty());
    home_ = root_ + "/home";
    program_ = root_ + "/program/";
    scratch_ = root_ + "/scratch/";
    std::filesystem::create_directories(home_);
    std::filesystem::create_directories(program_);
    std::filesystem::create_directories(scratch_);
    const char* oldHome = std::getenv("HOME");
    hadHome_ = oldHome != nullptr;
    if (hadHome_) savedHome_ = oldHome;
    setenv("HOME", home_.c_str(), 1);
    unsetenv("LANG");
    ProgramFolderForTests = program_;
}

void ShellTest::TearDown() {
    stop();
    ProgramFolderForTests.clear();
    if (hadHome_)
        setenv("HOME", savedHome_.c_str(), 1);
    else
        unsetenv("HOME");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void ShellTest::writeTestLanguages() {
    writeLanguageFile(packFolder(), "te_ST", "Testish", allKeysWithPrefix("T:"));
    LanguageTexts other = allKeysWithPrefix("O:");
    other.erase("tMainSAVE");
    writeLanguageFile(packFolder(), "ot_HR", "Otherish", other);
}

std::string settingsBytes(const std::string& language, const std::vector<int>& tickedSlots) {
    static constexpr const char* Keys[SlotCount] = {"CRC32",   "MD5",     "SHA1",    "SHA2224",
                                                    "SHA2256", "SHA2384", "SHA2512", "SHA3224",
                                                    "SHA3256", "SHA3384", "SHA3512"};
    std::string text =
        "\xEF\xBB\xBF\n; Hashwarden Preferences\n[Language]\nLanguage = " + language + "\n[General]\n";
    for (int slot = 0; slot < SlotCount; ++slot) {
        const bool ticked = std::find(tickedSlots.begin(), tickedSlots.end(), slot) != tickedSlots.end();
        text += std::string(Keys[slot]) + " = " + (ticked ? "1" : "0") + "\n";
    }
    return text;
}

void ShellTest::writeSettings(const std::string& language, const std::vector<int>& tickedSlots) {
    std::filesystem::create_directories(configFolder());
    writeFileText(configFolder() + "Hashwarden.prefs", settingsBytes(language, tickedSlots));
}

bool ShellTest::start(const std::vector<std::string>& args) {
    std::vector<std::string> words = {"hashwarden"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    int argc = static_cast<int>(words.size());
    char** argv = pointers.data();
    if (startShell(argc, argv) != 0) return false;
    started_ = true;
    // Shown and laid out: every control has its allocation.
    return pumpUntil([] {
        return MainWindow != nullptr && gtk_widget_get_mapped(MainWindow) &&
               gtk_widget_get_allocated_width(controlWidget(ControlId::VerifyButton)) > 1;
    });
}

void ShellTest::stop() {
    if (!started_) return;
    started_ = false;
    tearDownShellForTests();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

std::string runningArchitecture() {
    struct utsname system {};
    if (uname(&system) != 0) return "unknown";
    const std::string machine = system.machine;
    if (machine == "x86_64") return "x86-64";
    if (machine == "aarch64" || machine == "arm64") return "arm64";
    // armv6l, armv7l, and armv8l for a 32-bit program on a 64-bit core.
    if (machine.rfind("arm", 0) == 0) return "arm32";
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return "x86";
    return machine;
}
