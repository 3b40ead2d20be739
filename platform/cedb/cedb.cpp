// The CE database calls over VolumeFile / VolumeState.
//
// Every call: find the volume or handle under the registry mutex, take the
// volume's mutex and file lock (Scope), work on the in-memory image, and for
// writes append the operations to `pending`, which is committed as one batch
// when the call ends, or at the end of the caller's transaction bracket.
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
using cedb::PropValue;
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

struct Mount {
  std::unique_ptr<VolumeFile> file;
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
  // Current position: the first record not below (key, oid).
  std::uint64_t key = 0;
  std::uint32_t oid = 0;
};

std::mutex g_mu;
std::map<std::string, Mount*> g_by_path;
std::map<DWORD, Mount*> g_by_id;
std::set<DbHandle*> g_handles;
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

bool InOwnTransaction(VolumeFile* f) { return f->tx_depth > 0 && f->tx_owner == std::this_thread::get_id(); }

// Holds a volume for one call. Writes made through it are committed when it
// ends, unless the calling thread has a transaction bracket open.
class Scope {
 public:
  Scope(VolumeFile* f, bool exclusive) : f_(f), lock_(f->mu) {
    if (InOwnTransaction(f_)) {
      in_tx_ = true;
      return;
    }
    err_ = f_->Lock(exclusive);
    locked_ = err_ == 0;
  }
  ~Scope() {
    if (locked_ && !in_tx_) {
      if (!f_->pending.empty()) {
        std::uint32_t err = f_->Commit(f_->pending);
        f_->pending.clear();
        if (err) commit_err_ = err;
      }
      f_->Unlock();
    }
  }
  // Commits now, so the caller can report a failed write.
  std::uint32_t Finish() {
    if (!locked_ || in_tx_ || f_->pending.empty()) return 0;
    std::uint32_t err = f_->Commit(f_->pending);
    f_->pending.clear();
    return err;
  }
  std::uint32_t error() const { return err_; }
  VolumeState& state() { return f_->state(); }
  std::string* out() { return &f_->pending; }

 private:
  VolumeFile* f_;
  std::lock_guard<std::recursive_mutex> lock_;
  bool in_tx_ = false;
  bool locked_ = false;
  std::uint32_t err_ = 0;
  std::uint32_t commit_err_ = 0;
};

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

// Converts caller properties into the stored form; merges into `props`.
DWORD MergeProps(WORD count, const CEPROPVAL* vals, std::vector<PropValue>* props) {
  if (count > 0 && !vals) return ERROR_INVALID_PARAMETER;
  for (WORD i = 0; i < count; ++i) {
    const CEPROPVAL& v = vals[i];
    WORD type = LOWORD(v.propid);
    auto it = std::find_if(props->begin(), props->end(),
                           [&](const PropValue& p) { return p.propid == v.propid; });
    if (v.wFlags & CEDB_PROPDELETE) {
      if (it != props->end()) props->erase(it);
      continue;
    }
    if (!cedb::TypeSupported(type)) return ERROR_INVALID_PARAMETER;
    PropValue p;
    p.propid = v.propid;
    switch (type) {
      case CEVT_I2: p.fixed = static_cast<std::uint64_t>(static_cast<std::int64_t>(v.val.iVal)); break;
      case CEVT_UI2: p.fixed = v.val.uiVal; break;
      case CEVT_I4: p.fixed = static_cast<std::uint64_t>(static_cast<std::int64_t>(v.val.lVal)); break;
      case CEVT_UI4: p.fixed = static_cast<std::uint32_t>(v.val.ulVal); break;
      case CEVT_BOOL: p.fixed = v.val.boolVal ? 1 : 0; break;
      case CEVT_R8: std::memcpy(&p.fixed, &v.val.dblVal, 8); break;
      case CEVT_FILETIME:
        p.fixed = static_cast<std::uint32_t>(v.val.filetime.dwLowDateTime) |
                  (static_cast<std::uint64_t>(v.val.filetime.dwHighDateTime) << 32);
        break;
      case CEVT_LPWSTR: {
        if (!v.val.lpwstr) return ERROR_INVALID_PARAMETER;
        std::size_t n = 0;
        while (v.val.lpwstr[n]) {
          if (++n * 2 > CEDB_MAXPROPDATASIZE) return ERROR_INVALID_PARAMETER;
        }
        for (std::size_t k = 0; k < n; ++k) {
          std::uint16_t u = static_cast<std::uint16_t>(v.val.lpwstr[k]);
          p.bytes.push_back(static_cast<char>(u & 0xFF));
          p.bytes.push_back(static_cast<char>(u >> 8));
        }
        break;
      }
      case CEVT_BLOB:
        if (v.val.blob.dwCount > CEDB_MAXPROPDATASIZE) return ERROR_INVALID_PARAMETER;
        if (v.val.blob.dwCount > 0 && !v.val.blob.lpb) return ERROR_INVALID_PARAMETER;
        p.bytes.assign(reinterpret_cast<const char*>(v.val.blob.lpb), v.val.blob.dwCount);
        break;
    }
    if (it != props->end())
      *it = std::move(p);
    else
      props->push_back(std::move(p));
  }
  std::size_t total = 0;
  for (const PropValue& p : *props) total += p.bytes.size() + 8;
  if (total > CEDB_MAXRECORDSIZE) return ERROR_INVALID_PARAMETER;
  return 0;
}

// Record at the handle's position, or null past the end.
const OrderEntry* Current(Database* db, DbHandle* h, std::size_t* index) {
  std::size_t pos = VolumeState::LowerBound(*db, h->key, h->oid);
  if (pos >= db->order.size()) return nullptr;
  *index = pos;
  return &db->order[pos];
}

void MoveTo(DbHandle* h, Database* db, std::size_t pos) {
  if (pos >= db->order.size()) {
    h->key = ~0ull;
    h->oid = ~0u;
  } else {
    h->key = db->order[pos].key;
    h->oid = db->order[pos].oid;
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
  std::unique_ptr<Mount> m(new Mount);
  m->file.reset(new VolumeFile);
  std::uint32_t err = m->file->Open(path, dwFlags);
  if (err) return Fail(err);
  m->path = path;
  m->id = g_next_id++;
  m->refs = 1;
  m->dropped_at_mount = static_cast<DWORD>(m->file->mount_dropped_bytes());
  *pceguid = CEGUID{m->id, kGuidTag2, kGuidTag3, 0};
  g_by_id[m->id] = m.get();
  g_by_path[path] = m.release();
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL CeUnmountDBVol(PCEGUID pceguid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  {
    std::lock_guard<std::recursive_mutex> vl(m->file->mu);
    if (InOwnTransaction(m->file.get()) && m->refs == 1) CeRollbackTransaction(pceguid);
    m->file->Sync();
  }
  std::lock_guard<std::mutex> lock(g_mu);
  if (--m->refs > 0) return TRUE;
  for (auto it = g_handles.begin(); it != g_handles.end();) {
    if ((*it)->mount == m) {
      (*it)->tag = 0;
      delete *it;
      it = g_handles.erase(it);
    } else {
      ++it;
    }
  }
  g_by_id.erase(m->id);
  g_by_path.erase(m->path);
  delete m;
  return TRUE;
}

BOOL CeFlushDBVol(PCEGUID pceguid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::recursive_mutex> vl(m->file->mu);
  std::uint32_t err = m->file->Sync();
  return err ? Fail(err) : TRUE;
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
  Scope scope(m->file.get(), true);
  if (scope.error()) return Fail(scope.error());
  if (scope.state().FindDbByName(name)) return Fail(ERROR_DUP_NAME);
  CEOID oid = scope.state().AllocateOid();
  scope.state().CreateDb(scope.out(), oid, name, type, has_sort, sort_prop, sort_flags);
  if (std::uint32_t err = scope.Finish()) return Fail(err);
  return oid;
}

HANDLE CeOpenDatabaseEx2(PCEGUID pceguid, PCEOID poid, LPCWSTR lpszName, SORTORDERSPECEX* pSort,
                         DWORD dwFlags, CENOTIFYREQUEST* pRequest) {
  Mount* m = FindMount(pceguid);
  if (!m || !poid || (*poid == 0 && (!lpszName || !*lpszName))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Scope scope(m->file.get(), false);
  if (scope.error()) {
    SetLastError(scope.error());
    return INVALID_HANDLE_VALUE;
  }
  Database* db = *poid ? scope.state().FindDb(*poid) : scope.state().FindDbByName(ToU16(lpszName));
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
  if (!g_handles.erase(d)) return Fail(ERROR_INVALID_HANDLE);
  d->tag = 0;
  delete d;
  return TRUE;
}

BOOL CeDeleteDatabaseEx(PCEGUID pceguid, CEOID oid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  Scope scope(m->file.get(), true);
  if (scope.error()) return Fail(scope.error());
  if (!scope.state().FindDb(oid)) return Fail(ERROR_INVALID_PARAMETER);
  scope.state().DeleteDb(scope.out(), oid);
  if (std::uint32_t err = scope.Finish()) return Fail(err);
  return TRUE;
}

CEOID CeSeekDatabaseEx(HANDLE hDatabase, DWORD dwSeekType, DWORD dwValue, WORD wNumVals, LPDWORD lpdwIndex) {
  DbHandle* h = FindHandle(hDatabase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  Scope scope(h->mount->file.get(), false);
  if (scope.error()) return Fail(scope.error());
  Database* db = scope.state().FindDb(h->db);
  if (!db) return Fail(ERROR_INVALID_HANDLE);
  std::size_t n = db->order.size();
  std::size_t pos = n;
  switch (dwSeekType) {
    case CEDB_SEEK_CEOID: {
      const cedb::Record* r = scope.state().FindRecord(dwValue);
      if (r && r->db == h->db) pos = VolumeState::LowerBound(*db, r->key, dwValue);
      break;
    }
    case CEDB_SEEK_BEGINNING:
      pos = dwValue;
      break;
    case CEDB_SEEK_END:
      if (dwValue < n) pos = n - 1 - dwValue;
      break;
    case CEDB_SEEK_CURRENT: {
      std::size_t cur = n;
      Current(db, h, &cur);
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
  return db->order[pos].oid;
}

CEOID CeReadRecordPropsEx(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID, CEPROPID* rgPropID,
                          LPBYTE* lplpBuffer, LPDWORD lpcbBuffer, HANDLE hHeap) {
  DbHandle* h = FindHandle(hDbase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  if (!lpcPropID || !lplpBuffer || !lpcbBuffer) return Fail(ERROR_INVALID_PARAMETER);
  Scope scope(h->mount->file.get(), false);
  if (scope.error()) return Fail(scope.error());
  Database* db = scope.state().FindDb(h->db);
  if (!db) return Fail(ERROR_INVALID_HANDLE);
  std::size_t pos = 0;
  const OrderEntry* e = Current(db, h, &pos);
  if (!e) return Fail(ERROR_NO_MORE_ITEMS);
  CEOID oid = e->oid;
  const cedb::Record* rec = scope.state().FindRecord(oid);
  // Views into the image: each value is copied once, into the caller's buffer.
  std::vector<cedb::PropView> props;
  if (!rec || !cedb::DecodePropViews(rec->props.data(), rec->props.size(), &props))
    return Fail(ERROR_FILE_CORRUPT);

  // Which properties, in which order.
  std::vector<const cedb::PropView*> chosen;
  std::vector<CEPROPID> ids;
  if (rgPropID) {
    for (WORD i = 0; i < *lpcPropID; ++i) {
      ids.push_back(rgPropID[i]);
      auto it = std::find_if(props.begin(), props.end(), [&](const cedb::PropView& p) { return p.propid == rgPropID[i]; });
      chosen.push_back(it == props.end() ? nullptr : &*it);
    }
  } else {
    for (const cedb::PropView& p : props) {
      ids.push_back(p.propid);
      chosen.push_back(&p);
    }
  }
  std::size_t head = chosen.size() * sizeof(CEPROPVAL);
  std::size_t need = head;
  for (const cedb::PropView* p : chosen) {
    if (!p) continue;
    std::size_t extra = p->size + (LOWORD(p->propid) == CEVT_LPWSTR ? 2 : 0);
    need += (extra + 7) & ~static_cast<std::size_t>(7);
  }
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
    v.propid = ids[i];
    const cedb::PropView* p = chosen[i];
    if (!p) {
      v.wFlags = CEDB_PROPNOTFOUND;
      std::memcpy(&out[i], &v, sizeof v);
      continue;
    }
    switch (LOWORD(p->propid)) {
      case CEVT_I2: v.val.iVal = static_cast<short>(p->fixed); break;
      case CEVT_UI2: v.val.uiVal = static_cast<USHORT>(p->fixed); break;
      case CEVT_I4: v.val.lVal = static_cast<LONG>(static_cast<std::int32_t>(p->fixed)); break;
      case CEVT_UI4: v.val.ulVal = static_cast<ULONG>(static_cast<std::uint32_t>(p->fixed)); break;
      case CEVT_BOOL: v.val.boolVal = p->fixed ? TRUE : FALSE; break;
      case CEVT_R8: std::memcpy(&v.val.dblVal, &p->fixed, 8); break;
      case CEVT_FILETIME:
        v.val.filetime.dwLowDateTime = static_cast<DWORD>(p->fixed & 0xFFFFFFFFu);
        v.val.filetime.dwHighDateTime = static_cast<DWORD>(p->fixed >> 32);
        break;
      case CEVT_LPWSTR: {
        WCHAR* s = reinterpret_cast<WCHAR*>(base + at);
        std::size_t units = p->size / 2;
        for (std::size_t k = 0; k < units; ++k)
          s[k] = static_cast<WCHAR>(static_cast<unsigned char>(p->data[2 * k]) |
                                    (static_cast<unsigned char>(p->data[2 * k + 1]) << 8));
        s[units] = 0;
        v.val.lpwstr = s;
        v.wLenData = static_cast<WORD>(units * 2 + 2);
        at += (p->size + 2 + 7) & ~static_cast<std::size_t>(7);
        break;
      }
      case CEVT_BLOB:
        if (p->size != 0) std::memcpy(base + at, p->data, p->size);
        v.val.blob.dwCount = static_cast<DWORD>(p->size);
        v.val.blob.lpb = base + at;
        v.wLenData = static_cast<WORD>(p->size);
        at += (p->size + 7) & ~static_cast<std::size_t>(7);
        break;
    }
    std::memcpy(&out[i], &v, sizeof v);
  }
  *lpcPropID = static_cast<WORD>(chosen.size());
  if (h->flags & CEDB_AUTOINCREMENT) MoveTo(h, db, pos + 1);
  return oid;
}

CEOID CeWriteRecordProps(HANDLE hDbase, CEOID oidRecord, WORD cPropID, CEPROPVAL* rgPropVal) {
  DbHandle* h = FindHandle(hDbase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  Scope scope(h->mount->file.get(), true);
  if (scope.error()) return Fail(scope.error());
  VolumeState& st = scope.state();
  if (!st.FindDb(h->db)) return Fail(ERROR_INVALID_HANDLE);
  std::vector<PropValue> props;
  if (oidRecord != 0) {
    const cedb::Record* rec = st.FindRecord(oidRecord);
    if (!rec || rec->db != h->db) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<cedb::PropView> old;
    if (!cedb::DecodePropViews(rec->props.data(), rec->props.size(), &old)) return Fail(ERROR_FILE_CORRUPT);
    props.resize(old.size());
    for (std::size_t i = 0; i < old.size(); ++i) {
      props[i].propid = old[i].propid;
      props[i].fixed = old[i].fixed;
      // A value the call replaces or deletes is not copied: MergeProps
      // overwrites it (or fails the call) without looking at it.
      bool given = false;
      for (WORD k = 0; rgPropVal && k < cPropID && !given; ++k) given = rgPropVal[k].propid == old[i].propid;
      if (!given) props[i].bytes.assign(old[i].data, old[i].size);
    }
  }
  if (DWORD err = MergeProps(cPropID, rgPropVal, &props)) return Fail(err);
  CEOID oid = oidRecord ? oidRecord : st.AllocateOid();
  st.PutRecord(scope.out(), h->db, oid, cedb::EncodeProps(props));
  if (std::uint32_t err = scope.Finish()) return Fail(err);
  return oid;
}

BOOL CeDeleteRecord(HANDLE hDatabase, CEOID oidRecord) {
  DbHandle* h = FindHandle(hDatabase);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  Scope scope(h->mount->file.get(), true);
  if (scope.error()) return Fail(scope.error());
  VolumeState& st = scope.state();
  if (!st.FindDb(h->db)) return Fail(ERROR_INVALID_HANDLE);
  const cedb::Record* rec = st.FindRecord(oidRecord);
  if (!rec || rec->db != h->db) return Fail(ERROR_INVALID_PARAMETER);
  st.DeleteRecord(scope.out(), h->db, oidRecord);
  if (std::uint32_t err = scope.Finish()) return Fail(err);
  return TRUE;
}

BOOL CeOidGetInfoEx2(PCEGUID pGuid, CEOID oid, CEOIDINFOEX* oidInfo) {
  Mount* m = FindMount(pGuid);
  if (!m || !oidInfo) return Fail(ERROR_INVALID_PARAMETER);
  Scope scope(m->file.get(), false);
  if (scope.error()) return Fail(scope.error());
  VolumeState& st = scope.state();
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

BOOL CeBeginTransaction(PCEGUID pceguid) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  VolumeFile* f = m->file.get();
  f->mu.lock();  // held until the outermost commit or rollback
  if (InOwnTransaction(f)) {
    f->tx_depth++;
    return TRUE;
  }
  if (std::uint32_t err = f->Lock(true)) {
    f->mu.unlock();
    return Fail(err);
  }
  f->tx_depth = 1;
  f->tx_owner = std::this_thread::get_id();
  f->pending.clear();
  return TRUE;
}

static BOOL EndTransaction(PCEGUID pceguid, bool commit) {
  Mount* m = FindMount(pceguid);
  if (!m) return Fail(ERROR_INVALID_PARAMETER);
  VolumeFile* f = m->file.get();
  std::lock_guard<std::recursive_mutex> lock(f->mu);
  if (!InOwnTransaction(f)) return Fail(ERROR_INVALID_OPERATION);
  if (commit && f->tx_depth > 1) {
    f->tx_depth--;
    f->mu.unlock();
    return TRUE;
  }
  std::uint32_t err = 0;
  if (commit) {
    err = f->Commit(f->pending);
  } else if (!f->pending.empty()) {
    f->Invalidate();
  }
  f->pending.clear();
  int depth = f->tx_depth;
  f->tx_depth = 0;
  f->tx_owner = std::thread::id();
  f->Unlock();
  for (int i = 0; i < depth; ++i) f->mu.unlock();
  return err ? Fail(err) : TRUE;
}

BOOL CeCommitTransaction(PCEGUID pceguid) { return EndTransaction(pceguid, true); }
BOOL CeRollbackTransaction(PCEGUID pceguid) { return EndTransaction(pceguid, false); }

BOOL CeGetVolumeReport(PCEGUID pceguid, CEVOLUMEREPORT* report) {
  Mount* m = FindMount(pceguid);
  if (!m || !report || report->cbSize < sizeof(CEVOLUMEREPORT)) return Fail(ERROR_INVALID_PARAMETER);
  Scope scope(m->file.get(), false);
  if (scope.error()) return Fail(scope.error());
  report->dwDroppedBytes = m->dropped_at_mount;
  report->dwDroppedBatches = m->dropped_at_mount ? 1 : 0;
  report->dwFileBytes = static_cast<DWORD>(m->file->file_bytes());
  report->dwLiveBytes = static_cast<DWORD>(scope.state().live_bytes());
  return TRUE;
}
