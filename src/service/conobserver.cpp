#include "service/conobserver.h"

#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "service/rasconbuffer.h"

ConnectionsObserver::ConnectionsObserver(DbgLogger* dbgLogger, RasConBuffer* conBuffer, RasProvider& ras)
    : StopableThread(dbgLogger, "ConnectionsObserver"), conBuffer((LT_ASSERT(conBuffer), *conBuffer))
{
    conBuffer->refresh();
    // The result is not examined: without notifications the buffer keeps
    // its first picture and the time-outs still let the thread stop.
    RasConnectionNotificationA(ras, ALL_RAS_CONNECTIONS, notification, RASCN_Connection | RASCN_Disconnection);
}

ConnectionsObserver::~ConnectionsObserver() { stopAndWait(); }

void ConnectionsObserver::trace(const char* message)
{
    if (dbgLogger)
        dbgLogger->log(message);
}

void ConnectionsObserver::DoInLoop()
{
    try {
        trace("ConnectionsObserver::DoInLoop() - waiting...\t");
        const platform::WaitResult result = notification.waitFor(waitTimeout);
        trace("ConnectionsObserver::DoInLoop() - waking up...\t");
        switch (result) {
        case platform::WaitResult::Signaled:
            conBuffer.refresh();
            trace("ConnectionsObserver::DoInLoop() - ConnectionNotification!\n");
            break;
        case platform::WaitResult::Timeout:
            trace("ConnectionsObserver::DoInLoop() - time out\n");
            break;
        case platform::WaitResult::Abandoned:
            trace("ConnectionsObserver::DoInLoop() - wrAbandoned!\n");
            break;
        case platform::WaitResult::Error:
            trace("ConnectionsObserver::DoInLoop() - wrError!\n");
            break;
        }
    } catch (...) {
        trace("ConnectionsObserver::DoInLoop() - Exception!\n");
    }
}
