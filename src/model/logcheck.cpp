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
    const double duration = std::max(record.end - record.start, 1.0 / SecsPerDay) * SecsPerDay;
    const double most = MOST_BYTES_PER_SECOND * duration;
    if (static_cast<double>(record.sent) > most || static_cast<double>(record.received) > most)
        suspect(span, "more bytes than 100 Gbit/s carry in " + seconds(duration / SecsPerDay));
    if (record.start - record.end > MOST_SET_BACK_DAYS)
        suspect(span, "ends " + seconds(record.start - record.end) + " before it starts");
    if (std::max(record.start, record.end) > now + MOST_DAYS_AHEAD)
        suspect(span, "dated more than a day after now");
    std::string key(1, static_cast<char>(record.type));
    key.append(record.entryName);
    byConnection[key].push_back(span);
}

std::vector<SuspiciousRecord> PlausibilityCheck::finish()
{
    for (auto& [key, spans] : byConnection) {
        std::stable_sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
        const Span* latest = nullptr; // the one that ends last so far
        for (const Span& span : spans) {
            if (latest && latest->end - span.start > MOST_OVERLAP_DAYS)
                suspect(span, "overlaps the record at offset " + std::to_string(latest->offset) + " by " +
                                  seconds(std::min(latest->end, span.end) - span.start));
            if (!latest || span.end > latest->end)
                latest = &span;
        }
    }
    std::vector<SuspiciousRecord> records;
    for (auto& [offset, record] : found)
        records.push_back(std::move(record));
    return records;
}
