// The inotify watch on the shader directory.
#include "shader/watcher.h"

#include "shader/shader_files.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

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
    if (inotify_add_watch(fd_, dir.c_str(), kEvents) < 0) {
        const std::string reason = std::strerror(errno);
        close(fd_);
        fd_ = -1;
        return reason;
    }
    return "";
}

bool ShaderWatcher::alsoWatched(const char *name) const {
    return alsoWatched_ != nullptr &&
           std::find(alsoWatched_->begin(), alsoWatched_->end(), name) != alsoWatched_->end();
}

bool ShaderWatcher::changed(double now) {
    if (fd_ < 0)
        return false;
    alignas(inotify_event) static char buffer[kEventBytes];
    const ssize_t length = read(fd_, buffer, sizeof(buffer));
    for (ssize_t offset = 0; offset < length;) {
        const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
        if (event->len > 0 &&
            ((shaderFiles_ && isShaderFileName(event->name)) || alsoWatched(event->name)))
            lastChange_ = now;
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    if (lastChange_ < 0.0 || now - lastChange_ < settleSeconds)
        return false;
    lastChange_ = -1.0;
    return true;
}
