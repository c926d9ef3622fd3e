// Child processes through posix_spawn, which does not copy the parent's
// address space (large once a GL driver is loaded) as fork would.
#include "util/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char **environ;

std::string findProgram(const std::string &program) {
    const char *path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

std::string startChild(const std::vector<std::string> &arguments, ChildProcess &child, int passed) {
    int output[2];
    int errors[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return std::strerror(errno);
    if (pipe2(errors, O_CLOEXEC) != 0) {
        const int error = errno;
        close(output[0]);
        close(output[1]);
        return std::strerror(error);
    }
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    if (passed >= 0)
        posix_spawn_file_actions_adddup2(&actions, passed, kPassedDescriptor);
    // The child starts with default signal handling, whatever this thread blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    close(errors[1]);
    if (error != 0) {
        close(output[0]);
        close(errors[0]);
        return std::strerror(error);
    }
    child = {pid, output[0], errors[0]};
    return "";
}

int endChild(ChildProcess &child, bool kill) {
    int status = -1;
    if (child.pid > 0) {
        if (kill)
            ::kill(child.pid, SIGKILL);
        while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    for (int fd : {child.output, child.errors})
        if (fd >= 0)
            close(fd);
    child = ChildProcess{};
    return status;
}

std::string exitReason(const std::string &program, int status) {
    if (WIFSIGNALED(status))
        return program + " was ended by signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return program + " exited with status " + std::to_string(WEXITSTATUS(status));
    return "";
}
