#include "platform/services.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::u16string> g_seen;

int RecordBox(void*, const std::u16string& text, const std::u16string& caption, std::uint32_t) {
  g_seen.push_back(caption + u":" + text);
  return platform::kIdCancel;
}
bool RecordStart(const std::u16string& file, const std::u16string& params) {
  g_seen.push_back(file + u" " + params);
  return true;
}
bool RecordSound(const std::u16string& path) {
  g_seen.push_back(path);
  return true;
}

TEST(Services, ReplacedTableRecordsCallsAndRestoreBringsBackTheDefault) {
  static const platform::Services recorder = {RecordBox, RecordStart, RecordSound};
  const platform::Services* old = platform::SetServices(&recorder);
  EXPECT_EQ(&platform::DefaultServices(), old);
  EXPECT_EQ(platform::kIdCancel, platform::GetServices().message_box(nullptr, u"text", u"cap", platform::kMbOk));
  EXPECT_TRUE(platform::GetServices().shell_execute(u"TMAIL.EXE", u"-to x"));
  EXPECT_TRUE(platform::GetServices().play_sound(u"alert.wav"));
  EXPECT_EQ((std::vector<std::u16string>{u"cap:text", u"TMAIL.EXE -to x", u"alert.wav"}), g_seen);
  platform::SetServices(nullptr);
  EXPECT_EQ(&platform::DefaultServices(), &platform::GetServices());
}

}  // namespace
