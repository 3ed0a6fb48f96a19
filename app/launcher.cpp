// Program launcher: PATH search, parameter splitting, fork/exec with a working folder.
#include "app/launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>

namespace {

std::mutex ProcessLock;
std::set<pid_t> KeptProcesses; // started here and not yet seen ending

bool usableProgramFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
           access(path.c_str(), X_OK) == 0;
}

// Everything the child needs is prepared before fork, so the child only calls async-signal-safe
// functions (the program has other threads).
struct PreparedCommand {
    std::string program;
    std::vector<std::string> arguments;
    std::vector<char*> argv;
    std::string folder;
};

bool prepare(const std::string& name, const std::string& parameters, const std::string& workingFolder,
             PreparedCommand* command) {
    command->program = findProgram(name);
    if (command->program.empty()) return false;
    command->arguments = splitParameters(parameters);
    command->arguments.insert(command->arguments.begin(), command->program);
    for (std::string& argument : command->arguments)
        command->argv.push_back(argument.data());
    command->argv.push_back(nullptr);
    command->folder = workingFolder;
    return true;
}

[[noreturn]] void execInChild(const PreparedCommand& command) {
    if (!command.folder.empty() && chdir(command.folder.c_str()) != 0) _exit(127);
    execv(command.program.c_str(), command.argv.data());
    _exit(127);
}

} // namespace

std::string findProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) {
        if (name[0] != '/' && name.rfind("./", 0) != 0) return {};
        return usableProgramFile(name) ? name : std::string();
    }
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    const std::string folders = path;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            if (folder.back() != '/') folder += '/';
            if (usableProgramFile(folder + name)) return folder + name;
        }
        start = end + 1;
    }
    return {};
}

std::vector<std::string> splitParameters(const std::string& parameters) {
    std::vector<std::string> parts;
    std::string current;
    bool inPart = false;
    bool quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inPart = true; // "" is an empty argument
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n')) {
            if (inPart) parts.push_back(current);
            current.clear();
            inPart = false;
        } else {
            current += c;
            inPart = true;
        }
    }
    if (inPart) parts.push_back(current);
    return parts;
}

pid_t launchProgram(const std::string& name, const std::string& parameters,
                    const std::string& workingFolder) {
    PreparedCommand command;
    if (!prepare(name, parameters, workingFolder, &command)) return 0;
    std::lock_guard guard(ProcessLock);
    const pid_t child = fork();
    if (child < 0) return 0;
    if (child == 0) execInChild(command);
    KeptProcesses.insert(child);
    return child;
}

bool launchDetached(const std::string& name, const std::string& parameters,
                    const std::string& workingFolder) {
    PreparedCommand command;
    if (!prepare(name, parameters, workingFolder, &command)) return false;
    // Double fork: the intermediate child exits at once and is reaped here, so the program
    // becomes the child of init and never stays a zombie of ours.
    const pid_t middle = fork();
    if (middle < 0) return false;
    if (middle == 0) {
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) execInChild(command);
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool programRunning(pid_t process) {
    std::lock_guard guard(ProcessLock);
    if (process <= 0 || KeptProcesses.count(process) == 0) return false;
    int status = 0;
    const pid_t result = waitpid(process, &status, WNOHANG);
    if (result == 0) return true;
    KeptProcesses.erase(process); // ended (reaped now) or no longer our child
    return false;
}

void killProgram(pid_t process) {
    std::lock_guard guard(ProcessLock);
    if (process <= 0 || KeptProcesses.count(process) == 0) return;
    kill(process, SIGKILL);
    int status = 0;
    while (waitpid(process, &status, 0) < 0 && errno == EINTR) {
    }
    KeptProcesses.erase(process);
}
