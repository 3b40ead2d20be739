// Opening a channel of 1,000 articles under Wine: LoadContent and the first
// paint, against measuring the same 1,000 titles with bare DrawTextW in the
// same run.
//   tools/wine-run --path build/windows/bin build/windows/benchmarks/feedpane_bench.exe [runs]
// Prints one BENCH line with the best of the runs for each side.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/feed_texts.h"
#include "../tests/feedpane_host.h"
#include "context.h"
#include "feedpane/clean_text.h"
#include "lang/ansi.h"
#include "platform/os.h"

namespace {

constexpr int kArticles = 1000;

double Seconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(f.QuadPart);
}

// Titles and texts of the sample feeds, as the server stores them (8-bit).
bool CollectArticles(std::vector<std::string>* titles, std::vector<std::string>* texts) {
  std::vector<std::string> names;
  const std::string dir = std::string(TIDELARK_SHARED_DATA) + "/feeds";
  if (platform::os::ListDirectory(dir, &names) != 0) return false;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string doc;
    if (platform::os::ReadWholeFile(platform::os::JoinPath(dir, name), &doc) != 0) continue;
    std::vector<std::string> t, d;
    feedpane::testing::CollectElements(doc, "title", &t);
    feedpane::testing::CollectElements(doc, "description", &d);
    for (std::string& s : t) titles->push_back(lang::WideToAnsi(platform::os::Utf8ToUtf16(s)));
    for (std::string& s : d) texts->push_back(lang::WideToAnsi(platform::os::Utf8ToUtf16(s.substr(0, 6000))));
  }
  titles->erase(std::remove_if(titles->begin(), titles->end(), [](const std::string& s) { return s.empty(); }),
                titles->end());
  return !titles->empty() && !texts->empty();
}

// The peer: the 1,000 titles, cleaned and wide already, measured in the
// list's font and column with DrawTextW alone.
double Peer(HWND window, const std::vector<std::wstring>& titles, int width) {
  HFONT font = CreateFontW(14, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  double t0 = Seconds();
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  int total = 0;
  for (const std::wstring& title : titles) {
    RECT r = {7, 0, 7 + width, 1000};
    DrawTextW(dc, title.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    total += r.bottom;
  }
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  double t = Seconds() - t0;
  DeleteObject(font);
  return total > 0 ? t : -1;
}

// What the store alone costs for the same list: the query and loading
// every article object newest first, as LoadContent must.
double StoreWalk(KorvelPluginDBInterface* db) {
  double t0 = Seconds();
  store::Object* low = nullptr;
  store::Object* high = nullptr;
  store::ResultSet* result = nullptr;
  db->CreateObject(&low, nullptr);
  db->CreateObject(&high, nullptr);
  db->SetProperty(low, "Title", store::kTypeText, " ", 2, 1, 1, 1, 0);
  db->SetProperty(low, "Sort", store::kTypeText, " ", 2, 1, 1, 1, 0);
  db->SetProperty(high, "Sort", store::kTypeText, "\xFF", 2, 1, 1, 1, 0);
  int loaded = 0;
  if (db->Query(low, high, store::kCompareRecords, &result, "Sort", nullptr, 0) == store::kStoreOk) {
    store::Object* object = nullptr;
    for (store::StoreCode code = db->LastResult(result, &object); code == store::kStoreOk;
         code = db->PreviousResult(result, &object)) {
      db->FreeObject(object);
      ++loaded;
    }
    db->FreeResult(result);
  }
  db->FreeObject(low);
  db->FreeObject(high);
  return loaded == kArticles ? Seconds() - t0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<std::string> titles, texts;
  if (!CollectArticles(&titles, &texts)) {
    std::fprintf(stderr, "feedpane_bench: no sample feeds in %s/feeds\n", TIDELARK_SHARED_DATA);
    return 1;
  }
  // The pack the program selects at its start, as the plug-in finds it.
  if (!feedpane_test::SelectLanguage("TidelarkEN")) return 1;
  std::string dir;
  if (platform::os::MakeTempDirectory("feedpane-bench", &dir) != 0) return 1;
  const std::string volume = platform::os::JoinPath(dir, "Reader.vol");
  std::vector<std::wstring> wide_titles;
  {
    feedpane_test::ChannelWriter channel(volume, "Bench");
    for (int i = 0; i < kArticles; ++i) {
      feedpane_test::Article a;
      a.key = std::to_string(100000 + i);
      a.title = titles[static_cast<std::size_t>(i) % titles.size()];
      a.text = texts[static_cast<std::size_t>(i) % texts.size()];
      char sort[32];
      std::snprintf(sort, sizeof sort, "2008%06d", i);
      a.sort = sort;
      a.read = i % 3 == 0;
      if (!channel.Add(a)) {
        std::fprintf(stderr, "feedpane_bench: cannot write article %d\n", i);
        return 1;
      }
      std::string clean = a.title;
      feedpane::CleanText(&clean[0]);
      std::u16string w = lang::AnsiToWide(clean.c_str());
      wide_titles.emplace_back(w.begin(), w.end());
    }
  }
  double ours = 1e9, peer = 1e9, walk = 1e9;
  int items = 0;
  for (int run = 0; run < runs; ++run) {
    feedpane_test::FeedpaneHost host(volume);
    if (!host.Start(240, 236) || host.db.Open("Bench") != store::kStoreOk) {
      std::fprintf(stderr, "feedpane_bench: Feedpane.dll or the channel did not open\n");
      return 1;
    }
    double t0 = Seconds();
    int loaded = host.Load("News|Bench|Bench");
    host.Refresh();
    double t = Seconds() - t0;
    if (loaded != 0) return 1;
    items = static_cast<int>(static_cast<feedpane::Context*>(host.services.context)->list.size());
    ours = std::min(ours, t);
    RECT client;
    GetClientRect(host.view.window, &client);
    peer = std::min(peer, Peer(host.view.window, wide_titles, client.right - GetSystemMetrics(SM_CXVSCROLL) - 10));
    host.Unload();
    walk = std::min(walk, StoreWalk(&host.db));
  }
  platform::os::RemoveTree(dir);
  std::printf("BENCH feedpane_open_channel_%d ours=%.6f peer=%.6f ratio=%.3f\n", items, ours, peer,
              peer > 0 ? ours / peer : 0.0);
  std::printf("# of which the store's query and loading of the %d objects alone: %.6f s\n", kArticles, walk);
  return 0;
}
