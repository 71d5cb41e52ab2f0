#include "uatypes/UaDateTime.h"

#include "uatypes/UaString.h"

#include <array>
#include <cstdio>

namespace {

constexpr std::int64_t kTicksPerMillisecond = 10000;
constexpr std::int64_t kTicksPerSecond = 1000 * kTicksPerMillisecond;
constexpr std::int64_t kSecondsPerDay = 86400;

/// Days from 1601-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t daysSince1601(std::int64_t year, std::int64_t month, std::int64_t day)
{
    // Normalise the month first, so that month 13 is January of the next year.
    year += (month - 1) / 12;
    month = (month - 1) % 12 + 1;
    if (month < 1) {
        month += 12;
        --year;
    }
    // Civil-from-days arithmetic with March as the first month of the year.
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
    const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t daysSince0000 = era * 146097 + dayOfEra;
    // 1601-01-01 in the same count (March-based year 1600, day 306 of it).
    constexpr std::int64_t k1601 = 4 * 146097 + 306;
    return daysSince0000 - k1601;
}

struct Civil {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

Civil civilFromDays(std::int64_t daysSince1601Value)
{
    const std::int64_t z = daysSince1601Value + 4 * 146097 + 306;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const auto month = static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return { year, month, day };
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

UaDateTime UaDateTime::fromUtc(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    const std::int64_t days = daysSince1601(year, month, day);
    const std::int64_t seconds
        = days * kSecondsPerDay + std::int64_t { hour } * 3600 + std::int64_t { minute } * 60 + second;
    return UaDateTime(seconds * kTicksPerSecond + std::int64_t { millisecond } * kTicksPerMillisecond);
}

UaDateTimeFields UaDateTime::utcFields() const
{
    const std::int64_t totalMs = floorDiv(m_ticks, kTicksPerMillisecond);
    const std::int64_t totalSeconds = floorDiv(totalMs, 1000);
    const std::int64_t days = floorDiv(totalSeconds, kSecondsPerDay);
    const std::int64_t secondOfDay = totalSeconds - days * kSecondsPerDay;
    const Civil date = civilFromDays(days);
    return { date.year,
        date.month,
        date.day,
        static_cast<unsigned>(secondOfDay / 3600),
        static_cast<unsigned>(secondOfDay / 60 % 60),
        static_cast<unsigned>(secondOfDay % 60),
        static_cast<unsigned>(totalMs - totalSeconds * 1000) };
}

UaString UaDateTime::toString() const
{
    const UaDateTimeFields f = utcFields();
    std::array<char, 64> text {};
    std::snprintf(text.data(),
        text.size(),
        "%04lld-%02u-%02uT%02u:%02u:%02u.%03uZ",
        static_cast<long long>(f.year),
        f.month,
        f.day,
        f.hour,
        f.minute,
        f.second,
        f.millisecond);
    return UaString(text.data());
}
