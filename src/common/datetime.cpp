#include "common/datetime.h"

#include "common/dbglogger.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <langinfo.h>

namespace {

// Days between 1899-12-30 and 1970-01-01.
constexpr std::int64_t UnixEpochDays = 25569;

// Days from 1970-01-01 to a proleptic Gregorian date.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

// Whole milliseconds since 1899-12-30 00:00, rounded once so that date and
// time decode consistently (23:59:59.9996 is the next day at 00:00).
std::int64_t totalMilliseconds(TDateTime dateTime)
{
    return std::llround(dateTime * MSecsPerDay);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::atomic<bool> nowFixed{false};
std::atomic<double> fixedNow{0.0};

} // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInAMonth(year, month))
        return false;
    result = static_cast<TDateTime>(daysFromCivil(year, static_cast<unsigned>(month),
                                                  static_cast<unsigned>(day)) +
                                    UnixEpochDays);
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime result = 0;
    if (!TryEncodeDate(year, month, day, result))
        throw LTException("Invalid argument to date encode");
    return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / MSecsPerDay;
}

void DecodeDate(TDateTime dateTime, int& year, int& month, int& day)
{
    const std::int64_t days = floorDiv(totalMilliseconds(dateTime), 86400000);
    civilFromDays(days - UnixEpochDays, year, month, day);
}

void DecodeTime(TDateTime dateTime, int& hour, int& minute, int& second, int& millisecond)
{
    const std::int64_t total = totalMilliseconds(dateTime);
    std::int64_t ms = total - floorDiv(total, 86400000) * 86400000;
    millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    second = static_cast<int>(ms % 60);
    ms /= 60;
    minute = static_cast<int>(ms % 60);
    hour = static_cast<int>(ms / 60);
}

int DayOfWeek(TDateTime dateTime)
{
    // Day 0, 1899-12-30, was a Saturday.
    const std::int64_t days = floorDiv(totalMilliseconds(dateTime), 86400000);
    return static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
}

TDateTime IncMonth(TDateTime dateTime, int months)
{
    int year, month, day;
    DecodeDate(dateTime, year, month, day);
    const int index = year * 12 + (month - 1) + months;
    year = static_cast<int>(floorDiv(index, 12));
    month = index - year * 12 + 1;
    day = std::min(day, DaysInAMonth(year, month));
    const std::int64_t total = totalMilliseconds(dateTime);
    const double timeOfDay = static_cast<double>(total - floorDiv(total, 86400000) * 86400000) / MSecsPerDay;
    return EncodeDate(year, month, day) + timeOfDay;
}

TDateTime DateTimeFromUnix(std::time_t seconds, long nanoseconds)
{
    std::tm local {};
    localtime_r(&seconds, &local);
    TDateTime date = 0;
    TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
    // The fraction of the second is kept whole, not cut to milliseconds: two
    // samples of one collector pass are microseconds apart and must differ.
    const double wholeSeconds = (local.tm_hour * 60.0 + local.tm_min) * 60.0 + local.tm_sec;
    const double milliseconds = wholeSeconds * 1000.0 + static_cast<double>(nanoseconds) / 1e6;
    return date + milliseconds / MSecsPerDay;
}

double UnixFromDateTime(TDateTime dateTime)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, minute, second, millisecond);
    std::tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<double>(std::mktime(&local)) + millisecond / 1000.0;
}

TDateTime Now()
{
    if (nowFixed.load(std::memory_order_acquire))
        return fixedNow.load(std::memory_order_relaxed);
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return DateTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

void SetFixedNow(TDateTime dateTime)
{
    fixedNow.store(dateTime, std::memory_order_relaxed);
    nowFixed.store(true, std::memory_order_release);
}

void ClearFixedNow() { nowFixed.store(false, std::memory_order_release); }

namespace {

// The first character of a strftime pattern that is neither a conversion
// nor a letter: the separator the locale writes between fields.
char separatorOf(const char* pattern, char fallback)
{
    for (const char* p = pattern; *p; ++p) {
        if (*p == '%') {
            if (p[1])
                ++p;
            continue;
        }
        if (*p != ' ' && !std::isalpha(static_cast<unsigned char>(*p)))
            return std::ispunct(static_cast<unsigned char>(*p)) ? *p : fallback; // one ASCII mark, or none
    }
    return fallback;
}

} // namespace

namespace {

// The numeric date pattern of the locale: the fields 'd', 'm', 'y' in the
// locale's order, joined by its separator when that is one ASCII mark
// ("%d. %m. %Y" gives "d.m.y"). A locale whose date has words or other
// marks between the fields ("%Y년 %m월 %d일") writes ISO instead, so that
// the text has no blanks and reads back the same.
struct DatePattern {
    std::string text; // e.g. "m/d/y" or "d.m.y"
};

DatePattern localeDatePattern()
{
    std::string format = nl_langinfo(D_FMT);
    for (const auto& [shorthand, full] : {std::pair<std::string, std::string>{"%F", "%Y-%m-%d"}, {"%D", "%m/%d/%y"}})
        for (std::size_t at = format.find(shorthand); at != std::string::npos; at = format.find(shorthand))
            format.replace(at, 2, full);
    std::string fields, separator;
    bool mixed = false;
    std::string between;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char c = format[++i];
            const char field = c == 'd' || c == 'e' ? 'd' : c == 'm' ? 'm' : c == 'y' || c == 'Y' ? 'y' : 0;
            if (!field)
                continue;
            if (!fields.empty()) {
                std::string mark;
                for (const char b : between)
                    if (b != ' ')
                        mark += b;
                if (separator.empty())
                    separator = mark;
                mixed = mixed || mark != separator;
            }
            between.clear();
            fields += field;
        } else if (!fields.empty()) {
            between += format[i];
        }
    }
    const bool simple = separator.size() == 1 && std::ispunct(static_cast<unsigned char>(separator[0])) && !mixed;
    if (fields.size() != 3 || !simple || fields.find('d') == std::string::npos ||
        fields.find('m') == std::string::npos || fields.find('y') == std::string::npos)
        return {"y-m-d"};
    return {std::string{fields[0], separator[0], fields[1], separator[0], fields[2]}};
}

} // namespace

FormatSettings FormatSettings::fromLocale()
{
    FormatSettings settings;
    const std::string pattern = localeDatePattern().text;
    settings.dateSeparator = pattern[1];
    settings.timeSeparator = separatorOf(nl_langinfo(T_FMT), ':');
    for (int i = 0; i < 12; ++i) {
        settings.shortMonthNames[i] = nl_langinfo(static_cast<nl_item>(ABMON_1 + i));
        // The standalone form ("Январь"), as titles and rows show a month
        // on its own; languages without one give the usual name.
        const char* standalone = nl_langinfo(static_cast<nl_item>(ALTMON_1 + i));
        settings.longMonthNames[i] = standalone && standalone[0] ? standalone : nl_langinfo(static_cast<nl_item>(MON_1 + i));
    }
    for (int i = 0; i < 7; ++i) {
        settings.shortDayNames[i] = nl_langinfo(static_cast<nl_item>(ABDAY_1 + i));
        settings.longDayNames[i] = nl_langinfo(static_cast<nl_item>(DAY_1 + i));
    }
    return settings;
}

namespace {

void appendNumber(std::string& out, int value, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    out += text;
}

} // namespace

std::string FormatDateTime(std::string_view format, TDateTime dateTime,
                           const FormatSettings& settings)
{
    int year, month, day, hour, minute, second, millisecond;
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, minute, second, millisecond);

    std::string out;
    bool afterHour = false;
    for (std::size_t i = 0; i < format.size();) {
        const char c = format[i];
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '"' || c == '\'') {
            const std::size_t close = format.find(c, i + 1);
            const std::size_t end = close == std::string_view::npos ? format.size() : close;
            out.append(format.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() &&
               std::tolower(static_cast<unsigned char>(format[i + run])) == lower)
            ++run;
        switch (lower) {
        case 'd':
            if (run <= 2)
                appendNumber(out, day, static_cast<int>(run));
            else
                out += (run == 3 ? settings.shortDayNames : settings.longDayNames)[DayOfWeek(dateTime) - 1];
            afterHour = false;
            break;
        case 'm':
            if (run <= 2 && afterHour)
                appendNumber(out, minute, static_cast<int>(run));
            else if (run <= 2)
                appendNumber(out, month, static_cast<int>(run));
            else
                out += (run == 3 ? settings.shortMonthNames : settings.longMonthNames)[month - 1];
            afterHour = false;
            break;
        case 'y':
            if (run <= 2)
                appendNumber(out, year % 100, 2);
            else
                appendNumber(out, year, 4);
            afterHour = false;
            break;
        case 'h':
            appendNumber(out, hour, run >= 2 ? 2 : 1);
            afterHour = true;
            break;
        case 'n':
            appendNumber(out, minute, run >= 2 ? 2 : 1);
            afterHour = false;
            break;
        case 's':
            appendNumber(out, second, run >= 2 ? 2 : 1);
            afterHour = false;
            break;
        case 'z':
            appendNumber(out, millisecond, run >= 3 ? 3 : 1);
            afterHour = false;
            break;
        case '/':
            out.append(run, settings.dateSeparator);
            break;
        case ':':
            out.append(run, settings.timeSeparator);
            break;
        default:
            out.append(format.substr(i, run));
            break;
        }
        i += run;
    }
    return out;
}

std::string FormatDateTime(std::string_view format, TDateTime dateTime)
{
    return FormatDateTime(format, dateTime, FormatSettings::fromLocale());
}

namespace {

bool parseWithPattern(std::string_view text, const std::string& pattern, TDateTime& date, bool fourDigitYear)
{
    int year = -1, month = -1, day = -1;
    std::size_t at = 0;
    for (const char field : pattern) {
        if (field != 'd' && field != 'm' && field != 'y') {
            if (at >= text.size() || text[at] != field)
                return false;
            ++at;
            continue;
        }
        const std::size_t begin = at;
        int value = 0;
        while (at < text.size() && at - begin < 4 && std::isdigit(static_cast<unsigned char>(text[at])))
            value = value * 10 + (text[at++] - '0');
        const std::size_t digits = at - begin;
        if (digits == 0 || (field != 'y' && digits > 2) || (field == 'y' && digits != 4 && (fourDigitYear || digits != 2)))
            return false;
        if (field == 'y')
            year = digits == 2 ? 2000 + value : value;
        else if (field == 'm')
            month = value;
        else
            day = value;
    }
    return at == text.size() && TryEncodeDate(year, month, day, date);
}

} // namespace

namespace {

std::string dateWithPattern(TDateTime date, const std::string& pattern)
{
    int year, month, day;
    DecodeDate(date, year, month, day);
    std::string out;
    for (const char field : pattern) {
        if (field == 'd')
            appendNumber(out, day, 2);
        else if (field == 'm')
            appendNumber(out, month, 2);
        else if (field == 'y')
            appendNumber(out, year, 4);
        else
            out += field;
    }
    return out;
}

constexpr char isoDatePattern[] = "y-m-d";

} // namespace

std::string DateToStr(TDateTime date) { return dateWithPattern(date, localeDatePattern().text); }

std::string DateToISO(TDateTime date) { return dateWithPattern(date, isoDatePattern); }

bool TryStrToDate(std::string_view text, TDateTime& date)
{
    return parseWithPattern(text, isoDatePattern, date, true) || parseWithPattern(text, localeDatePattern().text, date, false);
}
