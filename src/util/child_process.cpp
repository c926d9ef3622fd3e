// Child processes through vfork, which does not copy the parent's address
// space (large once a GL driver is loaded) as fork would, and lets the child
// ask to end with its parent before it runs the program.
#include "util/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char **environ;

std::vector<char *> argumentPointers(const std::vector<std::string> &arguments) {
    std::vector<char *> pointers;
    for (const std::string &argument : arguments)
        pointers.push_back(const_cast<char *>(argument.c_str()));
    pointers.push_back(nullptr);
    return pointers;
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
    std::vector<char *> argv = argumentPointers(arguments);
    const pid_t parent = getpid();
    sigset_t none;
    sigemptyset(&none);
    // Written by the child, which shares this memory until it runs the program.
    volatile int error = 0;
    const pid_t pid = vfork();
    if (pid == 0) {
        // A child outlives a parent that is killed unless told otherwise:
        // ffmpeg listening to a stream would wait for it for ever.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (getppid() != parent || input <= STDIN_FILENO || dup2(input, STDIN_FILENO) < 0 ||
            dup2(output[1], STDOUT_FILENO) < 0 || dup2(errors[1], STDERR_FILENO) < 0 ||
            (passed >= 0 && dup2(passed, kPassedDescriptor) < 0) ||
            (passed == kPassedDescriptor && fcntl(passed, F_SETFD, 0) < 0)) {
            error = errno != 0 ? errno : ESRCH;
            _exit(127);
        }
        // The child starts with default signal handling, whatever this thread blocks.
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(argv[0], argv.data(), environ);
        error = errno;
        _exit(127);
    }
    if (pid < 0)
        error = errno;
    else if (error != 0)
        waitpid(pid, nullptr, 0);
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
