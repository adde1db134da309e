// JPEG pictures decoded with libjpeg, for the splash window.
#pragma once

#include <QImage>
#include <cstddef>
#include <string>

// Decodes the bytes into an RGB image. Throws LTException
// "<what> is not a valid JPEG: <libjpeg's message>" for anything that does
// not decode cleanly, damaged data that libjpeg would only warn about included.
QImage decodeJpeg(const unsigned char* bytes, std::size_t size, const std::string& what);
