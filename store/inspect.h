// Consistency check and listing of one open database, for the volume
// inspector and for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/store.h"

namespace store {

// Checks the index against the records: the header record, block totals and
// sizes, sorted order, header entries first, keys matching the records,
// every property of every object indexed exactly once and nothing else, no
// two objects of one name, the object and recycle lists, and no orphaned
// record (one that is neither indexed, nor listed by an object, nor
// recycled). Each inconsistency adds one line to *problems.
StoreCode CheckDatabase(Database* db, std::vector<std::string>* problems);

// The names of a volume's databases; *mounted false when the file is no
// volume.
std::vector<std::string> VolumeDatabaseNames(const std::string& volume, bool* mounted);

// Every database of the volume opened and checked as CheckDatabase checks
// it; one line per inconsistency, and per database that cannot be opened.
// *mounted false (and no lines) when the file is no volume.
void CheckVolume(const std::string& volume, bool* mounted, std::vector<std::string>* problems);

// Every object with every property: type, value; binary as length and a hex prefix.
StoreCode DescribeDatabase(Database* db, std::string* out);

}  // namespace store
