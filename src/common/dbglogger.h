// The optional debug logger (and, for its users, the exception types).
#pragma once

#include "errors/ltexception.h"

#include <fstream>
#include <mutex>
#include <string>

// Writes each message whole, exactly as given, and flushes it at once so
// that a crash loses nothing already traced. Callable from any thread.
class DbgLogger {
public:
    // Appends to the file so that the traces of earlier runs stay.
    explicit DbgLogger(const std::string& fileName);
    DbgLogger(const DbgLogger&) = delete;
    DbgLogger& operator=(const DbgLogger&) = delete;

    void log(const char* message);
    void log(const std::string& message);

private:
    std::ofstream stream;
    std::mutex lock;
};
