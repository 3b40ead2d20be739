// tidelark-walk: starts Tidelark.exe, walks its main screens through real
// window messages, reads the first channel's list and its topmost article,
// writes a screenshot of each screen into a folder, prints their paths and
// closes the program. Exit 0 when every step worked.
//   tidelark-walk.exe PROGRAM OUTDIR [--no-reading]
// --no-reading leaves out the channel and the article (a device folder that
// has never synced has no channel to open).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "channels/channel_rows.h"
#include "platform/os.h"
#include "walk.h"

namespace {

struct Walk {
  platform::automation::Driver driver;
  std::string folder;
  int shots = 0;
  bool ok = true;

  void Shoot(const char* name) {
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
  }
};

std::string Narrow(const wchar_t* w) {
  std::u16string u(w, w + lstrlenW(w));
  return platform::os::Utf16ToUtf8(u);
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
  const bool reading = !(argc == 4 && std::wstring(argv[3]) == L"--no-reading");
  if (argc != 3 && reading) {
    std::fprintf(stderr, "usage: tidelark-walk.exe PROGRAM OUTDIR [--no-reading]\n");
    return 2;
  }
  Walk walk;
  walk.folder = Narrow(argv[2]);
  platform::os::MakeDirectories(walk.folder);
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
    if (s.name) walk.Shoot(s.name);
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
