// Text: the drawing primitives every control uses, the label TextBase and the
// wrapping paragraph Text.
#pragma once

#include <windows.h>

#include "gui/box.h"

namespace VexaAppGUISystem {

// The one face of the toolkit's text.
extern const wchar_t kTextFace[];  // "Tahoma"

struct TextStyle {
  HFONT font = nullptr;  // null: the dc's font
  bool multiLine = true;
  bool wordBreak = true;
  int horizontal = 0;  // 0 left, 1 right, 2 centred
  int vertical = 0;    // 0 top, 1 bottom, 2 centred
  bool transparent = false;
  bool fill = false;
  COLORREF textColour = 0;
  COLORREF backgroundColour = 0xFFFFFF;
};

bool DrawStyledText(HDC dc, const wchar_t* text, int* x, int* y, int* width, int* height, const TextStyle* style);
bool DrawTextBlock(bool measureOnly, int* width, int* height, HDC dc, int x, int y, int marginX, int marginY,
                   int horizontal, int vertical, wchar_t* text, COLORREF textColour, int fontHeight,
                   bool transparent, COLORREF backgroundColour, bool bold, bool italic, bool underline,
                   int ellipsisWidth);
// The two primitives for painting only, when the caller needs no measure back.
bool PaintStyledText(HDC dc, const wchar_t* text, int x, int y, int width, int height, const TextStyle* style);
bool PaintTextBlock(HDC dc, int x, int y, int width, int height, int marginX, int marginY, int horizontal,
                    int vertical, const wchar_t* text, COLORREF textColour, int fontHeight, bool transparent,
                    COLORREF backgroundColour, bool bold, bool italic, bool underline);
int CountFittingCharacters(HDC dc, const wchar_t* text, int width, HFONT* font);
int MeasureNarrowText(const char* text, HDC dc);
HFONT CreateTextFont(const wchar_t* face, int height, bool bold, bool italic, bool underline);

// The fonts of text blocks in face kTextFace, shared by height and style:
// each acquire is matched by one release; the font is deleted with the last.
HFONT AcquireBlockFont(int height, bool bold, bool italic, bool underline);
void ReleaseBlockFont(HFONT font);
int LiveBlockFonts();

class TextBase : public Box {
 public:
  TextBase() {}
  ~TextBase() override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;

  void SetText(const wchar_t* text, COLORREF textColour, int fontHeight, bool transparent, COLORREF background,
               bool bold, bool italic, bool underline, bool fit);
  void SetAlignment(int horizontal, int vertical) { horizontal_ = horizontal, vertical_ = vertical; }
  void SetMargins(int x, int y) { margin_x_ = x, margin_y_ = y; }
  void SetMeasuringSize(int width, int height) { measure_width_ = width, measure_height_ = height; }
  void SetEllipsis(bool flag) { ellipsis_ = flag; }
  bool Measure(int* width, int* height);
  const wchar_t* GetText() const { return text_; }

 protected:
  void HoldFont();
  wchar_t* text_ = nullptr;  // room for five more characters: the ellipsis is written in place
  HFONT font_ = nullptr;     // held while the label lives, so repaints find it made
  int margin_x_ = 0, margin_y_ = 0;
  int measure_width_ = -1, measure_height_ = -1;
  COLORREF text_colour_ = 0;
  int font_height_ = -1;
  bool transparent_ = true;
  COLORREF background_ = 0xFFFFFF;
  bool bold_ = false, italic_ = false, underline_ = false;
  bool ellipsis_ = false;
  int horizontal_ = 0, vertical_ = 0;
};

class Text : public Box {
 public:
  Text() {}
  ~Text() override;
  void OnResized(int axis) override;
  void Paint(HDC dc, int originX, int originY, int clipX, int clipY, int clipWidth, int clipHeight) override;

  void SetText(const wchar_t* text);
  void SetStyle(const TextStyle& style);
  void SetWrapping(bool multiLine, bool wordBreak, int horizontal, int vertical);
  void SetColours(COLORREF text, COLORREF background, bool transparent, bool fill);
  void SetMinimumSize(int width, int height);
  void SetMaximumSize(int width, int height);
  void SetMargins(int left, int right, int top, int bottom);
  void SetEllipsis(bool flag);
  const wchar_t* GetText() const { return text_; }
  const TextStyle& GetStyle() const { return style_; }
  bool IsTruncated() const { return truncated_; }
  int GetCutIndex() const { return cut_index_; }
  // Lays the text out again and sizes the box.
  void LayoutText();

 protected:
  int GivenWidth() const;
  void CutWithEllipsis(int room, const TextStyle& measure);
  wchar_t* text_ = nullptr;
  TextStyle style_;
  int min_width_ = 0, min_height_ = 0, max_width_ = 0, max_height_ = 0;
  int margin_left_ = 0, margin_right_ = 0, margin_top_ = 0, margin_bottom_ = 0;
  bool ellipsis_ = false;
  bool truncated_ = false;
  int cut_index_ = 0;
  int ellipsis_x_ = 0;
  bool busy_ = false;
  int own_width_ = -1;  // the width this text last gave itself
  wchar_t* display_ = nullptr;  // the kept characters and the dots, when truncated
};

}  // namespace VexaAppGUISystem
