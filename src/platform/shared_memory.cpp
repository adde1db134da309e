#include "platform/shared_memory.h"

#include "errors/ltexception.h"

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
            throw LTException("Can't create FileMapping", errno);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Whether the locked file is still the one the name stands for: a stopping
// owner removes the name before it lets go, and a block without a name is
// one no reader finds.
bool stillNamed(int fd, const std::string& path)
{
    struct stat opened {}, named {};
    return ::fstat(fd, &opened) == 0 && opened.st_nlink > 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// A block left behind is taken over only when no other account could have
// made or written it: a regular file of this account or root's, which only
// its owner may write. A squatter must be seen, not obeyed.
void refuseForeign(int fd, const std::string& path)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw LTException("Can't create FileMapping", errno);
    const bool own = st.st_uid == ::geteuid() || st.st_uid == 0;
    if (!S_ISREG(st.st_mode) || !own || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        throw LTException(ownerText(path, st.st_uid, st.st_mode) + ": it is not taken over as the live table");
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

void SharedMemory::create(const std::string& name, std::size_t size, const SecurityAttributes* attributes,
                          std::vector<unsigned char>* leftBehind)
{
    close();
    path = namedObjectPath(name);
    const mode_t mode = creationMode(attributes);
    UniqueFd file;
    for (int attempt = 0;; ++attempt) {
        file.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode));
        struct stat link {};
        if (!file && errno == ELOOP && ::lstat(path.c_str(), &link) == 0)
            throw LTException(ownerText(path, link.st_uid, link.st_mode) +
                              ", a symbolic link: it is not taken over as the live table");
        if (!file)
            throw LTException("Can't create FileMapping", errno);
        refuseForeign(file.get(), path);
        if (!takeOwnership(file.get()))
            throw LTException("FileMapping already exists!");
        if (stillNamed(file.get(), path))
            break;
        if (attempt == 5)
            throw LTException("Can't create FileMapping", EAGAIN);
    }
    // What another account could have written is no block of ours.
    struct stat st {};
    if (leftBehind && ::fstat(file.get(), &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0 &&
        static_cast<std::size_t>(st.st_size) >= size) {
        leftBehind->assign(size, 0);
        const ssize_t got = ::pread(file.get(), leftBehind->data(), size, 0);
        leftBehind->resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    // New, or left by an owner that died: either way it starts zeroed. The
    // pages are allocated now, so that a full /dev/shm is an error here and
    // not a SIGBUS at the first write through the mapping.
    ::fchmod(file.get(), mode);
    if (::ftruncate(file.get(), 0) != 0)
        throw LTException("Can't create FileMapping", errno);
    if (const int error = ::posix_fallocate(file.get(), 0, static_cast<off_t>(size)); error != 0) {
        ::unlink(path.c_str());
        throw LTException("Can't create FileMapping", error);
    }
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
    // A block still being made is shorter, and one whose pages were never
    // allocated (a full folder) would fault when read: neither is a block.
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || static_cast<std::size_t>(st.st_size) < size ||
        static_cast<std::size_t>(st.st_blocks) * 512 < size)
        return false;
    // Only root's or the IPC folder owner's block is the service's.
    const std::optional<uid_t> folderOwner = ipcFolderOwner();
    if (st.st_uid != 0 && (!folderOwner || st.st_uid != *folderOwner)) {
        foreign = ownerText(path, st.st_uid, st.st_mode) + ", not the service's account: not read";
        return false;
    }
    foreign.clear();
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
