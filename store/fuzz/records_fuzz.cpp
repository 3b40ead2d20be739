// Opens arbitrary bytes as the records of a database and runs reads,
// listings, queries and the consistency check over them.
//
// Input: one byte choosing the cache, then records as a 16-bit
// little-endian length followed by that many bytes; missing reserved
// records are empty.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "database.h"
#include "inspect.h"
#include "record_file.h"
#include "store/store.h"

using namespace store;

namespace {

constexpr int kMaxSteps = 50;

// Reads the listed object again by its name, then frees it.
void ReadAgain(Database* db, Object* o) {
  char name[64];
  std::uint32_t n = sizeof(name);
  if (GetObjectName(o, name, &n) == kStoreOk && n > 0) {
    Object* again = nullptr;
    CreateObject(&again, name);
    std::int32_t rc = ReadObject(db, again);
    // A failed load frees the object; found, missing or refused leave it ours.
    if (rc == kStoreOk || rc == kStoreObjectNotFound || rc == kStoreBadArgument) FreeObject(again);
  }
  FreeObject(o);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::uint32_t cache = data[0] & 1 ? 64000 : 0;
  std::unique_ptr<MemoryBackend> backend(new MemoryBackend());
  std::size_t at = 1;
  std::uint32_t number = 0;
  while (at + 2 <= size && number < 400) {
    std::size_t len = data[at] | (data[at + 1] << 8);
    at += 2;
    if (len > size - at) len = size - at;
    backend->Write(0, number++, std::string(reinterpret_cast<const char*>(data + at), len), nullptr);
    at += len;
  }
  while (number < kReservedRecords) backend->Write(0, number++, std::string(), nullptr);
  std::unique_ptr<RecordFile> file(new RecordFile(std::move(backend)));
  Database* db = nullptr;
  if (AttachDatabase(std::move(file), "Fuzz", "", false, cache, &db) != kStoreOk) return 0;

  for (int source = 0; source < 2; ++source) {
    ResultSet* all = nullptr;
    if (ListObjects(db, &all, source) != kStoreOk) continue;
    Object* o = nullptr;
    std::int32_t rc = FirstResult(all, &o);
    // Every object a step hands out is ours, the last one of a cut-off listing too.
    for (int steps = 1; rc != kStoreNoMoreResults; ++steps) {
      if (rc == kStoreOk) ReadAgain(db, o);
      if (steps == kMaxSteps) break;
      rc = NextResult(all, &o);
    }
    FreeResult(all);
  }
  const char* names[] = {"Mode", "Title", "Keywords", "A"};
  for (const char* name : names) {
    Object* q = nullptr;
    CreateObject(&q, "q");
    std::int32_t v = 1;
    SetProperty(q, name, kTypeInteger, &v, 4, 1, 1, 1, 0);
    SetProperty(q, "Sort", kTypeText, "m", 2, 1, 1, 1, 0);
    ResultSet* r = nullptr;
    if (Query(db, q, q, kCompareRecords, &r, "Sort", nullptr, 0) == kStoreOk) {
      Object* o = nullptr;
      if (LastResult(r, &o) == kStoreOk) FreeObject(o);
      FreeResult(r);
    }
    Object* sig = nullptr;
    CreateObject(&sig, "s");
    SetProperty(sig, name, kTypeText, "sport", 6, 1, 1, 1, 3);
    if (Query(db, nullptr, sig, kCompareRecords, &r, nullptr, nullptr, 0) == kStoreOk) FreeResult(r);
    FreeObject(sig);
    FreeObject(q);
  }
  std::vector<std::string> problems;
  CheckDatabase(db, &problems);
  DeleteDatabase(db);
  return 0;
}
