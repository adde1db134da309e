// TDateTime: days since 1899-12-30 00:00 local time, the fraction being the
// time of day. Calendar arithmetic here involves no time zone; only the
// conversions from and to the system clock follow TZ.
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <string_view>

using TDateTime = double;

inline constexpr double MSecsPerDay = 86400000.0;
inline constexpr double SecsPerDay = 86400.0;

bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);

// False when the date does not exist (month 13, February 30 ...).
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// Throws LTException for a date that does not exist.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
void DecodeDate(TDateTime dateTime, int& year, int& month, int& day);
void DecodeTime(TDateTime dateTime, int& hour, int& minute, int& second, int& millisecond);
// 1 for Sunday .. 7 for Saturday.
int DayOfWeek(TDateTime dateTime);
// The same day and time months later (or earlier), the day cut to the last
// day of a shorter month.
TDateTime IncMonth(TDateTime dateTime, int months);

// The local time of the system clock to the microsecond (about what a
// TDateTime holds at today's dates), or the time a test fixed.
TDateTime Now();
// Tests fix the clock for every thread; ClearFixedNow goes back to the system.
void SetFixedNow(TDateTime dateTime);
void ClearFixedNow();

TDateTime DateTimeFromUnix(std::time_t seconds, long nanoseconds = 0);
// The inverse: seconds since the epoch (with their fraction) of a local
// time; a local time the clock skips reads as the moment after the skip.
double UnixFromDateTime(TDateTime dateTime);

// Month and day names and separators of the user's LC_TIME.
struct FormatSettings {
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::array<std::string, 12> shortMonthNames;
    std::array<std::string, 12> longMonthNames;
    std::array<std::string, 7> shortDayNames; // Sunday first
    std::array<std::string, 7> longDayNames;

    static FormatSettings fromLocale();
};

// Formats with the patterns the views use: d dd ddd dddd, m mm mmm mmmm,
// yy yyyy, h hh, n nn (m right after h is minutes too), s ss, z zzz,
// "/" and ":" as the locale's separators, quoted text as it stands; letters
// may be upper or lower case.
std::string FormatDateTime(std::string_view format, TDateTime dateTime,
                           const FormatSettings& settings);
std::string FormatDateTime(std::string_view format, TDateTime dateTime);

// The user's short date (LC_TIME's D_FMT) with the year always in four
// digits: a two-digit year does not convert back.
std::string DateToStr(TDateTime date);
// yyyy-mm-dd, the form stored files use: it means the same day under every
// locale.
std::string DateToISO(TDateTime date);
// Reads ISO yyyy-mm-dd or the form DateToStr writes (a two-digit year is
// taken as 20yy); false for anything else.
bool TryStrToDate(std::string_view text, TDateTime& date);
