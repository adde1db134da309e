// A stand-in for "splash.dll", built once per variant: each FAKE_SPLASH_*
// definition leaves out or spoils one thing the monitor reads. Without one
// it offers a 60 x 40 picture and three spots: two side by side, a third
// overlapping the first and reaching below it.
#include "splashspots.h"

namespace {

#if defined(FAKE_SPLASH_ZERO_SPOTS)
const SplashSpotRecord* const spots = nullptr;
const std::uint32_t spotCount = 0;
#else
const SplashSpotRecord spots[] = {
    {10, 5, 20, 10, "file:///first-spot"},
    {30, 5, 20, 10, "file:///second-spot"},
    {10, 5, 20, 30, "file:///overlapping-spot"},
};
const std::uint32_t spotCount = 3;
#endif

} // namespace

#if !defined(FAKE_SPLASH_WITHOUT_COUNT)
LT_SPLASH_EXPORT std::uint32_t _getSpotsCount()
{
    return spotCount;
}
#endif

#if !defined(FAKE_SPLASH_WITHOUT_SPOTS)
LT_SPLASH_EXPORT const SplashSpotRecord* _getSpots()
{
    return spots;
}
#endif

#if defined(FAKE_SPLASH_CORRUPT_JPEG)
LT_SPLASH_EXPORT const unsigned char lt_resource_RCDATA_SPLASH[] = "This is not a picture";
LT_SPLASH_EXPORT const std::uint32_t lt_resource_RCDATA_SPLASH_size = sizeof lt_resource_RCDATA_SPLASH;
#elif !defined(FAKE_SPLASH_WITHOUT_RESOURCE)
LT_SPLASH_EXPORT const unsigned char lt_resource_RCDATA_SPLASH[] = {
#include "fake_splash_jpg.inc"
};
#if defined(FAKE_SPLASH_EMPTY_RESOURCE)
LT_SPLASH_EXPORT const std::uint32_t lt_resource_RCDATA_SPLASH_size = 0;
#elif defined(FAKE_SPLASH_OVERSIZED_RESOURCE)
LT_SPLASH_EXPORT const std::uint32_t lt_resource_RCDATA_SPLASH_size = 0x7ffffff0;
#elif defined(FAKE_SPLASH_TRUNCATED_JPEG)
LT_SPLASH_EXPORT const std::uint32_t lt_resource_RCDATA_SPLASH_size = sizeof lt_resource_RCDATA_SPLASH / 2;
#else
LT_SPLASH_EXPORT const std::uint32_t lt_resource_RCDATA_SPLASH_size = sizeof lt_resource_RCDATA_SPLASH;
#endif
#endif
