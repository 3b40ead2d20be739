// What the progress window shows of the engine's reports.
#include <gtest/gtest.h>

#include <string>

#include "sync/screens/sync_state.h"

namespace {

TEST(SyncProgress, StoresChangesOnlyClampedWithABlankForNoText) {
  SyncProgress p;
  const struct {
    int first, second;
    const char* text;
    int state;
    bool stored;
    int shown_first, shown_second, longest;
    std::string shown_text;
  } steps[] = {
      {0, 0, "Connecting", 0, false, 0, 0, 0, " "},            // nothing changed: the text waits too
      {10, 40, "Sending", 1, true, 10, 40, 40, "Sending"},
      {10, 40, "Sending again", 1, false, 10, 40, 40, "Sending"},
      {10, 40, nullptr, 2, true, 10, 40, 40, " "},             // the state alone counts as a change
      {-5, 250, "", 2, true, 0, 100, 100, " "},                // values are kept to 0..100
      {50, 20, "Receiving", 3, true, 50, 20, 100, "Receiving"},  // the longest lower bar is remembered
  };
  for (const auto& s : steps) {
    EXPECT_EQ(p.Store(s.first, s.second, s.text, s.state), s.stored) << s.first << " " << s.second;
    SyncProgress::Values v = p.Read();
    EXPECT_EQ(v.first, s.shown_first);
    EXPECT_EQ(v.second, s.shown_second);
    EXPECT_EQ(v.longest_second, s.longest);
    EXPECT_EQ(v.text, s.shown_text);
  }
  const unsigned before = p.Read().serial;
  p.Reset();
  SyncProgress::Values v = p.Read();
  EXPECT_EQ(v.first + v.second + v.longest_second + v.state, 0) << "a new sync starts from nothing";
  EXPECT_EQ(v.text, " ");
  EXPECT_GT(v.serial, before) << "the window sees the reset as a change";
}

TEST(SyncProgress, ALongTextIsCutToItsBuffer) {
  SyncProgress p;
  const std::string longer(300, 'x');
  ASSERT_TRUE(p.Store(1, 1, longer.c_str(), 1));
  EXPECT_EQ(p.Read().text.size(), static_cast<size_t>(SyncProgress::kTextBytes - 1));
}

}  // namespace
