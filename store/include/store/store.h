// The object store: named databases of named objects with typed properties.
//
// Objects and result sets live in memory; databases live on a database
// volume (by default "Reader.vol" in the program directory). Every handle
// starts with a four-character tag ("IOMR", "SRES", "ODBS") that each
// operation compares before use; a null or wrong-kind handle gives 1002.
// Every operation returns a status code, 0 for success, and never throws.
//
// Ownership: whoever creates an object, result set or database handle frees
// it with FreeObject, FreeResult or CloseDatabase/DeleteDatabase. A result
// set must be freed before its database is closed. An object whose load fails
// inside ReadObject (a record that cannot be read, not a missing object) or a
// result-set mover is freed by the store: the caller must not free it again.
//
// Several handles, in one process or in several, may use one database: each
// operation sees every operation that returned before it began, through any
// handle. Each operation is one step on the volume: after a crash it is
// there whole or not at all, whether the block cache is on or off. A handle
// and its result sets and objects belong to one thread at a time.
#pragma once

#include <cstdint>

namespace store {

// ---- Status codes (the same in every layer) ------------------------------
enum StoreCode : std::int32_t {
  kStoreOk = 0,
  kStoreBadArgument = 1002,       // null or wrong-kind handle, bad argument, index out of range
  kStoreNoDatabase = 1003,        // database does not exist (not created)
  kStoreNotOpen = 1004,
  kStoreOpenFailed = 1005,
  kStoreAlreadyClosed = 1006,
  kStoreCreateFailed = 1007,
  kStoreDeleteFailed = 1008,
  kStoreRecordTooLong = 1009,     // record bytes above 65280
  kStoreNoMemory = 1010,
  kStoreObjectAllocFailed = 1011,
  kStoreAppendFailed = 1012,      // or the record count would reach 65536
  kStoreWriteFailed = 1014,
  kStoreReadFailed = 1015,
  kStoreRecordNotFound = 1016,
  kStoreRecordDeleteFailed = 1017,
  kStoreObjectNotFound = 4312,    // no stored object of that name
  kStorePropertyNotFound = 13001, // or may-add / may-replace refused
  kStoreTypeDiffers = 13003,
  kStoreBufferTooSmall = 13004,   // the size argument receives the needed size
  kStoreNoMoreResults = 13008,    // the result cursor cannot move
};

// ---- Property types ------------------------------------------------------
enum PropertyType : std::uint16_t {
  kTypeIdList = 0,        // 32-bit identifiers; length counts identifiers
  kTypeInteger = 1,       // 32-bit signed
  kTypeDouble = 2,        // 64-bit floating point
  kTypeText = 3,          // 8-bit zero-terminated text; length includes the zero
  kTypeText16 = 4,        // 16-bit zero-terminated text; length in bytes, with the zero unit
  kTypeBinary = 32768,    // length bytes
  // 32769..32772 behave as 1..4, 32773 as binary.
};

// The comparison mode every caller passes to Query.
constexpr std::uint32_t kCompareRecords = 36;
// The creator tag callers pass to OpenDatabase: "Pyra", first character in
// the most significant byte. The store does not check it.
constexpr std::uint32_t kCreatorPyra = (std::uint32_t('P') << 24) | (std::uint32_t('y') << 16) |
                                       (std::uint32_t('r') << 8) | std::uint32_t('a');
// The two version numbers callers pass to OpenDatabase.
constexpr std::uint32_t kVersionMajor = 11;
constexpr std::uint32_t kVersionMinor = 10;

// Largest record the store writes.
constexpr std::uint32_t kMaxRecordBytes = 65280;

// Combination modes of CombineResults and Query.
enum CombineMode : int { kCombineIntersection = 0, kCombineUnion = 1, kCombineExclusive = 2 };

struct Object;     // tag "IOMR"
struct ResultSet;  // tag "SRES"
struct Database;   // tag "ODBS"

// ---- Objects (memory only) -----------------------------------------------
StoreCode CreateObject(Object** out, const char* name);
StoreCode FreeObject(Object* object);
StoreCode SetObjectName(Object* object, const char* name);
// *size in: buffer size; out: the name length + 1 (0 when the object has no name).
StoreCode GetObjectName(Object* object, char* buffer, std::uint32_t* size);
// data/length by type: integer 4 bytes, double 8, text with its zero
// (length = bytes including the zero), 16-bit text and binary `length` bytes,
// identifier list `length` identifiers. significant_length 0 = whole name.
StoreCode SetProperty(Object* object, const char* name, std::uint16_t type, const void* data,
                      std::uint32_t length, int may_add, int may_replace, int may_change_type,
                      std::uint8_t significant_length);
StoreCode RemoveProperty(Object* object, const char* name, std::uint16_t type);
StoreCode GetPropertyCount(Object* object, std::uint32_t* count);
StoreCode GetPropertyName(Object* object, std::uint32_t index, char* buffer, std::uint32_t* size,
                          std::uint16_t* type);
// *size out: bytes needed (identifier list: the count of identifiers).
StoreCode GetProperty(Object* object, const char* name, std::uint16_t type, void* buffer,
                      std::uint32_t* size);

// ---- Databases -----------------------------------------------------------
// volume_path: the volume file (UTF-8); null means ProgramDirectory() + "Reader.vol".
StoreCode OpenDatabase(Database** out, const char* name, int create, int start_empty,
                       std::uint32_t creator, std::uint32_t cache_limit, std::uint32_t version1,
                       std::uint32_t version2, const char* volume_path = nullptr);
StoreCode CloseDatabase(Database** database);
StoreCode DeleteDatabase(Database* database);
StoreCode RemoveDatabase(const char* name, const char* volume_path = nullptr);
// A non-zero limit turns the block cache on: the index blocks an operation
// changes are written together at its end, or once they reach the limit.
// 0 turns it off: each change goes to its record at once. Either way the
// handle keeps the blocks it read for as long as nobody changes the
// database.
StoreCode SetDatabaseMode(Database* database, std::uint32_t cache_limit);

// kStoreBadArgument, nothing written, for an object that holds an identifier
// list: those are the store's own (object headers).
StoreCode WriteObject(Database* database, Object* object, int create, int update, int add,
                      int retype);
// The object holds only its name; the stored properties are added to it.
StoreCode ReadObject(Database* database, Object* object);
// mode 0: the whole object; mode 1: only the stored properties named in `object`.
StoreCode DeleteObject(Database* database, Object* object, int mode);
// Objects whose properties lie between low's and high's values (names taken
// from both; a name only one of them has bounds that side only). order_by may
// be null; earlier may be null, else combined with `combination`.
StoreCode Query(Database* database, Object* low, Object* high, std::uint32_t mode,
                ResultSet** out, const char* order_by, ResultSet* earlier, int combination);
// source < 1: every object in name order; source >= 1: the stored object list.
StoreCode ListObjects(Database* database, ResultSet** out, int source);
StoreCode CombineResults(ResultSet* a, ResultSet* b, int mode, ResultSet** out);

// ---- Result sets ---------------------------------------------------------
std::uint32_t GetResultCount(ResultSet* result);
// Move the cursor and load that object into a new object (*out); 13008 when
// the cursor cannot move (it stays where it was).
StoreCode FirstResult(ResultSet* result, Object** out);
StoreCode NextResult(ResultSet* result, Object** out);
StoreCode LastResult(ResultSet* result, Object** out);
StoreCode PreviousResult(ResultSet* result, Object** out);
StoreCode FreeResult(ResultSet* result);

}  // namespace store
