#pragma once

#include <compare>
#include <cstdint>

class UaString;

/// The calendar fields of a UaDateTime in UTC (proleptic Gregorian calendar).
struct UaDateTimeFields {
    std::int64_t year = 1601;
    unsigned month = 1;
    unsigned day = 1;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    unsigned millisecond = 0;
};

/// A UTC time as the number of 100-nanosecond intervals since 1601-01-01 00:00:00 UTC; 0 is
/// the zero date.
class UaDateTime {
public:
    constexpr UaDateTime() = default;
    constexpr explicit UaDateTime(std::int64_t ticks)
        : m_ticks(ticks)
    {
    }

    /// From calendar fields in UTC (proleptic Gregorian calendar) for years 1 to 9999; fields
    /// out of their ranges carry over, as 60 seconds make a minute.
    static UaDateTime fromUtc(int year, int month, int day, int hour, int minute, int second, int millisecond);

    constexpr std::int64_t ticks() const { return m_ticks; }
    constexpr bool isNull() const { return m_ticks == 0; }

    /// The fields in UTC, to the millisecond (a fraction below is dropped).
    UaDateTimeFields utcFields() const;

    /// ISO 8601 in UTC with milliseconds: "2024-05-01T12:30:00.000Z".
    UaString toString() const;

    friend constexpr bool operator==(UaDateTime a, UaDateTime b) = default;
    friend constexpr std::strong_ordering operator<=>(UaDateTime a, UaDateTime b) = default;

private:
    std::int64_t m_ticks = 0;
};
