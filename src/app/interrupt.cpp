// A thread that waits for the signals that the other threads block.
#include "app/interrupt.h"

#include <GLFW/glfw3.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

std::atomic<int> caught{0};
std::mutex wakeMutex;
bool waking = false;

sigset_t interrupts() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

[[noreturn]] void waitForInterrupts(sigset_t set) {
    int signal = 0;
    sigwait(&set, &signal);
    caught = signal;
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        if (waking)
            glfwPostEmptyEvent();
    }
    // A second one, while the file is being finished, ends the process as the
    // signal would have without this thread.
    sigwait(&set, &signal);
    std::signal(signal, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    for (;;)
        pause();
}

} // namespace

void catchInterrupts() {
    const sigset_t set = interrupts();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(waitForInterrupts, set).detach();
}

void wakeOnInterrupt(bool wake) {
    std::lock_guard<std::mutex> lock(wakeMutex);
    waking = wake;
}

int interruptSignal() {
    return caught;
}
