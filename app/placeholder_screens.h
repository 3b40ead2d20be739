// The screens whose Parts come with later work: each is an empty view that
// shows its title, so that every command of the table leads somewhere. A
// screen's own module replaces its class here when it is built.
#pragma once

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
TIDELARK_PENDING_SCREEN(CKorvelLifeConnectionSettings, 99);
TIDELARK_PENDING_SCREEN(CKorvelLifeShareSettings, 100);
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
