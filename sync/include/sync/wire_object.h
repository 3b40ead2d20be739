// The portable wire encoding of one store object, shared by the device's sync
// engine and the sync server:
//
//   "ObjH" name 0
//   { "Prop" type:u16 v:u32 name 0 significant-length:u8 value[v] }*
//   "ObjT" 0
//
// Numbers are big-endian on the wire. A WireProperty holds its value in the
// store's in-memory form (host byte order, texts with their terminating
// zero), so it can be handed to the store as it is; the codec converts
// integers, floating point and 16-bit text at the wire.
//
// Invariants: the encoder never writes past the buffer it is given and can
// resume an object at any property boundary; the parser never reads past the
// bytes it is given and keeps at most one incomplete head, property or tail
// for the next piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sync_engine {

enum PropertyType : std::uint16_t {
  kTypeIdList = 0,
  kTypeInt = 1,
  kTypeDouble = 2,
  kTypeText = 3,
  kTypeText16 = 4,
  kTypeBinary = 32768,
};

// Longest object or property name the wire carries (without its zero byte).
constexpr std::size_t kMaxWireName = 99;
// Bytes of encoded objects per piece, and the Base64 size of a full piece.
constexpr std::size_t kPieceBytes = 10000;
constexpr std::size_t kPieceChars = 13336;

struct WireProperty {
  std::uint16_t type = kTypeText;
  std::string name;
  std::uint8_t significant_length = 0;
  std::string value;  // store form: see the top of this file

  static WireProperty Int(const std::string& name, std::int32_t v);
  static WireProperty Text(const std::string& name, const std::string& text);  // adds the zero
  static WireProperty Binary(const std::string& name, const std::string& bytes);
  // Integer value (0 when the property is not a 4-byte integer).
  std::int32_t AsInt() const;
  // Text without its terminating zero (cut at the first zero).
  std::string AsText() const;
};

struct WireObject {
  std::string name;
  std::vector<WireProperty> properties;

  // Last property of that name (the store's lookup order), or null.
  const WireProperty* Find(const std::string& name) const;
  // Text value of a text property; false when missing or not text.
  bool GetText(const std::string& name, std::string* text) const;
};

// The encoder's property cursor before the head is written.
constexpr std::uint32_t kCursorStart = 0xFFFFFFFFu;

// Encodes as much of `object` as fits into out[*used .. capacity), advancing
// *used and *cursor. Returns true when the object is finished (tail written,
// or the object dropped because its head can never fit), false when the rest
// has to go into the next piece. head_only sends no properties; names_only
// sends every value as one zero byte. A property that could not fit even an
// empty piece is skipped.
bool EncodeObject(const WireObject& object, bool head_only, bool names_only, std::uint8_t* out,
                  std::size_t capacity, std::size_t* used, std::uint32_t* cursor);

// Encodes a whole object into one byte string (no piece limit).
std::string EncodeWhole(const WireObject& object, bool head_only = false, bool names_only = false);

// Incremental parser over a stream cut into pieces at arbitrary places.
class ObjectParser {
 public:
  // Largest head, property or tail that can ever be completed: what does not
  // fit into the work buffer is malformed, never awaited.
  explicit ObjectParser(std::size_t max_item = kPieceBytes) : max_item_(max_item) {}

  enum Step {
    kObject,      // *object holds a complete object
    kNeedMore,    // the bytes from *consumed on are an incomplete item: keep them
    kMalformed,   // bad tag, bad tail name or an item that can never fit: drop the rest
  };

  // Parses from data[*consumed] up to n; on kObject, *consumed points after it.
  Step Next(const std::uint8_t* data, std::size_t n, std::size_t* consumed, WireObject* object);

  // Forgets the open object (after a dropped piece or a new stream).
  void Reset();
  bool object_open() const { return open_; }

 private:
  std::size_t max_item_;
  bool open_ = false;
  WireObject current_;
};

}  // namespace sync_engine
