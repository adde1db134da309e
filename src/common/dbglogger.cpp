#include "common/dbglogger.h"

#include <cerrno>
#include <cstdio>

namespace {

std::string withErrorCode(const char* text, int errorCode)
{
    char code[32];
    std::snprintf(code, sizeof code, " Error code: %d.", errorCode);
    return std::string(text ? text : "") + code;
}

} // namespace

LTException::LTException(const char* text) : std::runtime_error(text ? text : "") {}

LTException::LTException(const std::string& text) : std::runtime_error(text) {}

LTException::LTException(const char* text, int errorCode)
    : std::runtime_error(withErrorCode(text, errorCode))
{
}

LTDataCorruptedException::LTDataCorruptedException(const std::string& text) : LTException(text) {}

DbgLogger::DbgLogger(const std::string& fileName)
    : stream(fileName, std::ios::out | std::ios::app | std::ios::binary)
{
    if (!stream.is_open())
        throw LTException(("Can't open the debug log '" + fileName + "'").c_str(), errno);
}

void DbgLogger::log(const char* message)
{
    std::lock_guard guard(lock);
    if (message)
        stream << message;
    stream.flush();
}

void DbgLogger::log(const std::string& message)
{
    std::lock_guard guard(lock);
    stream << message;
    stream.flush();
}
