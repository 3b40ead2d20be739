#include "record_props.h"

#include "coding.h"
#include "platform/cedb.h"

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

std::string EncodeProps(const std::vector<PropValue>& props) {
  std::string out;
  std::size_t size = 2;
  for (const PropValue& p : props) size += 12 + p.bytes.size();
  out.reserve(size);
  PutU16(&out, static_cast<std::uint16_t>(props.size()));
  for (const PropValue& p : props) {
    PutU32(&out, p.propid);
    std::uint16_t type = static_cast<std::uint16_t>(p.propid & 0xFFFF);
    if (type == CEVT_LPWSTR) {
      PutU32(&out, static_cast<std::uint32_t>(p.bytes.size() / 2));
      out += p.bytes;
    } else if (type == CEVT_BLOB) {
      PutU32(&out, static_cast<std::uint32_t>(p.bytes.size()));
      out += p.bytes;
    } else {
      PutU64(&out, p.fixed);
    }
  }
  return out;
}

bool DecodeProps(const char* data, std::size_t n, std::vector<PropValue>* props) {
  if (!props) return DecodePropViews(data, n, nullptr);
  std::vector<PropView> views;
  if (!DecodePropViews(data, n, &views)) return false;
  props->clear();
  props->reserve(views.size());
  for (const PropView& v : views) {
    PropValue p;
    p.propid = v.propid;
    p.fixed = v.fixed;
    p.bytes.assign(v.data, v.size);
    props->push_back(std::move(p));
  }
  return true;
}

bool DecodePropViews(const char* data, std::size_t n, std::vector<PropView>* props) {
  Reader r(data, n);
  std::uint16_t count = r.U16();
  if (props) props->clear();
  for (std::uint16_t i = 0; i < count && r.ok; ++i) {
    PropView p;
    p.propid = r.U32();
    std::uint16_t type = static_cast<std::uint16_t>(p.propid & 0xFFFF);
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
      props->push_back(std::move(p));
    }
  }
  return r.ok && r.left == 0;
}

bool FindFixed(const std::string& encoded, std::uint32_t propid, std::uint64_t* value) {
  Reader r(encoded.data(), encoded.size());
  std::uint16_t count = r.U16();
  for (std::uint16_t i = 0; i < count && r.ok; ++i) {
    std::uint32_t id = r.U32();
    std::uint16_t type = static_cast<std::uint16_t>(id & 0xFFFF);
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

}  // namespace cedb
