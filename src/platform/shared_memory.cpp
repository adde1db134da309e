#include "platform/shared_memory.h"

#include "common/dbglogger.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

// A reader checks for an owner with a brief shared lock; the owner's own
// try may meet it, so it tries a few times before it gives up.
bool takeOwnership(int fd)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

SharedMemory::~SharedMemory() { close(); }

void SharedMemory::close()
{
    if (view)
        ::munmap(view, length);
    view = nullptr;
    fd.reset();
}

void SharedMemory::create(const std::string& name, std::size_t size, const SecurityAttributes* attributes)
{
    close();
    path = namedObjectPath(name);
    const mode_t mode = creationMode(attributes);
    UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode));
    if (!file)
        throw LTException("Can't create FileMapping", errno);
    if (!takeOwnership(file.get()))
        throw LTException("FileMapping already exists!");
    // New, or left by an owner that died: either way it starts zeroed.
    ::fchmod(file.get(), mode);
    if (::ftruncate(file.get(), 0) != 0 || ::ftruncate(file.get(), static_cast<off_t>(size)) != 0)
        throw LTException("Can't create FileMapping", errno);
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file.get(), 0);
    if (mapped == MAP_FAILED)
        throw LTException("MapViewOfFile failed!", errno);
    fd = std::move(file);
    view = mapped;
    length = size;
}

bool SharedMemory::openReadOnly(const std::string& name, std::size_t size)
{
    close();
    path = namedObjectPath(name);
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) {
        if (errno == EACCES)
            throw LTException("Can't open FileMapping. Access denied!");
        return false;
    }
    // A block still being made is shorter: mapping past its end would fault.
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || static_cast<std::size_t>(st.st_size) < size)
        return false;
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, file.get(), 0);
    if (mapped == MAP_FAILED)
        throw LTException("MapViewOfFile failed!", errno);
    fd = std::move(file);
    view = mapped;
    length = size;
    return true;
}

bool SharedMemory::hasOwner() const
{
    if (!fd)
        return false;
    if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(fd.get(), LOCK_UN);
    return false;
}

void SharedMemory::removeName()
{
    if (!path.empty())
        ::unlink(path.c_str());
}

} // namespace platform
