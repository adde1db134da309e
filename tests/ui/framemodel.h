// The model objects the totals window hands its frames, over a log of the
// test's own: records are added to `history` directly.
#pragma once

#include "common/common.h"
#include "model/datamodel.h"
#include "model/sharedstatreader.h"
#include "model/todaytot.h"
#include "testenv.h"
#include "ui/basicFrme.h"

#include <cstdint>
#include <string>

struct FrameModel {
    static constexpr std::uint64_t Mb = 1048576;

    std::string logFile = testenv::freshFolder("frames") + "/cn.log";
    History history;
    RecordFilter_byConnectionName filter{&history.entryNames, history.entryNames.idOf("eth0")};
    TodayTotals todayTotals{logFile, &history.prices, &history.entryNames};
    SharedStatisticsReader sharedStat;

    // A LAN record when phone is empty, a dial-up record otherwise.
    void add(const char* entry, TDateTime start, TDateTime end, std::uint64_t sent, std::uint64_t received,
             const char* phone = "")
    {
        history.records.add(*phone ? RAS_CONNECTION : LAN_CONNECTION, entry, "", "", phone, "", start, end, sent,
                            received);
    }
    // Orders the records by start, as a read of the log does, and hands
    // everything to the frame.
    void init(TBasicFrame& frame)
    {
        history.records.sortByStart();
        frame.init(&history.records, &filter, &todayTotals, &sharedStat);
    }
};
