// Calendar dates as the ad library counts them: UTC days, file times
// (100-nanosecond units since 1 January 1601) for the sync stamp, and the
// simple month arithmetic of the sync-due rule.
#pragma once

#include <cstdint>
#include <string>

namespace pyra {

struct Date {
  int year = 0, month = 0, day = 0;
};

struct DateTime {
  Date date;
  int hour = 0, minute = 0, second = 0;
};

// 31, 30 for April, June, September and November; February 29 in a year
// divisible by 4, else 28. 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
bool ValidDate(const Date& date);
// Adds days carrying at most once into the next month and once into the
// next year (intervals here are at most 14 days).
Date AddDaysOnce(const Date& date, int days);
// Year, then month, then day: <0, 0, >0.
int CompareDates(const Date& a, const Date& b);
// yyyymmdd as a number.
std::int32_t DateNumber(const Date& date);
// "%04d%02d%02d".
std::string DateText(const Date& date);

constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000ull;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kFileTimeUnixOffset = 11644473600ull;

DateTime FromFileTime(std::uint64_t file_time);
std::uint64_t ToFileTime(const DateTime& time);
// Whole seconds from 2000-01-01 00:00:00 UTC (negative before).
std::int64_t SecondsSince2000(std::uint64_t file_time);
// An hour count that only grows: days since 1601 times 24 plus the hour.
std::int64_t HourStamp(std::uint64_t file_time);

}  // namespace pyra
