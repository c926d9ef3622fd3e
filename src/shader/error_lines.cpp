// Parsing of the driver log forms seen in practice, and the mapping of the
// composed source's lines back to the files.
#include "shader/error_lines.h"

#include "util/text.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <regex>
#include <sstream>

namespace {

const char *const kNoLog = "The driver gave no log";

struct Message {
    int line;
    int column; // -1: the driver gave none
    std::string kind;
    std::string text;
};

int number(const std::string &digits) {
    return digits.size() > 9 ? INT_MAX : std::stoi(digits);
}

// The kind is written as error or warning; other kinds are not messages to
// locate.
bool parse(const std::string &line, Message &message) {
    // Made at the first failure, not at every start.
    // Mesa: 0:LINE(COLUMN): KIND: MESSAGE, KIND such as "error" or "preprocessor error".
    static const std::regex kMesaForm(R"(^0:(\d+)\((\d+)\): ([^:]*): (.*)$)");
    // 0(LINE) : KIND CODE: MESSAGE
    static const std::regex kCodeForm(R"(^0\((\d+)\) : (\w+)(?: \w+)?: (.*)$)");
    // KIND: 0:LINE: MESSAGE
    static const std::regex kUpperForm(R"(^(ERROR|WARNING): 0:(\d+): (.*)$)");
    std::smatch m;
    if (std::regex_match(line, m, kMesaForm))
        message = {number(m[1]), number(m[2]), m[3], m[4]};
    else if (std::regex_match(line, m, kCodeForm))
        message = {number(m[1]), -1, m[2], m[3]};
    else if (std::regex_match(line, m, kUpperForm))
        message = {number(m[2]), -1, m[1] == "ERROR" ? "error" : "warning", m[3]};
    else
        return false;
    for (const char *known : {"error", "warning"})
        if (endsWith(message.kind, known))
            message.kind = known;
    return message.line >= 1 && (message.kind == "error" || message.kind == "warning");
}

} // namespace

StageOrigin stageOrigin(const std::string &header, const std::string &includePath,
                        const std::string &include, const std::string &filePath,
                        const std::string &file) {
    StageOrigin origin{static_cast<int>(std::count(header.begin(), header.end(), '\n')),
                       includePath,
                       0,
                       0,
                       filePath,
                       INT_MAX};
    const std::string written = include + file;
    origin.includeLines = static_cast<int>(std::count(include.begin(), include.end(), '\n'));
    origin.includeTail = static_cast<int>(include.size() - (include.rfind('\n') + 1));
    int line = 1;
    bool firstDirective = true;
    for (std::size_t at = 0; at < written.size(); ++line) {
        std::size_t end = std::min(written.find('\n', at), written.size());
        std::istringstream words(written.substr(at, end - at));
        std::string hash, directive;
        words >> hash;
        if (hash == "#")
            words >> directive;
        else if (hash.rfind('#', 0) == 0)
            directive = hash.substr(1);
        if (directive == "line") {
            // Lines after it are numbered from its argument on.
            int renumbered = 0;
            words >> renumbered;
            origin.lineLimit = std::min(
                {origin.lineLimit, firstDirective ? line : INT_MAX, std::max(renumbered, 0)});
            firstDirective = false;
        }
        at = end + 1;
    }
    // Appended lines follow the last line the author wrote.
    origin.lineLimit = std::min(origin.lineLimit, line);
    return origin;
}

std::vector<std::string> locatedLines(const std::string &log, const StageOrigin &origin,
                                      bool nameOnly) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string text; std::getline(in, text);) {
        Message m;
        if (!parse(text, m))
            continue;
        // Numbered from the include's first line on.
        m.line -= origin.headerLines;
        if (m.line < 1 || m.line >= origin.lineLimit)
            continue;
        const std::string *path = &origin.filePath;
        int line = m.line - origin.includeLines;
        int column = m.column;
        if (line < 1) {
            path = &origin.includePath;
            line = m.line;
        } else if (line == 1 && origin.includeTail > 0) {
            // The include's unfinished last line runs into the file's first;
            // a column within the include's part (counted from 1) stays there.
            if (column > origin.includeTail) {
                column -= origin.includeTail;
            } else if (column >= 0) {
                path = &origin.includePath;
                line = m.line;
            }
        }
        std::string located =
            (nameOnly ? std::filesystem::path(*path).filename().string() : *path) + ":" +
            std::to_string(line);
        if (column >= 0)
            located += ":" + std::to_string(column);
        lines.push_back(located + ": " + m.kind + ": " + m.text);
    }
    return lines;
}

std::vector<std::string> firstLines(const std::string &log, std::size_t count) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; lines.size() < count && std::getline(in, line);)
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            lines.push_back(line);
    return lines;
}

std::vector<std::string> failureLines(const std::string &log, const StageOrigin &origin) {
    std::vector<std::string> lines = locatedLines(log, origin, true);
    if (lines.empty())
        lines = firstLines(log, kFailureLines);
    if (lines.empty())
        lines.push_back(kNoLog);
    lines.resize(std::min(lines.size(), kFailureLines));
    return lines;
}

bool standardOutputIsTerminal() {
    static const bool terminal = isatty(STDOUT_FILENO) == 1;
    return terminal;
}
