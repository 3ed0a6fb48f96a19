// Tests of the settings file: folders, the location-and-load sequence, the exact saved bytes, safe replacement.
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "settings/key_value_file.h"
#include "settings/settings_file.h"
#include "test_support.h"

using testsupport::exists;
using testsupport::listFolder;
using testsupport::readFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string Bom = "\xEF\xBB\xBF";
// The keys the settings files on users' disks hold, in the program's order; written out here, not taken
// from the program's table, so that a changed key fails.
constexpr const char* Keys[] = {"CRC32",   "MD5",     "SHA1",    "SHA2224", "SHA2256", "SHA2384",
                                "SHA2512", "SHA3224", "SHA3256", "SHA3384", "SHA3512"};
constexpr int KeyCount = 11;
// The flags the program hands the settings file, one per key.
std::array<bool, KeyCount> Ticked{};

bool loadSettings(const std::string& folder) {
    return ::loadSettings(folder, Keys, Ticked);
}
bool saveSettings() {
    return ::saveSettings(Keys, Ticked);
}
void locateAndLoadSettings() {
    ::locateAndLoadSettings(Keys, Ticked);
}
// The flags as the tests write them: any value but 0 is ticked.
void setTicked(const int (&flags)[KeyCount]) {
    for (int i = 0; i < KeyCount; ++i) Ticked[i] = flags[i] != 0;
}
constexpr uid_t UnprivilegedId = 65534; // "nobody"

std::string expectedSettings(const std::string& language, const int (&flags)[KeyCount]) {
    std::string text = Bom + "\n; Hashwarden Preferences\n[Language]\nLanguage = " + language + "\n[General]\n";
    for (int i = 0; i < KeyCount; ++i)
        text += std::string(Keys[i]) + " = " + (flags[i] ? "1" : "0") + "\n";
    return text;
}

// Each test starts from the shell's start-up state, with folders inside a scratch folder
// and HOME pointing there too, so the real home is never touched.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramFolder = dir / "program/";
        ASSERT_EQ(mkdir(ProgramFolder.c_str(), 0755), 0);
        home = std::make_unique<ScopedEnv>("HOME", (dir / "home").c_str());
        ConfigFolder = configFolderFromHome();
        SettingsFolder.clear();
        CurrentLanguage.clear();
        Ticked.fill(false);
    }

    TempDir dir;
    std::unique_ptr<ScopedEnv> home;
};

}  // namespace

TEST_F(SettingsTest, SavedFileIsByteExact) {
    SettingsFolder = dir.path();
    CurrentLanguage = "de_DE";
    const int flags[KeyCount] = {2, 0, 1, 0, 0, -1, 0, 0, 0, 0, 1};
    setTicked(flags);
    ASSERT_TRUE(saveSettings());
    const std::string written = readFile(dir / "Hashwarden.prefs");
    EXPECT_EQ(written, expectedSettings("de_DE", flags));
    EXPECT_EQ(written.substr(0, 4), Bom + "\n");

    // 2 groups, 12 keys, 1 comment, and it reads back as it was (2 and -1 as ticked).
    KeyValueFile file;
    ASSERT_TRUE(file.openFile(dir / "Hashwarden.prefs"));
    int groups = 0, keys = 0, comments = 0;
    for (const auto& entry : file.entries()) {
        groups += entry.kind == KeyValueFile::EntryKind::Group;
        keys += entry.kind == KeyValueFile::EntryKind::Key;
        comments += entry.kind == KeyValueFile::EntryKind::Comment;
    }
    EXPECT_EQ(groups, 2);
    EXPECT_EQ(keys, 12);
    EXPECT_EQ(comments, 1);
    ASSERT_TRUE(loadSettings(dir.path()));
    EXPECT_EQ(CurrentLanguage, "de_DE");
    EXPECT_EQ(Ticked[0], true);
    EXPECT_EQ(Ticked[5], true);
    EXPECT_EQ(Ticked[1], false);
}

TEST_F(SettingsTest, LoadReadsHandEditedFilesAndDefaultsMissingKeys) {
    writeFile(ProgramFolder + "Hashwarden.prefs",
              "[language]\r\nlanguage =  fr_FR \r\n[GENERAL]\r\ncrc32 = 2\r\nSHA3512=yes\r\nsha2256 = 1\r\n");
    Ticked[1] = true;  // MD5 is absent from the file: it becomes 0, not kept
    ASSERT_TRUE(loadSettings(ProgramFolder));
    EXPECT_EQ(CurrentLanguage, "fr_FR");
    const int expected[KeyCount] = {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    for (int slot = 0; slot < KeyCount; ++slot) EXPECT_EQ(Ticked[slot], expected[slot] != 0) << slot;
    EXPECT_FALSE(loadSettings(dir / "nowhere/"));
    EXPECT_EQ(CurrentLanguage, "fr_FR");  // a failed load changes nothing
}

TEST_F(SettingsTest, ProgramFolderWinsAndConfigFolderIsLeftAlone) {
    writeFile(ProgramFolder + "Hashwarden.prefs", Bom + "[Language]\nLanguage =\n[General]\nMD5 = 1\n");
    ScopedEnv lang("LANG", "de_DE.UTF-8");
    locateAndLoadSettings();
    EXPECT_EQ(SettingsFolder, ProgramFolder);
    EXPECT_EQ(CurrentLanguage, "");  // no LANG step for the program folder
    EXPECT_EQ(Ticked[1], true);
    EXPECT_FALSE(exists(dir / "home"));

    CurrentLanguage = "en_GB";
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(ProgramFolder + "Hashwarden.prefs"), expectedSettings("en_GB", {0, 1}));
    EXPECT_FALSE(exists(dir / "home"));
}

TEST_F(SettingsTest, ConfigFolderIsCreatedPrivatelyAndEmptyLanguageFallsBackToLang) {
    const std::string config = ConfigFolder;
    EXPECT_EQ(config, dir / "home/.Brightmoor/Hashwarden/");
    ScopedEnv lang("LANG", "fr_FR.UTF-8");
    locateAndLoadSettings();
    EXPECT_EQ(SettingsFolder, config);
    EXPECT_EQ(CurrentLanguage, "fr_FR");
    for (const std::string& folder : {dir / "home", dir / "home/.Brightmoor", dir / "home/.Brightmoor/Hashwarden"}) {
        struct stat st {};
        ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0077, 0u) << folder;  // 0700 before the umask
    }

    // A file there with an empty language still takes the LANG step.
    writeFile(config + "Hashwarden.prefs", Bom + "[Language]\nLanguage = \n[General]\nSHA1 = 1\n");
    CurrentLanguage.clear();
    locateAndLoadSettings();
    EXPECT_EQ(CurrentLanguage, "fr_FR");
    EXPECT_EQ(Ticked[2], true);

    ScopedEnv noDot("LANG", "pl_PL");
    CurrentLanguage.clear();
    locateAndLoadSettings();
    EXPECT_EQ(CurrentLanguage, "pl_PL");
}

TEST_F(SettingsTest, WithoutLangTheLanguageIsEnglish) {
    ScopedEnv lang("LANG", nullptr);
    locateAndLoadSettings();
    EXPECT_EQ(CurrentLanguage, "en_GB");
    EXPECT_EQ(languageFromEnvironment(), "");
}

TEST_F(SettingsTest, HomeValues) {
    {
        ScopedEnv h("HOME", "/home/ann");
        EXPECT_EQ(configFolderFromHome(), "/home/ann/.Brightmoor/Hashwarden/");
    }
    {
        ScopedEnv h("HOME", "/home/ann/");
        EXPECT_EQ(configFolderFromHome(), "/home/ann/.Brightmoor/Hashwarden/");
    }
    {
        ScopedEnv h("HOME", "/");
        EXPECT_EQ(configFolderFromHome(), "/.Brightmoor/Hashwarden/");
    }
    {
        // Without HOME the account's home serves; it is absolute, never the working folder.
        ScopedEnv h("HOME", nullptr);
        const std::string folder = configFolderFromHome();
        EXPECT_TRUE(folder.ends_with(".Brightmoor/Hashwarden/"));
        if (getpwuid(getuid()) != nullptr) {
            EXPECT_EQ(folder.front(), '/');
        } else {
            EXPECT_EQ(folder, ".Brightmoor/Hashwarden/");  // no account entry: relative, as a last resort
        }
    }
}

TEST_F(SettingsTest, ProgramFolderIsWhereTheTestBinaryLies) {
    const std::string folder = programFolderFromExe("ignored");
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(folder + std::string(self).substr(folder.size()), self);
    EXPECT_EQ(std::string(self).find('/', folder.size()), std::string::npos);
}

TEST_F(SettingsTest, SaveReplacesThroughALinkAndKeepsTheFileMode) {
    SettingsFolder = dir.path();
    writeFile(dir / "real.prefs", "old");
    ASSERT_EQ(chmod((dir / "real.prefs").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.prefs", (dir / "Hashwarden.prefs").c_str()), 0);
    CurrentLanguage = "it_IT";
    ASSERT_TRUE(saveSettings());
    struct stat st {};
    ASSERT_EQ(lstat((dir / "Hashwarden.prefs").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat((dir / "real.prefs").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readFile(dir / "real.prefs"), expectedSettings("it_IT", {}));
}

TEST_F(SettingsTest, UnwritableFolderIsSilent) {
    SettingsFolder = dir / "missing/";
    EXPECT_FALSE(saveSettings());
    EXPECT_FALSE(exists(dir / "missing"));
}

// A save that dies part-way (killed, or the disk full) must leave the previous
// settings file exactly as it was; a save that completes leaves exactly the new one.
TEST_F(SettingsTest, InterruptedSaveLeavesTheOldFileWhole) {
    SettingsFolder = dir / "save/";
    ASSERT_EQ(mkdir(SettingsFolder.c_str(), 0700), 0);
    CurrentLanguage = "nl_NL";
    Ticked[4] = true;
    ASSERT_TRUE(saveSettings());
    const std::string old = readFile(SettingsFolder + "Hashwarden.prefs");
    ASSERT_GT(old.size(), 100u);

    // Killed in the middle of writing: the file size limit lets the first 64 bytes
    // through and then kills the writer with SIGXFSZ.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        CurrentLanguage = "ru_RU";
        saveSettings();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(readFile(SettingsFolder + "Hashwarden.prefs"), old);

    // A full disk: the write fails, the save reports it, the old file stays and the
    // unfinished temporary file is removed.
    for (const std::string& name : listFolder(SettingsFolder))
        if (name != "Hashwarden.prefs") ::unlink((SettingsFolder + name).c_str());
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        CurrentLanguage = "ru_RU";
        _exit(saveSettings() ? 1 : 0);
    }
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(SettingsFolder + "Hashwarden.prefs"), old);
    EXPECT_EQ(listFolder(SettingsFolder), std::vector<std::string>{"Hashwarden.prefs"});
}

TEST_F(SettingsTest, KillAtAnyMomentOfRepeatedSavesLeavesAWholeFile) {
    SettingsFolder = dir.path();
    const int flagsA[KeyCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const int flagsB[KeyCount] = {};
    const std::string a = expectedSettings("aa_AA", flagsA);
    const std::string b = expectedSettings("bb_BB", flagsB);
    for (int round = 0; round < 8; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            for (int n = 0;; ++n) {
                const bool useA = n % 2 == 0;
                CurrentLanguage = useA ? "aa_AA" : "bb_BB";
                setTicked(useA ? flagsA : flagsB);
                saveSettings();
                if (::write(pipeFds[1], "s", 1) != 1) _exit(1);
            }
        }
        ::close(pipeFds[1]);
        // Let the child finish a round-dependent number of saves, then kill it while
        // it is somewhere inside the next ones.
        char byte;
        for (int n = 0; n < 2 + round; ++n) ASSERT_EQ(::read(pipeFds[0], &byte, 1), 1);
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ::close(pipeFds[0]);
        const std::string now = readFile(dir / "Hashwarden.prefs");
        EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

// Runs saveSettings in a child process that, when the tests run as root, first becomes
// an unprivileged user (root would write anywhere); returns whether the save succeeded.
bool saveAsUnprivilegedUser() {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (geteuid() == 0 && (setgid(UnprivilegedId) != 0 || setuid(UnprivilegedId) != 0)) _exit(2);
        _exit(saveSettings() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return false;
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not drop root";
    return WEXITSTATUS(status) == 0;
}

// A settings file the user may write, in a folder where no temporary file can be made
// (a read-only program folder): the save rewrites the file in place; a file the user
// may not write stays as it was.
TEST_F(SettingsTest, ReadOnlyFolderRewritesAWritableFileInPlace) {
    struct Case {
        mode_t fileMode;
        bool saved;
    };
    for (const Case c : {Case{0644, true}, Case{0444, false}}) {
        SCOPED_TRACE(c.fileMode);
        const bool root = geteuid() == 0;
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        SettingsFolder = dir / "readonly/";
        ASSERT_EQ(mkdir(SettingsFolder.c_str(), 0755), 0);
        const std::string path = SettingsFolder + "Hashwarden.prefs";
        const std::string old = expectedSettings("old", {});
        writeFile(path, old + std::string(500, '\n')); // longer than the new text: truncated
        ASSERT_EQ(chmod(path.c_str(), c.fileMode), 0);
        if (root) {
            ASSERT_EQ(chown(path.c_str(), UnprivilegedId, UnprivilegedId), 0);
        }
        ASSERT_EQ(chmod(SettingsFolder.c_str(), 0555), 0);
        struct stat before {};
        ASSERT_EQ(stat(path.c_str(), &before), 0);

        CurrentLanguage = "sv_SE";
        Ticked[6] = true;
        EXPECT_EQ(saveAsUnprivilegedUser(), c.saved);
        const int flags[KeyCount] = {0, 0, 0, 0, 0, 0, 1};
        EXPECT_EQ(readFile(path), c.saved ? expectedSettings("sv_SE", flags) : old + std::string(500, '\n'));
        struct stat after {};
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(listFolder(SettingsFolder), std::vector<std::string>{"Hashwarden.prefs"});
        ASSERT_EQ(chmod(SettingsFolder.c_str(), 0755), 0);
        ASSERT_EQ(::unlink(path.c_str()), 0);
        ASSERT_EQ(rmdir(SettingsFolder.c_str()), 0);
    }
}

// A save killed before its rename leaves ".Hashwarden.prefs.XXXXXX"; the next save
// removes exactly such files and nothing that merely looks like one.
TEST_F(SettingsTest, SaveRemovesTemporaryFilesOfKilledSaves) {
    SettingsFolder = dir.path();
    struct Case {
        std::string name;
        bool removed;
    };
    const std::vector<Case> cases = {
        {".Hashwarden.prefs.aB3xY9", true},   {".Hashwarden.prefs.aB3xY", false},
        {".Hashwarden.prefs.aB3xY9z", false}, {".Hashwarden.prefs.aB-xY9", false},
        {"Hashwarden.prefs.aB3xY9", false},   {".Other.prefs.aB3xY9", false},
        {".Hashwarden.prefs.Link01", false},  {".Hashwarden.prefs.Fold01", false},
        {".Hashwarden.prefs.Other1", false}, // another user's file (only when run as root)
    };
    for (const Case& c : cases) {
        const std::string path = dir / c.name;
        if (c.name.ends_with("Link01")) {
            writeFile(dir / "target", "kept");
            ASSERT_EQ(symlink("target", path.c_str()), 0);
        } else if (c.name.ends_with("Fold01")) {
            ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
        } else {
            writeFile(path, "partial");
            if (c.name.ends_with("Other1") &&
                (geteuid() != 0 || chown(path.c_str(), UnprivilegedId, UnprivilegedId) != 0))
                ::unlink(path.c_str());
        }
    }
    ASSERT_TRUE(saveSettings());
    for (const Case& c : cases) {
        if (c.name.ends_with("Other1") && geteuid() != 0) continue;
        EXPECT_EQ(exists(dir / c.name), !c.removed) << c.name;
    }
    EXPECT_EQ(readFile(dir / "target"), "kept");
    EXPECT_TRUE(exists(dir / "Hashwarden.prefs"));
}

// A settings file over 1 MiB is not read (defaults stay, as for an unreadable file) and
// is not overwritten at exit; one of exactly 1 MiB is read as usual.
TEST_F(SettingsTest, OversizedFileIsUnreadAndKept) {
    ScopedEnv lang("LANG", "fr_FR.UTF-8");
    createFolderPath(ConfigFolder);
    const std::string path = ConfigFolder + "Hashwarden.prefs";
    const std::string head = Bom + "[Language]\nLanguage = de_DE\n[General]\nMD5 = 1\n; ";
    for (const std::size_t size : {MaxSettingsFileSize, MaxSettingsFileSize + 1}) {
        SCOPED_TRACE(size);
        const bool fits = size <= MaxSettingsFileSize;
        const std::string content = head + std::string(size - head.size() - 1, 'x') + "\n";
        ASSERT_EQ(content.size(), size);
        writeFile(path, content);
        CurrentLanguage.clear();
        Ticked[1] = false;
        locateAndLoadSettings();
        EXPECT_EQ(SettingsFolder, ConfigFolder);
        EXPECT_EQ(CurrentLanguage, fits ? "de_DE" : "fr_FR");
        EXPECT_EQ(Ticked[1], fits);
        EXPECT_EQ(saveSettings(), fits);
        if (!fits) {
            EXPECT_EQ(readFile(path), content);
        }
    }
}
