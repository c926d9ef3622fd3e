// Writing a new shader set from the one the program carries.
#include "app/new_set.h"

#include "app/options.h"
#include "app/set_writer.h"

#include <vector>

int writeNewSet(const std::string &dir, std::ostream &out, std::ostream &err) {
    const std::string refused = refusedSetDirectory(dir, "--new");
    if (!refused.empty()) {
        err << "quorlin: " << refused << std::endl;
        return kUsageStatus;
    }
    std::vector<FileToWrite> files;
    for (std::size_t k = 0; k < kShippedFiles; ++k)
        files.push_back(
            {kShippedSet[k].name,
             std::string(reinterpret_cast<const char *>(kShippedSet[k].bytes), kShippedSet[k].size),
             ""});
    const int status = writeSetFiles(dir, files, err);
    if (status == 0) {
        const std::string quoted = shellQuoted(dir);
        out << "Created " << quoted << "; run: " << runCommand() << " --watch " << quoted
            << std::endl;
    }
    return status;
}
