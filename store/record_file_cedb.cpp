// RecordFile over a CE database volume: each store database is one platform
// database sorted on property 0 (the record number), each record holding the
// number (property 0x00000013) and the bytes (property 0x00010041).

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/cedb.h"
#include "platform/os.h"
#include "record_file.h"

namespace store {
namespace {

constexpr CEPROPID kNumberProp = 0x00000013;
constexpr CEPROPID kBytesProp = 0x00010041;

SORTORDERSPECEX NumberOrder() {
  SORTORDERSPECEX s;
  std::memset(&s, 0, sizeof(s));
  s.wVersion = SORTORDERSPECEX_VERSION;
  s.wNumProps = 1;
  s.rgPropID[0] = kNumberProp;
  s.rgdwFlags[0] = 0;
  return s;
}

class CedbBackend : public RecordBackend {
 public:
  CedbBackend(CEGUID guid, CEOID oid, HANDLE handle) : guid_(guid), oid_(oid), handle_(handle) {}
  ~CedbBackend() override {
    Close();
    if (buffer_ != nullptr) LocalFree(buffer_);
  }

  std::uint32_t Count() const override {
    CEOIDINFOEX info;
    std::memset(&info, 0, sizeof(info));
    info.wVersion = CEOIDINFOEX_VERSION;
    CEGUID g = guid_;
    if (!CeOidGetInfoEx2(&g, oid_, &info) || info.wObjType != OBJTYPE_DATABASE) return 0;
    return info.infDatabase.dwNumRecords;
  }

  StoreCode ReadByNumber(std::uint32_t number, std::uint32_t* id, std::string* bytes) override {
    CEOID oid = CeSeekDatabaseEx(handle_, CEDB_SEEK_BEGINNING, number, 0, nullptr);
    if (oid == 0) return kStoreRecordNotFound;
    std::uint32_t n = 0;
    const char* data = nullptr;
    std::size_t size = 0;
    StoreCode rc = ReadCurrent(&n, &data, &size);
    if (rc != kStoreOk) return rc;
    bytes->assign(data, size);
    *id = oid;
    return kStoreOk;
  }

  StoreCode ViewById(std::uint32_t id, std::uint32_t* number, const char** data, std::size_t* size) override {
    if (id == 0) return kStoreRecordNotFound;
    if (CeSeekDatabaseEx(handle_, CEDB_SEEK_CEOID, id, 0, nullptr) == 0) return kStoreRecordNotFound;
    return ReadCurrent(number, data, size);
  }

  StoreCode IdAt(std::uint32_t number, std::uint32_t* id) override {
    CEOID oid = CeSeekDatabaseEx(handle_, CEDB_SEEK_BEGINNING, number, 0, nullptr);
    if (oid == 0) return kStoreRecordNotFound;
    *id = oid;
    return kStoreOk;
  }

  StoreCode NumberOf(std::uint32_t id, std::uint32_t* number) override {
    DWORD index = 0;
    if (id == 0 || CeSeekDatabaseEx(handle_, CEDB_SEEK_CEOID, id, 0, &index) == 0) return kStoreRecordNotFound;
    *number = index;
    return kStoreOk;
  }

  StoreCode Write(std::uint32_t id, std::uint32_t number, const std::string& bytes,
                  std::uint32_t* new_id) override {
    // The platform only reads the value (CEPROPVAL has no const pointer),
    // so a block of up to 64 KB is not copied for the call.
    CEPROPVAL props[2];
    std::memset(props, 0, sizeof(props));
    props[0].propid = kNumberProp;
    props[0].val.ulVal = number;
    props[1].propid = kBytesProp;
    props[1].val.blob.dwCount = static_cast<DWORD>(bytes.size());
    props[1].val.blob.lpb = bytes.empty() ? nullptr : reinterpret_cast<LPBYTE>(const_cast<char*>(bytes.data()));
    CEOID oid = CeWriteRecordProps(handle_, id, 2, props);
    if (oid == 0) return kStoreWriteFailed;
    if (new_id) *new_id = oid;
    return kStoreOk;
  }

  StoreCode Renumber(std::uint32_t id, std::uint32_t number) override {
    CEPROPVAL prop;
    std::memset(&prop, 0, sizeof(prop));
    prop.propid = kNumberProp;
    prop.val.ulVal = number;
    return CeWriteRecordProps(handle_, id, 1, &prop) != 0 ? kStoreOk : kStoreWriteFailed;
  }

  StoreCode Delete(std::uint32_t id) override {
    return CeDeleteRecord(handle_, id) ? kStoreOk : kStoreRecordDeleteFailed;
  }

  StoreCode Stamp(std::uint64_t* stamp) override {
    CEDBSTAMP s = 0;
    if (!CeGetDatabaseStamp(handle_, &s)) return kStoreReadFailed;
    *stamp = s;
    return kStoreOk;
  }

  StoreCode Begin(BracketKind kind) override {
    BOOL ok = kind == BracketKind::kWrite ? CeBeginTransaction(&guid_) : CeBeginReadTransaction(&guid_);
    return ok ? kStoreOk : (kind == BracketKind::kWrite ? kStoreWriteFailed : kStoreReadFailed);
  }
  StoreCode Commit() override { return CeCommitTransaction(&guid_) ? kStoreOk : kStoreWriteFailed; }
  void Rollback() override { CeRollbackTransaction(&guid_); }
  StoreCode Flush() override { return CeFlushDBVol(&guid_) ? kStoreOk : kStoreWriteFailed; }

  StoreCode Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return kStoreAlreadyClosed;
    CeCloseDatabase(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    CeUnmountDBVol(&guid_);
    return kStoreOk;
  }

  StoreCode DeleteDatabase() override {
    if (handle_ == INVALID_HANDLE_VALUE) return kStoreNotOpen;
    CeCloseDatabase(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    BOOL ok = CeDeleteDatabaseEx(&guid_, oid_);
    CeUnmountDBVol(&guid_);
    return ok ? kStoreOk : kStoreDeleteFailed;
  }

 private:
  // The current record; *data points into the read buffer.
  StoreCode ReadCurrent(std::uint32_t* number, const char** data, std::size_t* size) {
    WORD count = 0;
    DWORD bytes = buffer_size_;
    CEOID oid = CeReadRecordPropsEx(handle_, CEDB_ALLOWREALLOC, &count, nullptr, &buffer_, &bytes, nullptr);
    if (bytes > buffer_size_) buffer_size_ = bytes;
    if (oid == 0 || buffer_ == nullptr) return kStoreReadFailed;
    const auto* props = reinterpret_cast<const CEPROPVAL*>(buffer_);
    *data = "";
    *size = 0;
    for (WORD i = 0; i < count; ++i) {
      if (props[i].wFlags & CEDB_PROPNOTFOUND) continue;
      if (props[i].propid == kNumberProp) *number = props[i].val.ulVal;
      if (props[i].propid == kBytesProp) {
        *data = reinterpret_cast<const char*>(props[i].val.blob.lpb);
        *size = props[i].val.blob.dwCount;
      }
    }
    return kStoreOk;
  }

  CEGUID guid_;
  CEOID oid_;
  HANDLE handle_;
  LPBYTE buffer_ = nullptr;
  DWORD buffer_size_ = 0;
};

HANDLE OpenByName(CEGUID* guid, const std::u16string& name, DWORD flags, CEOID* oid) {
  SORTORDERSPECEX sort = NumberOrder();
  *oid = 0;
  return CeOpenDatabaseEx2(guid, oid, reinterpret_cast<LPCWSTR>(name.c_str()), &sort, flags, nullptr);
}

CEOID Create(CEGUID* guid, const std::u16string& name) {
  CEDBASEINFOEX info;
  std::memset(&info, 0, sizeof(info));
  info.wVersion = CEDBASEINFOEX_VERSION;
  info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC;
  std::size_t n = std::min<std::size_t>(name.size(), CEDB_MAXDBASENAMELEN - 1);
  for (std::size_t i = 0; i < n; ++i) info.szDbaseName[i] = static_cast<WCHAR>(name[i]);
  info.dwDbaseType = 0;
  info.wNumSortOrder = 1;
  info.rgSortSpecs[0] = NumberOrder();
  return CeCreateDatabaseEx2(guid, &info);
}

// Opens, creates or empties the database inside the caller's bracket.
StoreCode OpenInBracket(CEGUID* guid, const std::u16string& wname, bool create, bool start_empty, CEOID* oid,
                        HANDLE* h, bool* created) {
  *h = OpenByName(guid, wname, CEDB_AUTOINCREMENT, oid);
  bool make = false;
  if (*h == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return kStoreOpenFailed;
    if (!create) return kStoreNoDatabase;
    make = true;
  } else if (start_empty) {
    CeCloseDatabase(*h);
    *h = INVALID_HANDLE_VALUE;
    if (!CeDeleteDatabaseEx(guid, *oid)) return kStoreCreateFailed;
    make = true;
  }
  if (!make) return kStoreOk;
  if (Create(guid, wname) == 0) return kStoreCreateFailed;
  *h = OpenByName(guid, wname, CEDB_AUTOINCREMENT, oid);
  if (*h == INVALID_HANDLE_VALUE) return kStoreOpenFailed;
  *created = true;
  return kStoreOk;
}

}  // namespace

StoreCode RecordFile::Open(const std::string& volume_path, const std::string& name, bool create,
                           bool start_empty, std::unique_ptr<RecordFile>* out, bool* created) {
  out->reset();
  *created = false;
  std::u16string volume = platform::os::Utf8ToUtf16(volume_path);
  std::u16string wname = platform::os::Utf8ToUtf16(name);
  if (wname.empty() || wname.size() >= CEDB_MAXDBASENAMELEN) return kStoreOpenFailed;
  CEGUID guid;
  CREATE_INVALIDGUID(&guid);
  if (!CeMountDBVol(&guid, reinterpret_cast<LPCWSTR>(volume.c_str()), OPEN_ALWAYS)) return kStoreOpenFailed;
  // Deleting, creating and filling in the reserved records is one step: a
  // crash in between cannot leave the database missing or half made.
  if (!CeBeginTransaction(&guid)) {
    CeUnmountDBVol(&guid);
    return kStoreOpenFailed;
  }
  CEOID oid = 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  StoreCode rc = OpenInBracket(&guid, wname, create, start_empty, &oid, &h, created);
  if (rc != kStoreOk) {
    if (h != INVALID_HANDLE_VALUE) CeCloseDatabase(h);
    CeRollbackTransaction(&guid);
    CeUnmountDBVol(&guid);
    *created = false;
    return rc;
  }
  out->reset(new RecordFile(std::unique_ptr<RecordBackend>(new CedbBackend(guid, oid, h))));
  (*out)->depth_ = 1;
  (*out)->kind_ = BracketKind::kWrite;
  return kStoreOk;
}

}  // namespace store
