// The CE database calls over VolumeAccess / VolumeState.
//
// Every call finds its volume or handle under the registry mutex, holds the
// volume through a VolumeAccess::Call, works on the in-memory image, and for
// writes appends the operations to the call's batch, which is committed when
// the call finishes, or at the end of the caller's write bracket.
#include "platform/cedb.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"
#include "record_props.h"
#include "volume_access.h"
#include "volume_file.h"

#ifdef _WIN32
extern "C" __declspec(dllimport) HLOCAL __stdcall LocalAlloc(unsigned int flags, std::size_t bytes);
#else
namespace {
thread_local DWORD g_last_error = 0;
}
DWORD GetLastError() { return g_last_error; }
void SetLastError(DWORD code) { g_last_error = code; }
HLOCAL LocalFree(HLOCAL mem) {
  std::free(mem);
  return nullptr;
}
#endif

namespace {

using cedb::Database;
using cedb::OrderEntry;
using cedb::PropView;
using cedb::VolumeAccess;
using cedb::VolumeFile;
using cedb::VolumeState;

void* AllocBuffer(std::size_t n) {
#ifdef _WIN32
  return LocalAlloc(0, n ? n : 1);
#else
  return std::malloc(n ? n : 1);
#endif
}

constexpr DWORD kGuidTag2 = 0x42444543;  // "CEDB"
constexpr DWORD kGuidTag3 = 0x4C4F5600;
constexpr std::uint32_t kHandleTag = 0x48424443;  // "CDBH"
constexpr std::uint32_t kEnumTag = 0x45424443;    // "CDBE"

struct Mount {
  std::unique_ptr<VolumeAccess> volume;
  std::string path;
  DWORD id = 0;
  int refs = 0;
  DWORD dropped_at_mount = 0;
};

struct DbHandle {
  std::uint32_t tag = kHandleTag;
  Mount* mount = nullptr;
  CEOID db = 0;
  DWORD flags = 0;
  // Current position: the first record not below (key, oid); `hint` is
  // where it was last seen, checked before use.
  std::uint64_t key = 0;
  std::uint32_t oid = 0;
  std::size_t hint = 0;
};

struct EnumHandle {
  std::uint32_t tag = kEnumTag;
  Mount* mount = nullptr;
  std::vector<CEOID> dbs;
  std::size_t next = 0;
};

std::mutex g_mu;
std::map<std::string, Mount*> g_by_path;
std::map<DWORD, Mount*> g_by_id;
std::set<DbHandle*> g_handles;
std::set<EnumHandle*> g_enums;
DWORD g_next_id = 1;

BOOL Fail(DWORD err) {
  SetLastError(err);
  return FALSE;
}

std::u16string ToU16(LPCWSTR s) {
  std::u16string out;
  if (s)
    for (; *s; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

Mount* FindMount(PCEGUID guid) {
  if (!guid || guid->Data2 != kGuidTag2 || guid->Data3 != kGuidTag3) return nullptr;
  std::lock_guard<std::mutex> lock(g_mu);
  auto it = g_by_id.find(guid->Data1);
  return it == g_by_id.end() ? nullptr : it->second;
}

DbHandle* FindHandle(HANDLE h) {
  std::lock_guard<std::mutex> lock(g_mu);
  DbHandle* d = static_cast<DbHandle*>(h);
  if (!g_handles.count(d) || d->tag != kHandleTag) return nullptr;
  return d;
}

using Call = VolumeAccess::Call;

// Frees the handles of an unmounted volume (g_mu held).
template <typename Handle>
void DropHandlesOf(Mount* m, std::set<Handle*>* handles) {
  for (auto it = handles->begin(); it != handles->end();) {
    if ((*it)->mount != m) {
      ++it;
      continue;
    }
    (*it)->tag = 0;
    delete *it;
    it = handles->erase(it);
  }
}

std::string VolumePath(LPCWSTR name) {
  std::string path = platform::os::Utf16ToUtf8(ToU16(name));
#ifndef _WIN32
  std::replace(path.begin(), path.end(), '\\', '/');
#endif
  return path;
}

bool SortTypeSupported(CEPROPID propid) {
  WORD t = LOWORD(propid);
  return t == CEVT_UI4 || t == CEVT_I4 || t == CEVT_UI2 || t == CEVT_I2 || t == CEVT_BOOL;
}

// Position of the handle's current record, or the record count past the end.
std::size_t Current(Database* db, DbHandle* h) {
  const std::vector<OrderEntry>& order = db->order.entries();
  if (h->hint < order.size() && order[h->hint].key == h->key && order[h->hint].oid == h->oid) return h->hint;
  return db->order.LowerBound(h->key, h->oid);
}

void MoveTo(DbHandle* h, Database* db, std::size_t pos) {
  const std::vector<OrderEntry>& order = db->order.entries();
  h->hint = pos;
  if (pos >= order.size()) {
    h->key = ~0ull;
    h->oid = ~0u;
  } else {
    h->key = order[pos].key;
    h->oid = order[pos].oid;
  }
}

}  // namespace

BOOL CeMountDBVol(PCEGUID pceguid, LPCWSTR lpszVol, DWORD dwFlags) {
  if (!pceguid || !lpszVol || !*lpszVol) return Fail(ERROR_INVALID_PARAMETER);
  std::string path = VolumePath(lpszVol);
  std::lock_guard<std::mutex> lock(g_mu);
  auto it = g_by_path.find(path);
  if (it != g_by_path.end()) {
    if (dwFlags == CREATE_NEW) return Fail(ERROR_FILE_EXISTS);
    Mount* m = it->second;
    m->refs++;
    *pceguid = CEGUID{m->id, kGuidTag2, kGuidTag3, 0};
    return TRUE;
  }
  std::unique_ptr<VolumeFile> file(new VolumeFile);
  std::uint32_t err = file->Open(path, dwFlags);
  if (err) return Fail(err);
  std::unique_ptr<Mount> m(new Mount);
  m->dropped_at_mount = static_cast<DWORD>(file->mount_dropped_bytes());
  m->volume.reset(new VolumeAccess(std::move(file)));
  m->path = path;
  m->id = g_next_id++;
  m->refs = 1;
  *pceguid = CEGUID{m->id, kGuidTag2, kGuidTag3, 0};
  g_by_id[m->id] = m.get();
  g_by_path[path] = m.release();
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL CeUnmountDBVol(PCEGUID pceguid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  int refs;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    refs = m->refs;
  }
  // Not under g_mu: a thread holding the volume may be waiting for g_mu.
  if (refs == 1) m->volume->AbandonOwnBracket();
  m->volume->Sync();
  std::lock_guard<std::mutex> lock(g_mu);
  if (--m->refs > 0) return TRUE;
  DropHandlesOf(m, &g_handles);
  DropHandlesOf(m, &g_enums);
  g_by_id.erase(m->id);
  g_by_path.erase(m->path);
  delete m;
  return TRUE;
}

BOOL CeFlushDBVol(PCEGUID pceguid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  std::uint32_t err = m->volume->Sync();
  return err ? Fail(err) : TRUE;
}

HANDLE CeFindFirstDatabaseEx(PCEGUID pguid, DWORD dwDbaseType) {
  Mount* m = FindMount(pguid);
  if (!m) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::unique_ptr<EnumHandle> e(new EnumHandle);
  e->mount = m;
  {
    Call call(m->volume.get(), false);
    if (call.error()) {
      SetLastError(call.error());
      return INVALID_HANDLE_VALUE;
    }
    for (auto& kv : call.state().databases())
      if (dwDbaseType == 0 || kv.second.type == dwDbaseType) e->dbs.push_back(kv.first);
  }
  std::lock_guard<std::mutex> lock(g_mu);
  g_enums.insert(e.get());
  return e.release();
}

CEOID CeFindNextDatabaseEx(HANDLE hEnum, PCEGUID pguid) {
  EnumHandle* e = static_cast<EnumHandle*>(hEnum);
  {
    std::lock_guard<std::mutex> lock(g_mu);
    if (!g_enums.count(e) || e->tag != kEnumTag) return Fail(ERROR_INVALID_HANDLE);
  }
  if (FindMount(pguid) != e->mount) return Fail(ERROR_INVALID_PARAMETER);
  Call call(e->mount->volume.get(), false);
  if (call.error()) return Fail(call.error());
  while (e->next < e->dbs.size()) {
    CEOID oid = e->dbs[e->next++];
    if (call.state().FindDb(oid)) return oid;
  }
  return Fail(ERROR_NO_MORE_ITEMS);
}

CEOID CeCreateDatabaseEx2(PCEGUID pceguid, CEDBASEINFOEX* pInfo) {
  Mount* m = FindMount(pceguid);
  if (!m || !pInfo || !(pInfo->dwFlags & CEDB_VALIDNAME)) return Fail(ERROR_INVALID_PARAMETER);
  std::u16string name;
  for (int i = 0; i < CEDB_MAXDBASENAMELEN && pInfo->szDbaseName[i]; ++i)
    name.push_back(static_cast<char16_t>(pInfo->szDbaseName[i]));
  if (name.empty() || name.size() >= CEDB_MAXDBASENAMELEN) return Fail(ERROR_INVALID_PARAMETER);
  bool has_sort = false;
  CEPROPID sort_prop = 0;
  DWORD sort_flags = 0;
  if ((pInfo->dwFlags & CEDB_VALIDSORTSPEC) && pInfo->wNumSortOrder > 0) {
    const SORTORDERSPECEX& s = pInfo->rgSortSpecs[0];
    if (pInfo->wNumSortOrder > 1 || s.wNumProps != 1 || !SortTypeSupported(s.rgPropID[0]))
      return Fail(ERROR_INVALID_PARAMETER);
    has_sort = true;
    sort_prop = s.rgPropID[0];
    sort_flags = s.rgdwFlags[0];
  }
  DWORD type = (pInfo->dwFlags & CEDB_VALIDTYPE) ? pInfo->dwDbaseType : 0;
  Call call(m->volume.get(), true);
  if (call.error()) return Fail(call.error());
  if (call.state().FindDbByName(name)) return Fail(ERROR_DUP_NAME);
  CEOID oid = call.state().AllocateOid();
  call.state().CreateDb(call.out(), oid, name, type, has_sort, sort_prop, sort_flags);
  if (std::uint32_t err = call.Finish()) return Fail(err);
  return oid;
}

HANDLE CeOpenDatabaseEx2(PCEGUID pceguid, PCEOID poid, LPCWSTR lpszName, SORTORDERSPECEX* pSort,
                         DWORD dwFlags, CENOTIFYREQUEST* pRequest) {
  Mount* m = FindMount(pceguid);
  if (!m || !poid || (*poid == 0 && (!lpszName || !*lpszName))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Call call(m->volume.get(), false);
  if (call.error()) {
    SetLastError(call.error());
    return INVALID_HANDLE_VALUE;
  }
  Database* db = *poid ? call.state().FindDb(*poid) : call.state().FindDbByName(ToU16(lpszName));
  if (!db) {
    SetLastError(*poid ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (pSort && pSort->wNumProps > 0 &&
      (!db->has_sort || pSort->rgPropID[0] != db->sort_propid || pSort->rgdwFlags[0] != db->sort_flags)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DbHandle* h = new DbHandle;
  h->mount = m;
  h->db = db->oid;
  h->flags = dwFlags;
  *poid = db->oid;
  std::lock_guard<std::mutex> lock(g_mu);
  g_handles.insert(h);
  return h;
}

BOOL CeCloseDatabase(HANDLE hDatabase) {
  std::lock_guard<std::mutex> lock(g_mu);
  DbHandle* d = static_cast<DbHandle*>(hDatabase);
  if (g_handles.erase(d)) {
    d->tag = 0;
    delete d;
    return TRUE;
  }
  EnumHandle* e = static_cast<EnumHandle*>(hDatabase);
  if (g_enums.erase(e)) {
    e->tag = 0;
    delete e;
    return TRUE;
  }
  return Fail(ERROR_INVALID_HANDLE);
}

BOOL CeDeleteDatabaseEx(PCEGUID pceguid, CEOID oid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  Call call(m->volume.get(), true);
  if (call.error()) return Fail(call.error());
  if (!call.state().FindDb(oid)) return Fail(ERROR_INVALID_PARAMETER);
  call.state().DeleteDb(call.out(), oid);
  if (std::uint32_t err = call.Finish()) return Fail(err);
  return TRUE;
}

CEOID CeSeekDatabaseEx(HANDLE hDatabase, DWORD dwSeekType, DWORD dwValue, WORD wNumVals, LPDWORD lpdwIndex) {
  DbHandle* h = FindHandle(hDatabase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  Call call(h->mount->volume.get(), false);
  if (call.error()) return Fail(call.error());
  Database* db = call.state().FindDb(h->db);
  if (!db) return Fail(ERROR_INVALID_HANDLE);
  std::size_t n = db->order.size();
  std::size_t pos = n;
  switch (dwSeekType) {
    case CEDB_SEEK_CEOID: {
      const cedb::Record* r = call.state().FindRecord(dwValue);
      if (r && r->db == h->db) pos = db->order.LowerBound(r->key, dwValue);
      break;
    }
    case CEDB_SEEK_BEGINNING:
      pos = dwValue;
      break;
    case CEDB_SEEK_END:
      if (dwValue < n) pos = n - 1 - dwValue;
      break;
    case CEDB_SEEK_CURRENT: {
      std::size_t cur = Current(db, h);
      long long target = static_cast<long long>(cur) + static_cast<std::int32_t>(dwValue);
      if (cur < n && target >= 0) pos = static_cast<std::size_t>(target);
      break;
    }
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  if (pos >= n) return Fail(ERROR_SEEK);
  MoveTo(h, db, pos);
  if (lpdwIndex) *lpdwIndex = static_cast<DWORD>(pos);
  return h->oid;
}

namespace {

// Bytes a value takes in the read buffer after the CEPROPVAL array.
std::size_t ValueRoom(const PropView& p) {
  std::size_t extra = p.size + (LOWORD(p.propid) == CEVT_LPWSTR ? 2 : 0);
  return (extra + 7) & ~static_cast<std::size_t>(7);
}

// Fills one CEPROPVAL from a stored value; variable data goes to *at.
void FillValue(const PropView& p, LPBYTE base, std::size_t* at, CEPROPVAL* v) {
  switch (LOWORD(p.propid)) {
    case CEVT_I2: v->val.iVal = static_cast<short>(p.fixed); break;
    case CEVT_UI2: v->val.uiVal = static_cast<USHORT>(p.fixed); break;
    case CEVT_I4: v->val.lVal = static_cast<LONG>(static_cast<std::int32_t>(p.fixed)); break;
    case CEVT_UI4: v->val.ulVal = static_cast<ULONG>(static_cast<std::uint32_t>(p.fixed)); break;
    case CEVT_BOOL: v->val.boolVal = p.fixed ? TRUE : FALSE; break;
    case CEVT_R8: std::memcpy(&v->val.dblVal, &p.fixed, 8); break;
    case CEVT_FILETIME:
      v->val.filetime.dwLowDateTime = static_cast<DWORD>(p.fixed & 0xFFFFFFFFu);
      v->val.filetime.dwHighDateTime = static_cast<DWORD>(p.fixed >> 32);
      break;
    case CEVT_LPWSTR: {
      WCHAR* s = reinterpret_cast<WCHAR*>(base + *at);
      std::size_t units = p.size / 2;
      for (std::size_t k = 0; k < units; ++k)
        s[k] = static_cast<WCHAR>(static_cast<unsigned char>(p.data[2 * k]) |
                                  (static_cast<unsigned char>(p.data[2 * k + 1]) << 8));
      s[units] = 0;
      v->val.lpwstr = s;
      v->wLenData = static_cast<WORD>(units * 2 + 2);
      *at += ValueRoom(p);
      break;
    }
    case CEVT_BLOB:
      if (p.size != 0) std::memcpy(base + *at, p.data, p.size);
      v->val.blob.dwCount = static_cast<DWORD>(p.size);
      v->val.blob.lpb = base + *at;
      v->wLenData = static_cast<WORD>(p.size);
      *at += ValueRoom(p);
      break;
  }
}

}  // namespace

CEOID CeReadRecordPropsEx(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID, CEPROPID* rgPropID,
                          LPBYTE* lplpBuffer, LPDWORD lpcbBuffer, HANDLE hHeap) {
  DbHandle* h = FindHandle(hDbase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  if (!lpcPropID || !lplpBuffer || !lpcbBuffer) return Fail(ERROR_INVALID_PARAMETER);
  Call call(h->mount->volume.get(), false);
  if (call.error()) return Fail(call.error());
  Database* db = call.state().FindDb(h->db);
  if (!db) return Fail(ERROR_INVALID_HANDLE);
  std::size_t pos = Current(db, h);
  if (pos >= db->order.size()) return Fail(ERROR_NO_MORE_ITEMS);
  CEOID oid = db->order.entries()[pos].oid;
  const cedb::Record* rec = call.state().FindRecord(oid);
  // Views into the image: each value is copied once, into the caller's buffer.
  thread_local std::vector<PropView> props;
  if (!rec || !cedb::DecodePropViews(rec->props.data(), rec->props.size(), &props))
    return Fail(ERROR_FILE_CORRUPT);

  // Which properties, in which order (null: not in the record).
  thread_local std::vector<const PropView*> chosen;
  chosen.clear();
  WORD wanted = rgPropID ? *lpcPropID : static_cast<WORD>(props.size());
  for (WORD i = 0; i < wanted; ++i) {
    if (!rgPropID) {
      chosen.push_back(&props[i]);
      continue;
    }
    auto it = std::find_if(props.begin(), props.end(), [&](const PropView& p) { return p.propid == rgPropID[i]; });
    chosen.push_back(it == props.end() ? nullptr : &*it);
  }
  std::size_t head = chosen.size() * sizeof(CEPROPVAL);
  std::size_t need = head;
  for (const PropView* p : chosen)
    if (p) need += ValueRoom(*p);
  if (need > 0xFFFFFFFFu) return Fail(ERROR_INVALID_PARAMETER);
  if (!*lplpBuffer || *lpcbBuffer < need) {
    if (!(dwFlags & CEDB_ALLOWREALLOC)) {
      *lpcbBuffer = static_cast<DWORD>(need);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    void* mem = AllocBuffer(need);
    if (!mem) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (*lplpBuffer) LocalFree(*lplpBuffer);
    *lplpBuffer = static_cast<LPBYTE>(mem);
  }
  *lpcbBuffer = static_cast<DWORD>(need);
  LPBYTE base = *lplpBuffer;
  CEPROPVAL* out = reinterpret_cast<CEPROPVAL*>(base);
  std::size_t at = head;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    CEPROPVAL v;
    std::memset(&v, 0, sizeof v);
    v.propid = rgPropID ? rgPropID[i] : chosen[i]->propid;
    if (chosen[i])
      FillValue(*chosen[i], base, &at, &v);
    else
      v.wFlags = CEDB_PROPNOTFOUND;
    std::memcpy(&out[i], &v, sizeof v);
  }
  *lpcPropID = static_cast<WORD>(chosen.size());
  MoveTo(h, db, (h->flags & CEDB_AUTOINCREMENT) ? pos + 1 : pos);
  return oid;
}

CEOID CeWriteRecordProps(HANDLE hDbase, CEOID oidRecord, WORD cPropID, CEPROPVAL* rgPropVal) {
  DbHandle* h = FindHandle(hDbase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  Call call(h->mount->volume.get(), true);
  if (call.error()) return Fail(call.error());
  VolumeState& st = call.state();
  if (!st.FindDb(h->db)) return Fail(ERROR_INVALID_HANDLE);
  // The record's values are not copied: the views point into the image
  // until WriteRecord has logged what changed.
  std::vector<PropView> props;
  if (oidRecord != 0) {
    const cedb::Record* rec = st.FindRecord(oidRecord);
    if (!rec || rec->db != h->db) return Fail(ERROR_INVALID_PARAMETER);
    if (!cedb::DecodePropViews(rec->props.data(), rec->props.size(), &props)) return Fail(ERROR_FILE_CORRUPT);
  }
  std::vector<std::string> scratch;
  if (DWORD err = cedb::MergeWrite(cPropID, rgPropVal, &props, &scratch)) return Fail(err);
  CEOID oid = oidRecord ? oidRecord : st.AllocateOid();
  st.WriteRecord(call.out(), h->db, oid, props);
  if (std::uint32_t err = call.Finish()) return Fail(err);
  return oid;
}

BOOL CeDeleteRecord(HANDLE hDatabase, CEOID oidRecord) {
  DbHandle* h = FindHandle(hDatabase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  Call call(h->mount->volume.get(), true);
  if (call.error()) return Fail(call.error());
  VolumeState& st = call.state();
  if (!st.FindDb(h->db)) return Fail(ERROR_INVALID_HANDLE);
  const cedb::Record* rec = st.FindRecord(oidRecord);
  if (!rec || rec->db != h->db) return Fail(ERROR_INVALID_PARAMETER);
  st.DeleteRecord(call.out(), h->db, oidRecord);
  if (std::uint32_t err = call.Finish()) return Fail(err);
  return TRUE;
}

BOOL CeOidGetInfoEx2(PCEGUID pGuid, CEOID oid, CEOIDINFOEX* oidInfo) {
  Mount* m = FindMount(pGuid);
  if (!m || !oidInfo) return Fail(ERROR_INVALID_PARAMETER);
  Call call(m->volume.get(), false);
  if (call.error()) return Fail(call.error());
  VolumeState& st = call.state();
  std::memset(oidInfo, 0, sizeof *oidInfo);
  oidInfo->wVersion = CEOIDINFOEX_VERSION;
  if (Database* db = st.FindDb(oid)) {
    oidInfo->wObjType = OBJTYPE_DATABASE;
    CEDBASEINFOEX& info = oidInfo->infDatabase;
    info.wVersion = CEDBASEINFOEX_VERSION;
    info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC;
    for (std::size_t i = 0; i < db->name.size() && i + 1 < CEDB_MAXDBASENAMELEN; ++i)
      info.szDbaseName[i] = static_cast<WCHAR>(db->name[i]);
    info.dwDbaseType = db->type;
    info.dwNumRecords = static_cast<DWORD>(db->order.size());
    info.dwSize = static_cast<DWORD>(db->bytes);
    if (db->has_sort) {
      info.wNumSortOrder = 1;
      info.rgSortSpecs[0].wVersion = SORTORDERSPECEX_VERSION;
      info.rgSortSpecs[0].wNumProps = 1;
      info.rgSortSpecs[0].rgPropID[0] = db->sort_propid;
      info.rgSortSpecs[0].rgdwFlags[0] = db->sort_flags;
    }
    return TRUE;
  }
  if (const cedb::Record* r = st.FindRecord(oid)) {
    oidInfo->wObjType = OBJTYPE_RECORD;
    oidInfo->infRecord.oidParent = r->db;
    return TRUE;
  }
  return Fail(ERROR_INVALID_PARAMETER);
}

namespace {

BOOL BeginBracket(PCEGUID pceguid, VolumeAccess::Kind kind) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  std::uint32_t err = m->volume->Begin(kind);
  return err ? Fail(err) : TRUE;
}

}  // namespace

BOOL CeBeginTransaction(PCEGUID pceguid) { return BeginBracket(pceguid, VolumeAccess::Kind::kWrite); }
BOOL CeBeginReadTransaction(PCEGUID pceguid) { return BeginBracket(pceguid, VolumeAccess::Kind::kRead); }

BOOL CeCommitTransaction(PCEGUID pceguid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  std::uint32_t err = m->volume->Commit();
  return err ? Fail(err) : TRUE;
}

BOOL CeRollbackTransaction(PCEGUID pceguid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  std::uint32_t err = m->volume->Rollback();
  return err ? Fail(err) : TRUE;
}

BOOL CeGetDatabaseStamp(HANDLE hDatabase, CEDBSTAMP* pStamp) {
  DbHandle* h = FindHandle(hDatabase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  if (!pStamp) return Fail(ERROR_INVALID_PARAMETER);
  Call call(h->mount->volume.get(), false);
  if (call.error()) return Fail(call.error());
  Database* db = call.state().FindDb(h->db);
  if (!db) return Fail(ERROR_INVALID_HANDLE);
  *pStamp = db->stamp;
  return TRUE;
}

BOOL CeGetVolumeReport(PCEGUID pceguid, CEVOLUMEREPORT* report) {
  Mount* m = FindMount(pceguid);
  if (!m || !report || report->cbSize < sizeof(CEVOLUMEREPORT)) return Fail(ERROR_INVALID_PARAMETER);
  Call call(m->volume.get(), false);
  if (call.error()) return Fail(call.error());
  report->dwDroppedBytes = m->dropped_at_mount;
  report->dwDroppedBatches = m->dropped_at_mount ? 1 : 0;
  report->dwFileBytes = static_cast<DWORD>(m->volume->file_bytes());
  report->dwLiveBytes = static_cast<DWORD>(call.state().live_bytes());
  return TRUE;
}
