// The device's 8-bit text is Windows-1252. Feed text arrives as UTF-8 (libxml2
// converts every declared charset); characters the code page lacks become the
// nearest ASCII so that nothing arrives as a wrong glyph.
#pragma once

#include <string>

namespace tidelark_server {

// UTF-8 to Windows-1252. Invalid UTF-8 bytes are taken as Windows-1252 bytes.
std::string Utf8To1252(const std::string& utf8);

// True when the bytes are valid UTF-8.
bool IsValidUtf8(const std::string& bytes);

// Cuts an 8-bit text to at most max bytes without splitting an entity or a tag.
std::string CutText(const std::string& text, std::size_t max);

}  // namespace tidelark_server
