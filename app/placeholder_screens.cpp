#include "placeholder_screens.h"

#include "app/commands.h"

int CKorvelPendingScreen::Activate(const char*) {
  if (title_ > 0) SetTitle(AppString(title_));
  return 0;
}
