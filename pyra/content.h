// An ad's content: the image bytes of a "JPEG" ad, the pieces of an
// "ImageMap" ad joined into one image, or the text of an "HTML" ad.
//
// Invariant: an assembled image never grows past kMaxContentBytes, however
// the server filled the map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "handle.h"
#include "store_access.h"

namespace pyra {

constexpr std::size_t kMaxContentBytes = 4u << 20;

// How an ad is drawn, from its exact "Format".
DrawKind DrawKindOf(const std::string& format);

// A binary property, else "Content " (with its space), else "Image".
std::int32_t ReadContentBlob(store::Object* object, const char* name, std::string* bytes);

// Joins the pieces an "ImageMap" blob names; the first failing piece's code
// (1002 for a map that is not well formed or too large).
std::int32_t AssembleImageMap(store::Database* ads, store::Object* ad, std::string* image);

// Loads the content by the start of "Format"; a broken image map deletes the
// ad from the database so that it is not picked again. 0 or the error.
std::int32_t LoadContent(store::Database* ads, store::Object* ad, std::string* content);

}  // namespace pyra
