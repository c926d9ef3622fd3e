// The benchmark's OSC sender: PATH with one float, RATE messages a second for
// SECONDS to 127.0.0.1:PORT, the float counting up from 0 by 0.001 and
// wrapping at 1, then one last message with LAST. Prints how many it sent.
// Usage: quorlin_osc_sender PORT RATE SECONDS PATH LAST
#include <lo/lo_lowlevel.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kTicksPerSecond = 1000; // messages go out in a bunch each millisecond
constexpr float kCountStep = 0.001f;

// The message serialised once; its float, the last four bytes, is rewritten in place.
std::vector<char> serialise(const char *path) {
    lo_message message = lo_message_new();
    lo_message_add_float(message, 0.0f);
    std::size_t size = 0;
    void *bytes = lo_message_serialise(message, path, nullptr, &size);
    std::vector<char> data(static_cast<char *>(bytes), static_cast<char *>(bytes) + size);
    std::free(bytes);
    lo_message_free(message);
    return data;
}

void send(int fd, std::vector<char> &data, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    bits = htonl(bits);
    std::memcpy(data.data() + data.size() - sizeof(bits), &bits, sizeof(bits));
    // A full socket buffer or nobody listening loses the message, as UDP does.
    (void)::send(fd, data.data(), data.size(), 0);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s PORT RATE SECONDS PATH LAST\n", argv[0]);
        return 2;
    }
    const int rate = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[1])));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof(to)) != 0) {
        std::perror("socket");
        return 1;
    }
    std::vector<char> data = serialise(argv[4]);
    const auto start = std::chrono::steady_clock::now();
    const long ticks = static_cast<long>(seconds * kTicksPerSecond);
    long sent = 0;
    float value = 0.0f;
    for (long tick = 1; tick <= ticks; ++tick) {
        // Whole messages due by this tick, so the rate holds whatever the sleeps.
        for (const long due = tick * rate / kTicksPerSecond; sent < due; ++sent) {
            value = value + kCountStep < 1.0f ? value + kCountStep : 0.0f;
            send(fd, data, value);
        }
        std::this_thread::sleep_until(start + std::chrono::microseconds(tick * 1000000 / kTicksPerSecond));
    }
    send(fd, data, static_cast<float>(std::atof(argv[5])));
    std::printf("%ld\n", sent + 1);
    close(fd);
    return 0;
}
