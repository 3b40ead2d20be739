#include <gtest/gtest.h>

#include "config.h"

namespace tidelark_server {
namespace {

TEST(Config, FileThenFlags) {
  ServerConfig c;
  std::string error;
  ASSERT_TRUE(ParseConfigText("# settings\nport = 9001\nlisten=0.0.0.0\nretention = 20\n", &c, &error)) << error;
  EXPECT_EQ(c.port, 9001);
  EXPECT_EQ(c.listen, "0.0.0.0");
  EXPECT_EQ(c.retention, 20);
  EXPECT_TRUE(c.fetch_pictures);
  const char* argv[] = {"tidelark-server", "--port", "8123", "--data", "d", "--fetch-interval", "0",
                        "--fetch-pictures", "no"};
  ASSERT_TRUE(ParseCommandLine(9, const_cast<char**>(argv), &c, &error)) << error;
  EXPECT_FALSE(c.fetch_pictures);
  EXPECT_EQ(c.port, 8123);
  EXPECT_EQ(c.data_dir, "d");
  EXPECT_EQ(c.fetch_interval, 0);
  EXPECT_EQ(c.retention, 20);
}

TEST(Config, BadValuesAreRefused) {
  for (const char* text : {"port = 70000", "port = -1", "port = 80x", "retention = 0", "colour = blue", "port",
                           "allow-file-addresses = maybe", "fetch-pictures = 1"}) {
    ServerConfig c;
    std::string error;
    EXPECT_FALSE(ParseConfigText(text, &c, &error)) << text;
    EXPECT_FALSE(error.empty());
  }
  ServerConfig c;
  std::string error;
  const char* argv[] = {"tidelark-server", "--port"};
  EXPECT_FALSE(ParseCommandLine(2, const_cast<char**>(argv), &c, &error));
}

TEST(Catalogue, ChannelsAlertsAndRelativeAddresses) {
  Catalogue cat;
  std::string error;
  ASSERT_TRUE(ParseCatalogueText("[channel 6325]\nname = A\nurl = feeds/a.xml\n"
                                 "[channel 20001]\nname = B\nurl = http://b/x\nsubscribe = no\n"
                                 "[alerts]\nurl = al.xml\n",
                                 "/srv/cat", &cat, &error))
      << error;
  ASSERT_EQ(cat.channels.size(), 2u);
  EXPECT_EQ(cat.channels[0].id, 6325);
  EXPECT_EQ(cat.channels[0].url, "file:///srv/cat/feeds/a.xml");
  EXPECT_FALSE(cat.channels[0].recommended);
  EXPECT_EQ(cat.channels[1].url, "http://b/x");
  EXPECT_TRUE(cat.channels[1].recommended);
  EXPECT_EQ(cat.alerts_url, "file:///srv/cat/al.xml");
  for (const char* text : {"[channel 1]\nname = A\n", "[channel x]\n", "[channel 1]\nname=A\nurl=a\n[channel 1]\nname=B\nurl=b\n",
                           "name = A\n", "[other]\n", "[channel 1]\nname=A\nurl=a\nsubscribe=perhaps\n",
                           "[channel 1]\nname=A\nurl=a\nicon=missing.gif\n"}) {
    EXPECT_FALSE(ParseCatalogueText(text, "/srv", &cat, &error)) << text;
  }
}

}  // namespace
}  // namespace tidelark_server
