// The screens whose Parts come with later work: each is an empty view that
// shows its title, so that every command of the table leads somewhere. A
// screen's own module replaces its class here when it is built.
#pragma once

#include <string>
#include <vector>

#include "app/view.h"

// An empty screen with the title of screen number `title` (0: none).
class CKorvelPendingScreen : public CKorvelLifeViewInterface {
 public:
  explicit CKorvelPendingScreen(int title) : title_(title) {}
  int Activate(const char* parameter) override;

 private:
  int title_;
};

#define TIDELARK_PENDING_SCREEN(name, title) \
  class name : public CKorvelPendingScreen { \
   public: \
    name() : CKorvelPendingScreen(title) {} \
  }

TIDELARK_PENDING_SCREEN(CKorvelLifeTools, 0);
TIDELARK_PENDING_SCREEN(CKorvelLifeHelp, 96);
TIDELARK_PENDING_SCREEN(CKorvelLifeOptions, 94);
TIDELARK_PENDING_SCREEN(CKorvelLifeAbout, 97);
TIDELARK_PENDING_SCREEN(CKorvelLifeManual, 97);
TIDELARK_PENDING_SCREEN(CKorvelLifeSyncScreen, 98);
TIDELARK_PENDING_SCREEN(CKorvelRecommendChannels, 108);
TIDELARK_PENDING_SCREEN(CKorvelDeleteChannel, 111);
TIDELARK_PENDING_SCREEN(CKorvelLifeConnectionSettings, 99);
TIDELARK_PENDING_SCREEN(CKorvelLifeShareSettings, 100);
TIDELARK_PENDING_SCREEN(CKorvelAddChannel, 101);
TIDELARK_PENDING_SCREEN(CKorvelLifeAlertsSettings, 102);
TIDELARK_PENDING_SCREEN(CKorvelLifeDisplaySettings, 103);
TIDELARK_PENDING_SCREEN(CKorvelLifeShareArticle, 109);
TIDELARK_PENDING_SCREEN(CKorvelLifeAlerts, 106);
TIDELARK_PENDING_SCREEN(CKorvelLifeSyncSettings, 107);
TIDELARK_PENDING_SCREEN(CKorvelLifeShareChannel, 109);
TIDELARK_PENDING_SCREEN(CKorvelLifeSharedItems, 104);
TIDELARK_PENDING_SCREEN(CKorvelLifeFaq, 197);
TIDELARK_PENDING_SCREEN(CKorvelLifeOPML, 237);

#undef TIDELARK_PENDING_SCREEN

// The channel list, for one plug-in type ("News": title 92; "Weather": 198).
// Until its screen is built it shows no rows, but a row's command opens the
// channel as the list will: its rows are the subscribed channels of its
// plug-in type in "TavoRss", by name.
class CKorvelLifeDataSources : public CKorvelPendingScreen {
 public:
  struct Row {
    std::string plugin, database, name;
  };

  CKorvelLifeDataSources() : CKorvelPendingScreen(92) {}
  void SetPluginType(const char* type) { type_ = type ? type : ""; }
  const std::string& PluginType() const { return type_; }
  int Activate(const char* parameter) override;
  // 4047 + row: the channel's name becomes the title and the content area
  // switches to its plug-in with its database. 1 when there is such a row.
  int ProcessButton(int command, int b) override;
  std::vector<Row> Rows() const;

 private:
  std::string type_ = "News";
};
