// A named block of shared memory: a file of fixed size in the IPC folder,
// mapped MAP_SHARED. Its owner holds a write lock on it while it lives
// (fcntl, of its open file description): that lock is what "the block
// exists" means, and the kernel drops it when the owner dies.
#pragma once

#include "platform/files.h"
#include "platform/named_objects.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

class SharedMemory {
public:
    SharedMemory() = default;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    ~SharedMemory();

    // Creates the block for writing and takes ownership; a block left by an
    // owner that died is replaced by a new, zeroed one. Throws LTException
    // "FileMapping already exists!" while another owner lives, "Can't create
    // FileMapping" or "MapViewOfFile failed!" with errno.
    // A leftover file that is a symbolic link, another account's, or one
    // that others may write is refused: LTException naming it, its owner
    // and its mode.
    // leftBehind, when given, receives what a block taken over held (up to
    // size bytes) before it is zeroed: empty for a new block.
    void create(const std::string& name, std::size_t size, const SecurityAttributes* attributes,
                std::vector<unsigned char>* leftBehind = nullptr);
    // Opens the block for reading. False (quietly) when there is none or it
    // is not complete yet, and when another account than root or the IPC
    // folder's owner owns it (foreignBlock() then says whose it is); throws
    // "Can't open FileMapping. Access denied!" or "MapViewOfFile failed!"
    // with errno.
    bool openReadOnly(const std::string& name, std::size_t size);
    const std::string& foreignBlock() const { return foreign; }
    // Whether a living owner still holds the block (readers only).
    bool hasOwner() const;
    // The owner removes the name (after marking the block finished), so that
    // a new owner starts on a block of its own.
    void removeName();
    void close();

    bool isMapped() const { return view != nullptr; }
    bool hasHandle() const { return static_cast<bool>(fd); }
    void* data() const { return view; }

private:
    // A leftover block: refused as create says, or one of no living owner,
    // read into leftBehind.
    void checkLeftover(int left, std::size_t size, std::vector<unsigned char>* leftBehind) const;

    UniqueFd fd;
    void* view = nullptr;
    std::size_t length = 0;
    std::string path;
    std::string foreign;
};

} // namespace platform
