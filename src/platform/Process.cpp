#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace vorlane {
namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    bool open() { return ::pipe2(fds, O_CLOEXEC) == 0; }
    void closeEnd(int i) {
        if (fds[i] >= 0) ::close(fds[i]);
        fds[i] = -1;
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
};

// Drains both pipes until the child closes them.
void collect(int outFd, int errFd, std::string& out, std::string& err) {
    std::array<pollfd, 2> polls{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&out, &err};
    int openCount = 2;
    char buffer[65536];
    while (openCount > 0) {
        if (::poll(polls.data(), polls.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        for (size_t i = 0; i < polls.size(); ++i) {
            if (polls[i].fd < 0 || polls[i].revents == 0) continue;
            const ssize_t n = ::read(polls[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                polls[i].fd = -1;
                --openCount;
            }
        }
    }
}

}  // namespace

std::optional<ProcessResult> runProcess(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return std::nullopt;
    Pipe out, err;
    if (!out.open() || !err.open()) return std::nullopt;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.fds[1], 2);

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawnError = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.closeEnd(1);
    err.closeEnd(1);
    if (spawnError != 0) return std::nullopt;

    ProcessResult result;
    collect(out.fds[0], err.fds[0], result.standardOutput, result.standardError);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // posix_spawnp reports a missing program through the child's exit status 127.
    if (result.exitStatus == 127 && !programExists(arguments[0])) return std::nullopt;
    return result;
}

bool programExists(const std::string& name) {
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (directory.empty()) continue;
        const std::filesystem::path candidate = std::filesystem::path(directory) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace vorlane
