// Exception types of both programs and the optional debug logger.
#pragma once

#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>

// The one error type: its message is complete and ready to show a user.
class LTException : public std::runtime_error {
public:
    explicit LTException(const char* text);
    explicit LTException(const std::string& text);
    // An operating-system failure: the text, then " Error code: %d.".
    LTException(const char* text, int errorCode);
};

// Bytes of the connection log that cannot be decoded.
class LTDataCorruptedException : public LTException {
public:
    explicit LTDataCorruptedException(const std::string& text);
};

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
