// An OSC server on a UDP port: messages (alone or in bundles) are received on
// a thread of their own and handed to the frame loop in the order they came.
#pragma once

#include "params/values.h"

#include <array>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr std::size_t kOscPathSize = 128;

struct OscMessage {
    std::array<char, kOscPathSize> path; // cut to fit, always terminated
    GivenValue value;                    // the arguments, when numbers
    bool numbers;                        // one to four arguments, each a number
};

// PORT, or HOST:PORT, with PORT from 1 to 65535; HOST is 127.0.0.1 when not
// given.
bool parseOscAddress(const std::string &text, std::string &host, std::string &port);

class OscServer {
  public:
    OscServer() = default;
    OscServer(const OscServer &) = delete;
    OscServer &operator=(const OscServer &) = delete;
    // Stops the receiving thread, then closes the socket.
    ~OscServer();

    // Binds the socket; returns an empty string or the reason it cannot.
    std::string listen(const std::string &address);
    bool listening() const { return socket_ >= 0; }

    // Starts receiving. wake, when given, is called from the receiving thread
    // when a message arrives and none was waiting to be taken.
    void start(void (*wake)());

    // Hands over the messages received since the last call, oldest first;
    // taken is cleared first and its storage reused.
    void take(std::vector<OscMessage> &taken);

  private:
    void receive();
    void unpack(char *data, std::size_t size, int depth);
    void queue(char *data, std::size_t size);

    int socket_ = -1;
    int stop_ = -1; // an eventfd the destructor writes to end the thread
    void (*wake_)() = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<OscMessage> received_;
};
