// Decoding through ffmpeg and reading a clip by position.
#include "inputs/sound/sound_clip.h"

#include "inputs/sound/sound_format.h"
#include "util/child_process.h"
#include "util/text.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

extern char **environ;

namespace {

// Longer files are refused rather than held in memory (about 635 MB).
constexpr long long kMaxSeconds = 30 * 60;
constexpr std::size_t kMaxSamples = kMaxSeconds * kSampleRate * kSoundChannels;
constexpr std::size_t kReadSamples = 1 << 16;

std::vector<std::string> decoderArguments(const std::string &path) {
    // "file:" keeps a name with a colon or a leading dash a file name.
    return {"ffmpeg",
            "-hide_banner",
            "-loglevel",
            "error",
            "-nostdin",
            "-i",
            "file:" + path,
            "-map",
            "0:a:0",
            "-ac",
            std::to_string(kSoundChannels),
            "-ar",
            std::to_string(kSampleRate),
            "-f",
            "f32le",
            "pipe:1"};
}

// ffmpeg's last words, without the file name it starts them with.
std::string lastLine(int file, const std::string &path) {
    std::string text(4096, '\0');
    const ssize_t got = pread(file, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    std::string last = lastLineOf(text);
    const std::string named = "file:" + path + ": ";
    if (last.compare(0, named.size(), named) == 0)
        last.erase(0, named.size());
    return last;
}

std::string checkFile(const std::string &path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error)
        return error.message();
    if (!std::filesystem::is_regular_file(status))
        return "not a regular file";
    return access(path.c_str(), R_OK) == 0 ? "" : std::strerror(errno);
}

} // namespace

std::string decodeSoundFile(const std::string &path, SoundClip &clip) {
    const std::string problem = checkFile(path);
    if (!problem.empty())
        return problem;
    int out[2];
    const int errors = memfd_create("ffmpeg-errors", MFD_CLOEXEC);
    if (errors < 0 || pipe2(out, O_CLOEXEC) != 0) {
        const std::string reason = std::strerror(errno);
        if (errors >= 0)
            close(errors);
        return reason;
    }
    const std::vector<std::string> arguments = decoderArguments(path);
    std::vector<char *> argv = argumentPointers(arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors, STDERR_FILENO);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    std::vector<float> samples;
    std::string reason;
    if (spawned != 0) {
        reason = spawned == ENOENT
                     ? "it needs ffmpeg, which is not installed (Debian package: ffmpeg)"
                     : std::string("cannot start ffmpeg: ") + std::strerror(spawned);
    } else {
        std::size_t bytes = 0;
        for (;;) {
            samples.resize(bytes / sizeof(float) + kReadSamples);
            const ssize_t got = read(out[0], reinterpret_cast<char *>(samples.data()) + bytes,
                                     kReadSamples * sizeof(float));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            bytes += static_cast<std::size_t>(got);
            if (bytes > kMaxSamples * sizeof(float)) {
                reason = "it plays longer than " + std::to_string(kMaxSeconds / 60) + " minutes";
                kill(child, SIGKILL);
                break;
            }
        }
        samples.resize(bytes / sizeof(float) / kSoundChannels * kSoundChannels);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (reason.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            reason = lastLine(errors, path);
            if (reason.empty())
                reason = "ffmpeg could not decode it";
        } else if (reason.empty() && samples.empty()) {
            reason = "it holds no sound";
        }
    }
    close(out[0]);
    close(errors);
    if (reason.empty()) {
        samples.shrink_to_fit();
        clip.samples = std::move(samples);
    }
    return reason;
}

namespace {

// The clip's frame index for position, or -1 for silence.
long long frameIndex(const SoundClip &clip, long long position) {
    const long long frames = clip.frames();
    if (position < 0 || frames == 0)
        return -1;
    if (clip.loop)
        return position % frames;
    return position < frames ? position : -1;
}

} // namespace

void clipFrame(const SoundClip &clip, long long position, float &left, float &right) {
    const long long index = frameIndex(clip, position);
    left = index < 0 ? 0.0f : clip.samples[2 * index];
    right = index < 0 ? 0.0f : clip.samples[2 * index + 1];
}

void clipMonoWindow(const SoundClip &clip, long long end, int count, float *window) {
    for (int i = 0; i < count; ++i) {
        float left = 0.0f, right = 0.0f;
        clipFrame(clip, end - count + i, left, right);
        // Down-mixed as browsers mix stereo to mono.
        window[i] = 0.5f * (left + right);
    }
}

double clipSeconds(const SoundClip &clip, long long position) {
    const long long frames = clip.frames();
    if (position <= 0 || frames == 0)
        return 0.0;
    const long long at = clip.loop ? position % frames : std::min(position, frames);
    return static_cast<double>(at) / kSampleRate;
}
