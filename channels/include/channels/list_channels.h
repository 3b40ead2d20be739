// The check-box lists of channels: one compound check box per channel,
// grouped in sections by plug-in ("TavoCats"/"Categories"), between a
// header and a footer that each screen builds. The unsubscribe list and the
// recommendations are two of them; the synchronization screen is another.
//
// Layout, top to bottom in the list box: the header; per section a heading
// and its rows (200 x 20, 20 from the left, 5 below the element before);
// the footer; an invisible spacer 5 below it. The list box takes the size
// of its content and the view scrolls vertically over it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/view.h"
#include "channels/subscriptions.h"
#include "gui/button.h"
#include "gui/text.h"
#include "store/store.h"

class CKorvelListChannels : public CKorvelLifeViewInterface {
 public:
  static constexpr int kRowWidth = 200, kRowHeight = 20, kRowLeft = 20, kGap = 5;

  CKorvelListChannels();
  ~CKorvelListChannels() override;

  int Activate(const char* parameter) override;
  int Deactivate(int a, int b) override;
  // The queue's scroll requests move the content area.
  int Scroll(int x, int y, int flags) override;

  // Slot 11: the section's channels of `plugin` (templates of property type `type`).
  virtual std::int32_t QueryChannels(store::Database* database, store::ResultSet** result, int type,
                                     const char* plugin) = 0;
  // Slot 12: adds the screen's title line to `box` (with Append).
  virtual void BuildHeader(VexaAppGUISystem::Box* box) = 0;
  // Slot 13: adds the screen's buttons below the last row (with Append).
  virtual void BuildFooter(VexaAppGUISystem::Box* box) = 0;

  // The rows as built (tests, the synchronization screen).
  int RowCount() const { return static_cast<int>(rows_.size()); }
  VexaAppGUISystem::CCheckBoxEx* Row(int index) const;
  // The channel's "ChName" (8-bit) and its database ("DbName", the row's user data).
  const std::string& RowName(int index) const;
  const char* RowDatabase(int index) const;
  // The names of the checked rows, in list order.
  std::vector<std::string> CheckedNames() const;
  VexaAppGUISystem::Box& ListBox() { return list_; }

 protected:
  // Adds `box` to the list, `x` from the left and `gap` below the element
  // added before (or the list's top); it joins the focus order when `focus`.
  void Append(VexaAppGUISystem::Box* box, int x, int gap, bool focus = false);
  // A rounded text button as every list's footer has: a quarter of the
  // screen wide, 20 high, centred; owned by the list until it closes.
  VexaAppGUISystem::TextButtonRounded* MakeFooterButton(int label, int command);
  // The footer button made and appended, centred below the element before.
  VexaAppGUISystem::TextButtonRounded* AppendFooterButton(int label, int command);
  // The screen's title (text string `text`) in the title box and as the list's first line.
  void AppendTitle(int text);
  // A line of text in `style` as wide as the list allows; owned by the list until it closes.
  VexaAppGUISystem::Text* MakeText(const wchar_t* text, const VexaAppGUISystem::TextStyle& style);
  int ListWidth() const;

 private:
  struct RowRecord {
    std::unique_ptr<VexaAppGUISystem::CCheckBoxEx> box;
    std::string name;
    std::string database;
  };
  void AddSection(store::Database* db, const channels::Section& section);
  void AddRows(const std::vector<channels::ListedChannel>& channels);
  void Clear();

  VexaAppGUISystem::Box list_;
  VexaAppGUISystem::Box* last_ = nullptr;  // the element added last
  std::vector<std::unique_ptr<RowRecord>> rows_;  // a row's user data points into its own record
  std::vector<std::unique_ptr<VexaAppGUISystem::Box>> parts_;  // headings, texts, buttons
  VexaAppGUISystem::TextBase spacer_;
  HBITMAP unchecked_ = nullptr, checked_ = nullptr;
};

// The unsubscribe list (title 111): the subscribed channels; Delete (3120)
// unsubscribes the checked ones.
class CKorvelDeleteChannel : public CKorvelListChannels {
 public:
  static constexpr int kDeleteCommand = 3120;
  std::int32_t QueryChannels(store::Database* database, store::ResultSet** result, int type,
                             const char* plugin) override;
  void BuildHeader(VexaAppGUISystem::Box* box) override;
  void BuildFooter(VexaAppGUISystem::Box* box) override;
  // 3120: unsubscribes the checked channels; a message tells when any was.
  int ProcessButton(int command, int b) override;
};

// The recommendations (title 108): the channels not subscribed; 3140
// subscribes the checked ones and leads to the synchronization screen.
class CKorvelRecommendChannels : public CKorvelListChannels {
 public:
  static constexpr int kSubscribeCommand = 3140;
  std::int32_t QueryChannels(store::Database* database, store::ResultSet** result, int type,
                             const char* plugin) override;
  void BuildHeader(VexaAppGUISystem::Box* box) override;
  void BuildFooter(VexaAppGUISystem::Box* box) override;
  int ProcessButton(int command, int b) override;
};
