// Recent traffic of every connection in the live table, one sample per
// meter tick, for the meter's scrolling chart.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SharedStatisticsReader;

struct XmitedRcved {
    std::uint32_t xmited = 0;
    std::uint32_t rcved = 0;
};

class ConnectionTrace {
public:
    ConnectionTrace(int trackLength, const std::string& name, std::uint8_t type, std::uint32_t lastSent,
                    std::uint32_t lastReceived);

    // A tick in which the connection is in the live table.
    void update(std::uint32_t sent, std::uint32_t received);
    // A tick in which it is not.
    void missing();
    // The smoothed traffic at visible position t, 0 the oldest.
    std::uint32_t getTraffic(int t) const;
    int getVisibleTrackLength() const { return static_cast<int>(samples.size()) - 2; }
    std::uint32_t getMaxTraffic() const { return maxTraffic; }
    const std::string& getName() const { return name; }
    std::uint8_t getType() const { return type; }
    std::uint32_t getMissingCount() const { return missingCount; }

private:
    void push(XmitedRcved sample);
    std::uint32_t smoothed(std::size_t t) const;

    std::vector<XmitedRcved> samples; // oldest first
    std::string name;
    std::uint8_t type;
    std::uint32_t lastSent;
    std::uint32_t lastReceived;
    std::uint32_t maxTraffic = 0;
    std::uint32_t missingCount = 0;
};

class ConnectionsTracer {
public:
    explicit ConnectionsTracer(int trackLength);

    // One tick over the reader's copy of the live table.
    void update(const SharedStatisticsReader& table);
    int indexOf(const char* name) const;
    int count() const { return static_cast<int>(traces.size()); }
    const ConnectionTrace& trace(int index) const { return *traces.at(static_cast<std::size_t>(index)); }

private:
    int trackLength;
    std::vector<std::unique_ptr<ConnectionTrace>> traces;
};
