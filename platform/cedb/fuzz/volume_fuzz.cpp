// Mounts arbitrary bytes as a volume and reads everything in it, then
// writes once and reads again: no input may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/cedb.h"
#include "platform/os.h"

namespace os = platform::os;

namespace {

const std::string& VolumePath() {
  static std::string path = [] {
    std::string dir;
    os::MakeTempDirectory("cedbfuzz", &dir);
    return os::JoinPath(dir, "Reader.vol");
  }();
  return path;
}

void ReadDatabase(HANDLE db) {
  if (!CeSeekDatabaseEx(db, CEDB_SEEK_BEGINNING, 0, 0, nullptr)) return;
  for (int i = 0; i < 100000; ++i) {
    WORD count = 0;
    LPBYTE buf = nullptr;
    DWORD size = 0;
    if (!CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, nullptr, &buf, &size, nullptr)) break;
    CEPROPVAL* v = reinterpret_cast<CEPROPVAL*>(buf);
    volatile unsigned sum = 0;
    for (WORD k = 0; k < count; ++k)
      if (LOWORD(v[k].propid) == CEVT_BLOB && v[k].val.blob.dwCount) sum += v[k].val.blob.lpb[v[k].val.blob.dwCount - 1];
    (void)sum;
    LocalFree(buf);
  }
}

// Every database whose identifier is small enough to find by scanning.
void ReadAll(CEGUID* guid, bool write) {
  for (CEOID oid = 1; oid < 512; ++oid) {
    CEOIDINFOEX info = {};
    if (!CeOidGetInfoEx2(guid, oid, &info) || info.wObjType != OBJTYPE_DATABASE) continue;
    CEOID id = oid;
    HANDLE db = CeOpenDatabaseEx2(guid, &id, nullptr, nullptr, CEDB_AUTOINCREMENT, nullptr);
    if (db == INVALID_HANDLE_VALUE) continue;
    ReadDatabase(db);
    if (write) {
      CEPROPVAL v[2] = {};
      v[0].propid = MAKELONG(CEVT_UI4, 0);
      v[0].val.ulVal = info.infDatabase.dwNumRecords;
      BYTE payload[3] = {1, 2, 3};
      v[1].propid = MAKELONG(CEVT_BLOB, 1);
      v[1].val.blob.dwCount = 3;
      v[1].val.blob.lpb = payload;
      CeWriteRecordProps(db, 0, 2, v);
      write = false;
    }
    CeCloseDatabase(db);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = VolumePath();
  if (os::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(data), size)) != os::kOk) return 0;
  std::u16string wpath = os::Utf8ToUtf16(path);
  CEGUID guid;
  if (!CeMountDBVol(&guid, reinterpret_cast<LPCWSTR>(wpath.c_str()), OPEN_EXISTING)) return 0;
  ReadAll(&guid, true);
  CeUnmountDBVol(&guid);
  if (CeMountDBVol(&guid, reinterpret_cast<LPCWSTR>(wpath.c_str()), OPEN_EXISTING)) {
    ReadAll(&guid, false);
    CeUnmountDBVol(&guid);
  }
  return 0;
}
