// tidelark-walk: starts Tidelark.exe, walks its main screens through real
// window messages, syncs from the sync screen when given a server, reads
// the first channel's list and its topmost article, writes a screenshot of
// each screen into a folder, prints their paths and closes the program.
// Exit 0 when every step worked.
//   tidelark-walk.exe PROGRAM OUTDIR [--server PORT] [--no-reading]
// --server: the walk syncs from the sync screen with the sync server on
// 127.0.0.1:PORT, through a relay that slows the answers so that the
// progress window is photographed mid-sync; then the channel list it leaves.
// --no-reading leaves out the channel and the article (a device folder that
// has never synced has no channel to open).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/server_settings.h"
#include "channels/channel_rows.h"
#include "platform/os.h"
#include "relay.h"
#include "walk.h"

namespace {

struct Walk {
  platform::automation::Driver driver;
  std::string folder;
  int shots = 0;
  bool ok = true;

  // The screenshot's path.
  std::string Shoot(const char* name) {
    char file[64];
    std::snprintf(file, sizeof file, "%02d-%s.png", ++shots, name);
    std::string path = platform::os::JoinPath(folder, file);
    if (driver.Shot(path)) {
      std::printf("%s\n", path.c_str());
    } else {
      std::fprintf(stderr, "tidelark-walk: no screenshot of %s\n", name);
      ok = false;
    }
    std::fflush(stdout);
    return path;
  }
};

std::string Narrow(const wchar_t* w) {
  std::u16string u(w, w + lstrlenW(w));
  return platform::os::Utf16ToUtf8(u);
}

// The server's answers pass at this rate, so that a sync of the demo
// catalogue lasts a few seconds.
constexpr int kRelayBytesPerSecond = 4 * 1024;

// From the sync screen: "sync all"; when shooting, the progress window photographed while
// the relay holds the sync (once at its start, again when a bar is part
// way, which a sync that has little to bring may never reach), and the
// screen the program shows when the sync has ended.
bool SyncAll(Walk* walk, HWND frame, walk::Relay* relay, bool shoot) {
  if (!shoot) {
    walk::State end;
    if (walk::TapSyncAll(walk->driver, frame)) end = walk::WaitForState(walk->driver, "sync", "0", 300000);
    return end["sync"] == "0" && end["sync_result"] == "0";
  }
  relay->Hold();
  if (!walk::TapSyncAll(walk->driver, frame) || walk::WaitForState(walk->driver, "sync", "1", 20000)["sync"] != "1") {
    relay->Release();
    std::fprintf(stderr, "tidelark-walk: no sync started from the sync screen\n");
    return false;
  }
  const std::string shot = walk->Shoot("sync-progress");
  relay->Release();
  if (walk::WaitUntilUnderWay(walk->driver, 60000, nullptr)) {
    relay->Hold();
    walk->driver.Shot(shot);
    relay->Release();
  }
  walk::State end = walk::WaitForState(walk->driver, "sync", "0", 300000);
  if (end["sync"] != "0" || end["sync_result"] != "0") {
    std::fprintf(stderr, "tidelark-walk: the sync ended with %s\n", end["sync_result"].c_str());
    return false;
  }
  walk->Shoot("after-sync");
  return true;
}

// The channel list in its other display mode: the setting is saved into the
// program's volume as the display settings screen saves it, the list opens
// again, and the setting is put back.
void ShowOtherDisplayMode(Walk* walk, HWND frame, const std::string& program) {
  const std::size_t slash = program.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
  const CObjectStore store(platform::os::JoinPath(folder, "Reader.vol"));
  const bool icons = walk->driver.State()["channel_view"] == "icons";
  if (channels::SaveIconView(store, !icons) != 0 || !walk::TapButton(walk->driver, frame, 5011)) {
    std::fprintf(stderr, "tidelark-walk: cannot show the channel list in its other display mode\n");
    walk->ok = false;
    return;
  }
  walk->Shoot(icons ? "channels-list" : "channels-icons");
  channels::SaveIconView(store, icons);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool reading = true;
  int port = 0;
  bool usable = argc >= 3;
  for (int i = 3; i < argc && usable; ++i) {
    if (std::wstring(argv[i]) == L"--no-reading")
      reading = false;
    else if (std::wstring(argv[i]) == L"--server" && i + 1 < argc)
      port = _wtoi(argv[++i]);
    else
      usable = false;
  }
  const bool syncing = port != 0;
  if (!usable || (syncing && (port < 0 || port > 65535))) {
    std::fprintf(stderr, "usage: tidelark-walk.exe PROGRAM OUTDIR [--server PORT] [--no-reading]\n");
    return 2;
  }
  Walk walk;
  walk.folder = Narrow(argv[2]);
  platform::os::MakeDirectories(walk.folder);
  walk::Relay relay;
  if (syncing) {
    std::string program = Narrow(argv[1]);
    const std::string volume = platform::os::JoinPath(program.substr(0, program.find_last_of("\\/") + 1), "Reader.vol");
    if (!relay.Start(port, kRelayBytesPerSecond) ||
        WriteServerSettings(volume, "127.0.0.1", static_cast<std::uint32_t>(relay.port())) != 0) {
      std::fprintf(stderr, "tidelark-walk: cannot point the device at the server on port %d\n", port);
      return 1;
    }
  }
  if (!walk.driver.Start(argv[1])) {
    std::fprintf(stderr, "tidelark-walk: cannot start %s\n", Narrow(argv[1]).c_str());
    return 1;
  }
  HWND frame = nullptr;
  auto shoot = [](void* w, const char* name) { static_cast<Walk*>(w)->Shoot(name); };
  if (!walk::StartToChannels(walk.driver, &frame, shoot, &walk)) {
    std::fprintf(stderr, "tidelark-walk: the program did not reach its channel list\n");
    return 1;
  }
  walk.Shoot("channels");
  struct Step {
    int command;
    const char* name;
  } steps[] = {{5016, "options"}, {5018, "help"}, {5017, "sync"}, {5022, "add-channel"},
               {5021, "input-panel"}, {5021, nullptr}, {5019, "back"}, {5011, "channels-again"}};
  for (const Step& s : steps) {
    if (!walk::TapButton(walk.driver, frame, s.command)) {
      std::fprintf(stderr, "tidelark-walk: no button %d\n", s.command);
      walk.ok = false;
      continue;
    }
    // The first sync of a new device brings its channel list, the second their articles.
    if (syncing && s.command == 5017 &&
        (!SyncAll(&walk, frame, &relay, false) || !walk::TapButton(walk.driver, frame, s.command))) {
      std::fprintf(stderr, "tidelark-walk: the first sync failed\n");
      walk.ok = false;
    }
    if (s.name) walk.Shoot(s.name);
    if (syncing && s.command == 5017 && !SyncAll(&walk, frame, &relay, true)) walk.ok = false;
  }
  ShowOtherDisplayMode(&walk, frame, Narrow(argv[1]));
  std::string why;
  if (reading && !walk::ReadChannel(walk.driver, frame, 0, shoot, &walk, &why)) {
    std::fprintf(stderr, "tidelark-walk: reading the first channel: %s\n", why.c_str());
    walk.ok = false;
  }
  PostMessageW(frame, WM_CLOSE, 0, 0);
  int code = walk.driver.WaitExit(20000);
  if (code != 0) {
    std::fprintf(stderr, "tidelark-walk: the program ended with %d\n", code);
    walk.ok = false;
  }
  return walk.ok ? 0 : 1;
}
