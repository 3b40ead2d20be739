// The channel list against bare GDI, under Wine: showing a list of 100
// channels of 50 articles each (the counts read from 100 databases, the rows
// built and painted) against the same 100 rows drawn with DrawTextW.
//   tools/wine-run --path build/windows/bin build/windows/benchmarks/channels_bench.exe [iterations]
// Prints one BENCH line per display mode.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/content_area.h"
#include "app/look.h"
#include "app/view_title.h"
#include "channels/data_sources.h"
#include "platform/os.h"
#include "../tests/screen_look.h"

using namespace VexaAppGUISystem;

namespace {

constexpr int kChannels = 100, kArticles = 50, kRead = 7;
constexpr int kAreaWidth = 236, kAreaHeight = 268;

double Seconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(f.QuadPart);
}

std::string ChannelName(int i) { return "Channel number " + std::to_string(i); }

// 100 subscribed channels with icons, each with 50 articles of which 7 are read.
bool Fill(const CObjectStore& store) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(225), L"GIF");
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  if (!loaded) return false;
  const std::string icon(static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found));
  ScopedDatabase rss;
  if (store.Open(rss.Out(), "TavoRss", true) != 0) return false;
  for (int c = 0; c < kChannels; ++c) {
    const std::string db = "Tavo " + std::to_string(50000 + c);
    if (StoreRecord(("Channel " + std::to_string(c)).c_str())
            .Text("ChName", ChannelName(c))
            .Text("DbName", db)
            .Text("Plugin", "News")
            .Text("Subscr", "Yes")
            .Raw("Icon", store::kTypeBinary, icon.data(), static_cast<std::uint32_t>(icon.size()))
            .WriteTo(rss.Get()) != 0)
      return false;
    ScopedDatabase articles;
    if (store.Open(articles.Out(), db.c_str(), true) != 0) return false;
    store::SetDatabaseMode(articles.Get(), 64);
    for (int a = 0; a < kArticles; ++a)
      if (StoreRecord(("Item " + std::to_string(a)).c_str())
              .Text("Title", "Article number " + std::to_string(a) + " of the channel")
              .Text("Link", "http://news.example/" + std::to_string(a))
              .Int("READ", a < kRead ? 1 : 0)
              .WriteTo(articles.Get()) != 0)
        return false;
  }
  return true;
}

// Ours: the list opened (store reads, cells) and painted on the window.
double Ours(CKorvelLifeContentArea* area, CKorvelLifeDataSources* list, int iterations, std::size_t* rows) {
  std::vector<double> times;
  for (int i = 0; i < iterations; ++i) {
    area->SetView(nullptr, nullptr, 0);
    const double t0 = Seconds();
    area->SetView(list, nullptr, 0);
    RedrawWindow(area->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    times.push_back(Seconds() - t0);
    *rows = list->Rows().size();
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The peer: the same 100 rows (name, unread/total) drawn with bare DrawTextW.
double Peer(HWND window, int iterations) {
  std::vector<std::wstring> names, counts;
  for (int c = 0; c < kChannels; ++c) {
    const std::string n = ChannelName(c);
    names.push_back(std::wstring(n.begin(), n.end()));
    counts.push_back(std::to_wstring(kArticles - kRead) + L"/" + std::to_wstring(kArticles));
  }
  HFONT font = CreateTextFont(kTextFace, 14, false, false, false);
  std::vector<double> times;
  for (int i = 0; i < iterations; ++i) {
    const double t0 = Seconds();
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    for (int c = 0; c < kChannels; ++c) {
      RECT r = {25, 5 + c * 25, kAreaWidth - 5, 25 + c * 25};
      DrawTextW(dc, names[c].c_str(), -1, &r, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
      DrawTextW(dc, counts[c].c_str(), -1, &r, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    times.push_back(Seconds() - t0);
  }
  DeleteObject(font);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  SetStringSource(channels_test::Texts);
  SetLookSources(channels_test::Style, channels_test::Image);
  std::string dir;
  if (platform::os::MakeTempDirectory("channels-bench", &dir) != 0) return 1;
  const CObjectStore store(platform::os::JoinPath(dir, "Reader.vol"));
  const double fill0 = Seconds();
  if (!Fill(store)) {
    std::fprintf(stderr, "channels_bench: cannot write the channels\n");
    return 1;
  }
  std::printf("# %d channels of %d articles written in %.2f s\n", kChannels, kArticles, Seconds() - fill0);

  CKorvelLifeViewTitle title;
  CKorvelLifeViewInterface::SetTitleBox(&title);
  CKorvelLifeContentArea area;
  area.SetSize(0, kAreaWidth, nullptr, 1);
  area.SetSize(1, kAreaHeight, nullptr, 1);
  area.SetStyle(WS_POPUP | WS_VISIBLE);
  if (!area.Create(true, nullptr, nullptr, false)) return 1;
  CKorvelLifeDataSources list;
  CObjectStore view_store = store;
  list.SetStore(&view_store);
  int status = 0;
  {
    // The store's part alone: the rows with their counts.
    std::vector<double> times;
    for (int i = 0; i < iterations; ++i) {
      const double t0 = Seconds();
      channels::ReadChannelList(store, "News", channels::TextRules());
      times.push_back(Seconds() - t0);
    }
    std::sort(times.begin(), times.end());
    std::printf("# reading the 100 rows and their counts: %.6f s\n", times[times.size() / 2]);
  }
  for (bool icons : {false, true}) {
    channels::SaveIconView(store, icons);
    std::size_t rows = 0;
    const double ours = Ours(&area, &list, iterations, &rows);
    const double peer = Peer(area.GetHandle(), iterations);
    if (rows != kChannels) {
      std::fprintf(stderr, "channels_bench: %zu rows listed, not %d\n", rows, kChannels);
      status = 1;
    }
    std::printf("BENCH channel_list_%s_100x50 ours=%.6f peer=%.6f ratio=%.1f\n", icons ? "icons" : "rows", ours, peer,
                ours / peer);
  }
  area.SetView(nullptr, nullptr, 0);
  area.Close(0);
  CKorvelLifeViewInterface::SetTitleBox(nullptr);
  platform::os::RemoveTree(dir);
  return status;
}
