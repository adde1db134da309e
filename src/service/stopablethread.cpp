#include "service/stopablethread.h"

#include "common/dbglogger.h"

#include <cstdio>

StopableThread::StopableThread(DbgLogger* dbgLogger, const char* className)
    : dbgLogger(dbgLogger), className(className)
{
}

StopableThread::~StopableThread()
{
    stopAndWait();
    trace("%s - Destructor\n");
}

bool StopableThread::isStopped()
{
    std::shared_lock reading(lock);
    return stopped;
}

void StopableThread::setStopped(bool value)
{
    std::unique_lock writing(lock);
    stopped = value;
}

void StopableThread::Start()
{
    if (!thread.joinable())
        thread = std::thread(&StopableThread::Execute, this);
}

void StopableThread::WaitFor()
{
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id())
        thread.join();
}

void StopableThread::stopAndWait()
{
    setStopped(true);
    WaitFor();
}

void StopableThread::trace(const char* format)
{
    if (!dbgLogger)
        return;
    char message[256];
    std::snprintf(message, sizeof message, format, className);
    dbgLogger->log(message);
}

void StopableThread::Execute()
{
    try {
        BeforeLoop();
        while (!isStopped())
            DoInLoop();
        AfterLoop();
        trace("%s::Execute() - Leaving\n");
    } catch (...) {
        // The worker ends; the service goes on without it.
        trace("%s::Execute() - Exception()\n");
    }
}
