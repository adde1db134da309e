// An auto-reset event that one thread waits for with a time-out. Besides
// set(), descriptors attached to it (a netlink listener) can wake it.
#pragma once

#include "platform/files.h"

#include <memory>
#include <vector>

namespace platform {

enum class WaitResult { Signaled, Timeout, Abandoned, Error };

// Wakes an Event when its descriptor has something to read.
class EventSource {
public:
    virtual ~EventSource() = default;
    virtual int descriptor() const = 0;
    // Reads everything pending; true when it counts as a signal.
    virtual bool consume() = 0;
};

class Event {
public:
    // Not signalled. Throws LTException "Can't create event" with errno.
    Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Callable from any thread; signals stay until one wait takes them.
    void set();
    WaitResult waitFor(int milliseconds);
    void attach(std::unique_ptr<EventSource> source);

private:
    UniqueFd eventFd;
    std::vector<std::unique_ptr<EventSource>> sources;
};

} // namespace platform
