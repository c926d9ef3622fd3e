// The decoding child and the memory it shares with the program.
#include "inputs/decode_apart.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Before the pixels: the mapping's length, then the child's reason for failing.
constexpr std::size_t kHeadBytes = 4096;
constexpr std::size_t kReasonOffset = sizeof(std::size_t);
constexpr std::size_t kReasonBytes = kHeadBytes - kReasonOffset;
// Distinct from the status a sanitizer runtime ends a process with.
constexpr int kRefusedStatus = 3;

void unmapPixels(void *pixels) {
    unsigned char *head = static_cast<unsigned char *>(pixels) - kHeadBytes;
    std::size_t length = 0;
    std::memcpy(&length, head, sizeof length);
    munmap(head, length);
}

// Runs in the child: only the decoder, then _exit, so nothing of the
// program's own state is flushed or torn down twice. A dying decoder's last
// words would only land on the user's terminal, so they go nowhere.
[[noreturn]] void decodeInChild(const unsigned char *bytes, std::size_t size, bool upright,
                                DecodedImage &image, unsigned char *head) {
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0)
        dup2(quiet, STDERR_FILENO);
    const std::string problem = decodePixels(bytes, size, upright, image);
    if (!problem.empty()) {
        std::strncpy(reinterpret_cast<char *>(head + kReasonOffset), problem.c_str(),
                     kReasonBytes - 1);
        _exit(kRefusedStatus);
    }
    std::memcpy(head + kHeadBytes, image.pixels.get(), image.bytes);
    _exit(0);
}

std::string childFailure(int status, const unsigned char *head) {
    if (WIFSIGNALED(status))
        return std::string("the decoder crashed on it (") + strsignal(WTERMSIG(status)) + ")";
    if (WEXITSTATUS(status) == kRefusedStatus)
        return reinterpret_cast<const char *>(head + kReasonOffset);
    return "the decoder crashed on it (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
}

} // namespace

std::string decodeApart(const unsigned char *bytes, std::size_t size, int maxSide, bool upright,
                        DecodedImage &image) {
    // The header alone says how much the child will hand back.
    const std::string problem = checkImageHeader(bytes, size, maxSide, image);
    if (!problem.empty())
        return problem;
    const std::size_t length = kHeadBytes + image.bytes;
    void *mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return std::strerror(errno);
    auto *head = static_cast<unsigned char *>(mapped);
    std::memcpy(head, &length, sizeof length);

    const pid_t child = fork();
    if (child == 0)
        decodeInChild(bytes, size, upright, image, head);
    int status = 0;
    std::string reason;
    if (child < 0 || waitpid(child, &status, 0) != child)
        reason = std::strerror(errno);
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        reason = childFailure(status, head);
    if (!reason.empty()) {
        munmap(mapped, length);
        return reason;
    }
    image.pixels = {head + kHeadBytes, unmapPixels};
    return "";
}
