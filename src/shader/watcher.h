// Watches the shader directory for changes to the set's files (written in
// place, renamed over, deleted and re-created) with inotify, and the
// subfolders that hold files the set reads.
#pragma once

#include <string>
#include <utility>
#include <vector>

class ShaderWatcher {
  public:
    // shaderFiles false: only the names given to watchAlso count.
    explicit ShaderWatcher(bool shaderFiles = true) : shaderFiles_(shaderFiles) {}
    ShaderWatcher(const ShaderWatcher &) = delete;
    ShaderWatcher &operator=(const ShaderWatcher &) = delete;
    ~ShaderWatcher();

    // Returns an empty string, or why the directory cannot be watched.
    std::string open(const std::string &dir);

    // Also reports changes to these files, named relative to the directory;
    // a subfolder that holds one is watched from now on, if it exists.
    void watchAlso(const std::vector<std::string> &names);

    // One non-blocking read a call. True once per burst of changes, when the
    // last of them is settleSeconds old: one save arrives as several events,
    // and a file is built only after its writer is done.
    bool changed(double now);

    static constexpr double settleSeconds = 0.05;

  private:
    bool watched(int folder, const char *name) const;

    bool shaderFiles_;
    int fd_ = -1;
    std::string dir_;
    std::vector<std::pair<int, std::string>> folders_; // watch and its prefix: "" or "sub/"
    std::vector<std::string> alsoWatched_;
    double lastChange_ = -1.0; // below zero: nothing pending
};
