// The program's look for screens built outside the application object: its
// table of text styles and its pictures. The program hands them over at
// start, as it does its texts (SetStringSource).
#pragma once

#include <windows.h>

#include "gui/text.h"

using TextStyleSource = const VexaAppGUISystem::TextStyle& (*)(int index);
using ImageSource = HBITMAP (*)(int id);
void SetLookSources(TextStyleSource styles, ImageSource images);
// The application's text style `index` (a default style when there is none).
const VexaAppGUISystem::TextStyle& AppTextStyle(int index);
// The GIF picture `id` decoded; the caller deletes it. Null when missing.
HBITMAP AppImage(int id);
