#include "platform/files.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

UniqueFd::~UniqueFd() { reset(); }

int UniqueFd::release()
{
    int old = fd;
    fd = -1;
    return old;
}

void UniqueFd::reset(int newFd)
{
    if (fd >= 0)
        ::close(fd);
    fd = newFd;
}

namespace {

// Opens an existing file, or creates it with exactly mode. O_NONBLOCK keeps
// a FIFO from blocking the open; the caller refuses anything not regular.
int openOrCreate(const std::string& path, int flags, mode_t mode)
{
    flags |= O_CLOEXEC | O_NONBLOCK;
    for (;;) {
        int fd = ::open(path.c_str(), flags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, mode);
        if (fd >= 0) {
            ::fchmod(fd, mode); // the umask must not narrow it
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        // A symbolic link whose target is missing answers ENOENT to the open
        // and EEXIST to the creation, for ever: never create through it.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            errno = ENOENT;
            return -1;
        }
        // Created by someone else in between: open theirs.
    }
}

} // namespace

AppendFile::AppendFile(const std::string& path) : fd(openOrCreate(path, O_WRONLY | O_APPEND, 0644))
{
    if (!fd) {
        error = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        fd.reset();
        return;
    }
    ::fcntl(fd.get(), F_SETFL, O_APPEND);
}

std::int64_t AppendFile::size()
{
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0)
        return st.st_size;
    error = errno;
    // The end of the file is its size too.
    const off_t end = ::lseek(fd.get(), 0, SEEK_END);
    return end >= 0 ? end : -1;
}

bool AppendFile::append(const void* bytes, std::size_t count)
{
    ssize_t written;
    do
        written = ::write(fd.get(), bytes, count);
    while (written < 0 && errno == EINTR);
    if (written < 0) {
        error = errno;
        return false;
    }
    if (static_cast<std::size_t>(written) != count) {
        error = ENOSPC; // a short write to a regular file means the disk is full
        return false;
    }
    return true;
}

bool AppendFile::truncate(std::int64_t length)
{
    int rc;
    do
        rc = ::ftruncate(fd.get(), length);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        error = errno;
        return false;
    }
    return true;
}

namespace {

enum class Naming { Same, Another, Nothing, Unknown };

// What path names, seen from an open descriptor (-1: none).
Naming whatPathNames(int fd, const std::string& path)
{
    struct stat named {}, open {};
    if (::stat(path.c_str(), &named) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Naming::Nothing : Naming::Unknown;
    if (fd < 0)
        return Naming::Another;
    if (::fstat(fd, &open) != 0)
        return Naming::Unknown;
    return named.st_dev == open.st_dev && named.st_ino == open.st_ino ? Naming::Same : Naming::Another;
}

} // namespace

bool pathNamesOpenFile(int fd, const std::string& path) { return whatPathNames(fd, path) == Naming::Same; }

bool AppendFile::isNamedBy(const std::string& path) const
{
    if (!fd)
        return false;
    const Naming naming = whatPathNames(fd.get(), path);
    return naming == Naming::Same || naming == Naming::Unknown; // nothing known against it
}

bool AppendFile::sync()
{
    if (::fsync(fd.get()) != 0) {
        error = errno;
        return false;
    }
    return true;
}

namespace {

// An open descriptor of a regular file, or errno as readableFileError gives it.
int openRegular(const std::string& path, UniqueFd& fd)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        const int error = errno;
        fd.reset();
        return error;
    }
    if (!S_ISREG(st.st_mode)) {
        fd.reset();
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    return 0;
}

} // namespace

int readableFileError(const std::string& path)
{
    UniqueFd fd;
    return openRegular(path, fd);
}

std::string danglingLinkTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || ::stat(path.c_str(), &st) == 0 ||
        (errno != ENOENT && errno != ENOTDIR))
        return {};
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    target.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return target;
}

namespace {

} // namespace

int writeAll(int fd, const std::string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

int replaceFileContents(const std::string& path, const std::string& text, unsigned mode)
{
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved))
            return errno;
        target = resolved;
    }
    bool existing = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        if (::access(target.c_str(), W_OK) != 0)
            return errno;
        existing = true;
    } else if (errno != ENOENT) {
        return errno;
    }
    // A temporary name of this process; a new file gets mode under the umask.
    const std::string temporary = target + ".tmp" + std::to_string(::getpid());
    ::unlink(temporary.c_str()); // left by a crash of an earlier process of this id
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, existing ? 0600 : mode));
    if (!fd)
        return errno;
    int error = writeAll(fd.get(), text);
    if (error == 0 && existing && ::fchmod(fd.get(), st.st_mode & 07777) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    fd.reset();
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.c_str());
    return error;
}

std::optional<std::string> readWholeFile(const std::string& path)
{
    // Not through iostreams: their locale set-up alone keeps half a megabyte
    // of library pages resident in the service.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    std::string text;
    char piece[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), piece, sizeof piece);
        if (got == 0)
            return text;
        if (got > 0)
            text.append(piece, static_cast<std::size_t>(got));
        else if (errno != EINTR)
            return std::nullopt;
    }
}

std::string fileErrorText(int error)
{
    return error == EISDIR ? "it is a folder" : error == EINVAL ? "it is not a regular file" : std::strerror(error);
}

bool FileReader::isReplacedAt(const std::string& path) const
{
    return whatPathNames(fd ? fd.get() : -1, path) == Naming::Another;
}

FileReader::FileReader(const std::string& path, std::size_t bufferSize)
    : buffer(new unsigned char[bufferSize]), bufferSize(bufferSize)
{
    error = openRegular(path, fd);
}

std::size_t FileReader::fill()
{
    bufferStart = position();
    bufferPos = 0;
    bufferLen = readAt(bufferStart, buffer.get(), bufferSize);
    return bufferLen;
}

std::size_t FileReader::read(void* destination, std::size_t count)
{
    if (!fd)
        return 0;
    auto* out = static_cast<unsigned char*>(destination);
    std::size_t done = 0;
    while (done < count) {
        if (bufferPos == bufferLen && fill() == 0)
            break;
        std::size_t take = std::min(count - done, bufferLen - bufferPos);
        std::memcpy(out + done, buffer.get() + bufferPos, take);
        bufferPos += take;
        done += take;
    }
    return done;
}

std::size_t FileReader::readAt(std::int64_t offset, void* destination, std::size_t count) const
{
    auto* out = static_cast<unsigned char*>(destination);
    std::size_t done = 0;
    while (fd && done < count) {
        const ssize_t got = ::pread(fd.get(), out + done, count - done, offset + static_cast<std::int64_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void FileReader::seek(std::int64_t offset)
{
    bufferStart = offset;
    bufferLen = 0;
    bufferPos = 0;
}

void FileReader::skip(std::int64_t count)
{
    if (count <= static_cast<std::int64_t>(bufferLen - bufferPos))
        bufferPos += static_cast<std::size_t>(count);
    else
        seek(position() + count);
}

std::int64_t FileReader::size() const
{
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return -1;
    return st.st_size;
}

} // namespace platform
