// A lock shared by every process of the machine: flock(2) on a lock file
// named after the object. The kernel drops the lock of a process that dies,
// so an abandoned lock is simply taken over.
#pragma once

#include "platform/files.h"
#include "platform/named_objects.h"

#include <string>

namespace platform {

class NamedLock {
public:
    // Opens the lock file, creating it with the attributes' mode when
    // missing. Throws LTException "Can't create mutex" with errno. Where
    // the folder itself is missing no service runs (it makes the folder
    // before its objects): the lock then waits for nothing until the file
    // can be opened.
    NamedLock(const std::string& name, const SecurityAttributes* attributes);

    // Waits without time-out. Each NamedLock is its own open file
    // description, so two of one process exclude each other too: never wait
    // twice on one thread.
    void wait();
    // Waits only if free; true when taken.
    bool tryWait();
    void release();

private:
    // Opens the file when it has not been; false while its folder is missing.
    bool opened();
    // Whether the file locked is still the one the name stands for; if not,
    // lets go of it so that the next try opens the one that is.
    bool stillTheLock();

    std::string path;
    mode_t mode;
    UniqueFd fd;
};

// Holds a NamedLock for one scope, released also when an exception leaves.
class NamedLockGuard {
public:
    explicit NamedLockGuard(NamedLock& lock) : lock(lock) { lock.wait(); }
    ~NamedLockGuard() { lock.release(); }
    NamedLockGuard(const NamedLockGuard&) = delete;
    NamedLockGuard& operator=(const NamedLockGuard&) = delete;

private:
    NamedLock& lock;
};

// The monitor's single-instance object: the lock file NAME.lock of a
// "Local\\NAME" object, taken without waiting and held for the object's
// life; the kernel lets go of it when the process ends.
class InstanceLock {
public:
    InstanceLock(const std::string& name, const SecurityAttributes* attributes);
    bool isHeld() const { return held; }
    // Another process holds it.
    bool alreadyExists() const { return busy; }
    // errno of a failure that is not alreadyExists().
    int lastError() const { return error; }

private:
    UniqueFd fd;
    bool held = false;
    bool busy = false;
    int error = 0;
};

} // namespace platform
