// The recycle list (record 65): identifiers of records that belong to no
// object any more. Deleting a record renumbers every later one, so deleted
// records are reused first and only purged, all at once, when the list
// reaches 16000 identifiers.
#pragma once

#include <cstdint>
#include <vector>

#include "store/store.h"

namespace store {

struct Database;

constexpr std::size_t kPurgeAt = 16000;

StoreCode PushRecycled(Database* db, const std::vector<std::uint32_t>& ids);
// Takes up to `want` identifiers from the end of the list.
StoreCode PopRecycled(Database* db, std::size_t want, std::vector<std::uint32_t>* ids);

}  // namespace store
