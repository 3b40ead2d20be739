// Object encoder and incremental parser. See sync/wire_object.h for the format.
#include "sync/wire_object.h"

#include <cstring>

namespace sync_engine {

namespace {

// Room kept free behind every property so the tail usually fits the same piece.
constexpr std::size_t kTailReserve = 10;
constexpr std::size_t kTailBytes = 5;

// The store treats 32769..32772 as 1..4 and 32773 as binary.
std::uint16_t BaseType(std::uint16_t type) {
  if (type >= 32769 && type <= 32772) return static_cast<std::uint16_t>(type - 32768);
  if (type == 32773) return kTypeBinary;
  return type;
}

std::size_t NameLength(const std::string& name) {
  std::size_t z = name.find('\0');
  return z == std::string::npos ? name.size() : z;
}

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}
std::uint32_t GetU32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The wire value of a property: what goes after its significant-length byte.
std::string WireValue(const WireProperty& p, bool names_only) {
  std::uint16_t type = BaseType(p.type);
  if (names_only || type == kTypeBinary || type == kTypeIdList) return std::string(1, '\0');
  std::string out;
  switch (type) {
    case kTypeInt: {
      std::uint32_t v = 0;
      if (p.value.size() >= 4) std::memcpy(&v, p.value.data(), 4);
      out.resize(4);
      PutU32(reinterpret_cast<std::uint8_t*>(&out[0]), v);
      break;
    }
    case kTypeDouble: {
      std::uint64_t v = 0;
      if (p.value.size() >= 8) std::memcpy(&v, p.value.data(), 8);
      out.resize(8);
      for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(v >> (56 - 8 * i));
      break;
    }
    case kTypeText: {
      std::size_t z = p.value.find('\0');
      out = z == std::string::npos ? p.value + '\0' : p.value.substr(0, z + 1);
      break;
    }
    case kTypeText16: {
      std::size_t units = p.value.size() / 2;
      for (std::size_t i = 0; i < units; ++i) {
        std::uint16_t u;
        std::memcpy(&u, p.value.data() + 2 * i, 2);
        out.push_back(static_cast<char>(u >> 8));
        out.push_back(static_cast<char>(u));
        if (u == 0) break;
      }
      if (out.size() < 2 || out[out.size() - 1] != 0 || out[out.size() - 2] != 0) out.append(2, '\0');
      break;
    }
    default:
      out = p.value;
      break;
  }
  // An empty value still carries one zero byte, announced as such.
  if (out.size() < 2) return std::string(1, '\0');
  return out;
}

// Store form of a received value.
std::string StoreValue(std::uint16_t wire_type, const std::uint8_t* v, std::size_t n) {
  std::uint16_t type = BaseType(wire_type);
  std::string out(reinterpret_cast<const char*>(v), n);
  if (type == kTypeInt && n == 4) {
    std::uint32_t x = GetU32(v);
    std::memcpy(&out[0], &x, 4);
  } else if (type == kTypeDouble && n == 8) {
    std::uint64_t x = 0;
    for (int i = 0; i < 8; ++i) x = (x << 8) | v[i];
    std::memcpy(&out[0], &x, 8);
  } else if (type == kTypeText16) {
    for (std::size_t i = 0; i + 1 < n; i += 2) {
      std::uint16_t u = static_cast<std::uint16_t>((v[i] << 8) | v[i + 1]);
      std::memcpy(&out[i], &u, 2);
    }
  }
  return out;
}

// Position of the zero ending a name that starts at data[pos], searching at
// most kMaxWireName + 1 bytes. Returns npos when not (yet) found; sets
// *too_long when enough bytes were there and none was a zero.
std::size_t FindNameEnd(const std::uint8_t* data, std::size_t n, std::size_t pos, bool* too_long) {
  std::size_t limit = pos + kMaxWireName + 1;
  *too_long = false;
  for (std::size_t i = pos; i < n && i < limit; ++i) {
    if (data[i] == 0) return i;
  }
  if (n >= limit) *too_long = true;
  return std::string::npos;
}

}  // namespace

WireProperty WireProperty::Int(const std::string& name, std::int32_t v) {
  WireProperty p;
  p.type = kTypeInt;
  p.name = name;
  p.value.resize(4);
  std::memcpy(&p.value[0], &v, 4);
  return p;
}

WireProperty WireProperty::Text(const std::string& name, const std::string& text) {
  WireProperty p;
  p.type = kTypeText;
  p.name = name;
  p.value = text;
  p.value.push_back('\0');
  return p;
}

WireProperty WireProperty::Binary(const std::string& name, const std::string& bytes) {
  WireProperty p;
  p.type = kTypeBinary;
  p.name = name;
  p.value = bytes;
  return p;
}

std::int32_t WireProperty::AsInt() const {
  std::int32_t v = 0;
  if (value.size() == 4) std::memcpy(&v, value.data(), 4);
  return v;
}

std::string WireProperty::AsText() const {
  std::size_t z = value.find('\0');
  return z == std::string::npos ? value : value.substr(0, z);
}

const WireProperty* WireObject::Find(const std::string& n) const {
  for (auto it = properties.rbegin(); it != properties.rend(); ++it) {
    if (it->name == n) return &*it;
  }
  return nullptr;
}

bool WireObject::GetText(const std::string& n, std::string* text) const {
  const WireProperty* p = Find(n);
  if (!p || BaseType(p->type) != kTypeText) return false;
  *text = p->AsText();
  return true;
}

bool EncodeObject(const WireObject& object, bool head_only, bool names_only, std::uint8_t* out,
                  std::size_t capacity, std::size_t* used, std::uint32_t* cursor) {
  std::size_t pos = *used;
  if (*cursor == kCursorStart) {
    std::size_t name_len = NameLength(object.name);
    std::size_t head = 4 + name_len + 1;
    if (name_len > kMaxWireName || head + kTailBytes > capacity) return true;  // can never go out
    if (pos + head > capacity) return false;  // next piece
    std::memcpy(out + pos, "ObjH", 4);
    std::memcpy(out + pos + 4, object.name.data(), name_len);
    out[pos + 4 + name_len] = 0;
    pos += head;
    *cursor = 0;
  }
  if (!head_only) {
    while (*cursor < object.properties.size()) {
      const WireProperty& p = object.properties[*cursor];
      std::size_t name_len = NameLength(p.name);
      if (name_len > kMaxWireName) {
        ++*cursor;
        continue;
      }
      std::string value = WireValue(p, names_only);
      std::size_t need = 4 + 2 + 4 + name_len + 1 + 1 + value.size();
      if (need + kTailReserve > capacity) {  // would not fit even an empty piece
        ++*cursor;
        continue;
      }
      if (pos + need + kTailReserve > capacity) {
        *used = pos;
        return false;
      }
      std::uint8_t* w = out + pos;
      std::memcpy(w, "Prop", 4);
      PutU16(w + 4, p.type);
      PutU32(w + 6, static_cast<std::uint32_t>(value.size()));
      std::memcpy(w + 10, p.name.data(), name_len);
      w[10 + name_len] = 0;
      w[11 + name_len] = p.significant_length;
      std::memcpy(w + 12 + name_len, value.data(), value.size());
      pos += need;
      ++*cursor;
    }
  }
  *cursor = static_cast<std::uint32_t>(object.properties.size());
  if (pos + kTailBytes > capacity) {
    *used = pos;
    return false;
  }
  std::memcpy(out + pos, "ObjT", 4);
  out[pos + 4] = 0;
  *used = pos + kTailBytes;
  return true;
}

std::string EncodeWhole(const WireObject& object, bool head_only, bool names_only) {
  std::size_t size = 4 + NameLength(object.name) + 1 + kTailBytes + kTailReserve;
  for (const WireProperty& p : object.properties) {
    size += 12 + NameLength(p.name) + WireValue(p, names_only).size();
  }
  std::string out(size, '\0');
  std::size_t used = 0;
  std::uint32_t cursor = kCursorStart;
  EncodeObject(object, head_only, names_only, reinterpret_cast<std::uint8_t*>(&out[0]), out.size(),
               &used, &cursor);
  out.resize(used);
  return out;
}

void ObjectParser::Reset() {
  open_ = false;
  current_ = WireObject();
}

ObjectParser::Step ObjectParser::Next(const std::uint8_t* data, std::size_t n, std::size_t* consumed,
                                      WireObject* object) {
  std::size_t pos = *consumed;
  auto malformed = [&] {
    Reset();
    *consumed = n;
    return kMalformed;
  };
  auto need_more = [&](std::size_t item) {
    if (item > max_item_) return malformed();
    *consumed = pos;
    return kNeedMore;
  };
  auto finish = [&](std::size_t end) {
    *object = std::move(current_);
    Reset();
    *consumed = end;
    return kObject;
  };
  bool too_long = false;
  if (!open_) {
    if (n - pos < 4) return need_more(4);
    if (std::memcmp(data + pos, "ObjH", 4) != 0) return malformed();
    std::size_t z = FindNameEnd(data, n, pos + 4, &too_long);
    if (too_long) return malformed();
    if (z == std::string::npos) return need_more(n - pos + 1);
    current_.name.assign(reinterpret_cast<const char*>(data + pos + 4), z - pos - 4);
    open_ = true;
    pos = z + 1;
    *consumed = pos;
  }
  for (;;) {
    if (pos >= n) return need_more(1);
    if (data[pos] == 0) return finish(pos + 1);  // a bare zero ends the object
    if (n - pos < 4) return need_more(4);
    if (std::memcmp(data + pos, "ObjT", 4) == 0) {
      if (n - pos < 5) return need_more(5);
      if (data[pos + 4] == 0) return finish(pos + 5);
      std::size_t z = FindNameEnd(data, n, pos + 4, &too_long);
      if (too_long) return malformed();
      if (z == std::string::npos) return need_more(n - pos + 1);
      if (current_.name.compare(0, std::string::npos, reinterpret_cast<const char*>(data + pos + 4),
                                z - pos - 4) != 0) {
        return malformed();
      }
      return finish(z + 1);
    }
    if (std::memcmp(data + pos, "Prop", 4) != 0) return malformed();
    if (n - pos < 10) return need_more(10);
    std::uint16_t type = static_cast<std::uint16_t>((data[pos + 4] << 8) | data[pos + 5]);
    std::uint32_t v = GetU32(data + pos + 6);
    if (v > max_item_) return malformed();
    std::size_t z = FindNameEnd(data, n, pos + 10, &too_long);
    if (too_long) return malformed();
    if (z == std::string::npos) return need_more(n - pos + 1);
    std::size_t item = (z + 1 - pos) + 1 + v;
    if (item > max_item_) return malformed();
    if (n - pos < item) return need_more(item);
    WireProperty p;
    p.type = type;
    p.name.assign(reinterpret_cast<const char*>(data + pos + 10), z - pos - 10);
    p.significant_length = data[z + 1];
    p.value = StoreValue(type, data + z + 2, v);
    current_.properties.push_back(std::move(p));
    pos += item;
    *consumed = pos;
  }
}

}  // namespace sync_engine
