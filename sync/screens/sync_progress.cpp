#include "sync/screens/sync_state.h"

namespace {

int Clamp(int v) { return v < 0 ? 0 : v > 100 ? 100 : v; }

}  // namespace

void SyncProgress::Reset() {
  std::lock_guard<std::mutex> lock(mu_);
  unsigned serial = values_.serial + 1;
  values_ = Values();
  values_.serial = serial;
}

bool SyncProgress::Store(int first, int second, const char* text, int state) {
  first = Clamp(first);
  second = Clamp(second);
  std::lock_guard<std::mutex> lock(mu_);
  if (first == values_.first && second == values_.second && state == values_.state) return false;
  values_.first = first;
  values_.second = second;
  if (second > values_.longest_second) values_.longest_second = second;
  values_.state = state;
  values_.text = text && *text ? std::string(text).substr(0, kTextBytes - 1) : std::string(" ");
  ++values_.serial;
  return true;
}

SyncProgress::Values SyncProgress::Read() const {
  std::lock_guard<std::mutex> lock(mu_);
  return values_;
}
