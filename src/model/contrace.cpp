#include "model/contrace.h"

#include "common/ltassert.h"
#include "model/sharedstatreader.h"

#include <algorithm>

ConnectionTrace::ConnectionTrace(int trackLength, const std::string& name, std::uint8_t type,
                                 std::uint32_t lastSent, std::uint32_t lastReceived)
    : samples(static_cast<std::size_t>(trackLength)), name(name), type(type), lastSent(lastSent),
      lastReceived(lastReceived)
{
}

void ConnectionTrace::push(XmitedRcved sample)
{
    std::move(samples.begin() + 1, samples.end(), samples.begin());
    samples.back() = sample;
}

std::uint32_t ConnectionTrace::smoothed(std::size_t t) const
{
    auto sum = [this](std::size_t i) { return static_cast<std::uint32_t>(samples[i].xmited + samples[i].rcved); };
    return static_cast<std::uint32_t>(0.2 * sum(t) + 0.3 * sum(t + 1) + 0.5 * sum(t + 2));
}

void ConnectionTrace::update(std::uint32_t sent, std::uint32_t received)
{
    XmitedRcved sample;
    if ((sent >= lastSent && received >= lastReceived) || missingCount == 0) {
        // Rising counters, or a wrap past 2^32 while present: the distance
        // modulo 2^32.
        sample = {sent - lastSent, received - lastReceived};
    } else {
        sample = {sent, received}; // back after an absence, counters restarted
    }
    push(sample);
    maxTraffic = std::max(maxTraffic, smoothed(samples.size() - 3));
    lastSent = sent;
    lastReceived = received;
    missingCount = 0;
}

void ConnectionTrace::missing()
{
    push({});
    ++missingCount;
}

std::uint32_t ConnectionTrace::getTraffic(int t) const
{
    LT_ASSERT(t < getVisibleTrackLength());
    return smoothed(static_cast<std::size_t>(t));
}

ConnectionsTracer::ConnectionsTracer(int trackLength) : trackLength(trackLength) { LT_ASSERT(trackLength >= 3); }

int ConnectionsTracer::indexOf(const char* name) const
{
    LT_ASSERT(name);
    for (std::size_t i = 0; i < traces.size(); ++i)
        if (traces[i]->getName() == name)
            return static_cast<int>(i);
    return -1;
}

void ConnectionsTracer::update(const SharedStatisticsReader& table)
{
    const std::size_t existing = traces.size();
    std::vector<bool> seen(existing, false);
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        const int at = indexOf(table.getName(i));
        if (at >= 0) {
            if (static_cast<std::size_t>(at) < existing)
                seen[static_cast<std::size_t>(at)] = true;
            traces[static_cast<std::size_t>(at)]->update(table.getLastSent(i), table.getLastReceived(i));
        } else {
            traces.push_back(std::make_unique<ConnectionTrace>(trackLength, table.getName(i),
                                                               table.getConnectionType(i), table.getLastSent(i),
                                                               table.getLastReceived(i)));
        }
    }
    for (std::size_t i = 0; i < existing; ++i)
        if (!seen[i])
            traces[i]->missing();
    std::erase_if(traces, [this](const std::unique_ptr<ConnectionTrace>& t) {
        return t->getMissingCount() >= static_cast<std::uint32_t>(trackLength);
    });
}
