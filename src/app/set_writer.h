// Writing a shader set into a directory that is new or empty, leaving nothing
// behind when a write fails half way.
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct FileToWrite {
    std::string name;   // in the set's directory
    std::string bytes;  // what the file holds, unless copyOf names one
    std::string copyOf; // not empty: a file whose bytes are copied instead
};

// Empty when dir can take a set (it does not exist, or is an empty directory);
// otherwise why not, after the option that asks: "--new: 'x' is not empty".
std::string refusedSetDirectory(const std::string &dir, const std::string &option);

// Creates dir and its missing parents and writes files into it, each created
// afresh. Returns 0, or 1 after saying why on err and removing what it made.
int writeSetFiles(const std::string &dir, const std::vector<FileToWrite> &files, std::ostream &err);

// The text as a POSIX shell reads it back: unchanged when it holds only safe
// characters, single-quoted otherwise.
std::string shellQuoted(const std::string &text);

// What a person types to run this program: its name when the shell finds this
// program by it, else the program's path, shell-quoted.
std::string runCommand();
