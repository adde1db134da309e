// The record "_getSpots" hands over: one clickable rectangle of the splash
// picture, in picture pixels, and the address it opens. Shared by
// libsplash.so, the test libraries and the monitor, which reads the array
// as raw memory: the layout is part of the library's contract.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

struct SplashSpotRecord {
    std::int32_t left;
    std::int32_t top;
    std::int32_t width;
    std::int32_t height;
    const char* url; // zero-terminated, valid while the library is loaded
};

using GetSpotsCountFn = std::uint32_t (*)();
using GetSpotsFn = const SplashSpotRecord* (*)();
}

static_assert(sizeof(SplashSpotRecord) == 24, "a spot record is 24 bytes on x86-64");
static_assert(offsetof(SplashSpotRecord, left) == 0);
static_assert(offsetof(SplashSpotRecord, top) == 4);
static_assert(offsetof(SplashSpotRecord, width) == 8);
static_assert(offsetof(SplashSpotRecord, height) == 12);
static_assert(offsetof(SplashSpotRecord, url) == 16);

// Exported without C++ name mangling, whatever the visibility default is.
#define LT_SPLASH_EXPORT extern "C" __attribute__((visibility("default")))
