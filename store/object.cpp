// The object layer: objects and their typed properties, in memory only.
//
// An object's property array grows by 5 entries when full and shrinks by 5
// when, after a removal, the capacity exceeds the count by more than 4.
// Lookups go from the last property to the first.

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "handles.h"

namespace store {
namespace {

constexpr std::uint32_t kGrowBy = 5;

std::uint32_t Accumulate(const std::uint8_t* bytes, std::size_t available, std::size_t from,
                         std::size_t count) {
  std::uint32_t acc = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    std::int32_t b = i < available ? static_cast<std::int8_t>(bytes[i]) : 0;
    acc = (acc << 8) + static_cast<std::uint32_t>(b);
  }
  return acc;
}

// The device converts doubles to unsigned by saturating; so do we, without
// the undefined behaviour of a plain cast.
std::uint32_t DoubleToUnsigned(double v) {
  if (std::isnan(v) || v <= 0) return 0;
  if (v >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(v);
}

char* CopyName(const char* name, std::uint8_t significant_length) {
  if (name == nullptr) name = "";
  std::size_t len = std::strlen(name);
  char* copy = static_cast<char*>(std::malloc(len + 2));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, name, len + 1);
  copy[len + 1] = static_cast<char>(significant_length);
  return copy;
}

StoreCode Grow(Object* o) {
  if (o->count < o->capacity) return kStoreOk;
  void* grown = std::realloc(o->properties, sizeof(Property) * (o->capacity + kGrowBy));
  if (grown == nullptr) return kStoreObjectAllocFailed;
  o->properties = static_cast<Property*>(grown);
  o->capacity += kGrowBy;
  return kStoreOk;
}

// Called after a removal: o->count + 1 is the count before it.
void ShrinkIfSparse(Object* o) {
  if (o->capacity >= kGrowBy && o->capacity > o->count + 1 + 4) {
    std::uint32_t cap = o->capacity - kGrowBy;
    if (cap == 0) {
      std::free(o->properties);
      o->properties = nullptr;
      o->capacity = 0;
      return;
    }
    void* shrunk = std::realloc(o->properties, sizeof(Property) * cap);
    if (shrunk != nullptr) {
      o->properties = static_cast<Property*>(shrunk);
      o->capacity = cap;
    }
  }
}

}  // namespace

int TypeClass(std::uint16_t type) {
  switch (type) {
    case 0: return 0;
    case 1: case 32769: return 1;
    case 2: case 32770: return 2;
    case 3: case 32771: return 3;
    case 4: case 32772: return 4;
    default: return 5;
  }
}

void ComputeKeys(Property* p) {
  const char* name = p->name;
  std::size_t len = std::strlen(name);
  if (SignificantLength(name) != 0) {
    p->key[0] = p->key[1] = p->key[2] = p->key[3] = 0;
    return;
  }
  const auto* nb = reinterpret_cast<const std::uint8_t*>(name);
  p->key[0] = (static_cast<std::uint32_t>(TypeClass(p->type)) << 28) |
              (Accumulate(nb, len, 0, 3) & 0x00FFFFFFu);
  p->key[1] = Accumulate(nb, len, 3, 4);
  p->key[2] = 0;
  p->key[3] = 0;
  switch (TypeClass(p->type)) {
    case 1: p->key[2] = static_cast<std::uint32_t>(p->value.integer); break;
    case 2: p->key[2] = DoubleToUnsigned(p->value.real); break;
    case 3: {
      const auto* tb = reinterpret_cast<const std::uint8_t*>(p->value.text);
      std::size_t tl = p->value.text ? std::strlen(p->value.text) : 0;
      p->key[2] = Accumulate(tb, tl, 0, 4);
      p->key[3] = Accumulate(tb, tl, 4, 4);
      break;
    }
    default: break;
  }
}

void FreePropertyValue(Property* p) {
  switch (TypeClass(p->type)) {
    case 0: std::free(p->value.list.ids); break;
    case 3: std::free(p->value.text); break;
    case 4: std::free(p->value.text16); break;
    case 5: std::free(p->value.binary.bytes); break;
    default: break;
  }
  std::memset(&p->value, 0, sizeof(p->value));
}

StoreCode AssignValue(Property* p, std::uint16_t type, const void* data, std::uint32_t length) {
  decltype(p->value) v;
  std::memset(&v, 0, sizeof(v));
  switch (TypeClass(type)) {
    case 0: {
      if (length > 0 && data == nullptr) return kStoreBadArgument;
      if (length > (1u << 28)) return kStoreBadArgument;
      v.list.count = length;
      if (length > 0) {
        v.list.ids = static_cast<std::uint32_t*>(std::malloc(std::size_t(length) * 4));
        if (v.list.ids == nullptr) return kStoreObjectAllocFailed;
        std::memcpy(v.list.ids, data, std::size_t(length) * 4);
      }
      break;
    }
    case 1:
      if (data == nullptr) return kStoreBadArgument;
      std::memcpy(&v.integer, data, 4);
      break;
    case 2:
      if (data == nullptr) return kStoreBadArgument;
      std::memcpy(&v.real, data, 8);
      break;
    case 3: {
      // Copies up to the terminating zero but never past `length`, so a
      // length that forgets the zero cannot overrun the caller's buffer.
      const char* s = static_cast<const char*>(data);
      std::size_t n = 0;
      if (s != nullptr) while (n < length && s[n] != 0) ++n;
      v.text = static_cast<char*>(std::malloc(n + 1));
      if (v.text == nullptr) return kStoreObjectAllocFailed;
      if (n) std::memcpy(v.text, s, n);
      v.text[n] = 0;
      break;
    }
    case 4: {
      const auto* s = static_cast<const std::uint8_t*>(data);
      std::size_t units = s ? length / 2 : 0, n = 0;
      while (n < units && (s[2 * n] | s[2 * n + 1]) != 0) ++n;
      v.text16 = static_cast<char16_t*>(std::malloc((n + 1) * 2));
      if (v.text16 == nullptr) return kStoreObjectAllocFailed;
      if (n) std::memcpy(v.text16, s, n * 2);
      v.text16[n] = 0;
      break;
    }
    default: {
      if (length > 0 && data == nullptr) return kStoreBadArgument;
      v.binary.length = length;
      v.binary.bytes = static_cast<std::uint8_t*>(std::malloc(length ? length : 1));
      if (v.binary.bytes == nullptr) return kStoreObjectAllocFailed;
      if (length) std::memcpy(v.binary.bytes, data, length);
      break;
    }
  }
  FreePropertyValue(p);
  p->type = type;
  p->value = v;
  ComputeKeys(p);
  return kStoreOk;
}

StoreCode InitProperty(Property* p, const char* name, std::uint8_t significant_length) {
  std::memset(p, 0, sizeof(*p));
  p->name = CopyName(name, significant_length);
  if (p->name == nullptr) return kStoreObjectAllocFailed;
  p->type = kTypeInteger;
  ComputeKeys(p);
  return kStoreOk;
}

void DestroyProperty(Property* p) {
  FreePropertyValue(p);
  std::free(p->name);
  p->name = nullptr;
}

int FindProperty(const Object* o, const char* name) {
  for (std::uint32_t i = o->count; i-- > 0;)
    if (std::strcmp(o->properties[i].name, name) == 0) return static_cast<int>(i);
  return -1;
}

StoreCode CreateObject(Object** out, const char* name) {
  if (out == nullptr) return kStoreBadArgument;
  *out = nullptr;
  auto* o = static_cast<Object*>(std::calloc(1, sizeof(Object)));
  if (o == nullptr) return kStoreObjectAllocFailed;
  std::memcpy(o->tag, kObjectTag, 4);
  if (name != nullptr) {
    o->name = static_cast<char*>(std::malloc(std::strlen(name) + 1));
    if (o->name == nullptr) {
      std::free(o);
      return kStoreObjectAllocFailed;
    }
    std::strcpy(o->name, name);
  }
  *out = o;
  return kStoreOk;
}

StoreCode FreeObject(Object* o) {
  if (!HasTag(o, kObjectTag)) return kStoreBadArgument;
  while (o->count > 0) DestroyProperty(&o->properties[--o->count]);
  std::free(o->properties);
  std::free(o->name);
  std::memset(o->tag, 0, 4);
  std::free(o);
  return kStoreOk;
}

StoreCode SetObjectName(Object* o, const char* name) {
  if (!HasTag(o, kObjectTag) || name == nullptr) return kStoreBadArgument;
  char* copy = static_cast<char*>(std::malloc(std::strlen(name) + 1));
  if (copy == nullptr) return kStoreObjectAllocFailed;
  std::strcpy(copy, name);
  std::free(o->name);
  o->name = copy;
  return kStoreOk;
}

StoreCode GetObjectName(Object* o, char* buffer, std::uint32_t* size) {
  if (!HasTag(o, kObjectTag) || size == nullptr) return kStoreBadArgument;
  if (o->name == nullptr) {
    if (buffer != nullptr && *size > 0) buffer[0] = 0;
    *size = 0;
    return kStoreOk;
  }
  std::uint32_t needed = static_cast<std::uint32_t>(std::strlen(o->name) + 1);
  if (needed <= *size) {
    if (buffer != nullptr) std::memcpy(buffer, o->name, needed);
    *size = needed;
    return kStoreOk;
  }
  *size = needed;
  return kStoreBadArgument;
}

StoreCode SetProperty(Object* o, const char* name, std::uint16_t type, const void* data,
                         std::uint32_t length, int may_add, int may_replace, int may_change_type,
                         std::uint8_t significant_length) {
  if (!HasTag(o, kObjectTag) || name == nullptr) return kStoreBadArgument;
  int i = FindProperty(o, name);
  if (i >= 0) {
    Property* p = &o->properties[i];
    if (!may_replace) return kStorePropertyNotFound;
    if (p->type != type && !may_change_type) return kStoreTypeDiffers;
    return AssignValue(p, type, data, length);
  }
  if (!may_add) return kStorePropertyNotFound;
  StoreCode rc = Grow(o);
  if (rc != kStoreOk) return rc;
  Property* p = &o->properties[o->count];
  rc = InitProperty(p, name, significant_length);
  if (rc != kStoreOk) return rc;
  rc = AssignValue(p, type, data, length);
  if (rc != kStoreOk) {
    DestroyProperty(p);
    return rc;
  }
  p->object_id = o->owner_id;
  ++o->count;
  return kStoreOk;
}

StoreCode RemoveProperty(Object* o, const char* name, std::uint16_t type) {
  if (!HasTag(o, kObjectTag) || name == nullptr) return kStoreBadArgument;
  int i = FindProperty(o, name);
  if (i < 0) return kStorePropertyNotFound;
  if (o->properties[i].type != type) return kStoreTypeDiffers;
  DestroyProperty(&o->properties[i]);
  --o->count;
  if (static_cast<std::uint32_t>(i) != o->count) o->properties[i] = o->properties[o->count];
  ShrinkIfSparse(o);
  return kStoreOk;
}

StoreCode GetPropertyCount(Object* o, std::uint32_t* count) {
  if (!HasTag(o, kObjectTag) || count == nullptr) return kStoreBadArgument;
  *count = o->count;
  return kStoreOk;
}

StoreCode GetPropertyName(Object* o, std::uint32_t index, char* buffer, std::uint32_t* size,
                             std::uint16_t* type) {
  if (!HasTag(o, kObjectTag) || size == nullptr || type == nullptr || index >= o->count)
    return kStoreBadArgument;
  const Property& p = o->properties[index];
  std::uint32_t needed = static_cast<std::uint32_t>(std::strlen(p.name) + 1);
  if (buffer != nullptr && needed <= *size) {
    std::memcpy(buffer, p.name, needed);
    *size = needed;
    *type = p.type;
    return kStoreOk;
  }
  *size = needed;
  return kStoreBufferTooSmall;
}

StoreCode GetProperty(Object* o, const char* name, std::uint16_t type, void* buffer,
                         std::uint32_t* size) {
  if (!HasTag(o, kObjectTag) || name == nullptr || size == nullptr) return kStoreBadArgument;
  int i = FindProperty(o, name);
  if (i < 0) return kStorePropertyNotFound;
  const Property& p = o->properties[i];
  if (p.type != type) return kStoreTypeDiffers;
  std::uint32_t needed = 0, bytes = 0;
  const void* src = nullptr;
  switch (TypeClass(p.type)) {
    case 0: needed = p.value.list.count; bytes = needed * 4; src = p.value.list.ids; break;
    case 1: needed = bytes = 4; src = &p.value.integer; break;
    case 2: needed = bytes = 8; src = &p.value.real; break;
    case 3: needed = bytes = static_cast<std::uint32_t>(std::strlen(p.value.text) + 1); src = p.value.text; break;
    case 4: {
      std::uint32_t n = 0;
      while (p.value.text16[n] != 0) ++n;
      needed = bytes = 2 * (n + 1);
      src = p.value.text16;
      break;
    }
    default: needed = bytes = p.value.binary.length; src = p.value.binary.bytes; break;
  }
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    return kStoreBufferTooSmall;
  }
  if (bytes) std::memcpy(buffer, src, bytes);
  *size = needed;
  return kStoreOk;
}

}  // namespace store
