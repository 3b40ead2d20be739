// The device's ANSI code page, Windows-1252, independent of the host's.
#pragma once

#include <string>

namespace lang {

// Characters without a Windows-1252 form become "?".
std::string WideToAnsi(const std::u16string& text);
std::u16string AnsiToWide(const std::string& text);

}  // namespace lang
