// Byte-exact records and the object layer's rules.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "handles.h"
#include "record_format.h"
#include "test_db.h"

namespace store {
namespace {

using testing_support::Obj;

std::string Hex(const std::string& b) {
  static const char* d = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : b) {
    if (!out.empty()) out += ' ';
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

std::string Encode(Object* o, std::uint32_t index, std::uint32_t object_id) {
  std::string out;
  EncodeProperty(o->properties[index], object_id, &out);
  return out;
}

TEST(RecordFormat, IntegerModeOfObject4660IsTheGivenTwentyBytes) {
  Obj o("x");
  o.Int("Mode", 1);
  EXPECT_EQ(Hex(Encode(o.o, 0, 4660)), "01 00 00 00 34 12 00 00 4D 6F 64 65 00 00 00 00 01 00 00 00");
}

TEST(RecordFormat, NameAreaSizes) {
  struct Case { const char* name; std::uint32_t area; };
  const Case cases[] = {{"", 4}, {"A", 4}, {"AB", 8}, {"ABC", 8}, {"ABCD", 8}, {"ABCDE", 8},
                        {"ABCDEF", 12}, {"ABCDEFGHIJ", 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NameAreaBytes(std::strlen(c.name)), c.area);
    Obj o("x");
    o.Int(c.name, 0x01020304);
    std::string rec = Encode(o.o, 0, 1);
    ASSERT_EQ(rec.size(), 8 + c.area + 4);
    EXPECT_EQ(Load32(reinterpret_cast<const std::uint8_t*>(rec.data()) + 8 + c.area), 0x01020304u);
    // Name, its zero, the significant-length byte, then zero padding.
    EXPECT_EQ(rec.substr(8, std::strlen(c.name)), c.name);
    for (std::size_t i = 8 + std::strlen(c.name); i < 8 + c.area; ++i) EXPECT_EQ(rec[i], 0) << i;
  }
}

TEST(RecordFormat, ValueLayouts) {
  Obj o("x");
  char16_t ab[] = u"AB";
  ASSERT_EQ(SetProperty(o.o, "W", kTypeText16, ab, 6, 1, 1, 1, 0), kStoreOk);
  ASSERT_EQ(SetProperty(o.o, "B", kTypeBinary, nullptr, 0, 1, 1, 1, 0), kStoreOk);
  o.Text("T", "hi");
  double pi = 3.5;
  ASSERT_EQ(SetProperty(o.o, "D", kTypeDouble, &pi, 8, 1, 1, 1, 5), kStoreOk);
  EXPECT_EQ(Hex(Encode(o.o, 0, 2)), "04 00 00 00 02 00 00 00 57 00 00 00 41 00 42 00 00 00");
  EXPECT_EQ(Hex(Encode(o.o, 1, 2)), "00 80 00 00 02 00 00 00 42 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(Hex(Encode(o.o, 2, 2)), "03 00 00 00 02 00 00 00 54 00 00 00 68 69 00");
  EXPECT_EQ(Hex(Encode(o.o, 3, 2)), "02 00 00 00 02 00 00 00 44 00 05 00 00 00 00 00 00 00 0C 40");
  // An object with no properties: its header lists nothing.
  Obj empty("Empty");
  Property h;
  InitProperty(&h, "Empty", 0);
  AssignValue(&h, kTypeIdList, nullptr, 0);
  std::string rec;
  EncodeProperty(h, 77, &rec);
  DestroyProperty(&h);
  EXPECT_EQ(Hex(rec), "00 00 00 00 4D 00 00 00 45 6D 70 74 79 00 00 00 00 00 00 00");
  EXPECT_EQ(Hex(EncodeVolumeHeader(1)), "49 4F 44 42 01 00 00 00 0B 00 00 00 0A 00 00 00 43 00 00 00");
}

TEST(RecordFormat, ParseRoundTripsEveryType) {
  Obj o("x");
  char16_t w[] = u"wide";
  std::uint32_t ids[] = {5, 6, 7};
  o.Int("I", -5).Text("Text", "some text").Blob("Bin", std::string("\0\1\2", 3));
  ASSERT_EQ(SetProperty(o.o, "W", kTypeText16, w, 10, 1, 1, 1, 0), kStoreOk);
  ASSERT_EQ(SetProperty(o.o, "L", kTypeIdList, ids, 3, 1, 1, 1, 0), kStoreOk);
  Obj back("x");
  for (std::uint32_t i = 0; i < o.o->count; ++i) {
    std::string rec = Encode(o.o, i, 9);
    RecordView v;
    ASSERT_TRUE(ParseRecord(reinterpret_cast<const std::uint8_t*>(rec.data()), rec.size(), &v));
    EXPECT_EQ(v.object_id, 9u);
    ASSERT_EQ(AddParsedProperty(back.o, v, 100 + i), kStoreOk);
    EXPECT_EQ(Encode(back.o, i, 9), rec);
    EXPECT_EQ(back.o->properties[i].record_id, 100 + i);
    EXPECT_EQ(std::memcmp(back.o->properties[i].key, o.o->properties[i].key, 16), 0);
  }
  // Truncated records are refused, never read past their end.
  std::string rec = Encode(o.o, 1, 9);
  for (std::size_t n = 0; n < rec.size(); ++n) {
    RecordView v;
    EXPECT_FALSE(ParseRecord(reinterpret_cast<const std::uint8_t*>(rec.data()), n, &v)) << n;
  }
}

TEST(IndexKeys, FromTypeNameAndValue) {
  struct Case { const char* what; std::uint16_t type; const char* name; std::int32_t ivalue; const char* text;
                std::uint8_t sig; std::uint32_t k1, k2, k3, k4; };
  const Case cases[] = {
      {"integer", kTypeInteger, "Mode", 1, nullptr, 0, 0x104D6F64, 0x65000000, 1, 0},
      {"negative integer", kTypeInteger, "N", -2, nullptr, 0, 0x104E0000, 0, 0xFFFFFFFE, 0},
      {"text", kTypeText, "Sort", 0, "abcdefghij", 0, 0x30536F72, 0x74000000, 0x61626364, 0x65666768},
      {"short text", kTypeText, "T", 0, "ab", 0, 0x30540000, 0, 0x61620000, 0},
      {"long name", kTypeInteger, "Keywords1", 7, nullptr, 0, 0x104B6579, 0x776F7264, 7, 0},
      {"signed name bytes", kTypeInteger, "\xE9t\xE9", 0, nullptr, 0, 0x10E973E9, 0, 0, 0},
      {"significant length", kTypeText, "Keywords", 0, "sport", 8, 0, 0, 0, 0},
      {"binary class", 32773, "Bin", 0, nullptr, 0, 0x5042696E, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Obj o("x");
    if (c.text) {
      ASSERT_EQ(SetProperty(o.o, c.name, c.type, c.text, std::uint32_t(std::strlen(c.text) + 1), 1, 1, 1, c.sig), kStoreOk);
    } else if (c.type == 32773) {
      ASSERT_EQ(SetProperty(o.o, c.name, c.type, "zz", 2, 1, 1, 1, c.sig), kStoreOk);
    } else {
      ASSERT_EQ(SetProperty(o.o, c.name, c.type, &c.ivalue, 4, 1, 1, 1, c.sig), kStoreOk);
    }
    const Property& p = o.o->properties[0];
    EXPECT_EQ(p.key[0], c.k1);
    EXPECT_EQ(p.key[1], c.k2);
    EXPECT_EQ(p.key[2], c.k3);
    EXPECT_EQ(p.key[3], c.k4);
  }
}

TEST(ObjectLayer, SetPropertyFlags) {
  struct Case { const char* what; int add, replace, retype; std::uint16_t type; std::int32_t rc; };
  // The object already holds "Mode" as an integer.
  const Case cases[] = {
      {"replace same type", 0, 1, 0, kTypeInteger, kStoreOk},
      {"replace refused", 1, 0, 0, kTypeInteger, kStorePropertyNotFound},
      {"retype refused", 0, 1, 0, kTypeText, kStoreTypeDiffers},
      {"retype allowed", 0, 1, 1, kTypeText, kStoreOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Obj o("x");
    o.Int("Mode", 1);
    const char value[8] = "2";
    EXPECT_EQ(SetProperty(o.o, "Mode", c.type, value, 2, c.add, c.replace, c.retype, 0), c.rc);
    std::uint32_t n = 0;
    GetPropertyCount(o.o, &n);
    EXPECT_EQ(n, 1u);
  }
  Obj o("x");
  std::int32_t v = 1;
  EXPECT_EQ(SetProperty(o.o, "New", kTypeInteger, &v, 4, 0, 1, 1, 0), kStorePropertyNotFound);
  EXPECT_EQ(SetProperty(nullptr, "New", kTypeInteger, &v, 4, 1, 1, 1, 0), kStoreBadArgument);
  EXPECT_EQ(SetProperty(reinterpret_cast<Object*>(&v), "New", kTypeInteger, &v, 4, 1, 1, 1, 0), kStoreBadArgument);
  // A text length that forgets the zero still stores the whole text, never more.
  ASSERT_EQ(SetProperty(o.o, "T", kTypeText, "abc", 3, 1, 1, 1, 0), kStoreOk);
  EXPECT_EQ(testing_support::GetText(o.o, "T"), "abc");
}

TEST(ObjectLayer, GettersReportSizes) {
  Obj o("Name");
  o.Text("Title", "hello").Int("Mode", 3);
  std::uint32_t size = 0;
  EXPECT_EQ(GetProperty(o.o, "Title", kTypeText, nullptr, &size), kStoreBufferTooSmall);
  EXPECT_EQ(size, 6u);
  char buf[8];
  size = 5;
  EXPECT_EQ(GetProperty(o.o, "Title", kTypeText, buf, &size), kStoreBufferTooSmall);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(GetProperty(o.o, "Title", kTypeInteger, buf, &size), kStoreTypeDiffers);
  EXPECT_EQ(GetProperty(o.o, "Nope", kTypeText, buf, &size), kStorePropertyNotFound);
  size = 4;
  EXPECT_EQ(GetObjectName(o.o, buf, &size), kStoreBadArgument);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(GetObjectName(o.o, buf, &size), kStoreOk);
  EXPECT_STREQ(buf, "Name");
  Obj unnamed(nullptr);
  size = 8;
  buf[0] = 'x';
  EXPECT_EQ(GetObjectName(unnamed.o, buf, &size), kStoreOk);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(buf[0], 0);
  std::uint16_t type = 0;
  size = 2;
  EXPECT_EQ(GetPropertyName(o.o, 0, buf, &size, &type), kStoreBufferTooSmall);
  EXPECT_EQ(size, 6u);
  size = 8;
  EXPECT_EQ(GetPropertyName(o.o, 0, buf, &size, &type), kStoreOk);
  EXPECT_STREQ(buf, "Title");
  EXPECT_EQ(type, kTypeText);
  EXPECT_EQ(GetPropertyName(o.o, 2, buf, &size, &type), kStoreBadArgument);
}

TEST(ObjectLayer, RemoveMovesLastIntoPlaceAndShrinks) {
  Obj o("x");
  for (int i = 0; i < 11; ++i) o.Int(("p" + std::to_string(i)).c_str(), i);
  EXPECT_EQ(o.o->capacity, 15u);
  EXPECT_EQ(RemoveProperty(o.o, "p1", kTypeText), kStoreTypeDiffers);
  EXPECT_EQ(RemoveProperty(o.o, "zz", kTypeInteger), kStorePropertyNotFound);
  ASSERT_EQ(RemoveProperty(o.o, "p1", kTypeInteger), kStoreOk);
  EXPECT_STREQ(o.o->properties[1].name, "p10");
  EXPECT_EQ(o.o->capacity, 15u);  // not above the previous count 11 + 4
  ASSERT_EQ(RemoveProperty(o.o, "p2", kTypeInteger), kStoreOk);
  EXPECT_EQ(o.o->capacity, 10u);
}

}  // namespace
}  // namespace store

namespace store {
namespace {

TEST(RecordLayer, AddressingAndLimits) {
  RecordFile f(std::unique_ptr<RecordBackend>(new MemoryBackend()));
  std::vector<std::uint32_t> ids;
  for (int i = 0; i < 10; ++i) {
    RecordRequest r;
    r.bytes = std::string(1, char('a' + i));
    ASSERT_EQ(f.Append(&r), kStoreOk);
    EXPECT_EQ(r.number, std::uint32_t(i));
    ids.push_back(r.id);
  }
  RecordRequest r;
  r.number = 10;
  EXPECT_EQ(f.Read(&r), kStoreRecordNotFound);
  r = RecordRequest();
  EXPECT_EQ(f.Read(&r), kStoreBadArgument);
  EXPECT_EQ(f.Write(&r), kStoreBadArgument);
  r.number = 3;
  r.bytes = std::string(kMaxRecordBytes + 1, 'x');
  EXPECT_EQ(f.Write(&r), kStoreRecordTooLong);
  r.bytes = std::string(kMaxRecordBytes, 'x');
  EXPECT_EQ(f.Write(&r), kStoreOk);
  EXPECT_EQ(r.id, ids[3]);  // learnt from the number
  r = RecordRequest();
  r.id = 99999;
  r.bytes = "x";
  EXPECT_EQ(f.Write(&r), kStoreRecordNotFound);
  // Deleting renumbers the later records down; identifiers stay.
  std::vector<RecordRequest> doomed(3);
  doomed[0].id = ids[7];
  doomed[1].number = 2;
  doomed[2].id = ids[4];
  ASSERT_EQ(f.DeleteRecords(&doomed), kStoreOk);
  EXPECT_EQ(f.count(), 7u);
  const char expected[] = "abdfgij";
  for (std::uint32_t n = 0; n < 7; ++n) {
    RecordRequest q;
    q.number = n;
    ASSERT_EQ(f.Read(&q), kStoreOk);
    if (n == 2) EXPECT_EQ(q.bytes.size(), kMaxRecordBytes);
    else EXPECT_EQ(q.bytes, std::string(1, expected[n])) << n;
    RecordRequest by_id;
    by_id.id = q.id;
    ASSERT_EQ(f.Read(&by_id), kStoreOk);
    EXPECT_EQ(by_id.number, n);
  }
  std::vector<RecordRequest> none;
  EXPECT_EQ(f.DeleteRecords(&none), kStoreBadArgument);
  std::vector<RecordRequest> too_many(8);
  EXPECT_EQ(f.DeleteRecords(&too_many), kStoreRecordDeleteFailed);
}

TEST(RecordLayer, RecordCountStopsBelow65536) {
  RecordFile f(std::unique_ptr<RecordBackend>(new MemoryBackend()));
  RecordRequest r;
  for (std::uint32_t i = 0; i < 65535; ++i) {
    r = RecordRequest();
    ASSERT_EQ(f.Append(&r), kStoreOk) << i;
  }
  r = RecordRequest();
  EXPECT_EQ(f.Append(&r), kStoreAppendFailed);
  EXPECT_EQ(f.count(), 65535u);
}

}  // namespace
}  // namespace store
