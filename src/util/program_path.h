// Programs found as a shell finds them, and this program's own file.
#pragma once

#include <string>

// The first executable file named program in a folder of PATH, or "".
std::string findProgram(const std::string &program);

// The running program's file, or "" when the system does not say.
std::string runningProgram();
