// Secrets the server makes and checks: anchors and account passwords.
//
// Anchors are 128 random bits from the system's source, so that no device
// can guess another's. Passwords are kept only as yescrypt hashes (libxcrypt,
// with a random salt); a row an older server left in plain text is still
// accepted once and reported as needing a new hash. Hashing is slow and
// takes memory on purpose: at most one hash per processor runs at a time.
#pragma once

#include <string>

namespace tidelark_server {

// 32 lower-case hex digits; "" when the system gave no random bytes.
std::string RandomToken();

// A new salted hash of the password; "" when hashing failed.
std::string HashPassword(const std::string& password);

enum class PasswordCheck {
  kMatch,
  kMatchNeedsNewHash,  // right, but stored in plain text or with an outdated setting
  kMismatch,
};
PasswordCheck CheckPassword(const std::string& stored, const std::string& password);

// True when the stored text is a hash this server made (not plain text).
bool IsPasswordHash(const std::string& stored);

}  // namespace tidelark_server
