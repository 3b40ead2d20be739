// One string table of a loaded pack. Invariant: entries[i] has ID
// first_id + i, and its text is zero-terminated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lang {

struct LanguageEntry {
  std::u16string text;
  std::string narrow;  // filled on first narrow use
  bool has_narrow = false;
  std::uint32_t length = 0;  // stored length in UTF-16 units
  std::uint32_t crc = 0;     // TranslateKey of the text
};

struct LanguageTable {
  std::vector<LanguageEntry> entries;
  std::u16string extra;
  std::int32_t first_id = 0;

  LanguageEntry* Find(int id) {
    std::int64_t index = static_cast<std::int64_t>(id) - first_id;
    if (index < 0 || index >= static_cast<std::int64_t>(entries.size())) return nullptr;
    return &entries[static_cast<std::size_t>(index)];
  }
};

// Characters Translate compares: the whole text, less one trailing space.
std::size_t TranslateLength(const char16_t* text, std::size_t length);
// CRC-32 over the first n bytes of the text's UTF-16 storage, n as above.
std::uint32_t TranslateKey(const char16_t* text, std::size_t length);

}  // namespace lang
