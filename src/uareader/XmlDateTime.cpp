#include "uareader/XmlDateTime.h"

namespace UaBase {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerMillisecond = 10'000;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDays1601 = 134'774;

class Cursor {
public:
    explicit Cursor(std::string_view text)
        : m_text(text)
    {
    }

    bool digits(int count, int& value)
    {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (m_at >= m_text.size() || m_text[m_at] < '0' || m_text[m_at] > '9') {
                return false;
            }
            value = value * 10 + (m_text[m_at++] - '0');
        }
        return true;
    }

    bool accept(char expected)
    {
        if (m_at < m_text.size() && m_text[m_at] == expected) {
            ++m_at;
            return true;
        }
        return false;
    }

    bool atDigit() const { return m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9'; }
    bool atEnd() const { return m_at == m_text.size(); }
    void skip() { ++m_at; }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

/// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra - 719'468;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool readMilliseconds(Cursor& cursor, int& milliseconds)
{
    milliseconds = 0;
    if (!cursor.accept('.')) {
        return true;
    }
    if (!cursor.atDigit()) {
        return false;
    }
    int scale = 100;
    while (cursor.atDigit()) {
        int digit = 0;
        cursor.digits(1, digit);
        milliseconds += digit * scale;
        scale /= 10;
    }
    return true;
}

/// The zone's offset from UTC in minutes.
bool readZone(Cursor& cursor, int& offsetMinutes)
{
    offsetMinutes = 0;
    if (cursor.atEnd() || cursor.accept('Z')) {
        return true;
    }
    int sign = 0;
    if (cursor.accept('+')) {
        sign = 1;
    } else if (cursor.accept('-')) {
        sign = -1;
    } else {
        return false;
    }
    int hours = 0;
    int minutes = 0;
    if (!cursor.digits(2, hours) || hours > 12) {
        return false;
    }
    if (cursor.accept(':') && (!cursor.digits(2, minutes) || minutes > 59 || (hours == 12 && minutes > 0))) {
        return false;
    }
    offsetMinutes = sign * (hours * 60 + minutes);
    return true;
}

support::Error malformed() { return support::Error::invalidInput("not a date and time"); }

} // namespace

support::Result<std::int64_t> XmlDateTime::toTicks(std::string_view text)
{
    if (text.size() < 20 || text.size() > 50) {
        return malformed();
    }
    Cursor cursor(text);
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
    int offsetMinutes = 0;
    const bool formed = cursor.digits(4, year) && cursor.accept('-') && cursor.digits(2, month) && cursor.accept('-')
        && cursor.digits(2, day) && cursor.accept('T') && cursor.digits(2, hour) && cursor.accept(':')
        && cursor.digits(2, minute) && cursor.accept(':') && cursor.digits(2, second)
        && readMilliseconds(cursor, milliseconds) && readZone(cursor, offsetMinutes) && cursor.atEnd();
    if (!formed || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59
        || second > 59) {
        return malformed();
    }
    const std::int64_t days = daysFromCivil(year, month, day) + kEpochDays1601;
    const std::int64_t seconds = days * 86'400 + hour * 3'600 + minute * 60 + second - offsetMinutes * 60;
    const std::int64_t result = seconds * kTicksPerSecond + milliseconds * kTicksPerMillisecond;
    return result < 0 ? 0 : result;
}

} // namespace UaBase
