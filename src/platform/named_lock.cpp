#include "platform/named_lock.h"

#include "errors/ltexception.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace platform {

namespace {

// A lock meant for its own account alone (no access for others) is not
// one that another account may have opened before: flock works on any
// descriptor, and a descriptor kept from then could hold the lock for ever.
// Such a file is replaced (by a service, in its own folder).
bool othersMayHaveOpened(int fd, mode_t mode)
{
    struct stat st {};
    return (mode & 077) == 0 && ::fstat(fd, &st) == 0 && (!S_ISREG(st.st_mode) || (st.st_mode & 077) != 0);
}

int openLockFile(const std::string& path, mode_t mode)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            ::fchmod(fd, mode); // the umask must not lock other accounts out
            return fd;
        }
        // A reader in a read-only sandbox may meet the folder read-only.
        if (errno != EEXIST && errno != EROFS)
            return -1;
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        // Another account's lock file may be read-only for us, or the folder
        // read-only to a sandboxed reader; flock works on it.
        if (fd < 0 && (errno == EACCES || errno == EROFS))
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0 && errno == ENOENT)
            continue; // replaced meanwhile: only the creating open tells a missing folder
        if (fd < 0 || !othersMayHaveOpened(fd, mode))
            return fd;
        // Only the file looked at: another opener may have replaced it already.
        const bool named = pathNamesOpenFile(fd, path);
        ::close(fd);
        if (named && ::unlink(path.c_str()) != 0 && errno != ENOENT)
            return -1;
    }
    errno = EAGAIN;
    return -1;
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
    while (opened()) {
        // A valid descriptor cannot fail here but for a kernel out of
        // memory; going on unlocked would let two passes meet.
        if (flockRetrying(fd.get(), LOCK_EX) != 0)
            throw LTException("Can't wait for mutex", errno);
        if (stillTheLock())
            return;
    }
    if (errno != ENOENT)
        throw LTException("Can't create mutex", errno);
    // No folder, no service to exclude.
}

bool NamedLock::tryWait()
{
    while (opened()) {
        if (flockRetrying(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK)
                return false;
            throw LTException("Can't wait for mutex", errno);
        }
        if (stillTheLock())
            return true;
    }
    if (errno != ENOENT)
        throw LTException("Can't create mutex", errno);
    return true;
}

bool NamedLock::stillTheLock()
{
    // A lock file that others could have opened is replaced by a new one
    // (openLockFile): a lock on the old one excludes nobody any more.
    if (pathNamesOpenFile(fd.get(), path))
        return true;
    fd.reset();
    return false;
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
