// Process start-up and shutdown: locale, toolkit, plugins, folders, settings, languages, window.
#include "app/startup.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/calculation_handlers.h"
#include "app/command_line.h"
#include "app/event_loop.h"
#include "app/help_command.h"
#include "app/launcher.h"
#include "app/shell_commands.h"
#include "calc/calculation_job.h"
#include "dialogs/about_window.h"
#include "dialogs/message_dialog.h"
#include "fingerprint/plugin_table.h"
#include "settings/language_catalogue.h"
#include "settings/settings_file.h"
#include "ui/controls.h"
#include "ui/event_queue.h"
#include "ui/fonts_images.h"
#include "ui/main_thread.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/widget_style.h"

std::string InitialFile;
std::string ProgramFolderForTests;

namespace {

bool ToolkitStarted = false;

// The locale, the toolkit on X11 and the fingerprint plugins; only once per process. Numbers are read
// and written the C way whatever the user's locale: settings and language files hold them so.
bool startToolkit(int& argc, char**& argv) {
    if (ToolkitStarted) return true;
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    setenv("GDK_BACKEND", "x11", 1);
    rememberMainThread();
    if (!gtk_init_check(&argc, &argv)) return false;
    // The toolkit's initialisation sets every category from the environment again.
    std::setlocale(LC_NUMERIC, "C");
    registerAllPlugins();
    connectJobToWindow();
    ToolkitStarted = true;
    return true;
}

int channel8(double value) {
    const int sixteen = static_cast<int>(value * 65535.0 + 0.5);
    return (sixteen < 0 ? 0 : (sixteen > 65535 ? 65535 : sixteen)) >> 8;
}

int themeBackground(GtkWidget* window) {
    GdkRGBA* colour = nullptr;
    gtk_style_context_get(gtk_widget_get_style_context(window), GTK_STATE_FLAG_NORMAL, "background-color",
                          &colour, nullptr);
    if (colour == nullptr) return 0xFFFFFF;
    const int rgb = channel8(colour->red) + 256 * channel8(colour->green) + 65536 * channel8(colour->blue);
    gdk_rgba_free(colour);
    return rgb;
}

} // namespace

int startShell(int& argc, char**& argv) {
    if (!startToolkit(argc, argv)) {
        std::fprintf(stderr, "hashwarden: cannot open the display\n");
        return 1;
    }
    readLayoutScale();
    // Everything the shell keeps starts afresh: tests run the start-up many times in one process.
    clearCatalogue();
    clearLanguages();
    QuitRequested.store(0);
    HelpProcess.store(0);
    HelpWatcherActive.store(0);
    CurrentLanguageItem = -1;
    InitialFile.clear();
    ThemeBackgroundColour = 0xFFFFFF;
    CurrentLanguage.clear();
    clearEventQueue();
    // The presets exist before the texts they show; the catalogue is loaded once the settings have
    // named its language, and only then are the presets' texts filled from it.
    fillPresets();
    loadFontsAndImages();
    locateFolders(argc > 0 ? argv[0] : "");
    if (!ProgramFolderForTests.empty()) ProgramFolder = ProgramFolderForTests;
    InitialFile = initialFileArgument(argc, argv);
    SlotFlags ticked{};
    locateAndLoadSettings(SlotSettingsKeys, ticked);
    discoverLanguages(languagePackPath());
    chooseStartLanguage();
    (void)loadCatalogue(languagePackPath(), CurrentLanguage);
    fillPresetTexts();
    // The window is built hidden and shown only once every control holds its text and state, so it
    // never flashes empty.
    if (!openMainWindow()) {
        std::fprintf(stderr, "hashwarden: cannot create the main window\n");
        return 1;
    }
    buildMainWindow();
    if (GdkPixbuf* logo = shellImage(LogoImage)) gtk_window_set_icon(GTK_WINDOW(MainWindow), logo);
    for (int slot = 0; slot < SlotCount; ++slot)
        setControlState(ControlId::algorithmCheckBox(slot), ticked[slot] ? 1 : 0);
    if (!InitialFile.empty()) {
        reportInitialFileProblem(InitialFile);
        (void)takeFileIfUsable(InitialFile);
    }
    ThemeBackgroundColour = themeBackground(MainWindow);
    setPresetColours(ThemeBackgroundColour);
    gtk_widget_show(MainWindow);
    return 0;
}

void shutDownShell() {
    (void)saveSettings(SlotSettingsKeys, tickedSlots());
    stopHelpProgram();
    closeAbout();
    destroyMainWindow();
    // Hands text copied to the clipboard to the desktop's clipboard manager, so it outlives us.
    gtk_clipboard_store(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    releaseFontsAndImages();
}

void tearDownShellForTests() {
    const pid_t help = HelpProcess.exchange(0);
    HelpWatcherActive.store(0);
    if (help != 0) killProgram(help);
    closeAbout();
    destroyMainWindow();
    releaseFontsAndImages();
    clearEventQueue();
}

int runProgram(int argc, char** argv) {
    switch (commandLineRequest(argc, argv)) {
    case CommandLineRequest::Help:
        return printUsage();
    case CommandLineRequest::Version:
        return printVersion();
    case CommandLineRequest::UnknownOption:
        return reportUnknownOption(argc, argv);
    case CommandLineRequest::Run:
        break;
    }
    const int status = startShell(argc, argv);
    if (status != 0) return status;
    runEventLoop();
    shutDownShell();
    if (jobRunning()) {
        // A job left running by the in-progress quit ends with the process, without running
        // the destructors of state it may still be using.
        std::fflush(nullptr);
        _exit(0);
    }
    return 0;
}
