// Plain files: an owned descriptor, an append-only writer and a buffered
// reader whose position persists between passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// Owns one file descriptor; closes it when destroyed.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }
    int release();
    void reset(int newFd = -1);

private:
    int fd = -1;
};

// A regular file opened for appending: every write lands at the current end.
class AppendFile {
public:
    // Creates the file when missing, mode 0644 whatever the umask, so that
    // every account may read it. Check isOpen(); the open error is kept in
    // openError() (EISDIR, or EINVAL for a device or FIFO).
    explicit AppendFile(const std::string& path);

    bool isOpen() const { return static_cast<bool>(fd); }
    int openError() const { return error; }
    // Current size, or -1 with lastError() set.
    std::int64_t size();
    // One write(2) for the whole block, so a killed writer never leaves part
    // of it behind. False (lastError() set) on failure or a short write.
    bool append(const void* bytes, std::size_t count);
    bool truncate(std::int64_t length);
    // Pushes what was written to the disk.
    bool sync();
    // Whether path still names the open file: false once the file is
    // known to be deleted, or moved away and perhaps replaced.
    bool isNamedBy(const std::string& path) const;
    int lastError() const { return error; }

private:
    UniqueFd fd;
    int error = 0;
};

// Whether path names a regular file this process can read: 0, or the
// error: ENOENT when missing, EISDIR for a folder, EINVAL for a device or
// FIFO (whose reads may never end), else the open's errno.
int readableFileError(const std::string& path);
// The target of path when path is a symbolic link to nothing (a file on a
// disk that is not mounted, say); else empty.
std::string danglingLinkTarget(const std::string& path);

// The whole text of a small file, also of the kernel's under /proc and /sys,
// which tell no size; none when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::string& path);

// All of text, through interruptions and short writes; 0, or the error.
int writeAll(int fd, const std::string& text);
// Whether path names the file open on fd (not another one, nor nothing).
bool pathNamesOpenFile(int fd, const std::string& path);

// Replaces the contents of the file path names with text, whole or not at
// all: written to a temporary file beside it, pushed to the disk and renamed
// over it, so that a full disk or a crash leaves the old contents. A file
// this process may not write (made read-only by its user, say) stays as it
// is. A symbolic link is followed; an existing file keeps its mode, a new
// one gets mode under the umask. 0, or the error.
int replaceFileContents(const std::string& path, const std::string& text, unsigned mode);

// Its answer for a message: "it is a folder", "it is not a regular file" or
// the system's text.
std::string fileErrorText(int error);

// Reads a regular file sequentially through its own buffer. At the end of
// the data it stays where it is, so a later read returns what was appended
// since.
class FileReader {
public:
    // Anything but a regular file is refused (see readableFileError).
    explicit FileReader(const std::string& path, std::size_t bufferSize = 64 * 1024);

    bool isOpen() const { return static_cast<bool>(fd); }
    int openError() const { return error; }
    // Copies up to count bytes from the current position and advances past
    // them; fewer than count means the end of the data (or a read error).
    std::size_t read(void* destination, std::size_t count);
    // Copies up to count bytes from offset without moving the position.
    std::size_t readAt(std::int64_t offset, void* destination, std::size_t count) const;
    std::int64_t position() const { return bufferStart + static_cast<std::int64_t>(bufferPos); }
    // Moves to an absolute offset and forgets the buffered bytes, which the
    // file may no longer hold there.
    void seek(std::int64_t offset);
    // Moves count bytes on without copying them.
    void skip(std::int64_t count);
    std::int64_t size() const;
    // Whether path names another file than the open one now (or names one
    // while none is open): a file moved or deleted and made anew there.
    bool isReplacedAt(const std::string& path) const;

private:
    std::size_t fill();

    UniqueFd fd;
    int error = 0;
    std::unique_ptr<unsigned char[]> buffer;
    std::size_t bufferSize;
    std::int64_t bufferStart = 0; // file offset of buffer[0]
    std::size_t bufferLen = 0;
    std::size_t bufferPos = 0;
};

} // namespace platform
