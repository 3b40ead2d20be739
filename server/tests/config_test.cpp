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
  bool help = true;
  ASSERT_TRUE(ParseCommandLine(9, const_cast<char**>(argv), &c, &help, &error)) << error;
  EXPECT_FALSE(help);
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
  bool help = false;
  const char* argv[] = {"tidelark-server", "--port"};
  EXPECT_FALSE(ParseCommandLine(2, const_cast<char**>(argv), &c, &help, &error));
  const char* unknown[] = {"tidelark-server", "--colour", "blue"};
  EXPECT_FALSE(ParseCommandLine(3, const_cast<char**>(unknown), &c, &help, &error));
}

TEST(Config, HelpListsEveryFlag) {
  ServerConfig c;
  std::string error;
  bool help = false;
  const char* argv[] = {"tidelark-server", "--port", "1", "--help"};
  ASSERT_TRUE(ParseCommandLine(4, const_cast<char**>(argv), &c, &help, &error));
  EXPECT_TRUE(help);
  EXPECT_EQ(c.port, 8001) << "--help reads nothing else";
  std::string text = ConfigHelp();
  for (const char* flag : {"--listen", "--port", "--data", "--catalogue", "--fetch-interval", "--session-timeout",
                           "--max-connections-per-address", "--allow-private-addresses", "--retire-added-after",
                           "--shutdown-grace", "--help"})
    EXPECT_NE(text.find(flag), std::string::npos) << flag;
  // Every flag the help names is one the parser takes.
  for (std::size_t p = text.find("  --"); p != std::string::npos; p = text.find("  --", p + 1)) {
    std::size_t end = text.find(' ', p + 4);
    std::string flag = text.substr(p + 2, end - p - 2);
    if (flag == "--help" || flag == "--config") continue;
    std::string value = text.substr(end + 1, text.find(' ', end + 1) - end - 1);
    std::string sample = value == "yes|no" ? "no" : value == "ADDR" ? "127.0.0.1" : value == "FILE" || value == "DIR" ? "x" : "5";
    ServerConfig d;
    const char* args[] = {"tidelark-server", flag.c_str(), sample.c_str()};
    EXPECT_TRUE(ParseCommandLine(3, const_cast<char**>(args), &d, &help, &error)) << flag << " " << error;
  }
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
