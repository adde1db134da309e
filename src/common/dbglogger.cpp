#include "common/dbglogger.h"

#include <cerrno>
#include <cstdio>

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
