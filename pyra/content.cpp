#include "content.h"

#include <cassert>
#include <map>
#include <utility>
#include <vector>

#include "ad_texts.h"

namespace pyra {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

DrawKind DrawKindOf(const std::string& format) {
  if (format == "JPG" || format == "JPEG" || format == "ImageMap") return DrawKind::kImage;
  if (format == "HTML") return DrawKind::kHtml;
  return DrawKind::kNone;
}

std::int32_t ReadContentBlob(store::Object* object, const char* name, std::string* bytes) {
  std::int32_t rc = ReadBlob(object, name, bytes);
  if (rc == store::kStorePropertyNotFound) rc = ReadBlob(object, "Content ", bytes);
  if (rc == store::kStorePropertyNotFound) rc = ReadBlob(object, "Image", bytes);
  return rc;
}

std::int32_t AssembleImageMap(store::Database* ads, store::Object* ad, std::string* image) {
  image->clear();
  std::string map;
  std::int32_t rc = ReadBlob(ad, "ImageMap", &map);
  if (rc != store::kStoreOk) return rc;
  std::vector<ImageMapEntry> entries;
  if (!ParseImageMap(map, &entries)) return store::kStoreBadArgument;
  // A map may name one piece many times: each is read once.
  std::map<std::pair<std::string, std::string>, std::string> pieces;
  for (const ImageMapEntry& entry : entries) {
    auto key = std::make_pair(entry.object, entry.property);
    auto found = pieces.find(key);
    if (found == pieces.end()) {
      Obj piece;
      rc = LoadObject(ads, entry.object.c_str(), &piece);
      if (rc != store::kStoreOk) return rc;
      std::string bytes;
      rc = ReadContentBlob(piece.get(), entry.property.c_str(), &bytes);
      if (rc != store::kStoreOk) return rc;
      found = pieces.emplace(key, std::move(bytes)).first;
    }
    if (image->size() + found->second.size() > kMaxContentBytes) return store::kStoreBadArgument;
    image->append(found->second);
  }
  assert(image->size() <= kMaxContentBytes);
  return store::kStoreOk;
}

std::int32_t LoadContent(store::Database* ads, store::Object* ad, std::string* content) {
  content->clear();
  std::string format;
  ReadText(ad, "Format", &format);
  if (StartsWith(format, "ImageMap")) {
    std::int32_t rc = AssembleImageMap(ads, ad, content);
    if (rc != store::kStoreOk) {
      content->clear();
      std::string name;
      Obj gone;
      if (ObjectName(ad, SIZE_MAX, &name) && gone.Create(name.c_str()) == store::kStoreOk)
        store::DeleteObject(ads, gone.get(), 0);
    }
    return rc;
  }
  if (StartsWith(format, "JPEG")) return ReadContentBlob(ad, "Content", content);
  if (StartsWith(format, "HTML")) ReadBlob(ad, "HTML", content);
  return store::kStoreOk;
}

}  // namespace pyra
