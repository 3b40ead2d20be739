#include "gallery.h"

#include <vector>

#include "gui/icon_view.h"
#include "gui/image.h"
#include "gui/image_decode.h"
#include "gui/text_field.h"
#include "resources/skin_ids.h"

#include "platform/device.h"

using namespace VexaAppGUISystem;

namespace gallery {

namespace {

const COLORREF kKey = RGB(255, 0, 255);
const COLORREF kBlue = RGB(0x31, 0x59, 0x9C);

// Draws a bitmap with a callback on a memory dc.
template <typename F>
HBITMAP Draw(int w, int h, COLORREF background, F paint) {
  HDC screen = GetDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(screen, w, h);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bm);
  RECT r = {0, 0, w, h};
  HBRUSH b = CreateSolidBrush(background);
  FillRect(dc, &r, b);
  DeleteObject(b);
  paint(dc);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bm;
}

void Pen(HDC dc, COLORREF c, COLORREF fill, int width = 1) {
  DeleteObject(SelectObject(dc, CreatePen(PS_SOLID, width, c)));
  DeleteObject(SelectObject(dc, CreateSolidBrush(fill)));
}

HBITMAP CheckImage(bool checked) {
  return Draw(14, 14, kKey, [&](HDC dc) {
    Pen(dc, RGB(0, 0, 0), RGB(255, 255, 255));
    Rectangle(dc, 0, 0, 14, 14);
    if (checked) {
      Pen(dc, kBlue, kBlue, 2);
      MoveToEx(dc, 3, 7, nullptr);
      LineTo(dc, 6, 10);
      LineTo(dc, 11, 3);
    }
  });
}

HBITMAP RadioImage(bool checked) {
  return Draw(14, 14, kKey, [&](HDC dc) {
    Pen(dc, RGB(0, 0, 0), RGB(255, 255, 255));
    Ellipse(dc, 0, 0, 14, 14);
    if (checked) {
      Pen(dc, kBlue, kBlue);
      Ellipse(dc, 4, 4, 10, 10);
    }
  });
}

HBITMAP IconImage(COLORREF colour, bool pressed, COLORREF background = kKey) {
  return Draw(28, 28, background, [&](HDC dc) {
    Pen(dc, pressed ? RGB(255, 255, 255) : RGB(0, 0, 0), colour);
    Ellipse(dc, 1, 1, 27, 27);
    Pen(dc, RGB(255, 255, 255), RGB(255, 255, 255));
    Rectangle(dc, 10, 8, 18, 20);
  });
}

// A channel icon: a rounded tile with a few lines of "text" on it.
HBITMAP ChannelIcon(COLORREF colour, bool pressed) {
  return Draw(32, 32, kKey, [&](HDC dc) {
    COLORREF tile = pressed ? RGB(GetRValue(colour) / 2, GetGValue(colour) / 2, GetBValue(colour) / 2) : colour;
    Pen(dc, RGB(40, 40, 40), tile);
    RoundRect(dc, 1, 1, 31, 31, 9, 9);
    Pen(dc, RGB(255, 255, 255), RGB(255, 255, 255), 2);
    for (int y : {10, 16, 22}) {
      MoveToEx(dc, 8, y, nullptr);
      LineTo(dc, y == 22 ? 17 : 24, y);
    }
  });
}

// The program's mark over a colour key, for the colour-keyed image box.
HBITMAP Logo() {
  return Draw(56, 28, kKey, [&](HDC dc) {
    Pen(dc, kBlue, kBlue);
    Ellipse(dc, 0, 4, 24, 28);
    Pen(dc, RGB(255, 180, 0), RGB(255, 180, 0));
    Ellipse(dc, 12, 0, 32, 20);
    Pen(dc, kBlue, RGB(255, 255, 255), 2);
    Rectangle(dc, 30, 10, 56, 26);
  });
}

// One tile of a decorative band.
HBITMAP BandTile() {
  return Draw(12, 8, RGB(230, 236, 246), [&](HDC dc) {
    Pen(dc, kBlue, kBlue);
    MoveToEx(dc, 0, 7, nullptr);
    LineTo(dc, 6, 1);
    LineTo(dc, 12, 7);
  });
}

TextStyle Style(COLORREF text, HFONT font, int horizontal = 2) {
  TextStyle s;
  s.font = font;
  s.multiLine = false;
  s.wordBreak = false;
  s.horizontal = horizontal;
  s.vertical = 2;
  s.transparent = true;
  s.textColour = text;
  return s;
}

}  // namespace

struct Gallery::Parts {
  WindowBox window;
  Bar page;
  TextBase title;
  Bar row1, row2, row3, row4;
  TextButton plain{"plain", 5011};
  TextButtonRounded rounded{"rounded", 5012};
  ActionTextButton action_text{"action", 5013};
  TextButton disabled{"disabled", 5014};
  TextButtonOld old_button{"old", 5015};
  TextButtonRectangular rectangular{"rect", 5016};
  TextButtonRectangular rectangular_pressed{"rect2", 5017};
  ImageButton image{"image", 3001};
  ImageButton image_disabled{"image2", 3002};
  ActionImageButton action_image{"actionimage", 3003};
  ImageButton transparent{"transparent", 3004};
  CheckBox check_on{"c1", 3010}, check_off{"c2", 3011};
  RadioButton radio_on{"r1", 3012}, radio_off{"r2", 3013};
  CCheckBoxEx ex_check1, ex_check2;
  CRadioButtonEx ex_radio1, ex_radio2;
  Text ellipsis;
  Text paragraph;
  TextBase pictures_title;
  Bar picture_row;
  Image logo;
  ScalableImage band;
  ImageResources images;
  IconsList icons;
  IconBox cells[4];
  IconsList channels;
  IconBox channel_rows[2];
  TextFieldBox name, password, choice;
  HFONT font = nullptr, bold = nullptr;
  std::vector<HBITMAP> bitmaps;

  ~Parts() {
    // Children first, then their parents: every box leaves its parent on destruction.
    for (HBITMAP b : bitmaps) DeleteObject(b);
    if (font) DeleteObject(font);
    if (bold) DeleteObject(bold);
  }

  HBITMAP Keep(HBITMAP b) {
    bitmaps.push_back(b);
    return b;
  }

  // A picture of the program's skin; the drawn stand-in when it is missing.
  HBITMAP Skin(int id, HBITMAP (*standIn)(bool), bool flag) {
    HBITMAP b = images.Load(id);
    return Keep(b ? b : standIn(flag));
  }

  // Pictures, the icon view and text fields.
  void BuildPictures(int width) {
    pictures_title.SetText(L"Pictures, icons and fields", kBlue, 14, true, 0, true, false, false, true);
    page.AddChild(&pictures_title, &page);
    picture_row.SetSpacing(8);
    picture_row.SetCentred(true);
    page.AddChild(&picture_row, &page);
    logo.SetImage(Keep(Logo()), true, kKey);
    picture_row.AddChild(&logo, &picture_row);
    band.SetSize(0, width - 12 - 56 - 8, nullptr, 1);
    band.SetSize(1, 16, nullptr, 1);
    band.SetImage(Keep(BandTile()), false, 0);
    picture_row.AddChild(&band, &picture_row);

    // Cells of 64 x 54 that wrap to the screen's width.
    TextStyle normal = Style(0, font), pressed = Style(0xFFFFFF, font);
    pressed.transparent = false;
    pressed.fill = true;
    pressed.backgroundColour = kBlue;
    const COLORREF colours[] = {RGB(0, 130, 200), RGB(220, 90, 0), RGB(0, 150, 70), RGB(150, 60, 170)};
    // The program's option icons from its skin.
    const struct {
      const wchar_t* label;
      int normal, pressed;
    } options[] = {{L"Alerts", IDG_OPT_ALERTS_ICON, IDG_OPT_ALERTS_ICON_PRESSED},
                   {L"Add", IDG_OPT_ADD_ICON, IDG_OPT_ADD_ICON_PRESSED},
                   {L"Sync", IDG_OPT_SYNC_SETTINGS_ICON, IDG_OPT_SYNC_SETTINGS_ICON_PRESSED},
                   {L"Share", IDG_OPT_SHARE_ICON, IDG_OPT_SHARE_ICON_PRESSED}};
    icons.SetSize(0, width - 12, nullptr, 1);
    icons.SetSpacing(5);
    page.AddChild(&icons, &page);
    for (int i = 0; i < 4; ++i) {
      cells[i].SetOrientation(1);
      HBITMAP n = images.Load(options[i].normal), p = images.Load(options[i].pressed);
      if (n && p)
        cells[i].SetIcon(3020 + i, Keep(n), Keep(p), nullptr, false, 0);
      else
        cells[i].SetIcon(3020 + i, Keep(ChannelIcon(colours[i], false)), Keep(ChannelIcon(colours[i], true)), nullptr,
                         true, kKey);
      cells[i].SetLabel(options[i].label, normal, pressed);
      cells[i].SetCellSize(64, 54);
      icons.AddChild(&cells[i], &icons);
    }
    // Cells in rows: icon, label and a count.
    TextStyle left = normal;
    left.horizontal = 0;
    TextStyle left_pressed = pressed;
    left_pressed.horizontal = 0;
    channels.SetSize(0, width - 12, nullptr, 1);
    channels.SetCentred(false);
    page.AddChild(&channels, &page);
    const wchar_t* names[] = {L"World headlines", L"Technology"};
    for (int i = 0; i < 2; ++i) {
      channel_rows[i].SetIcon(4060 + i, Keep(ChannelIcon(colours[i], false)), Keep(ChannelIcon(colours[i], true)),
                              nullptr, true, kKey);
      channel_rows[i].SetLabel(names[i], left, left_pressed);
      channel_rows[i].SetCounts(3 + i * 4, 12 + i * 8, normal, pressed);
      channel_rows[i].SetCellSize(width - 24, 34);
      channels.AddChild(&channel_rows[i], &channels);
    }

    static const wchar_t* kChoices[] = {L"Every hour", L"Every day", L"Manually"};
    choice.SetItems(kChoices, 3);
    struct {
      TextFieldBox* field;
      const wchar_t* caption;
      int kind;
    } fields[] = {{&name, L"Name", FieldText}, {&password, L"Password", FieldPassword}, {&choice, L"Sync", FieldItems}};
    for (auto& f : fields) {
      f.field->SetCaption(f.caption, f.kind, &window, true, false);
      f.field->SetSize(0, width - 12, nullptr, 1);
      f.field->SetSize(1, 22, nullptr, 1);
      page.AddChild(f.field, &page);
    }
  }

  // Text and selections once the fields have their controls.
  void FillFields() {
    name.SetText("Ada Lovelace");
    password.SetText("secret");
    choice.SetSelection(1);
  }

  void Build(int width) {
    images.Open();
    font = CreateTextFont(L"Tahoma", 14, false, false, false);
    bold = CreateTextFont(L"Tahoma", 14, true, false, false);
    // Built with layout off, as screens do, then laid out once.
    window.SetLayoutEnabled(false, false);

    window.AddChild(&page, &window);
    page.SetOrientation(1);
    page.SetMargins(6, 6, 6, 6);
    page.SetSpacing(7);
    page.SetPosition(0, 0, EdgeLeading, &window, EdgeLeading);
    page.SetPosition(1, 0, EdgeLeading, &window, EdgeLeading);

    title.SetText(L"Tidelark toolkit gallery", kBlue, 14, true, 0, true, false, false, true);
    page.AddChild(&title, &page);
    for (Bar* row : {&row1, &row2, &row3, &row4}) {
      row->SetSpacing(6);
      row->SetCentred(true);
      page.AddChild(row, &page);
    }
    BuildButtons();
    BuildCompounds(width);
    BuildText(width);
    BuildPictures(width);
    BuildFocusOrder();
    window.SetScrollable(1, true);
    window.SetLayoutEnabled(true, true);
  }

  // Text, framed and image buttons, check boxes and radio buttons, a row each.
  void BuildButtons() {
    TextStyle normal = Style(0, font), pressed = Style(0xFFFFFF, font), grey = Style(RGB(150, 150, 150), font);
    struct {
      TextButton* b;
      const wchar_t* label;
    } texts[] = {{&plain, L"Plain"}, {&rounded, L"Rounded"}, {&action_text, L"Action"}, {&disabled, L"Off"}};
    for (auto& t : texts) {
      t.b->SetNormalStyle(normal);
      t.b->SetPressedStyle(pressed);
      t.b->SetDisabledStyle(grey);
      t.b->SetMinimumSize(50, 22);
      t.b->SetLabel(t.label);
      row1.AddChild(t.b, &row1);
    }
    disabled.SetState(2);
    // Old and framed buttons.
    struct {
      TextButtonOld* b;
      const wchar_t* label;
    } olds[] = {{&old_button, L"Old"}, {&rectangular, L"Framed"}, {&rectangular_pressed, L"Pressed"}};
    for (auto& o : olds) {
      o.b->NormalLabel().SetText(o.label, 0, 14, true, 0, false, false, false, false);
      o.b->PressedLabel().SetText(o.label, 0xFFFFFF, 14, true, 0, false, false, false, false);
      o.b->DisabledLabel().SetText(o.label, RGB(150, 150, 150), 14, true, 0, false, false, false, false);
      for (TextBase* l : {&o.b->NormalLabel(), &o.b->PressedLabel(), &o.b->DisabledLabel()}) l->SetAlignment(2, 2);
      o.b->SetSize(0, 64, nullptr, 1);
      o.b->SetSize(1, 22, nullptr, 1);
      row2.AddChild(o.b, &row2);
    }
    rectangular.SetColours(kBlue, RGB(230, 236, 246), kBlue);
    rectangular_pressed.SetColours(kBlue, RGB(230, 236, 246), kBlue);
    rectangular_pressed.SetState(1);
    // Image buttons.
    image.SetImages(Keep(IconImage(RGB(0, 150, 0), false, 0xFFFFFF)), Keep(IconImage(RGB(0, 90, 0), true, 0xFFFFFF)),
                    nullptr, false,
                    0, false);
    image_disabled.SetImages(nullptr, nullptr, Keep(IconImage(RGB(170, 170, 170), false, 0xFFFFFF)), false, 0,
                             false);
    image_disabled.SetState(2);
    action_image.SetImages(Keep(IconImage(RGB(200, 120, 0), false)), Keep(IconImage(RGB(150, 80, 0), true)),
                           nullptr, true, kKey, true);
    transparent.SetImages(Keep(IconImage(RGB(200, 0, 0), false)), Keep(IconImage(RGB(120, 0, 0), true)), nullptr,
                          true, kKey, true);
    for (ImageButton* b : {&image, &image_disabled, (ImageButton*)&action_image, &transparent}) row3.AddChild(b, &row3);
    // Check boxes and radio buttons.
    HBITMAP c0 = Skin(IDG_CHECK_OFF, CheckImage, false), c1 = Skin(IDG_CHECK_ON, CheckImage, true);
    HBITMAP r0 = Skin(IDG_RADIO_OFF, RadioImage, false), r1 = Skin(IDG_RADIO_ON, RadioImage, true);
    check_on.SetImages(c0, c1, c0, true, kKey, false);
    check_on.SetChecked(true);
    check_off.SetImages(c0, c1, c0, true, kKey, false);
    radio_on.SetImages(r0, r1, r0, true, kKey, false);
    radio_on.SetChecked(true);
    radio_off.SetImages(r0, r1, r0, true, kKey, false);
    for (ImageButton* b : {(ImageButton*)&check_on, (ImageButton*)&check_off, (ImageButton*)&radio_on,
                           (ImageButton*)&radio_off})
      row4.AddChild(b, &row4);
  }

  // Compound check boxes and radio buttons, with the images of the plain ones.
  void BuildCompounds(int width) {
    HBITMAP c0, c1, r0, r1;
    check_off.GetImages(&c0, &c1, nullptr, nullptr, nullptr, nullptr);
    radio_off.GetImages(&r0, &r1, nullptr, nullptr, nullptr, nullptr);
    int check_width = 0;
    GetBitmapSize(c0, &check_width, nullptr);
    int label_width = width - 12 - check_width - 3;
    struct {
      Bar* box;
      const wchar_t* label;
      bool checked;
    } compounds[] = {{&ex_check1, L"Download pictures with articles", true},
                     {&ex_check2, L"Alert me about new articles", false},
                     {&ex_radio1, L"Synchronise over the air", true},
                     {&ex_radio2, L"Synchronise through the desktop", false}};
    for (auto& c : compounds) {
      if (c.box == &ex_check1 || c.box == &ex_check2) {
        CCheckBoxEx* x = static_cast<CCheckBoxEx*>(c.box);
        x->Build(0, 0);
        x->SetImages(c0, c1, c0, true, kKey, false);
        x->SetLabelText(c.label, 0, -1, 0xFFFFFF, true, false, false, false);
        x->Label().SetMaximumSize(label_width, 0);
        x->SetChecked(c.checked);
      } else {
        CRadioButtonEx* x = static_cast<CRadioButtonEx*>(c.box);
        x->Build(0, 0);
        x->SetImages(r0, r1, r0, true, kKey, false);
        x->SetLabelText(c.label, 0, -1, 0xFFFFFF, true, false, false, false);
        x->Label().SetMaximumSize(label_width, 0);
        x->SetChecked(c.checked);
      }
      page.AddChild(c.box, &page);
    }
  }

  // A cut headline and a wrapped paragraph.
  void BuildText(int width) {
    TextStyle one = Style(RGB(90, 0, 0), bold, 0);
    ellipsis.SetStyle(one);
    ellipsis.SetMaximumSize(width - 12, 0);
    ellipsis.SetEllipsis(true);
    ellipsis.SetText(L"A headline far too long for one line of the screen is cut");
    page.AddChild(&ellipsis, &page);
    TextStyle wrap = Style(0, font, 0);
    wrap.multiLine = true;
    wrap.wordBreak = true;
    wrap.fill = true;
    wrap.transparent = false;
    wrap.backgroundColour = RGB(255, 250, 220);
    paragraph.SetStyle(wrap);
    paragraph.SetMargins(3, 3, 2, 2);
    paragraph.SetMaximumSize(width - 12, 0);
    paragraph.SetText(L"Paragraph text wraps at word boundaries inside its maximum width and grows downwards.");
    page.AddChild(&paragraph, &page);
  }

  // The rounded button holds the focus and shows its frames.
  void BuildFocusOrder() {
    page.AddToFocusOrder(&row1, &page, 0);
    row1.AddToFocusOrder(&plain, &row1, FocusItem);
    row1.AddToFocusOrder(&rounded, &row1, FocusItem);
    row1.AddToFocusOrder(&action_text, &row1, FocusItem);
    row1.AddToFocusOrder(&disabled, &row1, FocusSkipped);
    page.AddToFocusOrder(&ex_check1, &page, 0);
    page.AddToFocusOrder(&ex_check2, &page, 0);
    page.AddToFocusOrder(&icons, &page, 0);
    for (IconBox& c : cells) icons.AddToFocusOrder(&c, &icons, 0);
    for (TextFieldBox* f : {&name, &password, &choice}) page.AddToFocusOrder(f, &page, 0);
    window.AddToFocusOrder(&page, &window, 0);
    window.SetFocus(&rounded);

  }
};

Gallery::Gallery() : parts_(new Parts) {}
Gallery::~Gallery() {
  if (parts_->window.GetHandle()) parts_->window.Close(0);
}

WindowBox& Gallery::Window() { return parts_->window; }

void Gallery::Relayout() { parts_->window.Relayout(true); }

bool Gallery::Create(bool show) {
  // As the program's frame: the work area, between task bar and soft-key bar.
  platform::device::Rect work = platform::device::WorkArea();
  WindowBox& w = parts_->window;
  w.SetPosition(0, work.left, EdgeLeading, nullptr, EdgeLeading);
  w.SetPosition(1, work.top, EdgeLeading, nullptr, EdgeLeading);
  w.SetSize(0, work.Width(), nullptr, 1);
  w.SetSize(1, work.Height(), nullptr, 1);
  w.SetStyle(WS_POPUP);
  w.SetTitle(L"Tidelark gallery");
  w.SetBackground(RGB(255, 255, 255));
  if (!w.Create(show, nullptr, nullptr, false)) return false;
  // The page is taller than the screen: its scroll bar takes a strip of the width.
  parts_->Build(work.Width() - GetSystemMetrics(SM_CXVSCROLL));
  w.Relayout(true);
  parts_->FillFields();
  w.InvalidateAll();
  return true;
}

}  // namespace gallery
