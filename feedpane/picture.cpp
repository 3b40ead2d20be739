#include "picture.h"

#include <cstring>
#include <memory>

#include "gui/image_decode.h"
#include "store_read.h"

namespace feedpane {

namespace {

struct Part {
  std::string object;
  std::string property;
};

// The map's entries up to the empty text; false when it ends early.
bool ParseImageMap(const std::string& map, std::vector<Part>* parts) {
  std::size_t at = 0;
  auto next = [&](std::string* text) {
    std::size_t end = map.find('\0', at);
    if (end == std::string::npos) return false;
    *text = map.substr(at, end - at);
    at = end + 1;
    return true;
  };
  for (;;) {
    Part part;
    if (!next(&part.object)) return false;
    if (part.object.empty()) return true;
    std::string skipped;
    if (!next(&part.property) || !next(&skipped) || !next(&skipped)) return false;
    parts->push_back(std::move(part));
  }
}

// Joins the parts the map lists: the sizes first, then one buffer for all.
bool JoinParts(KorvelPluginDBInterface* db, const std::vector<Part>& parts, std::string* bytes) {
  if (parts.empty()) return false;
  std::vector<std::unique_ptr<StoredObject>> held;
  std::vector<std::uint32_t> sizes;
  std::size_t total = 0;
  for (const Part& part : parts) {
    held.push_back(std::make_unique<StoredObject>(db));
    if (held.back()->Read(part.object.c_str()) != store::kStoreOk) return false;
    char probe[2];
    std::uint32_t size = sizeof probe;
    store::StoreCode code =
        db->GetProperty(held.back()->get(), part.property.c_str(), store::kTypeBinary, probe, &size);
    if (code != store::kStoreOk && code != store::kStoreBufferTooSmall) return false;
    sizes.push_back(size);
    total += size;
  }
  bytes->assign(total, '\0');
  std::size_t at = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::uint32_t size = sizes[i];
    if (size == 0) continue;
    if (db->GetProperty(held[i]->get(), parts[i].property.c_str(), store::kTypeBinary, &(*bytes)[at], &size) !=
            store::kStoreOk ||
        size != sizes[i])
      return false;
    at += size;
  }
  return true;
}

}  // namespace

std::string FeedKeyOf(const std::string& article_name) {
  std::size_t space = article_name.find(' ');
  return space == std::string::npos ? std::string() : article_name.substr(space + 1);
}

bool PictureBytes(KorvelPluginDBInterface* db, store::Object* picture, std::string* bytes) {
  std::string map;
  store::StoreCode code = ReadPictureBytes(db, picture, "ImageMap", &map);
  if (code == store::kStorePropertyNotFound) return ReadPictureBytes(db, picture, "Image", bytes) == store::kStoreOk;
  if (code != store::kStoreOk) return false;
  std::vector<Part> parts;
  if (ParseImageMap(map, &parts) && JoinParts(db, parts, bytes)) return true;
  bytes->clear();
  db->DeleteObject(picture, 1);
  return false;
}

std::vector<HBITMAP> LoadPictures(KorvelPluginDBInterface* db, const std::string& feed_key, int max_width) {
  std::vector<HBITMAP> pictures;
  if (feed_key.empty()) return pictures;
  StoredObject example(db);
  if (db->CreateObject(example.out(), nullptr) != store::kStoreOk) return pictures;
  if (db->SetProperty(example.get(), "Feed", store::kTypeText, feed_key.c_str(),
                      static_cast<std::uint32_t>(feed_key.size() + 1), 1, 1, 1, 0) != store::kStoreOk)
    return pictures;
  StoredResult result(db);
  if (db->Query(example.get(), example.get(), store::kCompareRecords, result.out(), nullptr, nullptr, 0) !=
      store::kStoreOk)
    return pictures;
  const std::uint32_t count = db->GetResultCount(result.get());
  StoredObject picture(db);
  store::StoreCode code = db->FirstResult(result.get(), picture.out());
  for (std::uint32_t i = 0; i < count && code != store::kStoreNoMoreResults; ++i) {
    std::string bytes;
    HBITMAP bitmap = nullptr;
    if (code == store::kStoreOk && PictureBytes(db, picture.get(), &bytes)) {
      bitmap = VexaAppGUISystem::DecodeImage(reinterpret_cast<const BYTE*>(bytes.data()),
                                             static_cast<DWORD>(bytes.size()), max_width,
                                             VexaAppGUISystem::kDecodeLimit);
    }
    pictures.push_back(bitmap);
    code = db->NextResult(result.get(), picture.out());
  }
  return pictures;
}

}  // namespace feedpane
