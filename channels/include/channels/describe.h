// The channel screens' state for the automation driver: "key=value" lines
// with each row's name, counts and place in frame coordinates, so that a
// driver outside the program can check and tap them.
#pragma once

#include <string>

#include "app/view.h"

// Lines for `view` when it is one of the channel screens, else "".
//   channel_view=list|icons, channels=N, channel <i>=<x> <y> <w> <h>|<unread>|<total>|<name>
//   checks=N, check <i>=<x> <y> <w> <h>|<0|1>|<name>, list_button=<x> <y> <w> <h>
//   add_option=-1|0|1, add_address=..., add_name=..., add_button=..., add_second_option=...
std::string DescribeChannelScreen(CKorvelLifeViewInterface* view, VexaAppGUISystem::Box* frame);
// The focused element of a channel screen: "channel <i>" for a cell of the
// channel list, "check <i>" for a row of a check-box list; else "".
std::string DescribeChannelFocus(CKorvelLifeViewInterface* view, VexaAppGUISystem::Box* focused);
