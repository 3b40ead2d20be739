// Adding a channel by address, end to end: the add form writes it, the real
// sync engine (tidelark-sync, the native build's) carries it in "TavoRss" to
// the real server, which fetches the feed and sends the channel back with
// its articles, which Feedpane shows and marks read; unsubscribing it on
// the unsubscribe list takes it off the device and off the account at the
// next sync.
#include <algorithm>
#include <memory>
#include <string>

#include "platform/unix_host.h"
#include "plugin/plugin_host.h"
#include "screen_fixture.h"

namespace {

using namespace channels_test;
using platform::unix_host::WinePath;

const std::string kNativeBin = std::string(TIDELARK_SOURCE_DIR) + "/build/native/bin/";
const std::string kCatalogue = std::string(TIDELARK_SOURCE_DIR) + "/server/demo/catalogue.ini";
// A real feed of 55 items.
const std::string kFeed = std::string(TIDELARK_SHARED_DATA) + "/feeds/rss-parser-guardian.rss";
constexpr char kName[] = "Guardian US";

class AddedChannelEndToEnd : public Screens {
 protected:
  void SetUp() override {
    Screens::SetUp();
    for (const std::string& program : {kNativeBin + "tidelark-server", kNativeBin + "tidelark-sync"})
      ASSERT_TRUE(platform::os::PathExists(WinePath(program))) << program << " is missing: build the native preset";
    ASSERT_TRUE(platform::os::PathExists(WinePath(kFeed))) << "missing shared test data: " << kFeed;
    root_ = std::string(TIDELARK_TEST_OUTPUT) + "/channels-e2e";
    platform::os::RemoveTree(WinePath(root_));
    for (const char* folder : {"/server", "/device", "/second"})
      ASSERT_EQ(platform::os::MakeDirectories(WinePath(root_ + folder)), 0);
    ASSERT_TRUE(server_.Start(kNativeBin + "tidelark-server", root_ + "/server",
                              "--listen 127.0.0.1 --catalogue " + kCatalogue +
                                  " --fetch-interval 0 --retention 200 --allow-file-addresses yes"))
        << server_.Log();
    store_ = CObjectStore(WinePath(root_ + "/device/Reader.vol"));
    reader_.reset(new CKorvelLifePlugin(WinePath(root_ + "/device/Reader.vol").c_str()));
    reader_->SetMenu(&menu_);
  }
  void TearDown() override {
    server_.Stop();
    Screens::TearDown();
  }

  // Synchronises a device folder as the user "reader"; tidelark-sync's exit status.
  int Sync(const char* device) {
    const std::string out = root_ + "/sync-" + device + ".txt";
    const int status = platform::unix_host::RunShellAndWait(
        kNativeBin + "tidelark-sync --device " + root_ + "/" + device + " --server 127.0.0.1:" +
            std::to_string(server_.port()) + " --user reader --pass tide-pool-7 > " + out + " 2>&1",
        root_ + "/sync-status", 180);
    platform::os::ReadWholeFile(WinePath(out), &sync_output_);
    return status;
  }
  static const channels::ChannelRow* Find(const std::vector<channels::ChannelRow>& rows) {
    auto it = std::find_if(rows.begin(), rows.end(), [](const channels::ChannelRow& r) { return r.name == kName; });
    return it == rows.end() ? nullptr : &*it;
  }
  static int ItemsInFeed() {
    std::string text;
    platform::os::ReadWholeFile(WinePath(kFeed), &text);
    int items = 0;
    for (std::size_t at = text.find("<item>"); at != std::string::npos; at = text.find("<item>", at + 1)) ++items;
    return items;
  }
  bool Exists(const CObjectStore& store, const std::string& db) {
    ScopedDatabase d;
    return store.Open(d.Out(), db.c_str(), false) == 0;
  }
  std::string root_, sync_output_;
  platform::unix_host::Server server_;
  std::unique_ptr<CKorvelLifePlugin> reader_;  // the real plug-in host
};

TEST_F(AddedChannelEndToEnd, AnAddressFromTheFormComesBackWithItsArticlesAndLeavesWhenUnsubscribed) {
  ASSERT_EQ(Sync("device"), 0) << sync_output_ << server_.Log();
  Show(&list_);
  const std::size_t demo = list_.Rows().size();
  ASSERT_GE(demo, 1u) << "the demo catalogue's subscribed channels";
  ASSERT_EQ(Find(list_.Rows()), nullptr);

  // On the form: the second option, the feed's address and a name, Add.
  Show(&add_);
  area_.RouteCommand(3073);
  ASSERT_TRUE(add_.AddressField().SetText(("file://" + kFeed).c_str()));
  ASSERT_TRUE(add_.NameField().SetText(kName));
  area_.RouteCommand(3071);
  ASSERT_FALSE(add_.LastAdded().empty());
  EXPECT_EQ(table_.commands, (std::vector<int>{5017})) << "on to the synchronization screen";
  Show(&list_);
  EXPECT_EQ(Find(list_.Rows()), nullptr) << "not listed before the server has sent it";

  ASSERT_EQ(Sync("device"), 0) << sync_output_ << server_.Log();
  Show(&list_);
  ASSERT_EQ(list_.Rows().size(), demo + 1);
  const channels::ChannelRow* added = Find(list_.Rows());
  ASSERT_NE(added, nullptr) << sync_output_;
  const std::string database = added->database;
  EXPECT_EQ(added->total, ItemsInFeed());
  EXPECT_EQ(added->total, 55);
  EXPECT_EQ(added->unread, added->total);
  {
    ScopedDatabase rss;
    ASSERT_EQ(store_.Open(rss.Out(), "TavoRss", false), 0);
    EXPECT_FALSE(CObjectStore::CanRead(rss.Get(), add_.LastAdded().c_str()))
        << "the object the form wrote gave way to the server's channel";
  }
  Shot("e2e-added");

  // Opened from the list, it shows its articles in Feedpane; reading the
  // topmost one there counts on the list.
  area_.SetPluginHost(reader_.get());
  area_.RouteCommand(added->command);
  ASSERT_EQ(area_.GetView(), reader_.get());
  ASSERT_TRUE(reader_->HasLibrary()) << "Feedpane.dll did not load";
  EXPECT_EQ(reader_->PluginName(), "News");
  EXPECT_EQ(title_.GetText(), L"Guardian US");
  Pump();
  Shot("e2e-articles");
  SendMessageW(area_.GetHandle(), WM_LBUTTONDOWN, 0, MAKELPARAM(kWidth / 2, 12));
  SendMessageW(area_.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(kWidth / 2, 12));
  Pump();
  Shot("e2e-article");
  Show(&list_);
  area_.SetPluginHost(&host_);
  added = Find(list_.Rows());
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->total, 55);
  EXPECT_EQ(added->unread, added->total - 1);

  // Another device of the account gets it too.
  ASSERT_EQ(Sync("second"), 0) << sync_output_;
  const CObjectStore second(WinePath(root_ + "/second/Reader.vol"));
  ASSERT_NE(Find(channels::ReadChannelList(second, "News", channels::TextRules())), nullptr);

  // Unsubscribed on the list: its articles go at once, the channel at the next sync.
  Show(&delete_);
  int row = -1;
  for (int i = 0; i < delete_.RowCount(); ++i)
    if (delete_.RowName(i) == kName) row = i;
  ASSERT_GE(row, 0);
  delete_.Row(row)->SetChecked(true);
  area_.RouteCommand(3120);
  EXPECT_FALSE(Exists(store_, database));
  ASSERT_EQ(Sync("device"), 0) << sync_output_ << server_.Log();
  Show(&list_);
  EXPECT_EQ(Find(list_.Rows()), nullptr);
  EXPECT_EQ(list_.Rows().size(), demo);
  EXPECT_FALSE(Exists(store_, database)) << "the server sends no articles back";

  ASSERT_EQ(Sync("second"), 0) << sync_output_;
  EXPECT_EQ(Find(channels::ReadChannelList(second, "News", channels::TextRules())), nullptr)
      << "gone from the account";
}

}  // namespace
