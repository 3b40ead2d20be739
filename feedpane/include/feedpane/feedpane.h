// Feedpane.dll: the news content plug-in ("News"). Besides the twelve
// exports of the plug-in contract (plugin/plugin_api.h) it exports one for
// tests: the library carries its own copy of the platform's service table,
// so a test that records launches instead of starting the browser replaces
// the library's table through it.
#pragma once

namespace platform {
struct Services;
}

// Replaces the library's service table (null restores the default) and
// returns the previous one.
extern "C" typedef const platform::Services* (*SetPlatformServicesProc)(const platform::Services* services);
constexpr const char kSetPlatformServicesExport[] = "SetPlatformServices";

// Plug-in version 0.1, contract version 1.0, name "News".
constexpr int kFeedpaneVersionMajor = 0;
constexpr int kFeedpaneVersionMinor = 1;
constexpr char kFeedpaneName[] = "News";
