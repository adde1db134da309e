// Where the splash picture's parts stand. The artwork generator draws the
// clickable texts inside these rectangles and libsplash.so reports the same
// rectangles as its spots, so the two cannot drift apart.
#pragma once

namespace splashlayout {

struct Rect {
    int left, top, width, height;
};

inline constexpr int pictureWidth = 243;
inline constexpr int pictureHeight = 188;

inline constexpr Rect readMe{16, 150, 64, 20};
inline constexpr Rect documents{120, 150, 96, 20};

} // namespace splashlayout
