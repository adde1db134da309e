#include "platform/named_lock.h"

#include "errors/ltexception.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace platform {

namespace {

int openLockFile(const std::string& path, mode_t mode)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
        ::fchmod(fd, mode); // the umask must not lock other accounts out
        return fd;
    }
    // A reader in a read-only sandbox may meet the folder read-only.
    if (errno != EEXIST && errno != EROFS)
        return -1;
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    // Another account's lock file may be read-only for us, or the folder
    // read-only to a sandboxed reader; flock works on it.
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

int flockRetrying(int fd, int operation)
{
    int rc;
    do
        rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace

NamedLock::NamedLock(const std::string& name, const SecurityAttributes* attributes)
    : path(namedObjectPath(name)), mode(creationMode(attributes))
{
    if (!opened() && errno != ENOENT)
        throw LTException("Can't create mutex", errno);
}

bool NamedLock::opened()
{
    if (!fd)
        fd.reset(openLockFile(path, mode));
    return static_cast<bool>(fd);
}

void NamedLock::wait()
{
    if (!opened())
        return; // no folder, no service to exclude
    // A valid descriptor cannot fail here but for a kernel out of memory;
    // going on unlocked would let a reader see half a frame.
    if (flockRetrying(fd.get(), LOCK_EX) != 0)
        throw LTException("Can't wait for mutex", errno);
}

bool NamedLock::tryWait()
{
    if (!opened())
        return true;
    if (flockRetrying(fd.get(), LOCK_EX | LOCK_NB) == 0)
        return true;
    if (errno == EWOULDBLOCK)
        return false;
    throw LTException("Can't wait for mutex", errno);
}

void NamedLock::release()
{
    if (fd)
        flockRetrying(fd.get(), LOCK_UN);
}

InstanceLock::InstanceLock(const std::string& name, const SecurityAttributes* attributes)
    : fd(openLockFile(namedObjectPath(name) + ".lock", creationMode(attributes)))
{
    if (!fd) {
        error = errno;
        return;
    }
    if (flockRetrying(fd.get(), LOCK_EX | LOCK_NB) == 0)
        held = true;
    else if (errno == EWOULDBLOCK)
        busy = true;
    else
        error = errno;
}

} // namespace platform
