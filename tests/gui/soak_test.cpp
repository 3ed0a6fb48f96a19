// Soak: hundreds of cycles of verify, cancel, language switch, save, copy-all and delete-all on the
// real window; afterwards every cycle must have left the window in its phase and memory must be flat.
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calc_gui_helpers.h"
#include "fingerprint/engine.h"

namespace calc_test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's quarantine keeps freed memory resident and slows every cycle: fewer cycles find
// the same faults, and resident memory says nothing there.
constexpr int Cycles = 60;
constexpr bool MeasureMemory = false;
#else
constexpr int Cycles = 300;
constexpr bool MeasureMemory = true;
#endif
constexpr int SaveEvery = 4;
constexpr int MeasureFromCycle = 50;
constexpr int MeasureWindow = 50;
constexpr long AllowedGrowthKiB = 5 * 1024;

enum class Phase { NoFile, FileChosen, Running, Results };

const char* phaseName(Phase phase) {
    switch (phase) {
    case Phase::NoFile:
        return "NoFile";
    case Phase::FileChosen:
        return "FileChosen";
    case Phase::Running:
        return "Running";
    case Phase::Results:
        return "Results";
    }
    return "?";
}

// Resident memory once the allocator has handed back what is free: the job thread and the toolkit's
// worker threads each get a malloc arena, and how much free memory those keep depends on how the
// threads happened to overlap, not on what the program holds.
long residentKiB() {
    malloc_trim(0);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

bool menuEnabled(int item) {
    return gtk_widget_get_sensitive(menuItemWidget(item));
}

// Every control and menu item whose enabled state differs from what `phase` prescribes, as text;
// empty when the window is exactly in that phase.
std::string phaseDifferences(Phase phase) {
    std::ostringstream wrong;
    const auto expect = [&](const char* what, int id, bool actual, bool wanted) {
        if (actual != wanted) wrong << ' ' << what << id << (wanted ? " disabled" : " enabled");
    };
    const bool idle = phase != Phase::Running;
    const bool file = phase == Phase::FileChosen || phase == Phase::Results;
    for (int item : {MenuOpen, MenuQuit, MenuAbout, MenuOpenWeb})
        expect("menu ", item, menuEnabled(item), idle);
    expect("menu ", MenuOpenHelp, menuEnabled(MenuOpenHelp), false);
    for (int item = MenuLanguageBase; item < menuItemIdCount(); ++item)
        expect("menu ", item, menuEnabled(item), true);
    for (int id : {ControlId::PathEntry, ControlId::BrowseButton, ControlId::ExpectedEntry,
                   ControlId::ExpectedBrowseButton})
        expect("control ", id, controlEnabled(id), idle);
    for (int slot = 0; slot < SlotCount; ++slot) {
        expect("control ", ControlId::algorithmCheckBox(slot),
               controlEnabled(ControlId::algorithmCheckBox(slot)), idle);
        const bool ticked = controlState(ControlId::algorithmCheckBox(slot)) == 1;
        expect("control ", ControlId::copyButton(slot), controlEnabled(ControlId::copyButton(slot)),
               phase == Phase::Results && ticked);
        expect("control ", ControlId::resultEntry(slot), controlEnabled(ControlId::resultEntry(slot)), true);
    }
    for (int id : {ControlId::CopyAllButton, ControlId::SaveButton})
        expect("control ", id, controlEnabled(id), phase == Phase::Results);
    expect("control ", ControlId::DeleteAllButton, controlEnabled(ControlId::DeleteAllButton), file);
    expect("control ", ControlId::VerifyButton, controlEnabled(ControlId::VerifyButton),
           file || phase == Phase::Running);
    expect("control ", ControlId::ProgressBar, controlEnabled(ControlId::ProgressBar), true);
    return wrong.str();
}

class SoakTest : public CalcTest {};

TEST_F(SoakTest, HundredsOfJobCyclesKeepThePhasesAndTheMemoryFlat) {
    unsigned seed = std::random_device{}();
    if (const char* forced = std::getenv("HW_SOAK_SEED"))
        seed = static_cast<unsigned>(std::strtoul(forced, nullptr, 10));
    std::printf("soak: seed %u (HW_SOAK_SEED=%u repeats this run), %d cycles\n", seed, seed, Cycles);
    std::mt19937 random(seed);

    // One full block and a tail: the job passes its gate once in every ticked slot.
    const std::string file = writeRandomFile(scratch() + "small.bin", FingerprintReadSize + 1000, seed);
    const std::string saved = scratch() + "results.txt";
    writeTestLanguages();
    ASSERT_TRUE(startWith(file, {}));
    ASSERT_TRUE(phaseDifferences(Phase::FileChosen).empty()) << phaseDifferences(Phase::FileChosen);
    // The languages to switch between while a job runs, with the prefix each gives its texts.
    std::vector<std::pair<int, std::string>> languages;
    for (int item = MenuLanguageBase; item < menuItemIdCount(); ++item) {
        const std::string name = menuItemText(item);
        if (name == "Englishish") languages.emplace_back(item, "E:");
        if (name == "Testish") languages.emplace_back(item, "T:");
        if (name == "Otherish") languages.emplace_back(item, "O:");
    }
    ASSERT_EQ(languages.size(), 3u);
    std::string prefix = "E:";

    int wrongPhases = 0, endsHandled = 0, cancelsAsked = 0, cancelsConfirmed = 0;
    std::string firstWrong;
    const auto checkPhase = [&](int cycle, Phase phase) {
        const std::string differences = phaseDifferences(phase);
        if (differences.empty()) return;
        if (wrongPhases++ == 0)
            firstWrong = "cycle " + std::to_string(cycle) + ", " + phaseName(phase) + ":" + differences;
    };
    // Resident memory after every cycle from cycle 50 on. The toolkit's caches make it step by a MiB
    // or two now and then, up as well as down; a leak lifts every sample. So the lowest figure of the
    // first 50 measured cycles is compared with the lowest of the last 50.
    std::vector<long> resident;

    for (int cycle = 0; cycle < Cycles && !HasFatalFailure(); ++cycle) {
        if (cycle >= MeasureFromCycle) resident.push_back(residentKiB());
        if (cycle % MeasureFromCycle == 0) {
            GList* windows = gtk_window_list_toplevels();
            std::printf("soak: cycle %d, VmRSS %ld KiB, %u windows\n", cycle, residentKiB(),
                        g_list_length(windows));
            g_list_free(windows);
        }
        // A few rows ticked; the job is held in one of them, the moment at which Cancel comes.
        std::vector<int> ticked;
        for (int slot = 0; slot < SlotCount; ++slot)
            if (random() % 4 == 0) ticked.push_back(slot);
        if (ticked.empty()) ticked.push_back(static_cast<int>(random() % SlotCount));
        tick(std::set<int>(ticked.begin(), ticked.end()));
        const int heldSlot = ticked[random() % ticked.size()];
        const int cancelChoice = static_cast<int>(random() % 3); // 0: none, 1: answered No, 2: answered Yes
        const bool switchFirst = random() % 2 == 0;

        std::vector<DialogAnswer> answers;
        if (cancelChoice != 0) answers.push_back(cancelChoice == 2 ? DialogAnswer::Yes : DialogAnswer::No);
        answers.insert(answers.end(), {DialogAnswer::Yes, DialogAnswer::Yes,
                                       DialogAnswer::Yes}); // end, copy-all, delete-all
        DialogScript script(answers);

        ASSERT_TRUE(startHeldAt(heldSlot)) << "cycle " << cycle;
        checkPhase(cycle, Phase::Running);
        const auto switchLanguage = [&] {
            const auto& [item, newPrefix] = languages[random() % languages.size()];
            gtk_menu_item_activate(GTK_MENU_ITEM(menuItemWidget(item)));
            prefix = newPrefix;
            ASSERT_TRUE(runEventsUntil([&] {
                return controlText(ControlId::VerifyButton) == prefix + "tMainCANCEL";
            })) << "cycle "
                << cycle;
        };
        if (switchFirst) switchLanguage();
        if (cancelChoice != 0) {
            ++cancelsAsked;
            click(ControlId::VerifyButton);
            ASSERT_TRUE(runEventsUntil([&] {
                return script.answered() == 1 && openMessageDialog().window == nullptr;
            })) << "cycle "
                << cycle;
            EXPECT_EQ(script.texts()[0], prefix + "tReqCANCEL");
            if (cancelChoice == 2) ++cancelsConfirmed;
            checkPhase(cycle, Phase::Running);
        }
        if (!switchFirst) switchLanguage();
        JobHold::release();
        const std::size_t endIndex = cancelChoice != 0 ? 1 : 0;
        ASSERT_TRUE(
            runEventsUntil([&] { return !jobRunning() && script.answered() > endIndex; }, 60000))
            << "cycle " << cycle;
        ASSERT_TRUE(pumpUntil([] { return !jobThreadActive() && openMessageDialog().window == nullptr; }));
        const std::string ending = cancelChoice == 2 ? "tReqCANCELLED" : "tReqFINISHED";
        if (script.texts()[endIndex] == prefix + ending + "\n\n" + prefix + "tInfoERRORCALCULATE  0")
            ++endsHandled;
        checkPhase(cycle, Phase::Results);
        // A cancel drops the passes not done by then: from the held slot on, a row shows its whole
        // digest or nothing.
        for (int slot : ticked) {
            const std::string shown = controlText(ControlId::resultEntry(slot));
            if (cancelChoice != 2 || slot < heldSlot) {
                EXPECT_FALSE(shown.empty()) << "cycle " << cycle << " slot " << slot;
            }
            EXPECT_TRUE(shown.empty() || shown.size() == static_cast<std::size_t>(AlgorithmSlots[slot].digestDigits))
                << "cycle " << cycle << " slot " << slot;
        }

        // The toolkit's save requester takes a quarter of a second to return after its answer, longer
        // than the rest of a cycle together: every fourth cycle saves, still dozens of times a run.
        if (cycle % SaveEvery == 0) {
            std::filesystem::remove(saved);
            answerNextFileRequester(saved);
            click(ControlId::SaveButton);
            ASSERT_TRUE(runEventsUntil([&] { return std::filesystem::exists(saved); })) << "cycle " << cycle;
            checkPhase(cycle, Phase::Results);
        }

        click(ControlId::CopyAllButton);
        ASSERT_TRUE(runEventsUntil([&] {
            return script.answered() == endIndex + 2 && openMessageDialog().window == nullptr;
        })) << "cycle "
            << cycle;
        EXPECT_EQ(script.texts()[endIndex + 1], prefix + "tReqCLIPBOARD");
        checkPhase(cycle, Phase::Results);

        click(ControlId::DeleteAllButton);
        ASSERT_TRUE(runEventsUntil([] { return controlText(ControlId::PathEntry).empty(); }))
            << "cycle " << cycle;
        ASSERT_TRUE(pumpUntil([] { return openMessageDialog().window == nullptr; }));
        checkPhase(cycle, Phase::NoFile);

        // The next file arrives as a drop, as from a file manager.
        postEvent(Event{DropEvent, MainWindowNumber, ControlId::PathEntry, 0, file});
        ASSERT_TRUE(runEventsUntil([&] { return controlText(ControlId::PathEntry) == file; }))
            << "cycle " << cycle;
        checkPhase(cycle, Phase::FileChosen);
    }
    dispatchQueuedEvents();
    resident.push_back(residentKiB());
    // Under the sanitizer there are too few cycles for two windows: the figures are only printed.
    const std::size_t window = std::min<std::size_t>(MeasureWindow, resident.size() / 2);
    ASSERT_GT(window, 0u);
    const long residentAtMeasureStart = *std::min_element(resident.begin(), resident.begin() + window);
    const long residentAtEnd = *std::min_element(resident.end() - window, resident.end());
    const long growth = residentAtEnd - residentAtMeasureStart;
    std::printf("soak: %d cycles, %d cancel questions (%d answered Yes), %d of %d end events handled, "
                "%d wrong phases\n",
                Cycles, cancelsAsked, cancelsConfirmed, endsHandled, Cycles, wrongPhases);
    std::printf(
        "soak: VmRSS at cycle %d: %ld KiB, at the end: %ld KiB; lowest of cycles %d-%d: %ld KiB, of the "
        "last %d: %ld KiB, growth %ld KiB (limit %ld KiB%s)\n",
        MeasureFromCycle, resident.front(), resident.back(), MeasureFromCycle,
        MeasureFromCycle + static_cast<int>(window) - 1, residentAtMeasureStart, static_cast<int>(window),
        residentAtEnd, growth, AllowedGrowthKiB, MeasureMemory ? "" : ", not applied under the sanitizer");
    std::fflush(stdout);
    EXPECT_EQ(wrongPhases, 0) << "first: " << firstWrong;
    EXPECT_EQ(endsHandled, Cycles);
    EXPECT_EQ(queuedEventCount(), 0);
    EXPECT_FALSE(jobRunning());
    if (MeasureMemory) {
        EXPECT_LT(growth, AllowedGrowthKiB);
    }
}

} // namespace
} // namespace calc_test
