// Reading shader files with the stream failures the read report quotes.
#include "shader/stage_sources.h"

#include "shader/compose.h"
#include "shader/shader_files.h"
#include "shader/shipped_set.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// What the shipped viewer fragment needs in place of a set's common.incl.
const char *const kViewerHeader = "#version 330 core\nout vec4 FragColor;\n";

// Only a regular file has an end to read to: a directory opens and reads as
// nothing, a FIFO blocks the open and a device may never end. Fail those
// before opening rather than compile nothing or hang.
void openForReading(std::ifstream &file, const std::string &path) {
    std::error_code ignored;
    if (fs::exists(path, ignored) && !fs::is_regular_file(path, ignored)) {
        file.setstate(std::ios_base::failbit);
        return;
    }
    file.open(path);
}

// Raises std::ios_base::failure when the file cannot be read.
std::string readFile(const std::string &path) {
    std::ifstream file;
    file.exceptions(std::ifstream::failbit | std::ifstream::badbit);
    openForReading(file, path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A missing include is allowed and reads as empty, but one that is there and
// cannot be read is a user's text silently dropped: it raises the same
// failure as the stage files.
std::string readInclude(const std::string &path) {
    std::ifstream file;
    openForReading(file, path);
    std::error_code ignored;
    if (file.fail() && fs::exists(path, ignored))
        file.exceptions(std::ifstream::failbit | std::ifstream::badbit);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string readOrEmpty(const std::string &path) {
    try {
        return readInclude(path);
    } catch (const std::ios_base::failure &) {
        return "";
    }
}

// The shipped text standing in for a missing file, or empty.
std::string fallbackFor(const std::string &path, bool allowed) {
    std::error_code ignored;
    if (!allowed || fs::exists(path, ignored))
        return "";
    return shippedText(fs::path(path).filename().native());
}

} // namespace

StageSources readStages(const std::string &commonPath, const std::string &vertexPath,
                        const std::string &fragmentPath, const Composition &composition) {
    StageSources sources;
    const std::string shippedVertex = fallbackFor(vertexPath, composition.shippedFallbacks);
    const std::string shippedFragment = fallbackFor(fragmentPath, composition.shippedFragment);
    std::string vertex, fragment, common;
    const std::string *reading = &vertexPath;
    try {
        vertex = shippedVertex.empty() ? readFile(vertexPath) : shippedVertex;
        reading = &fragmentPath;
        fragment = shippedFragment.empty() ? readFile(fragmentPath) : shippedFragment;
        reading = &commonPath;
        if (shippedFragment.empty())
            common = readInclude(commonPath);
    } catch (const std::ios_base::failure &e) {
        std::cout << "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ: " << e.what() << std::endl;
        // The stream's reason names no file.
        if (standardOutputIsTerminal())
            std::cout << *reading << ": " << unreadableReason(*reading) << std::endl;
        sources.failure = {"Cannot read " + fs::path(*reading).filename().string()};
        return sources;
    }
    sources.vertex = vertex;
    if (shippedVertex.empty())
        sources.vertexOrigin = stageOrigin("", "", "", vertexPath, vertex);
    if (!shippedFragment.empty()) {
        sources.fragment = composeFragment(kViewerHeader, "", fragment);
        return sources;
    }
    const bool generated = !declaresVersion(common) && !declaresVersion(fragment);
    const std::string header = generated ? generatedHeader(composition.channels) : "";
    // Exported shared code often ends without a line end.
    if (generated && !common.empty() && common.back() != '\n')
        common += '\n';
    sources.fragment = composeFragment(header, common, fragment);
    sources.fragmentOrigin = stageOrigin(header, commonPath, common, fragmentPath, fragment);
    return sources;
}

bool generatesHeader(const std::string &commonPath, const std::string &fragmentPath) {
    return !declaresVersion(readOrEmpty(commonPath)) && !declaresVersion(readOrEmpty(fragmentPath));
}
