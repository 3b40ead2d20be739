#include "wire_out.h"

#include <cstdint>
#include <cstring>

namespace tidelark_server {
namespace {

void Put32(std::string* out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<char>(v >> s));
}

std::string CName(const std::string& name) {
  std::size_t z = name.find('\0');
  std::string n = z == std::string::npos ? name : name.substr(0, z);
  return n.substr(0, sync_engine::kMaxWireName);
}

}  // namespace

std::string EncodeForDevice(const sync_engine::WireObject& object) {
  std::string out = "ObjH" + CName(object.name);
  out.push_back('\0');
  for (const sync_engine::WireProperty& p : object.properties) {
    std::string value;
    switch (p.type) {
      case sync_engine::kTypeInt: {
        std::uint32_t v = 0;
        if (p.value.size() >= 4) std::memcpy(&v, p.value.data(), 4);
        Put32(&value, v);
        break;
      }
      case sync_engine::kTypeText: {
        std::size_t z = p.value.find('\0');
        value = z == std::string::npos ? p.value + '\0' : p.value.substr(0, z + 1);
        break;
      }
      case sync_engine::kTypeBinary:
        value = p.value.empty() ? std::string(1, '\0') : p.value;
        break;
      default:
        value = std::string(1, '\0');
        break;
    }
    out += "Prop";
    out.push_back(static_cast<char>(p.type >> 8));
    out.push_back(static_cast<char>(p.type & 0xFF));
    Put32(&out, static_cast<std::uint32_t>(value.size()));
    out += CName(p.name);
    out.push_back('\0');
    out.push_back(static_cast<char>(p.significant_length));
    out += value;
  }
  out += "ObjT";
  out.push_back('\0');
  return out;
}

}  // namespace tidelark_server
