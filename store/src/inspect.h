// Consistency check and listing of one open database, for the volume
// inspector and for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/store.h"

namespace store {

// Checks the index against the records: block totals and sizes, sorted
// order, header entries first, keys matching the records, every property of
// every object indexed exactly once and nothing else, the object and
// recycle lists. Each inconsistency adds one line to *problems.
std::int32_t CheckDatabase(Database* db, std::vector<std::string>* problems);

// Every object with every property: type, value; binary as length and a hex prefix.
std::int32_t DescribeDatabase(Database* db, std::string* out);

}  // namespace store
