// libsplash.so, loaded by the monitor as "splash.dll": the splash picture as
// the raw-data resource "SPLASH" (see src/platform/dynlib.h) and two spots,
// the underlined "Read me" and "Documents" texts of the picture.
#include "splashlayout.h"
#include "splashspots.h"

namespace {

using splashlayout::documents;
using splashlayout::readMe;

// Addresses chosen at build time: the package points them at its doc folder.
const SplashSpotRecord spots[] = {
    {readMe.left, readMe.top, readMe.width, readMe.height, LT_SPLASH_README_URL},
    {documents.left, documents.top, documents.width, documents.height, LT_SPLASH_DOCS_URL},
};

} // namespace

LT_SPLASH_EXPORT std::uint32_t _getSpotsCount()
{
    return sizeof spots / sizeof spots[0];
}

LT_SPLASH_EXPORT const SplashSpotRecord* _getSpots()
{
    return spots;
}

LT_SPLASH_EXPORT const unsigned char lt_resource_RCDATA_SPLASH[] = {
#include "splash_jpg.inc"
};
LT_SPLASH_EXPORT const std::uint32_t lt_resource_RCDATA_SPLASH_size = sizeof lt_resource_RCDATA_SPLASH;
