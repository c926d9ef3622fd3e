// Writing a new shader set, undoing what was made when a write fails.
#include "app/new_set.h"

#include "app/options.h"
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

void writeFile(const fs::path &path, const ShippedFile &file, Made &made) {
    std::FILE *stream = std::fopen(path.c_str(), "wx");
    if (stream == nullptr)
        throw Failure{"cannot create '" + path.native() + "': " + std::strerror(errno)};
    made.paths.push_back(path);
    const bool written = std::fwrite(file.bytes, 1, file.size, stream) == file.size;
    const int writeErrno = errno;
    // A full disk may show only when the buffer is flushed at close.
    if (std::fclose(stream) != 0 || !written)
        throw Failure{"cannot write '" + path.native() +
                      "': " + std::strerror(written ? errno : writeErrno)};
}

// What a person types to run this program: its name when the shell finds this
// program by it, else the program's path.
std::string commandName() {
    const std::string running = runningProgram();
    const std::string found = findProgram("quorlin");
    std::error_code error;
    if (running.empty() || (!found.empty() && fs::equivalent(found, running, error)))
        return "quorlin";
    return shellQuoted(running);
}

} // namespace

int writeNewSet(const std::string &dir, std::ostream &out, std::ostream &err) {
    std::error_code error;
    const fs::file_status status = fs::status(dir, error);
    if (fs::exists(status) && !fs::is_directory(status)) {
        err << "quorlin: --new: '" << dir << "' is not a directory" << std::endl;
        return kUsageStatus;
    }
    if (fs::exists(status) && !fs::is_empty(dir, error)) {
        err << "quorlin: --new: '" << dir << "' is not empty" << std::endl;
        return kUsageStatus;
    }
    Made made;
    try {
        makeDirectories(dir, made);
        for (std::size_t k = 0; k < kShippedFiles; ++k)
            writeFile(fs::path(dir) / kShippedSet[k].name, kShippedSet[k], made);
    } catch (const Failure &failure) {
        err << "quorlin: " << failure.what << std::endl;
        return kFailedStatus;
    }
    made.paths.clear();
    const std::string quoted = shellQuoted(dir);
    out << "Created " << quoted << "; run: " << commandName() << " --watch " << quoted << std::endl;
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
