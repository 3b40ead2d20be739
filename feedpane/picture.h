// An article's pictures: objects whose "Feed" names the article. A picture
// is stored whole in "Image", or in parts that its "ImageMap" lists (each
// entry: the part's object, its property, and two texts the plug-in skips;
// an empty text ends the list). "Content Image" and "Content ImageMap" are
// the older names of the two properties.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin/plugin_api.h"

namespace feedpane {

// The bytes of one picture object; false when it has none or its parts do
// not come together (its stored picture properties are then deleted, so a
// broken picture is not tried again).
bool PictureBytes(KorvelPluginDBInterface* db, store::Object* picture, std::string* bytes);

// The decoded pictures that belong to the article with this feed key, in
// the order the store lists them; a picture that does not decode is null.
// Pictures wider than max_width are scaled down to it.
std::vector<HBITMAP> LoadPictures(KorvelPluginDBInterface* db, const std::string& feed_key, int max_width);

// The feed key of an article: its object name after the first space.
std::string FeedKeyOf(const std::string& article_name);

}  // namespace feedpane
