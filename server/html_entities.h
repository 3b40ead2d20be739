// HTML character references in feeds. Feeds use HTML's named entities
// ("&nbsp;", "&eacute;") that XML does not declare, and browsers' bare legacy
// forms ("&copy 2024", "&amp" without ";"); an XML parser in recovery mode
// drops them and garbles what follows. Both functions follow the HTML rules:
// the longest known name with ";", else the longest legacy name without it
// (not inside an attribute value when a letter, digit or "=" follows); numeric
// references with or without ";", C1 values as Windows-1252.
#pragma once

#include <string>

namespace tidelark_server {

// Rewrites a feed document so that an XML parser sees every reference as
// the author meant it: HTML names become numeric references, a "&" that
// starts no reference becomes "&amp;". XML's own five names, names the
// document declares, CDATA sections, comments and processing instructions
// are left alone.
std::string MakeEntitiesXmlSafe(const std::string& document);

// Decodes the references in UTF-8 text outside its tags. With `markup` (text
// the device treats as HTML) "<", ">" and "&" stay escaped, and a bare "&"
// goes out as "&amp;" so that the device reads no entity into it.
std::string DecodeHtmlEntities(const std::string& text, bool markup);

// Plain text for a device that reads HTML: "<", ">" and "&" escaped.
std::string EscapeMarkup(const std::string& text);

}  // namespace tidelark_server
