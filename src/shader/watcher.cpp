// The inotify watches on the shader directory and its subfolders.
#include "shader/watcher.h"

#include "shader/shader_files.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace {
// A watch on each file would be lost at the first rename over it; the
// directory's events name the file.
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE;
constexpr std::size_t kEventBytes = 16 * (sizeof(inotify_event) + NAME_MAX + 1);
} // namespace

ShaderWatcher::~ShaderWatcher() {
    if (fd_ >= 0)
        close(fd_);
}

std::string ShaderWatcher::open(const std::string &dir) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        return std::strerror(errno);
    const int folder = inotify_add_watch(fd_, dir.c_str(), kEvents);
    if (folder < 0) {
        const std::string reason = std::strerror(errno);
        close(fd_);
        fd_ = -1;
        return reason;
    }
    dir_ = dir;
    folders_.emplace_back(folder, "");
    return "";
}

void ShaderWatcher::watchAlso(const std::vector<std::string> &names) {
    alsoWatched_ = names;
    if (fd_ < 0)
        return;
    for (const std::string &name : names) {
        const std::string sub = std::filesystem::path(name).parent_path().native();
        if (sub.empty())
            continue;
        // The same folder twice gives the same watch.
        const int folder = inotify_add_watch(fd_, (dir_ + "/" + sub).c_str(), kEvents);
        const auto known = std::find_if(folders_.begin(), folders_.end(),
                                        [&](const auto &f) { return f.first == folder; });
        if (folder >= 0 && known == folders_.end())
            folders_.emplace_back(folder, sub + "/");
    }
}

bool ShaderWatcher::watched(int folder, const char *name) const {
    const auto known = std::find_if(folders_.begin(), folders_.end(),
                                    [&](const auto &f) { return f.first == folder; });
    if (known == folders_.end())
        return false;
    if (shaderFiles_ && known->second.empty() && isShaderFileName(name))
        return true;
    return std::find(alsoWatched_.begin(), alsoWatched_.end(), known->second + name) !=
           alsoWatched_.end();
}

bool ShaderWatcher::changed(double now) {
    if (fd_ < 0)
        return false;
    alignas(inotify_event) static char buffer[kEventBytes];
    const ssize_t length = read(fd_, buffer, sizeof(buffer));
    for (ssize_t offset = 0; offset < length;) {
        const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
        if (event->len > 0 && watched(event->wd, event->name))
            lastChange_ = now;
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    if (lastChange_ < 0.0 || now - lastChange_ < settleSeconds)
        return false;
    lastChange_ = -1.0;
    return true;
}
