// The sorted property index: up to 64 blocks of 24-byte entries, searched by
// bisection over the blocks and then inside one block.
//
// Order of a stored entry E against a sought property P: key 1 and key 2
// (type class and the first 7 name bytes), then for names of at most 7 bytes
// the value prefix in key 3 and key 4; when those tie, and in comparison
// mode 36 only, E's record decides: type, name, value, object identifier.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "handles.h"
#include "record_format.h"
#include "store/store.h"

namespace store {

struct Database;

struct SearchKey {
  const Property* p;
  std::uint32_t mode;
  bool prefix;  // names only, whatever the value
  bool owner;   // object identifier decides ties
};

struct Position {
  std::uint32_t block;  // 0-based
  std::uint32_t index;  // in the block
  std::int64_t global;  // -1 = before the first entry
  bool found;
  Entry entry;          // the entry at the position, when found
};

// Records read to settle key ties, kept per handle while the database is
// unchanged: names longer than 7 bytes tie on every comparison.
class TieRecords {
 public:
  const std::string* Find(std::uint32_t id) const;
  const std::string* Keep(std::uint32_t id, std::string bytes);
  void Forget(std::uint32_t id);
  void Clear();

 private:
  static constexpr std::size_t kMaxBytes = 2u << 20;
  std::unordered_map<std::uint32_t, std::string> records_;
  std::size_t bytes_ = 0;
};

// Compares stored entry e with the sought property: <0, 0, >0. Reads e's record when the keys tie.
StoreCode CompareEntry(Database* db, const Entry& e, const SearchKey& k, int* result);
// First entry not below k (last = false) or last entry not above k (last = true).
StoreCode Search(Database* db, const SearchKey& k, bool last, Position* pos);
StoreCode InsertEntry(Database* db, const Property& p);
// Removes the entry of p (record and object identifier as given); recycles its record when asked.
StoreCode RemoveEntry(Database* db, const Property& p, std::vector<std::uint32_t>* recycle);
// Entries with global positions [first, last].
StoreCode ReadEntries(Database* db, std::uint32_t first, std::uint32_t last, std::vector<Entry>* out);

}  // namespace store
