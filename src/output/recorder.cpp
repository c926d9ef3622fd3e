// The writer threads and the ffmpeg child process.
#include "output/recorder.h"

#include "inputs/sound/sound_format.h"
#include "output/picture.h"
#include "util/child_process.h"
#include "util/text.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <sstream>

extern char **environ;

namespace {

constexpr int kChannels = 4;
enum Channel { kBlue, kGreen, kRed, kAlpha }; // as frames arrive
constexpr unsigned char kOpaque = 255;
// Buffers beyond one a writer: the renderer fills one while the writers work.
constexpr int kSpareBuffers = 2;
// A larger pipe lets ffmpeg read a whole frame at a time.
constexpr int kPipeBytes = 1 << 20;
constexpr int kEncoderLines = 5;
constexpr const char *kEncoder = "ffmpeg";
constexpr int kAudioInput = 3;                   // the audio track's file descriptor in ffmpeg
constexpr const char *kOpusLookAhead = "0.0065"; // libopus's 312 samples at 48 kHz
constexpr const char *kReaderClosed = "the reader closed the stream";
constexpr const char kFrameMarker[] = "FRAME\n";
// The stream's rate as a fraction with a numerator that fits 31 bits.
constexpr double kRateDenominator = 1e6;
constexpr double kLargestNumerator = 2147483647.0;

std::size_t frameBytes(FrameFormat format, glm::ivec2 size) {
    const std::size_t pixels = static_cast<std::size_t>(size.x) * size.y;
    switch (format) {
    case FrameFormat::kYuv420:
        return pixels + 2 * (pixels / 4);
    case FrameFormat::kYuv444:
        return 3 * pixels;
    case FrameFormat::kBgra:
        break;
    }
    return kChannels * pixels;
}

// A YUV4MPEG2 stream's header: the size, the rate as a fraction, progressive,
// square pixels, full-size chroma, and the colours it carries, which players
// would otherwise take for BT.601.
std::string streamHeader(glm::ivec2 size, double rate) {
    const double denominator = std::min(kRateDenominator, std::floor(kLargestNumerator / rate));
    long long numerator = std::llround(rate * denominator);
    long long divisor = std::llround(denominator);
    const long long common = std::gcd(numerator, divisor);
    numerator /= common;
    divisor /= common;
    return "YUV4MPEG2 W" + std::to_string(size.x) + " H" + std::to_string(size.y) + " F" +
           std::to_string(numerator) + ":" + std::to_string(divisor) +
           " Ip A1:1 C444 XCOLORRANGE=LIMITED XCOLORMATRIX=BT709\n";
}

std::string rateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.10g", rate);
    return text;
}

// What a person would pick: H.264 at high quality, VP9, or a GIF with a
// palette made per frame so that the encoder holds no frame back.
// Converted frames arrive as the codec takes them, so ffmpeg only encodes;
// their colours are told to players.
std::vector<std::string> encoderArguments(const RecordingTarget &target, glm::ivec2 size) {
    const bool converted = target.format == FrameFormat::kYuv420;
    std::vector<std::string> arguments = {kEncoder,
                                          "-hide_banner",
                                          "-loglevel",
                                          "error",
                                          "-y",
                                          "-f",
                                          "rawvideo",
                                          "-pix_fmt",
                                          converted ? "yuv420p" : "bgr0",
                                          "-video_size",
                                          std::to_string(size.x) + "x" + std::to_string(size.y),
                                          "-framerate",
                                          rateText(target.rate),
                                          "-i",
                                          "pipe:0"};
    // The audio track: raw floats through a second pipe, AAC or Opus.
    if (target.audio) {
        const bool webm = endsWith(target.path, ".webm");
        // ffmpeg's WebM muxer moves the pictures later by Opus's look-ahead;
        // the sound is moved by as much, so the two stay in step.
        if (webm)
            arguments.insert(arguments.end(), {"-itsoffset", kOpusLookAhead});
        // Raw samples need no probing, which would wait for seconds of them.
        arguments.insert(arguments.end(),
                         {"-probesize", "32", "-analyzeduration", "0", "-f", "f32le", "-ar",
                          std::to_string(kSampleRate), "-ac", std::to_string(kSoundChannels), "-i",
                          "pipe:" + std::to_string(kAudioInput), "-c:a", webm ? "libopus" : "aac"});
    }
    std::vector<std::string> codec;
    if (endsWith(target.path, ".gif"))
        codec = {"-vf", "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1"};
    else if (endsWith(target.path, ".webm"))
        codec = {"-c:v", "libvpx-vp9", "-crf", "31", "-b:v", "0", "-row-mt", "1"};
    else
        codec = {"-c:v", "libx264", "-crf", "18"};
    arguments.insert(arguments.end(), codec.begin(), codec.end());
    if (converted)
        arguments.insert(arguments.end(), {"-colorspace", "bt709", "-color_primaries", "bt709",
                                           "-color_trc", "bt709", "-color_range", "tv"});
    // "file:" keeps a name with a colon or a leading dash a file name.
    arguments.push_back("file:" + target.path);
    return arguments;
}

std::string sequenceFile(const RecordingTarget &target, int frame) {
    std::string number = std::to_string(frame);
    if (static_cast<int>(number.size()) < target.digits)
        number.insert(0, target.digits - number.size(), '0');
    return target.prefix + number + target.suffix;
}

// GL's rows run bottom up, a file's top down.
void copyUpright(const unsigned char *pixels, glm::ivec2 size, unsigned char *out) {
    const std::size_t rowBytes = static_cast<std::size_t>(size.x) * kChannels;
    for (int y = 0; y < size.y; ++y)
        std::memcpy(out + y * rowBytes, pixels + (size.y - 1 - y) * rowBytes, rowBytes);
}

std::string lastLines(int file) {
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    for (off_t at = 0; (got = pread(file, chunk, sizeof(chunk), at)) > 0; at += got)
        text.append(chunk, static_cast<std::size_t>(got));
    std::vector<std::string> lines;
    std::string line;
    std::istringstream stream(text);
    while (std::getline(stream, line))
        if (const std::size_t start = line.find_first_not_of(" \t\r"); start != std::string::npos)
            lines.push_back(line.substr(start, line.find_last_not_of(" \t\r") + 1 - start));
    std::string shown;
    for (std::size_t i = lines.size() > kEncoderLines ? lines.size() - kEncoderLines : 0;
         i < lines.size(); ++i)
        shown += "\n  " + lines[i];
    return shown;
}

} // namespace

Recorder::Recorder(const RecordingTarget &target) : target_(target), fileSize_(target.size) {
    const int writers =
        target.sequence ? std::max(1, static_cast<int>(std::thread::hardware_concurrency())) : 1;
    if (target.format == FrameFormat::kYuv420)
        fileSize_ += fileSize_ % 2;
    const int count = writers + kSpareBuffers;
    buffers_.assign(count, std::vector<unsigned char>(frameBytes(target.format, fileSize_)));
    ready_.resize(count);
    for (int i = 0; i < count; ++i)
        free_.push_back(i);
    if (target.stream >= 0) {
        pipe_ = target.stream;
        streamHeader_ = streamHeader(fileSize_, target.rate);
    } else if (!target.sequence) {
        startEncoder();
    }
    // A pipe that ffmpeg closed must fail the write, not end the process:
    // SIGPIPE stays blocked in the writers, which inherit this mask.
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    for (int i = 0; i < writers; ++i)
        writers_.emplace_back(&Recorder::write, this);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

Recorder::~Recorder() {
    finish();
    if (errors_ >= 0)
        close(errors_);
}

void Recorder::startEncoder() {
    int ends[2];
    int audio[2] = {-1, -1};
    errors_ = memfd_create("ffmpeg-errors", MFD_CLOEXEC);
    if (errors_ < 0 || pipe2(ends, O_CLOEXEC) != 0 ||
        (target_.audio && pipe2(audio, O_CLOEXEC) != 0)) {
        failure_ = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return;
    }
    fcntl(ends[1], F_SETPIPE_SZ, kPipeBytes);
    if (target_.audio)
        fcntl(audio[1], F_SETPIPE_SZ, kPipeBytes);
    const std::vector<std::string> arguments = encoderArguments(target_, fileSize_);
    std::vector<char *> argv = argumentPointers(arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors_, STDERR_FILENO);
    if (target_.audio)
        posix_spawn_file_actions_adddup2(&actions, audio[0], kAudioInput);
    // A group of its own, so that a Ctrl-C at the terminal reaches only the
    // program, which then ends the file; and none of the program's blocked signals.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    pid_t child = -1;
    const int error =
        posix_spawn(&child, target_.encoder.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
    pipe_ = ends[1];
    if (target_.audio) {
        close(audio[0]);
        audio_ = audio[1];
    }
    if (error != 0)
        failure_ = std::string("cannot start ffmpeg: ") + std::strerror(error);
    else
        encoder_ = child;
}

void Recorder::submit(const unsigned char *pixels) {
    int buffer = 0;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        freed_.wait(lock, [this] { return !free_.empty(); });
        buffer = free_.back();
        free_.pop_back();
    }
    if (target_.format == FrameFormat::kBgra)
        copyUpright(pixels, target_.size, buffers_[buffer].data());
    else
        std::memcpy(buffers_[buffer].data(), pixels, buffers_[buffer].size());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_[(readyHead_ + readyCount_) % ready_.size()] = {buffer,
                                                              target_.firstFrame + submitted_++};
        ++readyCount_;
    }
    filled_.notify_one();
}

bool Recorder::failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !failure_.empty();
}

bool Recorder::readerClosed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_ == kReaderClosed;
}

void Recorder::write() {
    for (;;) {
        Frame frame{};
        bool skip = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            filled_.wait(lock, [this] { return readyCount_ > 0 || closing_; });
            if (readyCount_ == 0)
                return;
            frame = ready_[readyHead_];
            readyHead_ = (readyHead_ + 1) % ready_.size();
            --readyCount_;
            skip = !failure_.empty();
        }
        const std::string error = skip ? "" : writeFrame(buffers_[frame.buffer], frame.number);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (failure_.empty())
                failure_ = error;
            free_.push_back(frame.buffer);
        }
        freed_.notify_one();
    }
}

std::string Recorder::writeFrame(std::vector<unsigned char> &pixels, int number) {
    if (target_.sequence) {
        // RGBA for the file, opaque whatever alpha the shader wrote.
        for (std::size_t i = 0; i < pixels.size(); i += kChannels) {
            std::swap(pixels[i + kBlue], pixels[i + kRed]);
            pixels[i + kAlpha] = kOpaque;
        }
        const std::string file = sequenceFile(target_, number);
        const std::string error = writePicture(pixels.data(), fileSize_.x, fileSize_.y, file);
        return error.empty() ? "" : file + ": " + error;
    }
    std::string error;
    if (!streamHeader_.empty()) {
        error = writeAll(streamHeader_.data(), streamHeader_.size());
        streamHeader_.clear();
    }
    if (error.empty() && target_.stream >= 0)
        error = writeAll(kFrameMarker, sizeof(kFrameMarker) - 1);
    return error.empty() ? writeAll(pixels.data(), pixels.size()) : error;
}

std::string Recorder::writeAll(const void *data, std::size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = ::write(pipe_, bytes + done, size - done);
        if (written >= 0) {
            done += static_cast<std::size_t>(written);
        } else if (errno == EPIPE) {
            // Taken off this thread, where it waits while blocked.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            const timespec now{};
            sigtimedwait(&pipeSignal, nullptr, &now);
            return target_.stream >= 0 ? kReaderClosed : "ffmpeg stopped reading";
        } else if (errno != EINTR) {
            return std::string(target_.stream >= 0 ? "cannot write the stream: "
                                                   : "cannot write to ffmpeg: ") +
                   std::strerror(errno);
        }
    }
    return "";
}

std::string Recorder::finish() {
    if (finished_)
        return failure_;
    finished_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    filled_.notify_all();
    for (std::thread &writer : writers_)
        writer.join();
    if (target_.sequence)
        return failure_;
    if (pipe_ >= 0)
        close(pipe_);
    if (audio_ >= 0)
        close(audio_);
    if (target_.stream >= 0)
        return failure_;
    int status = 0;
    if (encoder_ > 0) {
        while (waitpid(encoder_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    std::string reason = failure_;
    if (encoder_ > 0 && WIFEXITED(status) && WEXITSTATUS(status) != 0)
        reason = "ffmpeg exited with status " + std::to_string(WEXITSTATUS(status));
    else if (encoder_ > 0 && WIFSIGNALED(status))
        reason = "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    if (!reason.empty() && errors_ >= 0)
        reason += lastLines(errors_);
    failure_ = reason;
    return failure_;
}
