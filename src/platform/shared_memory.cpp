#include "platform/shared_memory.h"

#include "errors/ltexception.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The owner's mark is a write lock (an open file description's, so the
// kernel drops it when the owner dies). Only a descriptor open for writing
// can take one, so a reader that opened the block read-only can neither
// fake an owner nor, with a read lock of its own, keep a new one out: the
// new owner makes a file of its own (below).
bool hasWriter(int fd)
{
    struct flock probe {};
    probe.l_type = F_RDLCK; // conflicts with a write lock only
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0)
        throw LTException("Can't create FileMapping", errno);
    return probe.l_type == F_WRLCK;
}

[[noreturn]] void refuseLink(const std::string& path)
{
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0)
        throw LTException("Can't create FileMapping", ELOOP);
    throw LTException(ownerText(path, link.st_uid, link.st_mode) +
                      ", a symbolic link: it is not taken over as the live table");
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
    if (UniqueFd left(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW)); left)
        checkLeftover(left.get(), size, leftBehind);
    else if (errno == ELOOP)
        refuseLink(path);
    else if (errno != ENOENT)
        throw LTException("Can't create FileMapping", errno);
    // Made whole under a name of its own, private until it is marked ours,
    // then put in place in one step: a reader finds the old file or the new
    // one, never one it may not open, and one holding the old file (even
    // locked) keeps nothing out.
    const std::string made = path + ".new";
    ::unlink(made.c_str()); // what a start that failed midway left
    UniqueFd file(::open(made.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file)
        throw LTException("Can't create FileMapping", errno);
    struct flock mark {};
    mark.l_type = F_WRLCK;
    mark.l_whence = SEEK_SET;
    int error = 0;
    if (::fcntl(file.get(), F_OFD_SETLK, &mark) != 0)
        error = errno;
    // The pages are allocated now, so that a full folder is an error here
    // and not a SIGBUS at the first write through the mapping.
    else if (const int failed = ::posix_fallocate(file.get(), 0, static_cast<off_t>(size)); failed != 0)
        error = failed;
    else if (::fchmod(file.get(), creationMode(attributes)) != 0 || ::rename(made.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(made.c_str());
        throw LTException("Can't create FileMapping", error);
    }
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file.get(), 0);
    if (mapped == MAP_FAILED)
        throw LTException("MapViewOfFile failed!", errno);
    fd = std::move(file);
    view = mapped;
    length = size;
}

void SharedMemory::checkLeftover(int left, std::size_t size, std::vector<unsigned char>* leftBehind) const
{
    refuseForeign(left, path);
    if (hasWriter(left))
        throw LTException("FileMapping already exists!");
    // What another account could have written is no block of ours.
    struct stat st {};
    if (leftBehind && ::fstat(left, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0 &&
        static_cast<std::size_t>(st.st_size) >= size) {
        leftBehind->assign(size, 0);
        const ssize_t got = ::pread(left, leftBehind->data(), size, 0);
        leftBehind->resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
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
    // A file whose name is gone was let go of or replaced by a new owner.
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_nlink == 0)
        return false;
    try {
        return hasWriter(fd.get());
    } catch (const LTException&) {
        return false; // cannot fail on a valid descriptor
    }
}

void SharedMemory::removeName()
{
    if (!path.empty())
        ::unlink(path.c_str());
}

} // namespace platform
