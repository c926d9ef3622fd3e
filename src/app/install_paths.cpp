// The example sets' directory, relative to the running executable.
#include "app/install_paths.h"

#include "util/program_path.h"

#include <filesystem>
#include <system_error>

namespace {
constexpr const char *kInstalledExamples = "../share/quorlin/examples";
}

std::string examplesDirectory() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path program = runningProgram();
    if (!program.empty()) {
        const fs::path installed =
            fs::weakly_canonical(program.parent_path() / kInstalledExamples, error);
        if (!error && fs::is_directory(installed, error))
            return installed.native();
    }
    return QUORLIN_CHECKOUT_EXAMPLES;
}
