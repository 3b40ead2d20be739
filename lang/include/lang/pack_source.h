// The readable source of a language pack, UTF-8, one entry per line:
//
//   # comment
//   @language English        language name stored in the pack
//   @extra text              the pack's second header text
//   @offset 9999             pack ID = number + offset
//   @range 1 259             numbers the pack holds; missing ones are empty
//   92<TAB>Channels          number, one tab or space, the text
//
// Escapes in texts: \n line feed, \r carriage return, \t tab, \\ backslash.
#pragma once

#include <string>

#include "lang/pack_file.h"

namespace lang {

// Parses a source; on failure returns false with a message naming the line.
bool ParsePackSource(const std::string& source, PackData* pack, std::string* error);
// Writes a pack as source; `offset` is subtracted from every ID.
std::string FormatPackSource(const PackData& pack, int offset);

}  // namespace lang
