// The texts and byte lists the ad server writes into ads, read without
// trusting them: "AdSpaces" lists, "ExpTime" dates, image maps; and the
// ad-space id lists the library keeps itself.
//
// Invariant: nothing here reads past the bytes it is given, whatever they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pyra {

// The decimal number at text[pos] (blanks and a sign allowed before it),
// clamped to int32; false when no digit follows.
bool ParseLeadingInt(const std::string& text, std::size_t pos, std::int32_t* value);

// Whether the ad space, in decimal, is one whole item of the comma-separated
// list (items are compared as they are: no spaces trimmed). -1 matches any list.
bool AdSpaceListed(const std::string& list, std::int32_t ad_space);

// "ExpTime" has passed when today's "yyyymmdd" compares greater as bytes.
bool ExpiryPassed(const std::string& today_text, const std::string& expiry_text);
// The decimal value of "ExpTime" for the ring (leading digits; 0 when none).
std::int32_t ExpiryNumber(const std::string& expiry_text);

// The words of a keyword text: every space ends a word, so two spaces in a
// row give an empty word.
std::vector<std::string> SplitKeywords(const std::string& text);

// One entry of an image map: the object and the property whose bytes are
// the next piece of the picture.
struct ImageMapEntry {
  std::string object;
  std::string property;
};
// Entries of five zero-terminated strings (object, property and three the
// library skips) until an empty object name. False when the bytes end
// before the list does, or an entry names an empty property.
bool ParseImageMap(const std::string& bytes, std::vector<ImageMapEntry>* entries);

// Ad-space ids in decimal joined by ";" (no trailing separator).
std::string JoinAdSpaces(const std::vector<std::int32_t>& ids);
// The int32 array of an "AdIDs"/"AdIDsBlob" blob (trailing bytes ignored).
std::vector<std::int32_t> AdSpacesFromBlob(const std::string& bytes);
std::string AdSpacesToBlob(const std::vector<std::int32_t>& ids);
// Appends each id not yet present, in order.
void MergeAdSpaces(std::vector<std::int32_t>* list, const std::vector<std::int32_t>& ids);
// Removes one occurrence of the id; the last entry moves into its place.
void RemoveAdSpace(std::vector<std::int32_t>* list, std::int32_t id);

// The number after the first space of an object name ("Ad 101" -> 101);
// false when there is none.
bool NumberAfterSpace(const std::string& name, std::int32_t* number);

}  // namespace pyra
