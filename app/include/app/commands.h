// Command values of the program and the shape of a command handler. Buttons
// send EventCommand with their value; the bars' bindings, the content area
// and the frame hand them to a handler.
#pragma once

#include <string>

// handler (command value, context, event code) -> 1 handled, 0 not a command it knows.
using CommandHandler = int (*)(int command, void* context, int event);

namespace commands {

enum : int {
  // Bar buttons.
  kShowChannels = 5011,
  kShowAlerts = 5015,
  kShowOptions = 5016,
  kShowSync = 5017,
  kShowHelp = 5018,
  kBack = 5019,
  kForward = 5020,
  kToggleInputPanel = 5021,
  kShowAddChannel = 5022,
  // The agreement screen's buttons.
  kAcceptAgreement = 3150,
  kDeclineAgreement = 3151,
  // The first command value a plug-in may give its own menu items.
  kFirstPluginCommand = 4020,
  // The first channel row of the channel list (4047 + row).
  kFirstChannelRow = 4047,
  // Values from here to kLastViewCommand belong to the current view.
  kFirstViewCommand = 8000,
  kLastViewCommand = 9000,
  // The alert button refresh (a window message and an event).
  kAlertRefresh = 50003,
};

}  // namespace commands

// The texts of the language pack by screen number, for the frame's parts:
// the program hands its localization over at start. Null texts come back as "".
using StringSource = const wchar_t* (*)(int id);
void SetStringSource(StringSource source);
const wchar_t* AppString(int id);
// Whether `title` is the text of screen number `id` (false for a missing text).
bool TitleIs(const std::wstring& title, int id);
