// Programs run as child processes with their standard output and error read
// through pipes, and finding a program on the PATH as a shell would.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ChildProcess {
    pid_t pid = -1;
    int output = -1; // read end of its standard output
    int errors = -1; // read end of its standard error
};

// The argv of exec and posix_spawn for arguments, which must outlive it:
// their texts, then a null pointer.
std::vector<char *> argumentPointers(const std::vector<std::string> &arguments);

// The descriptor number a child gets a passed file on.
constexpr int kPassedDescriptor = 3;

// Starts arguments[0] (a path) with the arguments, standard input from
// /dev/null, and the open file passed (when not -1) as kPassedDescriptor.
// The child is killed when the thread that started it ends, the program
// with it, whatever ends it. Returns an empty string, or why it could not
// start.
std::string startChild(const std::vector<std::string> &arguments, ChildProcess &child,
                       int passed = -1);

// Kills the child first when kill is set, waits for it and closes the pipes.
// Returns the wait status; -1 when there was no child.
int endChild(ChildProcess &child, bool kill);

// Why a child ended as status says; empty for an exit with status 0.
std::string exitReason(const std::string &program, int status);
