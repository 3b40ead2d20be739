// In-memory layouts of the store's handles.
//
// Invariants: every handle starts with its four tag bytes; a property's
// name is followed, after its terminating zero, by its significant-length
// byte; key[0..3] always match the property's current type, name and value.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "store/store.h"

namespace store {

class RecordFile;
class BlockCache;

constexpr char kObjectTag[4] = {'I', 'O', 'M', 'R'};
constexpr char kResultTag[4] = {'S', 'R', 'E', 'S'};
constexpr char kDatabaseTag[4] = {'O', 'D', 'B', 'S'};

inline bool HasTag(const void* handle, const char* tag) {
  return handle != nullptr && std::memcmp(handle, tag, 4) == 0;
}

struct Property {
  std::uint32_t record_id;
  std::uint32_t object_id;
  std::uint32_t key[4];  // with the two identifiers: the 24-byte index entry
  std::uint16_t type;
  char* name;            // name, zero, significant-length byte
  union {
    std::int32_t integer;
    double real;
    char* text;
    char16_t* text16;
    struct { std::uint32_t length; std::uint8_t* bytes; } binary;
    struct { std::uint32_t count; std::uint32_t* ids; } list;
  } value;
};

struct Object {
  char tag[4];
  char* name;
  std::uint32_t owner_id;
  std::uint32_t count;
  std::uint32_t capacity;
  Property* properties;
};

struct ResultSet {
  char tag[4];
  std::uint32_t count;
  std::uint32_t cursor;
  std::uint32_t* ids;
  Database* database;
};

// Type class of the first key: 0 list, 1 integer, 2 double, 3 text, 4 16-bit text, 5 binary.
int TypeClass(std::uint16_t type);

inline std::uint8_t SignificantLength(const char* name) {
  return static_cast<std::uint8_t>(name[std::strlen(name) + 1]);
}

// Keys of a property from its type, name and value.
void ComputeKeys(Property* p);
void FreePropertyValue(Property* p);
// Sets type and value (copies data as SetProperty describes) and recomputes the keys.
StoreCode AssignValue(Property* p, std::uint16_t type, const void* data, std::uint32_t length);
// A property with the given name (may be null for "") and significant length, not owned by an object.
StoreCode InitProperty(Property* p, const char* name, std::uint8_t significant_length);
void DestroyProperty(Property* p);
// Index of the last property with exactly this name, or -1.
int FindProperty(const Object* object, const char* name);

}  // namespace store
