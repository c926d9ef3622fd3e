// Writing a shader set, undoing what was made when a write fails.
#include "app/set_writer.h"

#include "util/program_path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFailedStatus = 1;
constexpr std::size_t kCopyChunk = std::size_t{1} << 16;
constexpr const char *kShellSafe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                   "0123456789@%+=:,./_-";

struct Failure {
    std::string what;
};

// What this run made, newest last, so that removal runs in reverse.
struct Made {
    std::vector<fs::path> paths;

    ~Made() {
        std::error_code ignored;
        for (auto path = paths.rbegin(); path != paths.rend(); ++path)
            fs::remove(*path, ignored);
    }
};

void makeDirectories(const fs::path &dir, Made &made) {
    std::vector<fs::path> missing;
    std::error_code error;
    for (fs::path at = dir; !at.empty() && !fs::exists(at, error); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path())
            break;
    }
    for (auto path = missing.rbegin(); path != missing.rend(); ++path) {
        if (!fs::create_directory(*path, error) && error)
            throw Failure{"cannot create the directory '" + path->native() +
                          "': " + error.message()};
        made.paths.push_back(*path);
    }
}

std::string cannot(const char *what, const std::string &path, int error) {
    return std::string("cannot ") + what + " '" + path + "': " + std::strerror(error);
}

// Copied through in chunks, so that a large media file never sits whole in memory.
std::string copyInto(std::FILE *stream, const std::string &source, const std::string &path) {
    std::FILE *from = std::fopen(source.c_str(), "rb");
    if (from == nullptr)
        return cannot("read", source, errno);
    std::vector<char> chunk(kCopyChunk);
    std::string problem;
    while (problem.empty() && !std::feof(from)) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), from);
        if (std::ferror(from))
            problem = cannot("read", source, errno);
        else if (std::fwrite(chunk.data(), 1, got, stream) != got)
            problem = cannot("write", path, errno);
    }
    std::fclose(from);
    return problem;
}

void writeFile(const fs::path &path, const FileToWrite &file, Made &made) {
    // "x": a file that appeared meanwhile is neither overwritten nor removed as ours.
    std::FILE *stream = std::fopen(path.c_str(), "wx");
    if (stream == nullptr)
        throw Failure{cannot("create", path, errno)};
    made.paths.push_back(path);
    std::string problem;
    if (!file.copyOf.empty())
        problem = copyInto(stream, file.copyOf, path);
    else if (std::fwrite(file.bytes.data(), 1, file.bytes.size(), stream) != file.bytes.size())
        problem = cannot("write", path, errno);
    // A full disk may show only when the buffer is flushed at close.
    if (std::fclose(stream) != 0 && problem.empty())
        problem = cannot("write", path, errno);
    if (!problem.empty())
        throw Failure{problem};
}

} // namespace

std::string refusedSetDirectory(const std::string &dir, const std::string &option) {
    std::error_code error;
    const fs::file_status status = fs::status(dir, error);
    if (fs::exists(status) && !fs::is_directory(status))
        return option + ": '" + dir + "' is not a directory";
    if (fs::exists(status) && !fs::is_empty(dir, error))
        return option + ": '" + dir + "' is not empty";
    return "";
}

int writeSetFiles(const std::string &dir, const std::vector<FileToWrite> &files,
                  std::ostream &err) {
    Made made;
    try {
        makeDirectories(dir, made);
        for (const FileToWrite &file : files)
            writeFile(fs::path(dir) / file.name, file, made);
    } catch (const Failure &failure) {
        err << "quorlin: " << failure.what << std::endl;
        return kFailedStatus;
    }
    made.paths.clear();
    return 0;
}

std::string shellQuoted(const std::string &text) {
    if (!text.empty() && text.find_first_not_of(kShellSafe) == std::string::npos)
        return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string runCommand() {
    const std::string running = runningProgram();
    const std::string found = findProgram("quorlin");
    std::error_code error;
    if (running.empty() || (!found.empty() && fs::equivalent(found, running, error)))
        return "quorlin";
    return shellQuoted(running);
}
