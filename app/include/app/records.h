// The databases and records the program creates at start: categories,
// default channels, the device and user record the sync server receives,
// sync and alert defaults, the agreement flag and usage statistics.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// What the device tells about itself; the application fills it in at start,
// tests fill it in directly. Unset entries give 0 and nothing.
struct DeviceFacts {
  int (*screen_width)() = nullptr;
  int (*screen_height)() = nullptr;
  // LOCALE_SABBREVLANGNAME / LOCALE_SABBREVCTRYNAME of the user default
  // locale; false when the locale does not report it.
  bool (*language_abbreviation)(std::u16string* text) = nullptr;
  bool (*country_abbreviation)(std::u16string* text) = nullptr;
  // The bytes of the channel icon (GIF resource 225).
  std::string (*channel_icon)() = nullptr;
};

void SetDeviceFacts(const DeviceFacts& facts);
const DeviceFacts& GetDeviceFacts();

// The application object's first-run flag: set when the channel list was
// created on this start, or when the agreement was just accepted.
bool FirstRun();
void SetFirstRun(bool first_run);

struct DefaultChannel {
  const char* object_name;
  const char* display_name;
  const char* database_name;
};
constexpr int kDefaultChannelCount = 16;
// The default channels in the order they are written.
const DefaultChannel* DefaultChannels();

// Longest locale abbreviation stored, in characters.
constexpr std::size_t kMaxLocaleText = 40;

void SeedDatabases();
// Writes the device and user objects once, when the database is created.
// Returns 0 or the store's code.
std::int32_t WriteDeviceRecord(const char* database, const char* user_object, const char* device_object);
// Counts a start and remembers its tick for AddTimeUsed.
void CountStart();
// Adds the milliseconds since CountStart to "TimeUsed".
void AddTimeUsed();
void AddTimeUsed(std::uint32_t elapsed_ms);
void AcceptAgreement();
// Whether "EulaAccepted" can be read from "TavoPrefs".
bool AgreementAccepted();

}  // namespace app
