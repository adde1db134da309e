// The service host: builds the logger, the connection buffer and the two
// worker threads, answers stop requests, and takes everything down in the
// order that lets the last records reach the log.
#pragma once

#include <string>

class DbgLogger;
class RasProvider;

namespace platform {
class StopRequests;
}

inline constexpr const char* SERVICE_NAME = "LinktallyService_v1_3_1";
inline constexpr const char* SERVICE_DISPLAY_NAME = "LinktallyService_v1.3.1";
inline constexpr const char* SERVICE_TITLE = "LinktallyService";

class TLinktallyService_v1_3_1 {
public:
    // The buffer, the observer and the collector reach the dial-up
    // connections through ras, which must outlive ServiceExecute.
    TLinktallyService_v1_3_1(DbgLogger* dbgLogger, RasProvider& ras) : dbgLogger(dbgLogger), ras(ras) {}

    // Runs until a stop request; 0 after a clean stop, 1 when start-up
    // failed (the message is in lastError()).
    int ServiceExecute(platform::StopRequests& requests);
    const std::string& lastError() const { return error; }
    // Called once the worker threads run, with the data folder in use.
    void (*onRunning)(const std::string& dataFolder) = nullptr;

private:
    void trace(const char* message);

    DbgLogger* dbgLogger;
    RasProvider& ras;
    std::string error;
};
