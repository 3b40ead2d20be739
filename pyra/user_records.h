// The device record "PyraDevice" and the user record "PyraUser" in
// "PyraPrefs". Both are written once when the database is created; the
// device's OEM text and current operator are brought up to date at every
// open.
#pragma once

#include <cstdint>

namespace pyra {

// At PyraOpen. Store errors are not reported: the records are best effort.
void WriteDeviceRecords();

// SetUserInformation: an empty user name writes nothing; the password "N/A"
// is stored as the empty text. 0 or the store's code.
std::int32_t SetUser(const char* user, const char* password);
// GetUserInformation: 14008 while the user is "Username"; 13004 with the
// needed length when the buffer is missing or short.
std::int32_t GetUser(char* buffer, std::int32_t* length);

}  // namespace pyra
