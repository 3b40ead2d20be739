// Storage and secrets without a network: passwords, anchors and what each
// anchor covers, commits against a changed account, retiring and forgetting.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <memory>
#include <set>

#include "secrets.h"
#include "server_process.h"
#include "sqlite_storage.h"

namespace tidelark_server {
namespace {

TEST(Secrets, PasswordsAreSaltedSlowHashesAndPlainTextIsAcceptedOnceForAnUpgrade) {
  std::string a = HashPassword("correct horse");
  std::string b = HashPassword("correct horse");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b) << "salted";
  EXPECT_EQ(a.find("correct horse"), std::string::npos);
  EXPECT_TRUE(IsPasswordHash(a));
  EXPECT_EQ(CheckPassword(a, "correct horse"), PasswordCheck::kMatch);
  EXPECT_EQ(CheckPassword(a, "correct horsf"), PasswordCheck::kMismatch);
  EXPECT_EQ(CheckPassword(a, ""), PasswordCheck::kMismatch);
  EXPECT_EQ(CheckPassword("legacy", "legacy"), PasswordCheck::kMatchNeedsNewHash);
  EXPECT_EQ(CheckPassword("legacy", "legacz"), PasswordCheck::kMismatch);
  EXPECT_EQ(CheckPassword("", "x"), PasswordCheck::kMismatch);
}

TEST(Secrets, TokensAre128RandomBits) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    std::string t = RandomToken();
    ASSERT_EQ(t.size(), 32u);
    EXPECT_EQ(t.find_first_not_of("0123456789abcdef"), std::string::npos);
    seen.insert(t);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(st_.Open(":memory:", &error)) << error;
  }
  NewAnchor Anchor(const std::string& db, const std::string& token, const std::string& parent, Snapshot confirmed,
                   Snapshot delivered) {
    NewAnchor a;
    a.db = db;
    a.anchor = token;
    a.parent = parent;
    a.confirmed = std::move(confirmed);
    a.delivered = std::move(delivered);
    return a;
  }
  Storage::CommitResult Commit(std::int64_t account, const std::vector<NewAnchor>& anchors,
                               std::map<std::int64_t, bool> subs = {}, std::int64_t now = 1000) {
    AccountState state;
    EXPECT_TRUE(st_.LoadAccountState(account, {}, &state));
    SyncCommit c;
    c.account = account;
    c.expected_version = state.version;
    c.subscriptions = std::move(subs);
    c.anchors = anchors;
    c.now = now;
    return st_.CommitSync(&c);
  }
  bool Known(std::int64_t account, const std::string& db, const std::string& anchor, Snapshot* out = nullptr) {
    AccountState state;
    EXPECT_TRUE(st_.LoadAccountState(account, {{db, anchor}}, &state));
    if (out && state.snapshots.count(db)) *out = state.snapshots[db];
    return state.snapshots.count(db) > 0;
  }
  SqliteStorage st_;
};

TEST_F(StorageTest, AnAnchorIsOnlyItsOwnAccountsAndLeadsToNoNamedOne) {
  std::int64_t named = st_.CreateAccount("anna", HashPassword("pw"));
  std::int64_t anon = st_.NewAnonymousAccount();
  ASSERT_TRUE(named && anon);
  EXPECT_EQ(st_.CreateAccount("anna", HashPassword("other")), 0) << "names are unique";
  ASSERT_EQ(Commit(named, {Anchor("TavoRss", "n1", "", {{"Channel 1", {5, "Yes"}}}, {})}), Storage::CommitResult::kOk);
  ASSERT_EQ(Commit(anon, {Anchor("TavoRss", "a1", "", {}, {})}), Storage::CommitResult::kOk);
  Account owner;
  ASSERT_TRUE(st_.FindAnchorOwner("n1", &owner));
  EXPECT_FALSE(owner.anonymous);
  ASSERT_TRUE(st_.FindAnchorOwner("a1", &owner));
  EXPECT_TRUE(owner.anonymous);
  EXPECT_EQ(owner.id, anon);
  EXPECT_TRUE(Known(named, "TavoRss", "n1"));
  EXPECT_FALSE(Known(anon, "TavoRss", "n1")) << "another account's anchor covers nothing";
  EXPECT_FALSE(Known(named, "TavoAlerts", "n1")) << "nor another database's";
}

TEST_F(StorageTest, ACommitAgainstAChangedAccountIsRefusedWhole) {
  std::int64_t acc = st_.NewAnonymousAccount();
  AccountState before;
  ASSERT_TRUE(st_.LoadAccountState(acc, {}, &before));
  ASSERT_EQ(Commit(acc, {}, {{7, false}}), Storage::CommitResult::kOk);  // another device's sync
  SyncCommit late;
  late.account = acc;
  late.expected_version = before.version;
  late.subscriptions = {{7, true}, {8, true}};
  late.anchors = {Anchor("TavoRss", "late", "", {}, {})};
  EXPECT_EQ(st_.CommitSync(&late), Storage::CommitResult::kConflict);
  AccountState after;
  ASSERT_TRUE(st_.LoadAccountState(acc, {{"TavoRss", "late"}}, &after));
  EXPECT_EQ(after.subscribed, (std::map<std::int64_t, bool>{{7, false}}));
  EXPECT_TRUE(after.snapshots.empty());
}

TEST_F(StorageTest, AnAnchorCoversWhatSurelyArrivedUntilTheDeviceConfirmsTheRest) {
  std::int64_t acc = st_.NewAnonymousAccount();
  Snapshot sure = {{"Item a", {11, ""}}, {"Item b", {0, ""}}};
  Snapshot whole = {{"Item a", {11, ""}}, {"Item b", {22, ""}}};
  ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "q1", "", sure, whole)}), Storage::CommitResult::kOk);
  Snapshot got;
  ASSERT_TRUE(Known(acc, "Tavo 1", "q1", &got));
  EXPECT_EQ(got, sure);
  ASSERT_TRUE(st_.ConfirmDelivery({"q1"}));
  ASSERT_TRUE(Known(acc, "Tavo 1", "q1", &got));
  EXPECT_EQ(got, whole);
}

TEST_F(StorageTest, PresentingAnAnchorDropsWhatTheDeviceCanNoLongerHold) {
  std::int64_t acc = st_.NewAnonymousAccount();
  // q1, then q2 from q1 whose transfer broke, then q3 from q1 again.
  ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "q1", "", {}, {})}), Storage::CommitResult::kOk);
  ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "q2", "q1", {}, {})}), Storage::CommitResult::kOk);
  EXPECT_TRUE(Known(acc, "Tavo 1", "q1"));
  EXPECT_TRUE(Known(acc, "Tavo 1", "q2")) << "the device holds q1 or q2";
  ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "q3", "q1", {}, {})}), Storage::CommitResult::kOk);
  EXPECT_FALSE(Known(acc, "Tavo 1", "q2")) << "it presented q1: q2 never arrived";
  EXPECT_TRUE(Known(acc, "Tavo 1", "q1"));
  ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "q4", "q3", {}, {})}), Storage::CommitResult::kOk);
  EXPECT_FALSE(Known(acc, "Tavo 1", "q1"));
  EXPECT_TRUE(Known(acc, "Tavo 1", "q3"));
  EXPECT_TRUE(Known(acc, "Tavo 1", "q4"));
  // Another device's chain of the same account is left alone.
  ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "r1", "", {}, {})}), Storage::CommitResult::kOk);
  ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "r2", "r1", {}, {})}), Storage::CommitResult::kOk);
  EXPECT_TRUE(Known(acc, "Tavo 1", "q4"));
}

TEST_F(StorageTest, AnchorsOfDevicesLongGoneAndBeyondTheBoundAreForgotten) {
  std::int64_t acc = st_.NewAnonymousAccount();
  std::int64_t gone = st_.NewAnonymousAccount();
  for (int i = 0; i < 5; ++i)
    ASSERT_EQ(Commit(acc, {Anchor("Tavo 1", "d" + std::to_string(i), "", {}, {})}, {}, 1000 + i),
              Storage::CommitResult::kOk);
  ASSERT_EQ(Commit(gone, {Anchor("Tavo 1", "old", "", {}, {})}, {}, 10), Storage::CommitResult::kOk);
  EXPECT_EQ(st_.ExpireAnchors(100, 3), 3);  // "old" by age, d0 and d1 beyond the newest three
  EXPECT_FALSE(Known(acc, "Tavo 1", "d1"));
  EXPECT_TRUE(Known(acc, "Tavo 1", "d2"));
  Account owner;
  EXPECT_FALSE(st_.FindAnchorOwner("old", &owner));
  AccountState state;
  EXPECT_TRUE(st_.LoadAccountState(gone, {}, &state)) << "made too recently to go";
  st_.ExpireAnchors(std::time(nullptr) + 10, 100);
  EXPECT_FALSE(st_.LoadAccountState(gone, {}, &state)) << "an anonymous account without anchors is gone";
}

TEST_F(StorageTest, CatalogueDropsAndIdleAddedChannelsRetire) {
  Channel a, b;
  a.id = 1, a.name = "A", a.url = "http://a/";
  b.id = 2, b.name = "B", b.url = "http://b/";
  ASSERT_TRUE(st_.InstallCatalogue({a, b}));
  ASSERT_EQ(st_.Channels(false).size(), 2u);
  ASSERT_TRUE(st_.InstallCatalogue({a}));
  ASSERT_EQ(st_.Channels(false).size(), 1u);
  EXPECT_EQ(st_.Channels(true).size(), 2u);
  // Added by address: kept while someone subscribes, retired after the idle time.
  std::int64_t acc = st_.NewAnonymousAccount();
  std::int64_t added = st_.AddUserChannel("Mine", "http://mine/", 1000);
  ASSERT_GE(added, 100000);
  ASSERT_EQ(Commit(acc, {}, {{added, true}}), Storage::CommitResult::kOk);
  EXPECT_EQ(st_.RetireIdleChannels(5000, 6000), 0);
  ASSERT_EQ(Commit(acc, {}, {{added, false}}), Storage::CommitResult::kOk);
  EXPECT_EQ(st_.RetireIdleChannels(5000, 6000), 0) << "idle from now on";
  EXPECT_EQ(st_.RetireIdleChannels(5500, 7000), 0);
  EXPECT_EQ(st_.RetireIdleChannels(6500, 8000), 1);
  EXPECT_EQ(st_.Channels(false).size(), 1u);
  // Added again: the same channel, active.
  EXPECT_EQ(st_.AddUserChannel("Mine", "http://mine/", 9000), added);
  EXPECT_EQ(st_.Channels(false).size(), 2u);
}

TEST_F(StorageTest, AnUndatedItemSortsByWhenTheServerFirstSawIt) {
  auto item = [](const std::string& key, std::int64_t time) {
    FeedItem it;
    it.key = key;
    it.title = key;
    it.time = time;
    return it;
  };
  Feed first;
  first.items = {item("dated", 1600000000), item("undated1", 0)};
  ASSERT_EQ(st_.StoreFeed(1, first, 10, 1700000000), 2);
  Feed later;  // a new undated item on top, a day later; the old one again
  later.items = {item("undated2", 0), item("dated", 1600000000), item("undated1", 0)};
  ASSERT_EQ(st_.StoreFeed(1, later, 10, 1700086400), 1);
  std::vector<std::string> order;
  for (const StoredItem& i : st_.Items(1)) order.push_back(i.key);
  EXPECT_EQ(order, (std::vector<std::string>{"dated", "undated1", "undated2"}));
}

TEST(StorageLayout, AnOlderServersDataIsBroughtUpToDate) {
  std::string dir = tidelark_test::FreshDir("StorageLayout");
  ASSERT_FALSE(dir.empty());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir + "/tidelark-server.db").c_str(), &db), SQLITE_OK);
  // The layout before: plain-text passwords, anchors that named accounts.
  const char* old =
      "CREATE TABLE channels(id INTEGER PRIMARY KEY, name TEXT NOT NULL, url TEXT NOT NULL, icon BLOB,"
      " recommended INTEGER NOT NULL DEFAULT 0, user_added INTEGER NOT NULL DEFAULT 0);"
      "CREATE TABLE items(channel INTEGER NOT NULL, key TEXT NOT NULL, sort TEXT NOT NULL, title TEXT, author TEXT,"
      " date TEXT, link TEXT, body TEXT, image BLOB, PRIMARY KEY(channel, key));"
      "CREATE TABLE accounts(id INTEGER PRIMARY KEY, user TEXT UNIQUE, pass TEXT, starts INTEGER DEFAULT 0,"
      " time_used INTEGER DEFAULT 0);"
      "CREATE TABLE subscriptions(account INTEGER NOT NULL, channel INTEGER NOT NULL, subscribed INTEGER NOT NULL,"
      " PRIMARY KEY(account, channel));"
      "CREATE TABLE anchors(account INTEGER NOT NULL, db TEXT NOT NULL, seq INTEGER NOT NULL, anchor TEXT NOT NULL"
      " UNIQUE, PRIMARY KEY(account, db, seq));"
      "CREATE TABLE snapshots(anchor TEXT PRIMARY KEY, data BLOB NOT NULL);"
      "INSERT INTO channels(id, name, url) VALUES(6325, 'News', 'http://n/');"
      "INSERT INTO accounts(user, pass) VALUES('olga', 'old-secret');"
      "INSERT INTO subscriptions VALUES(1, 6325, 0);"
      "INSERT INTO anchors VALUES(1, 'TavoRss', 1, 'A1.1.5');";
  ASSERT_EQ(sqlite3_exec(db, old, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  std::unique_ptr<SqliteStorage> upgrade(new SqliteStorage);
  std::string error;
  ASSERT_TRUE(upgrade->Open(dir, &error)) << error;
  SqliteStorage& st = *upgrade;
  Account olga;
  ASSERT_TRUE(st.FindAccount("olga", &olga));
  EXPECT_EQ(CheckPassword(olga.password, "old-secret"), PasswordCheck::kMatchNeedsNewHash);
  // What the next login does: the hash replaces the plain text, leaving no trace.
  ASSERT_TRUE(st.SetPasswordHash(olga.id, HashPassword("old-secret")));
  ASSERT_TRUE(st.FindAccount("olga", &olga));
  EXPECT_EQ(CheckPassword(olga.password, "old-secret"), PasswordCheck::kMatch);
  AccountState state;
  ASSERT_TRUE(st.LoadAccountState(olga.id, {{"TavoRss", "A1.1.5"}}, &state));
  EXPECT_EQ(state.subscribed, (std::map<std::int64_t, bool>{{6325, false}}));
  EXPECT_TRUE(state.snapshots.empty()) << "old anchors are unknown: an honest full resend";
  Account owner;
  EXPECT_FALSE(st.FindAnchorOwner("A1.1.5", &owner));
  EXPECT_EQ(st.Channels(false).size(), 1u);
  upgrade.reset();  // closes the database, which checkpoints its log
  std::string bytes = tidelark_test::ReadFile(dir + "/tidelark-server.db") +
                      tidelark_test::ReadFile(dir + "/tidelark-server.db-wal");
  EXPECT_NE(bytes.find("olga"), std::string::npos);
  EXPECT_EQ(bytes.find("old-secret"), std::string::npos);
}

}  // namespace
}  // namespace tidelark_server
