#include "errors/ltexception.h"

#include <cstdio>

namespace {

std::string withErrorCode(const std::string& text, int errorCode)
{
    char code[32];
    std::snprintf(code, sizeof code, " Error code: %d.", errorCode);
    return text + code;
}

} // namespace

LTException::LTException(const char* text) : std::runtime_error(text ? text : "") {}

LTException::LTException(const std::string& text) : std::runtime_error(text) {}

LTException::LTException(const char* text, int errorCode) : LTException(std::string(text ? text : ""), errorCode) {}

LTException::LTException(const std::string& text, int errorCode) : std::runtime_error(withErrorCode(text, errorCode))
{
}

LTDataCorruptedException::LTDataCorruptedException(const std::string& text, std::int64_t offset, std::int64_t length)
    : LTException(text), where(offset), extent(length)
{
}

std::string LTDataCorruptedException::skipped() const
{
    if (where < 0)
        return {};
    return std::to_string(extent) + " damaged bytes at offset " + std::to_string(where) + " skipped";
}

LTTornFrameException::LTTornFrameException(std::int64_t offset, std::int64_t length)
    : LTDataCorruptedException(TORN_FRAME_MESSAGE, offset, length)
{
}
