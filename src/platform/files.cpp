#include "platform/files.h"

#include <cerrno>
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

AppendFile::AppendFile(const std::string& path)
    : fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644))
{
    if (!fd)
        error = errno;
}

std::int64_t AppendFile::size()
{
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = errno;
        return -1;
    }
    return st.st_size;
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

FileReader::FileReader(const std::string& path, std::size_t bufferSize)
    : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)),
      buffer(new unsigned char[bufferSize]),
      bufferSize(bufferSize)
{
}

std::size_t FileReader::fill()
{
    bufferStart = position();
    bufferPos = 0;
    bufferLen = 0;
    while (bufferLen < bufferSize) {
        ssize_t got = ::pread(fd.get(), buffer.get() + bufferLen, bufferSize - bufferLen,
                              bufferStart + static_cast<std::int64_t>(bufferLen));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        bufferLen += static_cast<std::size_t>(got);
    }
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
