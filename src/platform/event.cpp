#include "platform/event.h"

#include "errors/ltexception.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

Event::Event() : eventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!eventFd)
        throw LTException("Can't create event", errno);
}

void Event::set()
{
    const std::uint64_t one = 1;
    (void)!::write(eventFd.get(), &one, sizeof one);
}

void Event::attach(std::unique_ptr<EventSource> source) { sources.push_back(std::move(source)); }

WaitResult Event::waitFor(int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::vector<pollfd> fds(1 + sources.size());
    fds[0] = {eventFd.get(), POLLIN, 0};
    for (std::size_t i = 0; i < sources.size(); ++i)
        fds[i + 1] = {sources[i]->descriptor(), POLLIN, 0};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = ::poll(fds.data(), fds.size(), left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return WaitResult::Error;
        if (ready == 0)
            return WaitResult::Timeout;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            (void)!::read(eventFd.get(), &count, sizeof count); // the reset of an auto-reset event
            return WaitResult::Signaled;
        }
        bool signaled = false;
        for (std::size_t i = 0; i < sources.size(); ++i)
            if (fds[i + 1].revents & (POLLIN | POLLERR))
                signaled = sources[i]->consume() || signaled;
        if (signaled)
            return WaitResult::Signaled;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (fds[i + 1].revents & (POLLHUP | POLLNVAL)) {
                // A source that can never signal again: reported once, then
                // dropped, so that later waits do not spin on it.
                sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
                return WaitResult::Abandoned;
            }
        }
    }
}

} // namespace platform
