// The exception types of both programs. A target of their own, below the
// platform layer, so that every layer can throw them.
#pragma once

#include <cstdint>
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

// Bytes of the connection log that cannot be decoded. A reader that skips
// them tells where they are: offset and length in the file (-1 when not).
class LTDataCorruptedException : public LTException {
public:
    explicit LTDataCorruptedException(const std::string& text, std::int64_t offset = -1, std::int64_t length = -1);
    std::int64_t offset() const { return where; }
    std::int64_t length() const { return extent; }
    // "12 damaged bytes at offset 345 skipped"; empty where the place is
    // unknown.
    std::string skipped() const;

private:
    std::int64_t where;
    std::int64_t extent;
};

inline constexpr const char* TORN_FRAME_MESSAGE = "Unexpected end of file!";

// A frame whose length could be read but whose record the file cuts short.
class LTTornFrameException : public LTDataCorruptedException {
public:
    explicit LTTornFrameException(std::int64_t offset = -1, std::int64_t length = -1);
};
