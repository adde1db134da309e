#include "common/dbglogger.h"
#include "service/stopablethread.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

// Counts its cycles; each cycle can be held until the test lets it finish.
class Worker : public StopableThread {
public:
    explicit Worker(DbgLogger* logger, bool failAfter = false)
        : StopableThread(logger, "Worker"), failAfter(failAfter)
    {
    }
    ~Worker() override { stopAndWait(); }

    std::atomic<int> cycles{0};
    std::atomic<bool> inCycle{false};
    std::atomic<bool> release{true};
    std::atomic<int> before{0}, after{0};

protected:
    void BeforeLoop() override { ++before; }
    void DoInLoop() override
    {
        inCycle = true;
        while (!release)
            std::this_thread::yield();
        ++cycles;
        inCycle = false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void AfterLoop() override
    {
        ++after;
        if (failAfter)
            throw std::runtime_error("after");
    }

private:
    bool failAfter;
};

struct Trace {
    std::string path = testenv::freshFolder("thread") + "/debug.log";
    DbgLogger logger{path};
    std::string text() const { return testenv::readFile(path); }
};

} // namespace

TEST(StopableThread, stopped_before_its_first_cycle_runs_both_hooks_and_no_cycle)
{
    Trace trace;
    auto worker = StopableThread::create<Worker>(true, &trace.logger);
    worker->setStopped(true);
    worker->Start();
    worker->WaitFor();
    EXPECT_EQ(worker->before, 1);
    EXPECT_EQ(worker->cycles, 0);
    EXPECT_EQ(worker->after, 1);
    worker.reset();
    EXPECT_EQ(trace.text(), "Worker::Execute() - Leaving\nWorker - Destructor\n");
}

TEST(StopableThread, stopped_during_a_cycle_finishes_that_cycle_first)
{
    auto worker = StopableThread::create<Worker>(false, nullptr);
    worker->release = false;
    while (!worker->inCycle)
        std::this_thread::yield();
    const int done = worker->cycles;
    worker->setStopped(true);
    EXPECT_TRUE(worker->isStopped());
    worker->release = true;
    worker->WaitFor();
    EXPECT_EQ(worker->cycles, done + 1);
    EXPECT_EQ(worker->after, 1);
}

TEST(StopableThread, ends_on_an_exception_in_AfterLoop_without_leaving_message)
{
    Trace trace;
    auto worker = StopableThread::create<Worker>(false, &trace.logger, true);
    worker->setStopped(true);
    worker->WaitFor();
    EXPECT_EQ(trace.text(), "Worker::Execute() - Exception()\n");
}
