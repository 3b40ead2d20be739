#include "record_format.h"

#include <cstring>

namespace store {

std::string EncodeVolumeHeader(std::uint32_t block_count) {
  std::string out(kHeaderBytes, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(&out[0]);
  std::memcpy(p, "IODB", 4);
  Store32(p + 4, block_count);
  Store32(p + 8, kVersionMajor);
  Store32(p + 12, kVersionMinor);
  Store32(p + 16, kReservedRecords);
  return out;
}

void EncodeProperty(const Property& prop, std::uint32_t object_id, std::string* out) {
  std::size_t L = std::strlen(prop.name);
  std::size_t N = NameAreaBytes(L);
  std::size_t V = 0;
  std::size_t text16_units = 0;
  switch (TypeClass(prop.type)) {
    case 0: V = 4 + 4 * std::size_t(prop.value.list.count); break;
    case 1: V = 4; break;
    case 2: V = 8; break;
    case 3: V = std::strlen(prop.value.text) + 1; break;
    case 4:
      while (prop.value.text16[text16_units] != 0) ++text16_units;
      V = 2 * (text16_units + 1);
      break;
    default: V = 8 + std::size_t(prop.value.binary.length); break;
  }
  out->assign(8 + N + V, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(&(*out)[0]);
  p[0] = std::uint8_t(prop.type);
  p[1] = std::uint8_t(prop.type >> 8);
  Store32(p + 4, object_id);
  std::memcpy(p + 8, prop.name, L + 2);
  std::uint8_t* v = p + 8 + N;
  switch (TypeClass(prop.type)) {
    case 0:
      Store32(v, prop.value.list.count);
      for (std::uint32_t i = 0; i < prop.value.list.count; ++i) Store32(v + 4 + 4 * i, prop.value.list.ids[i]);
      break;
    case 1: Store32(v, static_cast<std::uint32_t>(prop.value.integer)); break;
    case 2: std::memcpy(v, &prop.value.real, 8); break;
    case 3: std::memcpy(v, prop.value.text, V); break;
    case 4:
      for (std::size_t i = 0; i <= text16_units; ++i) {
        v[2 * i] = std::uint8_t(prop.value.text16[i]);
        v[2 * i + 1] = std::uint8_t(prop.value.text16[i] >> 8);
      }
      break;
    default:
      Store32(v, prop.value.binary.length);
      if (prop.value.binary.length) std::memcpy(v + 8, prop.value.binary.bytes, prop.value.binary.length);
      break;
  }
}

bool ParseRecord(const std::uint8_t* data, std::size_t length, RecordView* view) {
  if (data == nullptr || length < 12) return false;
  view->type = Load16(data);
  view->object_id = Load32(data + 4);
  const std::uint8_t* name = data + 8;
  const void* zero = std::memchr(name, 0, length - 8);
  if (zero == nullptr) return false;
  std::size_t L = static_cast<const std::uint8_t*>(zero) - name;
  if (8 + L + 2 > length) return false;
  view->name = reinterpret_cast<const char*>(name);
  view->name_length = L;
  view->significant_length = name[L + 1];
  std::size_t off = 8 + NameAreaBytes(L);
  if (off > length) return false;
  const std::uint8_t* v = data + off;
  std::size_t rest = length - off;
  view->count = 0;
  switch (TypeClass(view->type)) {
    case 0: {
      if (rest < 4) return false;
      std::uint32_t c = Load32(v);
      if (c > (rest - 4) / 4) return false;
      view->count = c;
      view->value = v + 4;
      view->value_length = std::size_t(c) * 4;
      return true;
    }
    case 1: view->value = v; view->value_length = 4; return rest >= 4;
    case 2: view->value = v; view->value_length = 8; return rest >= 8;
    case 3: {
      const void* z = std::memchr(v, 0, rest);
      if (z == nullptr) return false;
      view->value = v;
      view->value_length = static_cast<const std::uint8_t*>(z) - v + 1;
      return true;
    }
    case 4:
      view->value = v;
      view->value_length = rest & ~std::size_t(1);
      return true;
    default: {
      if (rest < 8) return false;
      std::uint32_t n = Load32(v);
      if (n > rest - 8) return false;
      view->count = n;
      view->value = v + 8;
      view->value_length = n;
      return true;
    }
  }
}

StoreCode AddParsedProperty(Object* object, const RecordView& view, std::uint32_t record_id) {
  std::string name(view.name, view.name_length);
  StoreCode rc;
  int before = FindProperty(object, name.c_str());
  switch (TypeClass(view.type)) {
    case 0: {
      std::string ids(view.value_length, '\0');
      // Identifiers are little-endian on disk; convert to host words.
      std::uint32_t* w = reinterpret_cast<std::uint32_t*>(&ids[0]);
      for (std::uint32_t i = 0; i < view.count; ++i) {
        std::uint32_t x = Load32(view.value + 4 * i);
        std::memcpy(w + i, &x, 4);
      }
      rc = SetProperty(object, name.c_str(), view.type, ids.data(), view.count, 1, 0, 0, view.significant_length);
      break;
    }
    case 1: {
      std::int32_t x = static_cast<std::int32_t>(Load32(view.value));
      rc = SetProperty(object, name.c_str(), view.type, &x, 4, 1, 0, 0, view.significant_length);
      break;
    }
    case 2: {
      double d;
      std::memcpy(&d, view.value, 8);
      rc = SetProperty(object, name.c_str(), view.type, &d, 8, 1, 0, 0, view.significant_length);
      break;
    }
    case 4: {
      std::u16string units(view.value_length / 2, u'\0');
      for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(view.value[2 * i] | (view.value[2 * i + 1] << 8));
      rc = SetProperty(object, name.c_str(), view.type, units.data(),
                       static_cast<std::uint32_t>(units.size() * 2), 1, 0, 0, view.significant_length);
      break;
    }
    default:
      rc = SetProperty(object, name.c_str(), view.type, view.value,
                       static_cast<std::uint32_t>(view.value_length), 1, 0, 0, view.significant_length);
      break;
  }
  // A name the object already holds keeps its value; that is not a failure.
  if (rc == kStorePropertyNotFound && before >= 0) return kStoreOk;
  if (rc != kStoreOk) return rc;
  Property& p = object->properties[object->count - 1];
  p.record_id = record_id;
  p.object_id = view.object_id;
  return kStoreOk;
}

}  // namespace store
