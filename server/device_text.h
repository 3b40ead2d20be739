// Text as each device shows it. The server keeps UTF-8; a device shows its
// 8-bit text through its ANSI code page, which its "Lang" (the locale's
// abbreviated language name: "RUS", "ELL", "PLK", "DEU" ...) tells. Text goes
// out in that page (1250 to 1258, 874; double-byte locales get 1252, since the
// device cuts texts by bytes), and what the page lacks is transliterated
// (Cyrillic, Greek or Han to Latin letters, typographic signs to ASCII), so
// that nothing arrives as "?" that could be read otherwise.
#pragma once

#include <cstddef>
#include <string>

namespace tidelark_server {

constexpr int kDefaultCodePage = 1252;

// The ANSI code page of a "Lang" value; 1252 for unknown or empty ones.
int CodePageOfLanguage(const std::string& lang);

// UTF-8 to the code page. Invalid UTF-8 bytes are taken as Windows-1252.
// `markup`: the text is HTML, so transliterations never bring in "<", ">"
// or "&" of their own (they go out as entities).
std::string ToDeviceText(const std::string& utf8, int code_page, bool markup = false);

// The device's bytes in its code page to UTF-8.
std::string FromDeviceText(const std::string& bytes, int code_page);

// C1 controls (U+0080..U+009F: Windows-1252 bytes that were labelled
// Latin-1 or UTF-8) become the characters they stand for in Windows-1252.
std::string RepairC1(const std::string& utf8);

// True when the bytes are valid UTF-8.
bool IsValidUtf8(const std::string& bytes);

// Appends the UTF-8 encoding of a code point.
void AppendUtf8(char32_t cp, std::string* out);

// Cuts an 8-bit text to at most max bytes without splitting an entity or a tag.
std::string CutText(const std::string& text, std::size_t max);

}  // namespace tidelark_server
