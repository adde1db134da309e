// The base of the service's worker threads: a loop of DoInLoop cycles
// between BeforeLoop and AfterLoop, until the owner sets the stop flag.
#pragma once

#include <memory>
#include <shared_mutex>
#include <string>
#include <thread>

class DbgLogger;

class StopableThread {
public:
    StopableThread(const StopableThread&) = delete;
    StopableThread& operator=(const StopableThread&) = delete;
    virtual ~StopableThread();

    // Builds a worker; unless createSuspended, it starts running once
    // construction has completed.
    template <class Thread, class... Args>
    static std::unique_ptr<Thread> create(bool createSuspended, Args&&... args)
    {
        auto thread = std::make_unique<Thread>(std::forward<Args>(args)...);
        if (!createSuspended)
            thread->Start();
        return thread;
    }

    bool isStopped();
    void setStopped(bool stopped);
    // Starts a suspended thread (once).
    void Start();
    // Waits for the thread's end; returns at once when it never started.
    void WaitFor();

protected:
    StopableThread(DbgLogger* dbgLogger, const char* className);

    virtual void DoInLoop() = 0;
    virtual void BeforeLoop() {}
    virtual void AfterLoop() {}
    // Subclasses call this first in their destructors, so that no cycle runs
    // on a half-destroyed object.
    void stopAndWait();

    DbgLogger* dbgLogger;

private:
    void Execute();
    void trace(const char* format);

    bool stopped = false;
    std::shared_mutex lock;
    const char* className;
    std::thread thread;
};
