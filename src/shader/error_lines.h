// Driver compile logs turned into lines that name the file and line the
// author wrote, in the form compilers use: PATH:LINE:COLUMN: error: MESSAGE.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where the lines of one stage's source come from: a header the program
// generated (none unless the stage declares nothing), then an include (none
// for a vertex stage) followed directly by a file.
struct StageOrigin {
    int headerLines = 0; // line ends in the generated header, none of them the author's
    std::string includePath;
    int includeLines = 0; // line ends in the include
    int includeTail = 0;  // characters of the include's unfinished last line
    std::string filePath;
    // Source lines from here on are not the author's as written: a #line
    // directive renumbers them, or they were appended after the file.
    int lineLimit = 0;
};

// The origin of a stage whose source is header, then include followed
// directly by file, as compiled (source may carry appended lines after them).
StageOrigin stageOrigin(const std::string &header, const std::string &includePath,
                        const std::string &include, const std::string &filePath,
                        const std::string &file);

// One line per message of log in a known driver form that names a source
// line the author wrote, in the log's order. nameOnly gives the file's name
// rather than its path.
std::vector<std::string> locatedLines(const std::string &log, const StageOrigin &origin,
                                      bool nameOnly);

// Up to count of log's first lines that hold more than white space.
std::vector<std::string> firstLines(const std::string &log, std::size_t count);

// At most this many lines describe a failure on the window.
constexpr std::size_t kFailureLines = 6;

// A failed compile or link as the window shows it: the located lines with
// file names, else the log's first lines; never empty.
std::vector<std::string> failureLines(const std::string &log, const StageOrigin &origin);

// Whether standard output is a terminal, asked once: only then are located
// lines printed and a failed build shown on the window.
bool standardOutputIsTerminal();
