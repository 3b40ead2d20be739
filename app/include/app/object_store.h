// CObjectStore: the program's access to the object store, handed to every
// screen. It names the volume and carries the few reads every screen makes;
// everything else is the store's own operations (store/store.h).
#pragma once

#include <cstdint>
#include <string>

#include "store/store.h"

class CObjectStore {
 public:
  // volume: the volume file; empty for the store's default beside the program.
  explicit CObjectStore(std::string volume = std::string()) : volume_(std::move(volume)) {}

  const char* Volume() const { return volume_.empty() ? nullptr : volume_.c_str(); }
  // Opens a database with the program's creator tag and versions.
  std::int32_t Open(store::Database** db, const char* name, bool create, bool start_empty = false,
                    std::uint32_t creator = store::kCreatorPyra) const;
  // The integer property of a stored object; false when the object or the property is missing.
  static bool ReadInt(store::Database* db, const char* object, const char* property, std::int32_t* value);
  // Whether the object can be read.
  static bool CanRead(store::Database* db, const char* object);
  // How many objects have the integer `property` equal to `value` (query by
  // example); false when the query fails.
  static bool Count(store::Database* db, const char* property, std::int32_t value, std::uint32_t* count);
  // Deletes the stored object of that name; the store's code.
  static std::int32_t Delete(store::Database* db, const char* object);

 private:
  std::string volume_;
};
