#include "secrets.h"

#include <crypt.h>
#include <sys/random.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace tidelark_server {
namespace {

constexpr char kPrefix[] = "$y$";

// Bounds the hashes in flight: each takes some 32 MB and a processor.
class HashSlots {
 public:
  HashSlots() : free_(std::max(1u, std::thread::hardware_concurrency())) {}
  void Acquire() {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return free_ > 0; });
    --free_;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      ++free_;
    }
    cv_.notify_one();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  unsigned free_;
};

HashSlots& Slots() {
  static HashSlots slots;
  return slots;
}

// crypt_rn with a slot; "" on failure (libxcrypt writes "*" outputs then).
std::string Crypt(const std::string& password, const char* setting) {
  if (password.find('\0') != std::string::npos) return "";
  crypt_data data;
  std::memset(&data, 0, sizeof data);
  Slots().Acquire();
  const char* out = crypt_rn(password.c_str(), setting, &data, sizeof data);
  Slots().Release();
  std::string result = out && out[0] != '*' ? out : "";
  explicit_bzero(&data, sizeof data);
  return result;
}

bool SameText(const std::string& a, const std::string& b) {
  // Constant time over the longer text: no early exit that times the match.
  std::size_t n = std::max(a.size(), b.size());
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    diff |= static_cast<unsigned char>(x ^ y);
  }
  return diff == 0;
}

}  // namespace

std::string RandomToken() {
  unsigned char bytes[16];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n <= 0) return "";
    got += static_cast<std::size_t>(n);
  }
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
  }
  return out;
}

bool IsPasswordHash(const std::string& stored) { return stored.compare(0, 3, kPrefix) == 0; }

std::string HashPassword(const std::string& password) {
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  // Count 0: libxcrypt's current default cost; the salt comes from getrandom.
  if (!crypt_gensalt_rn(kPrefix, 0, nullptr, 0, setting, sizeof setting)) return "";
  return Crypt(password, setting);
}

PasswordCheck CheckPassword(const std::string& stored, const std::string& password) {
  if (!IsPasswordHash(stored))
    return SameText(stored, password) ? PasswordCheck::kMatchNeedsNewHash : PasswordCheck::kMismatch;
  std::string again = Crypt(password, stored.c_str());
  if (again.empty() || !SameText(again, stored)) return PasswordCheck::kMismatch;
  return crypt_checksalt(stored.c_str()) == CRYPT_SALT_OK ? PasswordCheck::kMatch
                                                           : PasswordCheck::kMatchNeedsNewHash;
}

}  // namespace tidelark_server
