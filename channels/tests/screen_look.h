// The program's texts, text styles and pictures as far as the channel
// screens use them, for the screens shown outside the program (tests and
// benchmarks; the pictures are the program's resources linked in).
#pragma once

#include <windows.h>

#include <map>

#include "gui/image_decode.h"
#include "gui/text.h"

namespace channels_test {

using namespace VexaAppGUISystem;

constexpr int kWidth = 236, kHeight = 200;

inline const wchar_t* Texts(int id) {
  static const std::map<int, const wchar_t*> texts = {
      {1, L"Tidelark"},       {5, L"OK"},
      {10, L"Pick channels from our recommendations, import them, or enter the address of a news feed."},
      {11, L"Recommended"},   {12, L"Choose from a list"},
      {13, L"Enter a feed address"}, {16, L"Delete"},
      {17, L"The selected channels have been deleted."},
      {75, L"Your channels have been added."}, {76, L"Subscribe"},
      {77, L"There are no channels to show here."}, {78, L"No channels yet."},
      {79, L"Please enter the address of a news feed."}, {92, L"Channels"},
      {101, L"Add channel"},  {108, L"Recommended channels"},
      {111, L"Delete channels"}, {125, L"http://"},
      {129, L"Channel name:"}, {139, L"Add channel"},
      {140, L"Arrange channels"}, {198, L"Weather"},
      {199, L"EN"},           {238, L"Import OPML"}};
  auto it = texts.find(id);
  return it == texts.end() ? nullptr : it->second;
}

// The program's styles by index, as far as these screens use them.
inline const TextStyle& Style(int index) {
  static TextStyle styles[17];
  static bool made = false;
  if (!made) {
    for (int i = 0; i < 17; ++i) {
      TextStyle& s = styles[i];
      const bool small = i == 10 || i == 11;
      const bool bold = i == 2 || i == 3 || i == 8 || i == 13;
      s.font = CreateTextFont(kTextFace, small ? 12 : 14, bold, false, false);
      s.multiLine = !(i == 12 || i == 13 || i == 14 || i == 1 || i == 7);
      s.wordBreak = s.multiLine;
      s.horizontal = i == 10 || i == 11 || i == 1 || i == 7 ? 2 : 0;
      s.vertical = i >= 12 || i == 1 || i == 7 ? 2 : 0;
      s.transparent = true;
      s.textColour = i == 11 || i == 14 || i == 8 ? RGB(0, 0, 255) : i == 7 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    }
    made = true;
  }
  return styles[index >= 0 && index < 17 ? index : 0];
}

inline HBITMAP Image(int id) { return LoadGifResource(GetModuleHandleW(nullptr), id); }

}  // namespace channels_test
