// Waits for dial-up connections to come or go and then refreshes the
// connection buffer, so that the collector sees them at its next pass.
#pragma once

#include "platform/event.h"
#include "service/stopablethread.h"

class RasConBuffer;
class RasProvider;

class ConnectionsObserver : public StopableThread {
public:
    // Fills the buffer once, on the constructing thread, and registers with
    // ras for connection notifications.
    ConnectionsObserver(DbgLogger* dbgLogger, RasConBuffer* conBuffer, RasProvider& ras);
    ~ConnectionsObserver() override;
    // Ends the current wait at once, as a notification would (used at stop).
    void wakeUp() { notification.set(); }

    // The longest wait of a cycle: a stop request is honoured within it.
    static constexpr int waitTimeout = 4000;

protected:
    void DoInLoop() override;

private:
    void trace(const char* message);

    RasConBuffer& conBuffer;
    platform::Event notification;
};
