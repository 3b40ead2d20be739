#include "ad_texts.h"

#include <algorithm>
#include <cstring>

namespace pyra {

bool ParseLeadingInt(const std::string& text, std::size_t pos, std::int32_t* value) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
  std::int64_t v = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
    if (v <= INT32_MAX) v = v * 10 + (text[pos] - '0');
  if (negative) v = -v;
  *value = static_cast<std::int32_t>(std::max<std::int64_t>(INT32_MIN, std::min<std::int64_t>(INT32_MAX, v)));
  return true;
}

bool AdSpaceListed(const std::string& list, std::int32_t ad_space) {
  if (ad_space == -1) return true;
  const std::string wanted = std::to_string(ad_space);
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = list.find(',', start);
    std::size_t end = comma == std::string::npos ? list.size() : comma;
    if (list.compare(start, end - start, wanted) == 0) return true;
    if (comma == std::string::npos) return false;
    start = comma + 1;
  }
}

bool ExpiryPassed(const std::string& today_text, const std::string& expiry_text) {
  return today_text.compare(expiry_text) > 0;
}

std::int32_t ExpiryNumber(const std::string& expiry_text) {
  std::int32_t value = 0;
  return ParseLeadingInt(expiry_text, 0, &value) ? value : 0;
}

std::vector<std::string> SplitKeywords(const std::string& text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (;;) {
    std::size_t space = text.find(' ', start);
    if (space == std::string::npos) {
      words.push_back(text.substr(start));
      return words;
    }
    words.push_back(text.substr(start, space - start));
    start = space + 1;
  }
}

namespace {

// The zero-terminated string at *pos; false when the bytes end first.
bool NextString(const std::string& bytes, std::size_t* pos, std::string* out) {
  std::size_t zero = bytes.find('\0', *pos);
  if (zero == std::string::npos) return false;
  out->assign(bytes, *pos, zero - *pos);
  *pos = zero + 1;
  return true;
}

}  // namespace

bool ParseImageMap(const std::string& bytes, std::vector<ImageMapEntry>* entries) {
  entries->clear();
  std::size_t pos = 0;
  for (;;) {
    ImageMapEntry entry;
    if (!NextString(bytes, &pos, &entry.object)) return false;
    if (entry.object.empty()) return true;
    std::string skipped;
    if (!NextString(bytes, &pos, &entry.property) || entry.property.empty()) return false;
    for (int i = 0; i < 3; ++i)
      if (!NextString(bytes, &pos, &skipped)) return false;
    entries->push_back(std::move(entry));
  }
}

std::string JoinAdSpaces(const std::vector<std::int32_t>& ids) {
  std::string text;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i) text += ';';
    text += std::to_string(ids[i]);
  }
  return text;
}

std::vector<std::int32_t> AdSpacesFromBlob(const std::string& bytes) {
  std::vector<std::int32_t> ids(bytes.size() / 4);
  if (!ids.empty()) std::memcpy(ids.data(), bytes.data(), ids.size() * 4);
  return ids;
}

std::string AdSpacesToBlob(const std::vector<std::int32_t>& ids) {
  std::string bytes(ids.size() * 4, '\0');
  if (!ids.empty()) std::memcpy(&bytes[0], ids.data(), bytes.size());
  return bytes;
}

void MergeAdSpaces(std::vector<std::int32_t>* list, const std::vector<std::int32_t>& ids) {
  for (std::int32_t id : ids)
    if (std::find(list->begin(), list->end(), id) == list->end()) list->push_back(id);
}

void RemoveAdSpace(std::vector<std::int32_t>* list, std::int32_t id) {
  auto it = std::find(list->begin(), list->end(), id);
  if (it == list->end()) return;
  *it = list->back();
  list->pop_back();
}

bool NumberAfterSpace(const std::string& name, std::int32_t* number) {
  std::size_t space = name.find(' ');
  return space != std::string::npos && ParseLeadingInt(name, space + 1, number);
}

}  // namespace pyra
