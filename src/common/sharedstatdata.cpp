#include "common/sharedstatdata.h"

#include <cstring>

// The block is shared with another process, and a reader's mapping is
// read-only: the count and the copy go through the compiler's atomic
// built-ins, which read a const object without writing it.

SharedStatUpdate::SharedStatUpdate(SharedStatData& block) : block(block)
{
    // Odd before any change can be seen: the stores that follow stay after
    // it (the fence). ThreadSanitizer rejects fences; its builds make the
    // count's change sequentially consistent instead.
#ifndef __SANITIZE_THREAD__
    __atomic_fetch_or(&block.sequence, 1u, __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_RELEASE);
#else
    __atomic_fetch_or(&block.sequence, 1u, __ATOMIC_SEQ_CST);
#endif
}

SharedStatUpdate::~SharedStatUpdate() { __atomic_fetch_add(&block.sequence, 1u, __ATOMIC_RELEASE); }

bool copyCompletedPass(const SharedStatData& block, SharedStatData& out)
{
    static_assert(sizeof(SharedStatData) % sizeof(std::uint64_t) == 0 && alignof(SharedStatData) == 8);
    const std::uint32_t before = __atomic_load_n(&block.sequence, __ATOMIC_ACQUIRE);
    if ((before & 1u) != 0)
        return false;
    // Word by word, each load an acquire one, so that the count's second
    // look cannot be made before the copy.
    const auto* from = reinterpret_cast<const std::uint64_t*>(&block);
    auto* to = reinterpret_cast<unsigned char*>(&out);
    for (std::size_t i = 0; i < sizeof out / sizeof(std::uint64_t); ++i) {
        const std::uint64_t word = __atomic_load_n(from + i, __ATOMIC_ACQUIRE);
        std::memcpy(to + i * sizeof word, &word, sizeof word);
    }
    return __atomic_load_n(&block.sequence, __ATOMIC_RELAXED) == before;
}
