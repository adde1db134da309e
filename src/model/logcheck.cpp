#include "model/logcheck.h"

#include "log/logrecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string formatted(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string seconds(double days) { return formatted("%.0f s", days * SecsPerDay); }

} // namespace

bool PlausibilityCheck::isAhead(const Span& span) const { return std::max(span.start, span.end) > now + MOST_DAYS_AHEAD; }

void PlausibilityCheck::suspect(const Span& span, const std::string& reason)
{
    SuspiciousRecord& record = found[span.offset];
    record.offset = span.offset;
    record.length = span.length;
    record.reason += (record.reason.empty() ? "suspicious: " : "; ") + reason;
}

void PlausibilityCheck::add(std::int64_t frameOffset, std::int64_t frameLength, const LogRecordFields& record)
{
    const Span span{record.start, record.end, frameOffset, frameLength};
    // A record that ends before it starts (the clock set back) held at most
    // a quantum's traffic.
    const double days = record.end >= record.start ? std::max(record.end - record.start, 1.0 / SecsPerDay) : 1.0 / 24;
    const double most = MOST_BYTES_PER_SECOND * days * SecsPerDay;
    if (static_cast<double>(record.sent) > most || static_cast<double>(record.received) > most)
        suspect(span, "more bytes than 100 Gbit/s carry in " + seconds(days));
    if (record.start - record.end > MOST_SET_BACK_DAYS)
        suspect(span, "ends " + seconds(record.start - record.end) + " before it starts");
    if (isAhead(span))
        suspect(span, "dated more than a day after now");
    byConnection[connectionKey(record.type, record.entryName)].push_back(span);
}

std::vector<SuspiciousRecord> PlausibilityCheck::finish()
{
    // The service writes a connection's records in the order of its clock:
    // each starts where the one before it ended.
    for (const auto& [key, spans] : byConnection) {
        const Span* before = nullptr;
        for (const Span& span : spans) {
            if (span.end < span.start) {
                before = nullptr; // the clock was set back: its time runs on from here
                continue;
            }
            if (before && span.start < before->start)
                before = nullptr; // the clock was set back while nothing was logged
            const double overlap = before ? std::min(before->end, span.end) - span.start : 0;
            if (overlap > MOST_OVERLAP_DAYS)
                suspect(span, "overlaps the record at offset " + std::to_string(before->offset) + " by " +
                                  seconds(overlap));
            // A record dated ahead is suspicious itself: its neighbours are not.
            if (!isAhead(span))
                before = &span;
        }
    }
    std::vector<SuspiciousRecord> records;
    for (auto& [offset, record] : found)
        records.push_back(std::move(record));
    return records;
}
