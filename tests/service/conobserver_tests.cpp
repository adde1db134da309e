#include "common/dbglogger.h"
#include "fakes/scripted_ras.h"
#include "netns.h"
#include "service/conobserver.h"
#include "service/rasconbuffer.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Waits up to a deadline for the buffer to list count connections; the
// time it took, or -1 ms when it never did.
std::chrono::milliseconds untilListed(RasConBuffer& buffer, int count, std::chrono::milliseconds limit)
{
    const auto start = Clock::now();
    do {
        buffer.beginRead();
        const int listed = buffer.count();
        buffer.endRead();
        if (listed == count)
            return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (Clock::now() - start < limit);
    return std::chrono::milliseconds(-1);
}

} // namespace

TEST(ConnectionsObserver, fills_the_buffer_at_once_and_again_on_each_notification)
{
    const std::string path = testenv::freshFolder("observer") + "/debug.log";
    DbgLogger logger(path);
    ScriptedRas ras;
    ras.connections = {{11, "isp-a"}};
    RasConBuffer buffer(ras, nullptr);
    auto observer = StopableThread::create<ConnectionsObserver>(false, &logger, &buffer, ras);
    EXPECT_EQ(untilListed(buffer, 1, std::chrono::milliseconds(0)).count(), 0); // before the first wait
    ASSERT_NE(ras.notified, nullptr);

    ras.connections.push_back({12, "isp-b"});
    ras.notify();
    EXPECT_GE(untilListed(buffer, 2, std::chrono::milliseconds(1000)).count(), 0);

    observer->setStopped(true);
    ras.notify(); // ends the wait at once instead of after 4000 ms
    const auto start = Clock::now();
    observer->WaitFor();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    observer.reset();
    const std::string trace = testenv::readFile(path);
    EXPECT_NE(trace.find("ConnectionsObserver::DoInLoop() - waiting...\tConnectionsObserver::DoInLoop() - waking "
                         "up...\tConnectionsObserver::DoInLoop() - ConnectionNotification!\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("ConnectionsObserver - Destructor\n"), std::string::npos);
}

TEST(ConnectionsObserver, goes_on_after_an_exception_in_a_cycle)
{
    struct Throwing : ScriptedRas {
        bool fail = false;
        DWORD enumConnections(RASCONN* c, DWORD* b, DWORD* n) override
        {
            if (fail)
                throw std::runtime_error("provider failed");
            return ScriptedRas::enumConnections(c, b, n);
        }
    } ras;
    const std::string path = testenv::freshFolder("observer") + "/debug.log";
    DbgLogger logger(path);
    RasConBuffer buffer(ras, nullptr);
    auto observer = StopableThread::create<ConnectionsObserver>(false, &logger, &buffer, ras);
    ras.fail = true;
    ras.notify();
    while (testenv::readFile(path).find("Exception!\n") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ras.fail = false;
    ras.connections = {{11, "isp-a"}};
    ras.notify();
    EXPECT_GE(untilListed(buffer, 1, std::chrono::milliseconds(1000)).count(), 0); // the thread still runs
    observer->setStopped(true);
    ras.notify();
}

TEST(ConnectionsObserverKernel, wakes_well_before_its_time_out_when_a_ppp_link_comes_and_goes)
{
    REQUIRE_PRIVATE_NETNS();
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider(); // of the private namespace
    RasConBuffer buffer(*ras, nullptr);
    auto observer = StopableThread::create<ConnectionsObserver>(false, nullptr, &buffer, *ras);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // waiting in its first cycle
    {
        netns::PppLink ppp("ppp5");
        ASSERT_TRUE(ppp.ok());
        const auto seen = untilListed(buffer, 1, std::chrono::milliseconds(3000));
        EXPECT_GE(seen.count(), 0);
        EXPECT_LT(seen.count(), 1000);
    }
    const auto gone = untilListed(buffer, 0, std::chrono::milliseconds(3000));
    EXPECT_GE(gone.count(), 0);
    EXPECT_LT(gone.count(), 1000);
    observer->setStopped(true);
    netns::PppLink wake("ppp6"); // ends the last wait early
}
