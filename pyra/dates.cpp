#include "dates.h"

#include <cstdio>

namespace pyra {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian), and back.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

Date CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  Date out;
  out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  out.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (out.month <= 2));
  return out;
}

constexpr std::int64_t kSecondsPerDay = 86400;

}  // namespace

int DaysInMonth(int year, int month) {
  switch (month) {
    case 4: case 6: case 9: case 11:
      return 30;
    case 2:
      return year % 4 == 0 ? 29 : 28;
    default:
      return month >= 1 && month <= 12 ? 31 : 0;
  }
}

bool ValidDate(const Date& date) {
  return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

Date AddDaysOnce(const Date& date, int days) {
  Date out = date;
  out.day += days;
  int length = DaysInMonth(out.year, out.month);
  if (out.day > length) {
    out.day -= length;
    if (++out.month > 12) {
      out.month = 1;
      ++out.year;
    }
  }
  return out;
}

int CompareDates(const Date& a, const Date& b) {
  if (a.year != b.year) return a.year < b.year ? -1 : 1;
  if (a.month != b.month) return a.month < b.month ? -1 : 1;
  if (a.day != b.day) return a.day < b.day ? -1 : 1;
  return 0;
}

std::int32_t DateNumber(const Date& date) { return date.year * 10000 + date.month * 100 + date.day; }

std::string DateText(const Date& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
  return text;
}

DateTime FromFileTime(std::uint64_t file_time) {
  std::int64_t unix_seconds =
      static_cast<std::int64_t>(file_time / kFileTimeTicksPerSecond) - static_cast<std::int64_t>(kFileTimeUnixOffset);
  std::int64_t days = unix_seconds >= 0 ? unix_seconds / kSecondsPerDay : -((-unix_seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  std::int64_t rest = unix_seconds - days * kSecondsPerDay;
  DateTime out;
  out.date = CivilFromDays(days);
  out.hour = static_cast<int>(rest / 3600);
  out.minute = static_cast<int>(rest / 60 % 60);
  out.second = static_cast<int>(rest % 60);
  return out;
}

std::uint64_t ToFileTime(const DateTime& time) {
  std::int64_t seconds = DaysFromCivil(time.date.year, time.date.month, time.date.day) * kSecondsPerDay +
                         time.hour * 3600 + time.minute * 60 + time.second;
  return static_cast<std::uint64_t>(seconds + static_cast<std::int64_t>(kFileTimeUnixOffset)) * kFileTimeTicksPerSecond;
}

std::int64_t SecondsSince2000(std::uint64_t file_time) {
  DateTime epoch;
  epoch.date = {2000, 1, 1};
  return (static_cast<std::int64_t>(file_time) - static_cast<std::int64_t>(ToFileTime(epoch))) /
         static_cast<std::int64_t>(kFileTimeTicksPerSecond);
}

std::int64_t HourStamp(std::uint64_t file_time) {
  return static_cast<std::int64_t>(file_time / (kFileTimeTicksPerSecond * 3600));
}

}  // namespace pyra
