#include "service/ltservice.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "log/conlogger.h"
#include "platform/named_objects.h"
#include "platform/service_control.h"
#include "service/conobserver.h"
#include "service/rasconbuffer.h"
#include "service/statcollector.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

void TLinktallyService_v1_3_1::trace(const char* message)
{
    if (dbgLogger)
        dbgLogger->log(message);
}

int TLinktallyService_v1_3_1::ServiceExecute(platform::StopRequests& requests)
{
    std::unique_ptr<ConnectionLogger> logger;
    std::unique_ptr<RasConBuffer> buffer;
    std::unique_ptr<ConnectionsObserver> observer;
    std::unique_ptr<StatisticsCollector> collector;
    // Stops and joins the workers that exist, then releases everything in
    // the order that lets the collector's last records reach the log.
    auto teardown = [&] {
        if (observer)
            observer->setStopped(true);
        if (collector)
            collector->setStopped(true);
        if (observer) {
            observer->wakeUp(); // no need to sit out its wait
            observer->WaitFor();
        }
        if (collector)
            collector->WaitFor();
        collector.reset();
        observer.reset();
        buffer.reset();
        logger.reset();
    };
    try {
        trace("Started\n");
        const std::string folder = service::getDataFolder();
        // Before the log's repair takes the lock there: not in a folder that
        // another account may write or owns.
        platform::prepareServiceIpcFolder();
        // Trouble with the log goes to standard error: the journal under
        // systemd. Through stdio: the standard streams would set up the C++
        // locale, half a megabyte of resident library pages, for this alone.
        logger = std::make_unique<ConnectionLogger>(dbgLogger, folder + "/" + CONNECTION_LOG_FILE_NAME,
                                                    [](const std::string& message) {
                                                        std::fprintf(stderr, "ltsrvc: %s\n", message.c_str());
                                                    });
        buffer = std::make_unique<RasConBuffer>(ras, dbgLogger);
        observer = StopableThread::create<ConnectionsObserver>(false, dbgLogger, buffer.get(), ras);
        collector = StopableThread::create<StatisticsCollector>(false, dbgLogger, logger.get(), buffer.get(), ras);
        if (onRunning)
            onRunning(folder);
        while (!requests.pending())
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        trace("Stopping...\n");
        teardown();
        trace("Stopped\n");
        return 0;
    } catch (const std::exception& e) {
        trace("Exception in TLinktallyService::ServiceExecute\n");
        error = e.what();
        teardown();
        return 1;
    }
}
