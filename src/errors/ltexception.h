// The exception types of both programs. A target of their own, below the
// platform layer, so that every layer can throw them.
#pragma once

#include <stdexcept>
#include <string>

// The one error type: its message is complete and ready to show a user.
class LTException : public std::runtime_error {
public:
    explicit LTException(const char* text);
    explicit LTException(const std::string& text);
    // An operating-system failure: the text, then " Error code: %d.".
    LTException(const char* text, int errorCode);
    LTException(const std::string& text, int errorCode);
};

// Bytes of the connection log that cannot be decoded.
class LTDataCorruptedException : public LTException {
public:
    explicit LTDataCorruptedException(const std::string& text);
};

// A frame whose length could be read but whose record the file cuts short.
class LTTornFrameException : public LTDataCorruptedException {
public:
    LTTornFrameException();
};
