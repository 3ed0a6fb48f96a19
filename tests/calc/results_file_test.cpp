// The results file and the expected-checksum loader, without a window: the extension rule, saving that
// never destroys a file, and the first line of a file.
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/file_failure.h"
#include "calc/results_file.h"
#include "files/safe_file.h"
#include "calc/first_line.h"
#include "files/process_umask.h"

namespace {

// Each row of the save command's table of examples, plus the cases around its stop characters.
TEST(ResultsFileName, FollowsTheExtensionRule) {
    EXPECT_EQ(resultsFileName("report"), "report.txt");
    EXPECT_EQ(resultsFileName("report.TXT"), "report.TXT");
    EXPECT_EQ(resultsFileName("report."), "report..txt");
    EXPECT_EQ(resultsFileName("my results"), "my results.txt");
    EXPECT_EQ(resultsFileName("/home/u/.hidden"), "/home/u/.hidden.txt");
    EXPECT_EQ(resultsFileName("v1.0/sums"), "v1.0/sums.txt");

    EXPECT_EQ(resultsFileName(".profile"), ".profile.txt");             // the dot is the first character
    EXPECT_EQ(resultsFileName("a\\.b"), "a\\.b.txt");                   // right after a backslash
    EXPECT_EQ(resultsFileName("/tmp/sums.sha256"), "/tmp/sums.sha256");
    EXPECT_EQ(resultsFileName("sums.tar gz"), "sums.tar gz.txt");       // the scan stops at the space
    EXPECT_EQ(resultsFileName("sums.txt\""), "sums.txt\"");              // the extension ends at a quote
    EXPECT_EQ(resultsFileName("sums.\"txt\""), "sums.\"txt\".txt");    // nothing before the first quote
    EXPECT_EQ(resultsFileName("sums.\""), "sums.\".txt");
    EXPECT_EQ(resultsFileName(""), ".txt");
}

// Saving replaces a regular file through a link to it, refuses what is no regular file, and leaves
// nothing behind when the folder is gone; the bytes and the mode of what is replaced are as described.
TEST(SaveFileSafely, ReplacesRegularFilesOnlyAndLeavesNothingBehind) {
    const std::string folder = ::testing::TempDir() + "calc_save_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string real = folder + "/real.txt", link = folder + "/link.txt", fifo = folder + "/fifo";
    std::ofstream(real) << "old";
    ASSERT_EQ(chmod(real.c_str(), 0604), 0);
    ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        int failure;
        std::string readBack; // through the path, after the save
    } cases[] = {
        {link, 0, "new"},                           // the link stays, the file it names gets the text
        {folder, EISDIR, ""},                       // a folder is never replaced
        {fifo, NotAFileWithAnEnd, ""},              // nor a named pipe
        {folder + "/gone/x.txt", ENOENT, ""},       // a folder that vanished
        {folder + "/new.txt", 0, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(saveFileSafely(c.path, "new"), c.failure);
        if (c.failure == 0) {
            std::ifstream in(c.path);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.readBack);
        }
    }
    struct stat status {};
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(stat(real.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    ASSERT_EQ(lstat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    // The four names of the folder, and no temporary file.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        ++entries;
    }
    EXPECT_EQ(entries, 4);
    std::filesystem::remove_all(folder);
}

// A folder of its own for one test, removed with everything in it.
struct ScratchFolder {
    std::string path;
    explicit ScratchFolder(const char* name)
        : path(::testing::TempDir() + name + "_" + std::to_string(getpid())) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path)) found.push_back(entry.path().filename());
        std::sort(found.begin(), found.end());
        return found;
    }
};

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `body` in a child process and gives its wait status.
int inChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// The kernel's protected-symlinks rule, kept by the program whatever the machine's setting.
TEST(MayFollowLink, OnlyOwnLinksOrTheFolderOwnersInASharedFolder) {
    constexpr uid_t User = 1000, Other = 1001, FolderOwner = 0;
    const struct {
        uid_t linkOwner;
        mode_t folderMode;
        bool follows;
    } cases[] = {
        {User, 01777, true},         // the user's own link
        {Other, 01777, false},       // planted in a sticky world-writable folder
        {FolderOwner, 01777, true},  // the folder's owner's
        {Other, 00777, true},        // world-writable without the sticky bit
        {Other, 01775, true},        // sticky but writable only by its group
    };
    for (const auto& c : cases)
        EXPECT_EQ(mayFollowLink(c.linkOwner, c.folderMode, FolderOwner, User), c.follows)
            << c.linkOwner << " in " << std::oct << c.folderMode;
}

// A link another user placed in a shared folder is not followed, as user A saving there would otherwise
// write A's own file (a .profile) that the link names; each link of a chain is judged the same way. Run
// as a third user in a child (needs root: links owned by others).
TEST(SaveFileSafely, FollowsALinkOnlyWhereTheKernelsRuleAllows) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give links to other users";
    constexpr uid_t Saver = 64001, Planter = 64002;
    ScratchFolder root("calc_links");
    ASSERT_EQ(chmod(root.path.c_str(), 0755), 0);
    const std::string shared = root.path + "/shared", plain = root.path + "/plain", home = root.path + "/home";
    for (const auto& [folder, mode] : {std::pair{shared, 01777}, {plain, 0777}, {home, 0700}}) {
        ASSERT_EQ(mkdir(folder.c_str(), 0), 0);
        ASSERT_EQ(chmod(folder.c_str(), static_cast<mode_t>(mode)), 0);
    }
    ASSERT_EQ(chown(home.c_str(), Saver, Saver), 0);
    const std::string profile = home + "/.profile";
    const struct {
        const char* name;
        std::string link;
        uid_t owner;
        bool followed;
    } cases[] = {
        {"own link in the shared folder", shared + "/own.txt", Saver, true},
        {"planted in the shared folder", shared + "/checksums.txt", Planter, false},
        {"another's link in a folder without the sticky bit", plain + "/other.txt", Planter, true},
        {"the shared folder's owner's link", shared + "/owners.txt", 0, true},
        {"own link to a planted one", shared + "/chain.txt", Saver, false},
    };
    const std::string planted = shared + "/planted-step";
    ASSERT_EQ(symlink(profile.c_str(), planted.c_str()), 0);
    ASSERT_EQ(lchown(planted.c_str(), Planter, Planter), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(profile) << "old";
        ASSERT_EQ(chown(profile.c_str(), Saver, Saver), 0);
        const std::string to = std::string(c.name).starts_with("own link to") ? planted : profile;
        ASSERT_EQ(symlink(to.c_str(), c.link.c_str()), 0);
        ASSERT_EQ(lchown(c.link.c_str(), c.owner, c.owner), 0);
        const int status = inChild([&] {
            if (setegid(Saver) != 0 || seteuid(Saver) != 0) return 100;
            const SaveTarget target = saveTarget(c.link);
            const int failure = saveFileSafely(c.link, "new");
            if (target.failure == RefusedLink && target.refusedLink != c.link && target.refusedLink != planted)
                return 101;
            if (target.failure == 0 && target.path != profile) return 102;
            return failure == 0 ? 0 : failure == RefusedLink ? 1 : 103;
        });
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.followed ? 0 : 1);
        EXPECT_EQ(readText(profile), c.followed ? "new" : "old");
        struct stat link {};
        ASSERT_EQ(lstat(c.link.c_str(), &link), 0);
        EXPECT_TRUE(S_ISLNK(link.st_mode)); // the link itself is never replaced
    }
}

// Names up to the 255-byte limit save, new or replacing: the temporary name does not grow with them.
TEST(SaveFileSafely, NamesNearTheLengthLimitSave) {
    ScratchFolder folder("calc_long");
    for (const std::size_t length : {248u, 250u, 255u}) {
        const std::string path = folder.path + "/" + std::string(length - 4, 'n') + ".txt";
        for (const char* text : {"first", "second"}) { // new, then replacing
            SCOPED_TRACE(std::to_string(length) + " " + text);
            EXPECT_EQ(saveFileSafely(path, text), 0);
            EXPECT_EQ(readText(path), text);
        }
    }
    EXPECT_EQ(folder.names().size(), 3u);
}

// A new file gets what the umask leaves of rw-rw-rw-, and the umask is read without being set: the
// child dies on any umask() call (a moment's umask of 0 would give other threads' files the wrong mode).
TEST(SaveFileSafely, ReadsTheUmaskWithoutChangingIt) {
    ScratchFolder folder("calc_umask");
    for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{077}}) {
        SCOPED_TRACE(mask);
        const std::string path = folder.path + "/new" + std::to_string(mask) + ".txt";
        const int status = inChild([&] {
            umask(mask);
            sock_filter filter[] = {
                BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_umask, 0, 1),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            };
            sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
            if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
                return 100;
            if (processUmask() != mask) return 101;
            return saveFileSafely(path, "new") == 0 ? 0 : 102;
        });
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        // A user-mode emulator (qemu-user, the ARM stages) takes no seccomp filter: nothing to watch with.
        if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "no seccomp filter can be installed here";
        ASSERT_EQ(WEXITSTATUS(status), 0);
        struct stat written {};
        ASSERT_EQ(stat(path.c_str(), &written), 0);
        EXPECT_EQ(written.st_mode & 0777, 0666 & ~mask);
    }
}

// A save killed just before its file gets a name leaves the folder as it was: no temporary file, the
// old file untouched.
TEST(SaveFileSafely, KilledBeforePlacingLeavesNothingBehind) {
    ScratchFolder folder("calc_killed");
    std::ofstream(folder.path + "/old.txt") << "old";
    for (const char* name : {"new.txt", "old.txt"}) {
        SCOPED_TRACE(name);
        const std::vector<std::string> before = folder.names();
        const int status = inChild([&] {
            BeforePlacingSavedFile = [] { raise(SIGKILL); };
            (void)saveFileSafely(folder.path + "/" + name, "new");
            return 0;
        });
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_EQ(folder.names(), before);
        EXPECT_EQ(readText(folder.path + "/old.txt"), "old");
    }
}

class FirstLine : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "calc_first_line_" + std::to_string(getpid());
    void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    void TearDown() override { std::remove(path.c_str()); }
};

// The first line ends at any line end, keeps a byte-order mark for the compare to explain, and replaces
// bytes that are not UTF-8 (valid UTF-8 passes unchanged).
TEST_F(FirstLine, EndsAtAnyLineEndAndIsValidUtf8) {
    const struct {
        std::string bytes, line;
    } cases[] = {
        {"abc\r\ndef\n", "abc"},
        {"abc\rdef", "abc"},
        {"d41d8cd98f00b204e9800998ecf8427e  empty.bin\n", "d41d8cd98f00b204e9800998ecf8427e  empty.bin"},
        {"\xEF\xBB\xBF" "abc\n", "\xEF\xBB\xBF" "abc"},
        {"no line end ", "no line end "},
        {"", ""},
        {"\n\nsecond", ""},
        {std::string("ab\xFF" "c\x00" "d\xC3", 7), "ab\xEF\xBF\xBD" "c\xEF\xBF\xBD" "d\xEF\xBF\xBD"},
        {"gr\xC3\xBC\xC3\x9F" "e", "gr\xC3\xBC\xC3\x9F" "e"},
    };
    for (const auto& c : cases) {
        write(c.bytes);
        EXPECT_EQ(readFirstLine(path), c.line) << testing::PrintToString(c.bytes);
    }
}

TEST_F(FirstLine, ReadsAtMostTheLimitOfALongLine) {
    write(std::string(3 * ExpectedLineLimit, 'a') + "\n");
    EXPECT_EQ(readFirstLine(path), std::string(ExpectedLineLimit, 'a'));
    // A multi-byte character cut by the limit becomes one replacement character.
    write(std::string(ExpectedLineLimit - 1, 'a') + "\xC3\xBC");
    EXPECT_EQ(readFirstLine(path), std::string(ExpectedLineLimit - 1, 'a') + "\xEF\xBF\xBD");
}

TEST_F(FirstLine, NothingForAFileThatCannotBeOpened) {
    EXPECT_FALSE(readFirstLine(path + ".missing").has_value());
}

TEST_F(FirstLine, NamedPipeWithoutWriterGivesAnEmptyLineAtOnce) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(readFirstLine(path), "");
}

}  // namespace
