#include "sync/wire_object.h"

#include <gtest/gtest.h>

using namespace sync_engine;

namespace {

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s.push_back(static_cast<char>(b));
  return s;
}

WireObject Article(int i, std::size_t text_len) {
  WireObject o;
  o.name = "Article " + std::to_string(i);
  o.properties.push_back(WireProperty::Text("Title", "Title of article " + std::to_string(i)));
  o.properties.push_back(WireProperty::Int("Read", i % 2));
  o.properties.push_back(WireProperty::Text("Text", std::string(text_len, 'x')));
  return o;
}

// Feeds `stream` to a parser in pieces of `piece` bytes, keeping the unparsed
// rest in front of the next piece as the session does.
std::vector<WireObject> ParseInPieces(const std::string& stream, std::size_t piece, int* malformed) {
  ObjectParser parser;
  std::vector<WireObject> out;
  std::string buf;
  *malformed = 0;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    buf += stream.substr(at, piece);
    std::size_t consumed = 0;
    for (;;) {
      WireObject o;
      auto step = parser.Next(reinterpret_cast<const std::uint8_t*>(buf.data()), buf.size(), &consumed, &o);
      if (step == ObjectParser::kObject) {
        out.push_back(std::move(o));
        continue;
      }
      if (step == ObjectParser::kMalformed) ++*malformed;
      break;
    }
    buf.erase(0, consumed);
  }
  return out;
}

}  // namespace

TEST(WireEncode, IntegerPropertyGolden) {
  WireObject o;
  o.name = "S";
  o.properties.push_back(WireProperty::Int("Mode", 258));
  std::string want = "ObjHS" + Bytes({0}) + "Prop" + Bytes({0, 1, 0, 0, 0, 4}) + "Mode" +
                     Bytes({0, 0, 0, 0, 1, 2}) + "ObjT" + Bytes({0});
  EXPECT_EQ(want, EncodeWhole(o));
}

TEST(WireEncode, ValuesThatGoOutAsOneZeroByte) {
  struct Case { const char* what; WireProperty p; bool names_only; } cases[] = {
      {"empty text", WireProperty::Text("E", ""), false},
      {"binary", WireProperty::Binary("E", "GIF89a..."), false},
      {"names only", WireProperty::Text("E", "hello"), true},
      {"names only int", WireProperty::Int("E", 7), true},
  };
  for (const auto& c : cases) {
    WireObject o;
    o.name = "O";
    o.properties.push_back(c.p);
    std::string got = EncodeWhole(o, false, c.names_only);
    std::string prop = "Prop" + Bytes({c.p.type >> 8, c.p.type & 255, 0, 0, 0, 1}) + "E" + Bytes({0, 0, 0});
    EXPECT_EQ("ObjHO" + Bytes({0}) + prop + "ObjT" + Bytes({0}), got) << c.what;
  }
}

TEST(WireEncode, HeadOnlyAndText16) {
  WireObject o;
  o.name = "N";
  WireProperty w;
  w.type = kTypeText16;
  w.name = "W";
  std::u16string text = u"A\u00e9";
  w.value.assign(reinterpret_cast<const char*>(text.c_str()), 2 * (text.size() + 1));
  o.properties.push_back(w);
  EXPECT_EQ("ObjHN" + Bytes({0}) + "ObjT" + Bytes({0}), EncodeWhole(o, true, false));
  std::string full = EncodeWhole(o);
  EXPECT_NE(std::string::npos, full.find("W" + Bytes({0, 0, 0, 'A', 0, 0xe9, 0, 0}) + "ObjT"));
  int bad = 0;
  auto back = ParseInPieces(full, 3, &bad);
  ASSERT_EQ(1u, back.size());
  EXPECT_EQ(w.value, back[0].properties[0].value);
}

TEST(WireEncode, ObjectSplitOverPiecesHasOneHead) {
  WireObject o = Article(1, 90);
  for (int i = 0; i < 200; ++i) o.properties.push_back(WireProperty::Text("P" + std::to_string(i), "value"));
  std::vector<std::string> pieces;
  std::uint32_t cursor = kCursorStart;
  bool done = false;
  while (!done) {
    std::uint8_t buf[kPieceBytes];
    std::size_t used = 0;
    done = EncodeObject(o, false, false, buf, 1000, &used, &cursor);
    ASSERT_GT(used, 0u);
    ASSERT_LE(used, 1000u);
    pieces.emplace_back(reinterpret_cast<char*>(buf), used);
  }
  ASSERT_GT(pieces.size(), 2u);
  std::string all;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(i == 0, pieces[i].compare(0, 4, "ObjH") == 0) << i;
    if (i > 0) {
      EXPECT_EQ(0, pieces[i].compare(0, 4, "Prop")) << i;
    }
    all += pieces[i];
  }
  EXPECT_EQ(EncodeWhole(o), all);
}

TEST(WireEncode, OversizedPropertyIsSkippedAndLongNamesRefused) {
  WireObject o = Article(2, 20000);  // "Text" can never fit a piece
  o.properties.push_back(WireProperty::Text(std::string(100, 'n'), "too long a name"));
  std::uint8_t buf[kPieceBytes];
  std::size_t used = 0;
  std::uint32_t cursor = kCursorStart;
  EXPECT_TRUE(EncodeObject(o, false, false, buf, sizeof buf, &used, &cursor));
  int bad = 0;
  auto back = ParseInPieces(std::string(reinterpret_cast<char*>(buf), used), 10000, &bad);
  ASSERT_EQ(1u, back.size());
  ASSERT_EQ(2u, back[0].properties.size());
  EXPECT_EQ("Title", back[0].properties[0].name);
  EXPECT_EQ("Read", back[0].properties[1].name);

  WireObject long_name;
  long_name.name = std::string(100, 'o');
  used = 0;
  cursor = kCursorStart;
  EXPECT_TRUE(EncodeObject(long_name, false, false, buf, sizeof buf, &used, &cursor));
  EXPECT_EQ(0u, used);
}

TEST(WireEncode, FullPieceLeavesObjectForTheNext) {
  std::uint8_t buf[64];
  std::size_t used = 50;  // a piece already holding other objects
  std::uint32_t cursor = kCursorStart;
  WireObject o = Article(3, 5);
  EXPECT_FALSE(EncodeObject(o, false, false, buf, 52, &used, &cursor));
  EXPECT_EQ(50u, used);
  EXPECT_EQ(kCursorStart, cursor);
}

TEST(WireParse, RoundTripAtEveryPieceSize) {
  std::string stream;
  std::vector<WireObject> objects;
  for (int i = 0; i < 5; ++i) {
    objects.push_back(Article(i, 10 * i));
    stream += EncodeWhole(objects.back());
  }
  for (std::size_t piece : {1u, 2u, 7u, 13u, 64u, 5000u}) {
    int bad = 0;
    auto back = ParseInPieces(stream, piece, &bad);
    ASSERT_EQ(0, bad);
    ASSERT_EQ(objects.size(), back.size()) << piece;
    for (std::size_t i = 0; i < objects.size(); ++i) {
      EXPECT_EQ(objects[i].name, back[i].name);
      ASSERT_EQ(3u, back[i].properties.size());
      EXPECT_EQ(objects[i].properties[0].value, back[i].properties[0].value);
      EXPECT_EQ(i % 2, static_cast<std::size_t>(back[i].properties[1].AsInt()));
      EXPECT_EQ(objects[i].properties[2].AsText(), back[i].properties[2].AsText());
    }
  }
}

TEST(WireParse, PieceEndingMidPropertyKeepsOnlyThatProperty) {
  std::string stream = EncodeWhole(Article(9, 40));
  std::size_t cut = stream.find("Text") + 2;  // inside the third property's name
  ObjectParser parser;
  std::size_t consumed = 0;
  WireObject o;
  EXPECT_EQ(ObjectParser::kNeedMore,
            parser.Next(reinterpret_cast<const std::uint8_t*>(stream.data()), cut, &consumed, &o));
  EXPECT_EQ(stream.rfind("Prop", cut), consumed);  // the rest starts at the open property
  EXPECT_TRUE(parser.object_open());
  std::string rest = stream.substr(consumed);
  std::size_t c2 = 0;
  ASSERT_EQ(ObjectParser::kObject,
            parser.Next(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size(), &c2, &o));
  EXPECT_EQ(rest.size(), c2);
  EXPECT_EQ("Article 9", o.name);
  ASSERT_EQ(3u, o.properties.size());
  EXPECT_EQ(std::string(40, 'x'), o.properties[2].AsText());
}

TEST(WireParse, TailsAndEndings) {
  struct Case { const char* what; std::string stream; ObjectParser::Step step; std::size_t props; } cases[] = {
      {"named tail", "ObjHab" + Bytes({0}) + "ObjTab" + Bytes({0}), ObjectParser::kObject, 0},
      {"tail with other name", "ObjHab" + Bytes({0}) + "ObjTac" + Bytes({0}), ObjectParser::kMalformed, 0},
      {"zero ends object", "ObjHab" + Bytes({0}) + "Prop" + Bytes({0, 1, 0, 0, 0, 4}) + "x" +
                               Bytes({0, 0, 0, 0, 0, 9, 0}), ObjectParser::kObject, 1},
      {"wrong start tag", "ObjXab" + Bytes({0}), ObjectParser::kMalformed, 0},
      {"wrong property tag", "ObjHab" + Bytes({0}) + "Prox", ObjectParser::kMalformed, 0},
      {"empty value", "ObjHab" + Bytes({0}) + "Prop" + Bytes({0, 3, 0, 0, 0, 0}) + "e" + Bytes({0, 0}) +
                          "ObjT" + Bytes({0}), ObjectParser::kObject, 1},
      {"huge length", "ObjHab" + Bytes({0}) + "Prop" + Bytes({0, 3, 0x7f, 0, 0, 0}), ObjectParser::kMalformed, 0},
      {"name without end", "ObjH" + std::string(120, 'n'), ObjectParser::kMalformed, 0},
  };
  for (const auto& c : cases) {
    ObjectParser parser;
    std::size_t consumed = 0;
    WireObject o;
    auto step = parser.Next(reinterpret_cast<const std::uint8_t*>(c.stream.data()), c.stream.size(), &consumed, &o);
    EXPECT_EQ(c.step, step) << c.what;
    EXPECT_EQ(c.stream.size(), consumed) << c.what;
    if (step == ObjectParser::kObject) {
      EXPECT_EQ("ab", o.name) << c.what;
      EXPECT_EQ(c.props, o.properties.size()) << c.what;
    }
    EXPECT_FALSE(parser.object_open()) << c.what;
  }
}
