#include "record_props.h"

#include <algorithm>

#include "coding.h"

namespace cedb {

bool TypeSupported(std::uint16_t type) {
  switch (type) {
    case CEVT_I2: case CEVT_UI2: case CEVT_I4: case CEVT_UI4: case CEVT_R8: case CEVT_BOOL:
    case CEVT_FILETIME: case CEVT_LPWSTR: case CEVT_BLOB:
      return true;
    default:
      return false;
  }
}

bool IsVariableType(std::uint16_t type) { return type == CEVT_LPWSTR || type == CEVT_BLOB; }

std::size_t EncodedSize(const std::vector<PropView>& props) {
  std::size_t size = 2;
  for (const PropView& p : props) size += 4 + (IsVariableType(LOWORD(p.propid)) ? 4 + p.size : 8);
  return size;
}

void EncodeViews(const std::vector<PropView>& props, std::string* out) {
  out->reserve(out->size() + EncodedSize(props));
  PutU16(out, static_cast<std::uint16_t>(props.size()));
  for (const PropView& p : props) {
    PutU32(out, p.propid);
    std::uint16_t type = LOWORD(p.propid);
    if (IsVariableType(type)) {
      PutU32(out, static_cast<std::uint32_t>(type == CEVT_LPWSTR ? p.size / 2 : p.size));
      out->append(p.data, p.size);
    } else {
      PutU64(out, p.fixed);
    }
  }
}

bool DecodePropViews(const char* data, std::size_t n, std::vector<PropView>* props) {
  Reader r(data, n);
  std::uint16_t count = r.U16();
  if (props) {
    props->clear();
    props->reserve(count);
  }
  for (std::uint16_t i = 0; i < count && r.ok; ++i) {
    PropView p;
    p.propid = r.U32();
    std::uint16_t type = LOWORD(p.propid);
    if (!TypeSupported(type)) return false;
    if (IsVariableType(type)) {
      std::uint32_t len = r.U32();
      std::uint64_t bytes = type == CEVT_LPWSTR ? 2ull * len : len;
      if (bytes > CEDB_MAXPROPDATASIZE) return false;
      const char* q;
      if (!r.Take(static_cast<std::size_t>(bytes), &q)) return false;
      p.data = q;
      p.size = static_cast<std::size_t>(bytes);
    } else {
      p.fixed = r.U64();
    }
    if (props) {
      for (const PropView& e : *props)
        if (e.propid == p.propid) return false;
      props->push_back(p);
    }
  }
  return r.ok && r.left == 0;
}

bool FindFixed(const std::string& encoded, std::uint32_t propid, std::uint64_t* value) {
  Reader r(encoded.data(), encoded.size());
  std::uint16_t count = r.U16();
  for (std::uint16_t i = 0; i < count && r.ok; ++i) {
    std::uint32_t id = r.U32();
    std::uint16_t type = LOWORD(id);
    if (IsVariableType(type)) {
      std::uint32_t len = r.U32();
      const char* q;
      r.Take(type == CEVT_LPWSTR ? 2u * len : len, &q);
    } else {
      std::uint64_t v = r.U64();
      if (id == propid && r.ok) {
        *value = v;
        return true;
      }
    }
  }
  return false;
}

namespace {

// The stored form of one caller value; false for a type or size we refuse.
bool ToView(const CEPROPVAL& v, PropView* p, std::vector<std::string>* scratch) {
  p->propid = v.propid;
  p->fixed = 0;
  p->data = nullptr;
  p->size = 0;
  switch (LOWORD(v.propid)) {
    case CEVT_I2: p->fixed = static_cast<std::uint64_t>(static_cast<std::int64_t>(v.val.iVal)); return true;
    case CEVT_UI2: p->fixed = v.val.uiVal; return true;
    case CEVT_I4: p->fixed = static_cast<std::uint64_t>(static_cast<std::int64_t>(v.val.lVal)); return true;
    case CEVT_UI4: p->fixed = static_cast<std::uint32_t>(v.val.ulVal); return true;
    case CEVT_BOOL: p->fixed = v.val.boolVal ? 1 : 0; return true;
    case CEVT_R8: std::memcpy(&p->fixed, &v.val.dblVal, 8); return true;
    case CEVT_FILETIME:
      p->fixed = static_cast<std::uint32_t>(v.val.filetime.dwLowDateTime) |
                 (static_cast<std::uint64_t>(v.val.filetime.dwHighDateTime) << 32);
      return true;
    case CEVT_LPWSTR: {
      if (!v.val.lpwstr) return false;
      std::string units;
      for (std::size_t n = 0; v.val.lpwstr[n]; ++n) {
        if ((n + 1) * 2 > CEDB_MAXPROPDATASIZE) return false;
        std::uint16_t u = static_cast<std::uint16_t>(v.val.lpwstr[n]);
        units.push_back(static_cast<char>(u & 0xFF));
        units.push_back(static_cast<char>(u >> 8));
      }
      scratch->push_back(std::move(units));
      p->data = scratch->back().data();
      p->size = scratch->back().size();
      return true;
    }
    case CEVT_BLOB:
      if (v.val.blob.dwCount > CEDB_MAXPROPDATASIZE) return false;
      if (v.val.blob.dwCount > 0 && !v.val.blob.lpb) return false;
      p->data = reinterpret_cast<const char*>(v.val.blob.lpb);
      p->size = v.val.blob.dwCount;
      return true;
    default:
      return false;
  }
}

}  // namespace

DWORD MergeWrite(WORD count, const CEPROPVAL* vals, std::vector<PropView>* props,
                 std::vector<std::string>* scratch) {
  if (count > 0 && !vals) return ERROR_INVALID_PARAMETER;
  scratch->clear();
  scratch->reserve(count);
  for (WORD i = 0; i < count; ++i) {
    const CEPROPVAL& v = vals[i];
    auto it = std::find_if(props->begin(), props->end(), [&](const PropView& p) { return p.propid == v.propid; });
    if (v.wFlags & CEDB_PROPDELETE) {
      if (it != props->end()) props->erase(it);
      continue;
    }
    PropView p;
    if (!ToView(v, &p, scratch)) return ERROR_INVALID_PARAMETER;
    if (it != props->end())
      *it = p;
    else
      props->push_back(p);
  }
  std::size_t total = 0;
  for (const PropView& p : *props) total += p.size + 8;
  if (total > CEDB_MAXRECORDSIZE) return ERROR_INVALID_PARAMETER;
  return 0;
}

}  // namespace cedb
