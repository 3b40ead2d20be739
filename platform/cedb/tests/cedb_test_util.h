// Small helpers over the CE calls, for the cedb tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cedb.h"
#include "platform/os.h"

namespace cedbtest {

inline std::u16string W(const std::string& s) { return platform::os::Utf8ToUtf16(s); }
inline LPCWSTR P(const std::u16string& s) { return reinterpret_cast<LPCWSTR>(s.c_str()); }

inline std::string TempDir(const char* prefix) {
  std::string dir;
  platform::os::MakeTempDirectory(prefix, &dir);
  return dir;
}

inline bool Mount(const std::string& path, CEGUID* guid, DWORD flags = OPEN_ALWAYS) {
  std::u16string p = W(path);
  return CeMountDBVol(guid, P(p), flags) != FALSE;
}

// A database sorted on property 0 as 32-bit unsigned ascending.
inline CEOID CreateDb(CEGUID* guid, const std::string& name) {
  CEDBASEINFOEX info = {};
  info.wVersion = CEDBASEINFOEX_VERSION;
  info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC;
  std::u16string n = W(name);
  for (std::size_t i = 0; i < n.size() && i < CEDB_MAXDBASENAMELEN - 1; ++i) info.szDbaseName[i] = n[i];
  info.wNumSortOrder = 1;
  info.rgSortSpecs[0].wVersion = SORTORDERSPECEX_VERSION;
  info.rgSortSpecs[0].wNumProps = 1;
  info.rgSortSpecs[0].rgPropID[0] = MAKELONG(CEVT_UI4, 0);
  return CeCreateDatabaseEx2(guid, &info);
}

inline HANDLE OpenDb(CEGUID* guid, const std::string& name, CEOID* oid = nullptr) {
  SORTORDERSPECEX sort = {};
  sort.wVersion = SORTORDERSPECEX_VERSION;
  sort.wNumProps = 1;
  sort.rgPropID[0] = MAKELONG(CEVT_UI4, 0);
  CEOID id = 0;
  std::u16string n = W(name);
  HANDLE h = CeOpenDatabaseEx2(guid, &id, P(n), &sort, CEDB_AUTOINCREMENT, nullptr);
  if (oid) *oid = id;
  return h;
}

// Writes the two record properties: number and payload.
inline CEOID Write(HANDLE db, CEOID oid, std::uint32_t number, const std::string& payload) {
  CEPROPVAL v[2] = {};
  v[0].propid = MAKELONG(CEVT_UI4, 0);
  v[0].val.ulVal = number;
  v[1].propid = MAKELONG(CEVT_BLOB, 1);
  v[1].val.blob.dwCount = static_cast<DWORD>(payload.size());
  v[1].val.blob.lpb = reinterpret_cast<LPBYTE>(const_cast<char*>(payload.data()));
  return CeWriteRecordProps(db, oid, 2, v);
}

struct Rec {
  CEOID oid = 0;
  std::uint32_t number = 0;
  std::string payload;
};

// Reads the current record (and moves on, the handle auto-increments).
inline bool ReadCurrent(HANDLE db, Rec* out) {
  WORD count = 0;
  LPBYTE buf = nullptr;
  DWORD size = 0;
  CEOID oid = CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, nullptr, &buf, &size, nullptr);
  if (!oid) return false;
  CEPROPVAL* v = reinterpret_cast<CEPROPVAL*>(buf);
  out->oid = oid;
  out->number = 0;
  out->payload.clear();
  for (WORD i = 0; i < count; ++i) {
    if (v[i].propid == static_cast<CEPROPID>(MAKELONG(CEVT_UI4, 0))) out->number = v[i].val.ulVal;
    if (v[i].propid == static_cast<CEPROPID>(MAKELONG(CEVT_BLOB, 1)))
      out->payload.assign(reinterpret_cast<char*>(v[i].val.blob.lpb), v[i].val.blob.dwCount);
  }
  LocalFree(buf);
  return true;
}

inline bool ReadAtPosition(HANDLE db, DWORD n, Rec* out) {
  if (!CeSeekDatabaseEx(db, CEDB_SEEK_BEGINNING, n, 0, nullptr)) return false;
  return ReadCurrent(db, out);
}

inline std::vector<Rec> ReadAll(HANDLE db) {
  std::vector<Rec> all;
  if (!CeSeekDatabaseEx(db, CEDB_SEEK_BEGINNING, 0, 0, nullptr)) return all;
  Rec r;
  while (ReadCurrent(db, &r)) all.push_back(r);
  return all;
}

inline DWORD Count(CEGUID* guid, CEOID db) {
  CEOIDINFOEX info = {};
  info.wVersion = CEOIDINFOEX_VERSION;
  if (!CeOidGetInfoEx2(guid, db, &info) || info.wObjType != OBJTYPE_DATABASE) return ~0u;
  return info.infDatabase.dwNumRecords;
}

}  // namespace cedbtest
