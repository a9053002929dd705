// The message queue of the windows: messages posted to a window or the thread,
// taken in order by peekMessage, which first turns waiting SDL events into
// messages.

#include <array>
#include <cstddef>

#include "platform/window.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

// A fixed ring: pumping the queue never allocates. When it is full, further
// input waits in SDL's own queue until there is room again.
constexpr std::size_t kQueueCapacity = 256;
std::array<Message, kQueueCapacity> queue;
std::size_t queueHead = 0;
std::size_t queueCount = 0;

bool quitPosted = false;
int quitCode = 0;

}  // namespace

namespace detail {

bool isQueued(WindowRecord* window, std::uint32_t message) {
    for (std::size_t i = 0; i < queueCount; ++i) {
        const Message& queued = queue[(queueHead + i) % kQueueCapacity];
        if (queued.window == window && queued.message == message) {
            return true;
        }
    }
    return false;
}

void purgeQueue(WindowRecord* window) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < queueCount; ++i) {
        const Message queued = queue[(queueHead + i) % kQueueCapacity];
        if (queued.window != window) {
            queue[(queueHead + kept) % kQueueCapacity] = queued;
            ++kept;
        }
    }
    queueCount = kept;
}

std::size_t queueRoom() { return kQueueCapacity - queueCount; }

}  // namespace detail

bool peekMessage(Message* message, bool remove) {
    if (message == nullptr) {
        return false;
    }
    detail::pumpEvents();
    if (queueCount > 0) {
        *message = queue[queueHead];
        if (remove) {
            queueHead = (queueHead + 1) % kQueueCapacity;
            --queueCount;
        }
        return true;
    }
    if (quitPosted) {
        *message = Message{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0};
        if (remove) {
            quitPosted = false;
        }
        return true;
    }
    return false;
}

void translateMessage(const Message& message) {
    // Character messages are not needed: the game reads virtual keys only.
    (void)message;
}

LRESULT dispatchMessage(const Message& message) {
    return detail::sendMessage(detail::liveWindow(message.window), message.message, message.wParam, message.lParam);
}

void postQuitMessage(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

bool postMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    if ((window != nullptr && detail::liveWindow(window) == nullptr) || queueCount == kQueueCapacity) {
        return false;
    }
    queue[(queueHead + queueCount) % kQueueCapacity] = Message{window, message, wParam, lParam};
    ++queueCount;
    return true;
}

}  // namespace plat
