// The OSC socket and its receiving thread; liblo reads each message.
#include "params/osc.h"

#include <lo/lo_lowlevel.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

const char *const kDefaultHost = "127.0.0.1";
constexpr int kMostPort = 65535;
constexpr std::size_t kDatagramSize = 65536;
constexpr char kBundleTag[] = "#bundle"; // with its terminating zero, eight bytes
constexpr std::size_t kBundleHeader = sizeof(kBundleTag) + 8; // and a time tag
constexpr int kMostNesting = 8;
// Bounds what a stalled frame loop can pile up; a burst for one parameter
// never gets near it, as each message replaces the one before.
constexpr std::size_t kMostWaiting = 1 << 16;
constexpr int kMostArguments = 4;

bool own(const char *path) {
    return std::strncmp(path, "/quorlin/", std::strlen("/quorlin/")) == 0;
}

// Of a run of values of one shape for one parameter, only the last can
// matter; one of another shape may need its line.
bool sameKind(const OscMessage &a, const OscMessage &b) {
    return !own(a.path.data()) && std::strcmp(a.path.data(), b.path.data()) == 0 &&
           a.numbers == b.numbers && a.value.count == b.value.count;
}

// liblo's arguments lie four bytes apart, so an eight-byte one may be
// misaligned for its union: copied, not read through it.
template <typename T> T argument(const lo_arg *arg) {
    T value;
    std::memcpy(&value, arg, sizeof(value));
    return value;
}

} // namespace

bool parseOscAddress(const std::string &text, std::string &host, std::string &port) {
    const std::size_t colon = text.rfind(':');
    host = colon == std::string::npos ? kDefaultHost : text.substr(0, colon);
    port = colon == std::string::npos ? text : text.substr(colon + 1);
    int number = 0;
    const char *end = port.data() + port.size();
    const auto [stop, error] = std::from_chars(port.data(), end, number);
    return !host.empty() && !port.empty() && error == std::errc() && stop == end && number >= 1 &&
           number <= kMostPort;
}

OscServer::~OscServer() {
    if (thread_.joinable()) {
        // An eventfd refuses a write only when its counter would overflow.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof(one));
        thread_.join();
    }
    if (stop_ >= 0)
        close(stop_);
    if (socket_ >= 0)
        close(socket_);
}

std::string OscServer::listen(const std::string &address) {
    std::string host, port;
    parseOscAddress(address, host, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (const int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &found))
        return gai_strerror(error);
    const int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool bound = fd >= 0 && bind(fd, found->ai_addr, found->ai_addrlen) == 0;
    const int error = errno;
    freeaddrinfo(found);
    if (!bound) {
        if (fd >= 0)
            close(fd);
        return std::strerror(error);
    }
    socket_ = fd;
    stop_ = eventfd(0, EFD_CLOEXEC);
    return stop_ >= 0 ? "" : std::strerror(errno);
}

void OscServer::start(void (*wake)()) {
    wake_ = wake;
    thread_ = std::thread(&OscServer::receive, this);
}

void OscServer::take(std::vector<OscMessage> &taken) {
    taken.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(taken, received_);
}

void OscServer::receive() {
    std::vector<char> datagram(kDatagramSize);
    pollfd watched[] = {{socket_, POLLIN, 0}, {stop_, POLLIN, 0}};
    while (poll(watched, 2, -1) >= 0 || errno == EINTR) {
        if (watched[1].revents != 0)
            return;
        ssize_t size = 0;
        while ((size = recv(socket_, datagram.data(), datagram.size(), MSG_DONTWAIT)) > 0)
            unpack(datagram.data(), static_cast<std::size_t>(size), 0);
    }
}

// A bundle's elements are each a size and a message or a bundle; its time tag
// is not kept: everything applies at the next frame.
void OscServer::unpack(char *data, std::size_t size, int depth) {
    if (size < kBundleHeader || std::memcmp(data, kBundleTag, sizeof(kBundleTag)) != 0) {
        queue(data, size);
        return;
    }
    for (std::size_t at = kBundleHeader; depth < kMostNesting && at + 4 <= size;) {
        std::uint32_t length = 0;
        std::memcpy(&length, data + at, sizeof(length));
        length = ntohl(length);
        at += sizeof(length);
        if (length > size - at)
            return;
        unpack(data + at, length, depth + 1);
        at += length;
    }
}

void OscServer::queue(char *data, std::size_t size) {
    const char *path = lo_get_path(data, static_cast<ssize_t>(size));
    if (path == nullptr)
        return;
    OscMessage message{};
    std::strncpy(message.path.data(), path, kOscPathSize - 1);
    if (lo_message m = lo_message_deserialise(data, size, nullptr)) {
        const int count = lo_message_get_argc(m);
        const char *types = lo_message_get_types(m);
        lo_arg **argv = lo_message_get_argv(m);
        message.numbers = count >= 1 && count <= kMostArguments;
        message.value.count = count;
        for (int i = 0; message.numbers && i < count; ++i) {
            float &component = message.value.components[static_cast<std::size_t>(i)];
            switch (types[i]) {
            case LO_FLOAT:
                component = argument<float>(argv[i]);
                break;
            case LO_INT32:
                component = static_cast<float>(argument<std::int32_t>(argv[i]));
                break;
            case LO_DOUBLE:
                component = static_cast<float>(argument<double>(argv[i]));
                break;
            case LO_INT64:
                component = static_cast<float>(argument<std::int64_t>(argv[i]));
                break;
            default:
                message.numbers = false;
            }
        }
        lo_message_free(m);
    }
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasEmpty = received_.empty();
        if (!wasEmpty && sameKind(received_.back(), message))
            received_.back() = message;
        else if (received_.size() < kMostWaiting)
            received_.push_back(message);
    }
    if (wasEmpty && wake_ != nullptr)
        wake_();
}
